#include "preview/preview.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/path_routines.h"
#include "platform/sim/plug_and_play.h"
#include "preview/image_builder.h"
#include "preview/input_paths.h"
#include "preview/phone_names.h"
#include "preview/preview_command.h"
#include "preview/preview_report.h"
#include "preview/sim_snapshot.h"
#include "preview/windows_version.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"
#include "tests/trace/snapshot_diff.h"

namespace preview {
namespace {

using sim::WindowsVersion;
const HKEY kLm = HKEY_LOCAL_MACHINE;

// A value in another program's key that names the phone, and one naming a
// neighbour: the removal leaves both, and the preview must point at the first.
const char kToolsKey[] = "SOFTWARE\\Acme\\PhoneTools";

// The phone installed from the CD through the wizard and plugged in, with
// its neighbours: another maker's USB serial device (VID_1F3C&PID_6B070,
// COM10) and modem (COM11) with their INF files, a VID_1F3C&PID_6B08 device
// (COM12) and a port that is not the phone's (COM1).
sim::Machine& MachineWithThePhone(WindowsVersion version, bool administrator = true) {
  sim::MachineOptions options = OptionsFor(version, administrator);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  sim::Machine& machine = FreshMachine(options);
  LoadDriverCd(machine, "D:\\");
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  sim::PlantNeighbourDevice(machine);
  sim::NeighbourOptions close;
  close.hardwareId = "VID_1F3C&PID_6B08";
  close.comNumber = 12;
  close.oemInfNumber = 12;
  close.service = "KV6bus8";
  close.modemHardwareId = "VID_0ACE&PID_1F3D&MI_00";
  close.modemDescription = "Acme LTE USB Modem";
  close.modemComNumber = 13;
  sim::PlantNeighbourDevice(machine, close);
  machine.registry.SetString(kLm, kToolsKey, "LastPhone", "USB\\VID_1F3C&PID_6B07\\5&1A2B3C01&0&1");
  machine.registry.SetString(kLm, kToolsKey, "LastModem",
                             "USB\\VID_1F3C&PID_6B070\\5&7E8F9A01&0&2");
  machine.registry.SetDword(kLm, "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6", "InstallFlag", 0);
  auto plugAll = sim::DialogEvent::Inspect([&machine](HWND) { sim::PlugInPhone(machine); });
  machine.dialogs.script = {plugAll, sim::DialogEvent::DeviceChange(),
                            sim::DialogEvent::Click(IDC_WIZARD_NEXT)};
  RunInstaller(nullptr, "/i");
  machine.dialogs.script.clear();
  return machine;
}

// What the real removal run changes on the machine, in the --changes form.
std::string RealChangeLines(sim::Machine& machine) {
  trace::Snapshot before = SnapshotOfSim(machine);
  HWND launcher = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
  RunInstaller(nullptr, "/r");
  return ChangeLines(trace::DiffSnapshots(before, SnapshotOfSim(machine)));
}

// On every version the program runs on, the image built from a snapshot of
// the machine holds exactly the snapshot's registry and files, and the
// preview announces exactly the changes the real removal then makes, entry by
// entry; the neighbours stay out of both, and what the removal leaves that
// names the phone is pointed out while the neighbour's look-alike is not.
TEST(Preview, EqualsTheRealRemovalOnEveryVersion) {
  using sim::WindowsVersion;
  for (WindowsVersion version :
       {WindowsVersion::Windows95, WindowsVersion::Windows98, WindowsVersion::WindowsMe,
        WindowsVersion::WindowsNT4, WindowsVersion::Windows2000, WindowsVersion::WindowsXPSP3,
        WindowsVersion::Windows7}) {
    SCOPED_TRACE(static_cast<int>(version));
    MachineInput input = MachineInputOfSim(MachineWithThePhone(version));

    BuiltImage image;
    BuildImage(input, InputIndex(input), ImageOptions{version, true}, &image);
    trace::Snapshot built = SnapshotOfSim(sim::CurrentMachine());
    for (const auto& [path, entry] : input.entries) {
      auto found = built.find(path);
      ASSERT_NE(found, built.end()) << path;
      if (entry.kind != 'F' || input.fileContents.count(path)) {
        EXPECT_EQ(found->second.detail, entry.detail) << path;
      }
    }
    for (const auto& [path, entry] : built) EXPECT_TRUE(input.entries.count(path)) << path;

    PreviewResult result;
    std::string error;
    ASSERT_TRUE(RunPreview(input, PreviewOptions{}, &result, &error)) << error;
    EXPECT_EQ(result.version, version);
    std::string predicted = ChangeLines(result);
    // Every change belongs to a step, and the steps change nothing else.
    std::set<std::string> inSteps, inWhole;
    for (const PreviewStep& step : result.steps) {
      for (const trace::Difference& change : step.changes) inSteps.insert(change.path);
    }
    for (const trace::Difference& change : result.changes) inWhole.insert(change.path);
    EXPECT_EQ(inSteps, inWhole);
    EXPECT_EQ(result.changesOutsideInput, 0u);
    for (const std::string& note : result.notes)
      EXPECT_EQ(note.find("two runs"), std::string::npos);

    std::string real = RealChangeLines(MachineWithThePhone(version));
    EXPECT_EQ(predicted, real);
    EXPECT_NE(predicted.find("removed\tF\t"), std::string::npos);  // the driver files at least
    for (const char* neighbour : {"PID_6B070", "PID_6B08", "KV6bus8", "KV6bus0", "0ACE"}) {
      EXPECT_EQ(predicted.find(neighbour), std::string::npos) << neighbour;
    }
    std::vector<std::string> left;
    for (const trace::Entry& entry : result.leftLooksLikePhone) left.push_back(entry.path);
    EXPECT_NE(std::find(left.begin(), left.end(), "HKLM\\SOFTWARE\\Acme\\PhoneTools|LastPhone"),
              left.end());
    for (const std::string& path : left) {
      EXPECT_EQ(path.find("LastModem"), std::string::npos);
      EXPECT_EQ(path.find("6B08"), std::string::npos) << path;
    }
    EXPECT_TRUE(result.launcherNotified);
    EXPECT_TRUE(result.notJudged.empty());
  }
}

// 64-bit Windows 7: the 64-bit program installs and removes (the 32-bit one
// hands each run to it), and keeps InstallFlag in the 32-bit view of
// HKLM\SOFTWARE, where the calling installer made the key. A key of the same
// name in the 64-bit view is not the program's. The preview of a live
// 64-bit machine, and of a snapshot that shows SOFTWARE\Wow6432Node, resets
// the flag where the removal does, and equals the real removal.
TEST(Preview, ResetsInstallFlagInThe32BitViewOn64BitWindows) {
  const char kView32[] = "SOFTWARE\\Wow6432Node\\ORVEX\\ORVEX 3G GSM USB Driver 6";
  const char kView64[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";
  auto machine64 = [&]() -> sim::Machine& {
    sim::MachineOptions options = OptionsFor(WindowsVersion::Windows7);
    options.programPath = "D:\\Setup\\USBINST64.EXE";
    options.windows64 = true;
    sim::Machine& machine = FreshMachine(options);
    machine.system.process64Bit = true;
    LoadDriverCd(machine, "D:\\");
    GetProgramFolder(App().programFolder, sizeof(App().programFolder));
    machine.registry.CreateKey(kLm, kView32);
    machine.registry.SetDword(kLm, kView64, "InstallFlag", 1);
    auto plugAll = sim::DialogEvent::Inspect([&machine](HWND) { sim::PlugInPhone(machine); });
    machine.dialogs.script = {plugAll, sim::DialogEvent::DeviceChange(),
                              sim::DialogEvent::Click(IDC_WIZARD_NEXT)};
    RunInstaller(nullptr, "/i");
    machine.dialogs.script.clear();
    EXPECT_EQ(machine.registry.GetDword(kLm, kView32, "InstallFlag"), 1u);
    return machine;
  };
  const std::string flag32 =
      "changed\tV\tHKLM\\SOFTWARE\\Wow6432Node\\ORVEX\\ORVEX 3G GSM USB Driver 6|InstallFlag\n";
  for (bool live : {true, false}) {
    SCOPED_TRACE(live ? "live" : "snapshot");
    MachineInput input = MachineInputOfSim(machine64());
    input.windows64 = live;
    PreviewResult result;
    std::string error;
    ASSERT_TRUE(RunPreview(input, PreviewOptions{}, &result, &error)) << error;
    EXPECT_TRUE(result.windows64);
    std::string predicted = ChangeLines(result);
    EXPECT_NE(predicted.find(flag32), std::string::npos) << predicted;
    EXPECT_EQ(predicted.find("HKLM\\SOFTWARE\\ORVEX"), std::string::npos) << predicted;
    EXPECT_EQ(predicted, RealChangeLines(machine64()));
  }
}

// A user without administrator rights on XP sees the refusal and nothing is
// removed; an INF of the phone known by name only is reported as not judged
// instead of kept.
TEST(Preview, ShowsTheRefusalOfAStandardUserAndWhatItCouldNotJudge) {
  MachineInput input = MachineInputOfSim(MachineWithThePhone(WindowsVersion::WindowsXPSP3));
  PreviewResult result;
  std::string error;
  PreviewOptions standardUser;
  standardUser.administrator = false;
  ASSERT_TRUE(RunPreview(input, standardUser, &result, &error)) << error;
  EXPECT_EQ(ChangeLines(result), "");
  std::vector<std::string> boxes;
  for (const PreviewStep& step : result.steps) {
    boxes.insert(boxes.end(), step.messageBoxes.begin(), step.messageBoxes.end());
  }
  ASSERT_EQ(boxes.size(), 1u);
  // The refusal (in the machine's code page, its category filled in).
  EXPECT_NE(StringTableText(IDS_NOT_ADMINISTRATOR).find("adminisztrat"), std::string::npos);
  EXPECT_NE(boxes[0].find("adminisztrat"), std::string::npos) << boxes[0];
  std::ostringstream text;
  WriteTextPreview(text, result);
  EXPECT_NE(text.str().find("0 devices, 0 services, 0 files, 0 key trees, 0 values, "
                            "0 COM numbers; 1 message box"),
            std::string::npos)
      << text.str();

  // The phone's OEM INF copies, known by name only.
  std::vector<std::string> phoneInfs;
  PhoneNames phone;
  for (auto it = input.fileContents.begin(); it != input.fileContents.end();) {
    bool phones =
        phone.TextHoldsHardwareId(it->second) && it->first.find("\\oem") != std::string::npos;
    if (phones) phoneInfs.push_back(it->first);
    it = phones ? input.fileContents.erase(it) : std::next(it);
  }
  ASSERT_FALSE(phoneInfs.empty());
  ASSERT_TRUE(RunPreview(input, PreviewOptions{}, &result, &error)) << error;
  EXPECT_EQ(result.notJudged, phoneInfs);
  for (const std::string& inf : phoneInfs) {
    EXPECT_EQ(ChangeLines(result).find(inf), std::string::npos) << inf;
  }
}

// The phone's names match as whole names and as a hardware ID that stands on
// its own; the neighbours' do not.
TEST(Preview, PhoneNamesMatchNarrowly) {
  PhoneNames phone;
  struct Case {
    const char* text;
    bool hardwareId;
  };
  for (const Case& c :
       {Case{"USB\\VID_1F3C&PID_6B07\\5&1", true}, Case{"usb\\vid_1f3c&pid_6b07&mi_03\\6&2", true},
        Case{"##?#USB#VID_1F3C&PID_6B07&MI_05#6&2#{86E0}", true},
        Case{"USB\\VID_1F3C&PID_6B070\\5&1", false}, Case{"USB\\VID_1F3C&PID_6B08\\5&1", false},
        Case{"XVID_1F3C&PID_6B07", false}}) {
    EXPECT_EQ(phone.TextHoldsHardwareId(c.text), c.hardwareId) << c.text;
  }
  for (const char* name : {"KV6bus", "kv6BUS.sys", "ORVEX", "KV6CR", "KV6mdm2.inf"}) {
    EXPECT_TRUE(phone.IsPhoneName(name)) << name;
  }
  for (const char* name : {"KV6bus0", "KV6bus.sys.bak", "ORVEX2", "ACME", "KV6"}) {
    EXPECT_FALSE(phone.IsPhoneName(name)) << name;
  }
}

// The input's entries as a snapshot file, as trace_snapshot.exe writes one.
void WriteSnapshotFile(const MachineInput& input, const std::filesystem::path& file) {
  std::vector<trace::Entry> entries;
  for (const auto& [path, entry] : input.entries) entries.push_back(entry);
  std::ostringstream text;
  trace::WriteSnapshot(text, {}, entries);
  std::ofstream(file.string(), std::ios::binary) << text.str();
}

// The command reads a snapshot file, writes the text report, the page and the
// change lines, and answers 0.
TEST(Preview, TheCommandWritesTheReportThePageAndTheChanges) {
  MachineInput input = MachineInputOfSim(MachineWithThePhone(WindowsVersion::WindowsXPSP3));
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("preview_run_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  WriteSnapshotFile(input, folder / "machine.snap");
  std::ostringstream out, err;
  ASSERT_EQ(PreviewCommand({"--html", (folder / "page.html").string(), "--changes",
                            (folder / "changes.txt").string(), (folder / "machine.snap").string()},
                           out, err),
            0)
      << err.str();
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(out.str().rfind("Removal preview: winxp-sp3 (as the input says)", 0), 0u) << out.str();
  // The snapshot holds no file contents: the phone's INF copies are not judged.
  EXPECT_EQ(out.str().find("Not judged: the input holds no contents (0)"), std::string::npos);
  auto read = [&folder](const char* name) {
    std::ifstream file(folder / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  MachineInput fromFile;
  fromFile.entries = input.entries;
  PreviewResult result;
  std::string error;
  ASSERT_TRUE(RunPreview(fromFile, PreviewOptions{}, &result, &error));
  EXPECT_EQ(read("changes.txt"), ChangeLines(result));
  EXPECT_NE(read("changes.txt").find("removed\tK\tHKLM\\SYSTEM\\ControlSet001\\Services\\KV6bus\n"),
            std::string::npos);
  std::string page = read("page.html");
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("KV6bus"), std::string::npos);
  for (const char* outside : {"<script", "http:", "https:", "<link"}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  }
  std::filesystem::remove_all(folder);
}

// A copy of the INF folder gives the listed INF files their contents, so that
// the removal judges them as it does on the PC: the phone's INF copies are
// then taken, and nothing stays unjudged. A file of the copy the listing does
// not hold is noted and left out; a folder that cannot be read ends the run.
TEST(Preview, AnInfFolderCopyGivesTheListedInfFilesTheirContents) {
  MachineInput input = MachineInputOfSim(MachineWithThePhone(WindowsVersion::WindowsXPSP3));
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("preview_inf_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "inf");
  WriteSnapshotFile(input, folder / "machine.snap");
  size_t copied = 0;
  for (const auto& [path, bytes] : input.fileContents) {
    std::string upper = sim::UpperName(path);
    if (upper.find("\\INF\\OEM") == std::string::npos) continue;
    std::string name = path.substr(path.find_last_of('\\') + 1);
    std::ofstream((folder / "inf" / name).string(), std::ios::binary) << bytes;
    ++copied;
  }
  ASSERT_GE(copied, 4u);
  std::ofstream((folder / "inf" / "oem99.inf").string(), std::ios::binary) << "[Version]\r\n";
  std::ostringstream out, err;
  ASSERT_EQ(PreviewCommand({"--inf-folder", (folder / "inf").string(),
                            (folder / "machine.snap").string()},
                           out, err),
            0)
      << err.str();
  EXPECT_NE(out.str().find("Not judged: the input holds no contents (0)"), std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("oem99.inf, which no listed INF folder holds"), std::string::npos);
  std::ostringstream out2, err2;
  EXPECT_EQ(PreviewCommand({"--inf-folder", (folder / "missing").string(),
                            (folder / "machine.snap").string()},
                           out2, err2),
            2);
  EXPECT_NE(err2.str().find("cannot read the INF folder copy"), std::string::npos) << err2.str();
  std::filesystem::remove_all(folder);
}

// The trees an input holds (which replace the image's) are the keys it was
// taken from, not the parents a registry export names on the way to them: two
// exports must not take the place of the whole of HKLM.
TEST(Preview, InputTreesAreTheTakenKeysNotTheirParents) {
  struct Case {
    std::vector<trace::Entry> entries;
    std::vector<std::string> trees;
  };
  const trace::Entry hklm{'K', "HKLM", ""}, system{'K', "HKLM\\SYSTEM", ""},
      setA{'K', "HKLM\\SYSTEM\\A", ""}, setB{'K', "HKLM\\SYSTEM\\B", ""},
      software{'K', "HKLM\\SOFTWARE", ""}, microsoft{'K', "HKLM\\SOFTWARE\\Microsoft", ""},
      current{'K', "HKLM\\SOFTWARE\\Microsoft\\CurrentVersion", ""},
      version{'V', "HKLM\\SOFTWARE\\Microsoft\\CurrentVersion|CurrentVersion", "REG_SZ \"5.1\""};
  const Case kCases[] = {
      {{hklm, system, setA, setB}, {"HKLM\\SYSTEM"}},
      {{hklm, system, setA, setB, software, microsoft, current, version},
       {"HKLM\\SOFTWARE\\Microsoft\\CurrentVersion", "HKLM\\SYSTEM"}},
      {{hklm, system, setA}, {"HKLM\\SYSTEM\\A"}},
      {{trace::Entry{'K', "HKLM\\SYSTEM", "sddl O:SYD:(A;;KA;;;SY)"}, setA}, {"HKLM\\SYSTEM"}},
      {{trace::Entry{'K', "HKLM\\Enum", ""}}, {"HKLM\\Enum"}}};
  for (const Case& c : kCases) {
    MachineInput input;
    for (const trace::Entry& entry : c.entries) input.entries[entry.path] = entry;
    EXPECT_EQ(InputIndex(input).Trees(), c.trees) << c.entries.size();
  }
}

// Bad command lines and inputs answer 2 with one message naming the problem.
TEST(Preview, BadInputsAnswerTwoWithAMessage) {
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("preview_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  auto write = [&folder](const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
  };
  std::string empty = write("empty.txt", "");
  std::string noVersion = write("system.snap", "# trace snapshot 1\nK\tHKLM\\SYSTEM\t\n");
  std::string export5 = write(
      "system.reg", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\r\n");
  std::string other = write("notes.txt", "hello\n");
  std::string broken = write("broken.snap", "# trace snapshot 1\nK HKLM\n");
  std::string missing = (folder / "missing.snap").string();
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const Case kCases[] = {{{missing}, "missing.snap: cannot be read"},
                         {{empty}, "empty.txt: the file is empty"},
                         {{broken}, "broken.snap: line 2:"},
                         {{"--version", "win8", noVersion}, "unknown version \"win8\""},
                         {{noVersion}, "give the version with --version"},
                         {{"--live"}, "only the Windows build reads the live machine"},
                         {{"--verbose", noVersion}, "unknown option \"--verbose\""},
                         {{"--html"}, "--html needs a value"},
                         {{}, "no INPUT given"},
                         {{export5}, "system.reg: line 3"},
                         {{other}, "notes.txt: not a snapshot"}};
  for (const Case& c : kCases) {
    std::ostringstream out, err;
    EXPECT_EQ(PreviewCommand(c.arguments, out, err), 2) << c.message;
    std::string message = err.str();
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(out.str(), "") << c.message;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace preview

namespace preview {
namespace {

// The preview knows every version the machine images cover, by name and from
// the registry an input holds: Windows 10 and 11 from the numbers they keep
// beside the "6.3" old programs see.
TEST(PreviewVersions, EveryImageIsRecognisedFromItsRegistryAndByName) {
  using sim::WindowsVersion;
  for (WindowsVersion version :
       {WindowsVersion::Windows95, WindowsVersion::WindowsNT4, WindowsVersion::WindowsXPSP2,
        WindowsVersion::WindowsVista, WindowsVersion::Windows7, WindowsVersion::Windows81,
        WindowsVersion::Windows10, WindowsVersion::Windows11}) {
    SCOPED_TRACE(NameOfVersion(version));
    MachineInput input = MachineInputOfSim(FreshMachine(OptionsFor(version)));
    WindowsVersion found = WindowsVersion::Windows95;
    std::string reason;
    ASSERT_TRUE(VersionFromInput(input, &found, &reason)) << reason;
    EXPECT_EQ(found, version);
    WindowsVersion named = WindowsVersion::Windows95;
    ASSERT_TRUE(VersionFromName(NameOfVersion(version), &named));
    EXPECT_EQ(named, version);
    EXPECT_NE(std::string(VersionNames()).find(NameOfVersion(version)),
              std::string::npos);
  }
}

}  // namespace
}  // namespace preview
