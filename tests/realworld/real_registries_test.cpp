// The removal on the registries of real machines: HKLM\SYSTEM of a Windows XP
// SP3, a Windows 7 SP1 (32-bit) and a Windows 10 1709 (64-bit) PC of the
// real-world corpus, read with the preview's registry export reader and made
// the registry of a simulated machine of that version.
//
// On each one the phone is installed from the driver CD and plugged in, as on
// a customer's PC, then every INF file of the corpus is staged as another
// maker's OEM INF with its PNF and a stale phone modem key names one of them.
// The removal must then leave every key and value of the real machine as it
// was, every corpus file byte for byte, show no message box and take the
// phone's footprint. The preview, given that machine, must predict exactly
// what the removal does, and name nothing of the real machine as the phone's.
//
// The simulated machine has no Windows 10 image (no driver store and no
// DriverDatabase): the Windows 10 registry runs on the Windows 7 image, the
// closest version it has, in its 32-bit form as the preview builds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/path_routines.h"
#include "platform/sim/plug_and_play.h"
#include "preview/image_builder.h"
#include "preview/input_paths.h"
#include "preview/phone_names.h"
#include "preview/preview.h"
#include "preview/registry_export_reader.h"
#include "preview/sim_snapshot.h"
#include "resources/resource.h"
#include "tests/driver_cd.h"
#include "tests/realworld/real_infs.h"
#include "tests/sim_test_support.h"
#include "tests/trace/snapshot_diff.h"

namespace {

using sim::WindowsVersion;
const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kProgram[] = "D:\\Setup\\USBINST.EXE";

struct RealRegistry {
  const char* file;  // in the build folder, decompressed from FILE.xz
  const char* machine;
  WindowsVersion version;  // the image it runs on
  bool windows64 = false;  // the 64-bit program installs and removes
  // Windows 10 installs signed packages only.
  CdVariant cd = CdVariant::Unsigned;
};

const RealRegistry kRegistries[] = {
    {"winxp-sp3_SYSTEM.reg", "Windows XP SP3", WindowsVersion::WindowsXPSP3},
    {"win7-sp1_SYSTEM.reg", "Windows 7 SP1 (32-bit)", WindowsVersion::Windows7},
    {"win10-1709_SYSTEM.reg", "Windows 10 1709 (64-bit)", WindowsVersion::Windows10, true,
     CdVariant::Signed},
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The export as the preview reads it; empty with the reason when it cannot
// be had.
bool ReadRealRegistry(const RealRegistry& registry, preview::MachineInput* input,
                      std::string* skip) {
  if (std::strlen(USBINST_REAL_REGISTRY_SKIP) > 0) {
    *skip = USBINST_REAL_REGISTRY_SKIP;
    return false;
  }
  std::string path = std::string(USBINST_REAL_REGISTRY_OUT) + "/" + registry.file;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *skip = path + " is absent (the corpus holds no " + registry.file + ".xz)";
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string error;
  if (!preview::ReadRegistryExport(bytes, input, &error)) {
    ADD_FAILURE() << registry.file << ": " << error;
    return false;
  }
  return true;
}

// Every INF of the corpus as another maker's OEM INF (oem40.inf on) with its
// PNF, and a stale instance of the phone's modem, listed before the live
// one, whose driver key names the first of them. Returns the staged files.
std::vector<std::pair<std::string, std::string>> StageCorpus(sim::Machine& machine) {
  std::vector<std::pair<std::string, std::string>> staged;
  std::string inf = machine.files.WindowsDirectory() + "\\INF\\";
  size_t number = 40;
  for (const RealInf& real : RealInfs()) {
    std::string stem = "oem" + std::to_string(number++);
    staged.emplace_back(inf + stem + ".inf", std::string(real.bytes, real.size));
    staged.emplace_back(inf + stem + ".PNF", "PNF of " + std::string(real.name));
  }
  for (const auto& [path, contents] : staged) {
    EXPECT_FALSE(machine.files.ReadFile(path).has_value()) << path;
    machine.files.WriteFile(path, contents);
  }
  std::string set = "SYSTEM\\CurrentControlSet";
  std::string driver = set + "\\Control\\Class\\" + kModemClass + "\\0090";
  EXPECT_FALSE(machine.registry.KeyExists(kLm, driver)) << driver;
  machine.registry.SetString(kLm, set + "\\Enum\\USB\\VID_1F3C&PID_6B07&MI_07\\0000", "Driver",
                             std::string(kModemClass) + "\\0090");
  machine.registry.SetString(kLm, driver, "InfPath", "oem40.inf");
  return staged;
}

// The real machine's own OEM INF files, as stand-ins. An export holds the
// registry and no files, but on the real PC every oemN.inf that a driver key
// names (InfPath) or the store index publishes lay in the INF folder: Setup publishes a new package under
// the first oemN.inf name that no file has, so without them the phone's INF
// would be published under a name the machine's own devices name, which
// cannot happen on that PC. Returns the planted files.
std::vector<std::pair<std::string, std::string>> PlantTheMachinesOemInfs(
    sim::Machine& machine, const trace::Snapshot& real) {
  std::vector<std::pair<std::string, std::string>> planted;
  const std::string inf = machine.files.WindowsDirectory() + "\\INF\\";
  const std::regex name("oem[0-9]+\\.inf", std::regex::icase);
  for (const auto& [path, entry] : real) {
    if (entry.kind != 'V') continue;
    // A driver key's InfPath, or the store index's DriverInfFiles\oemN.inf
    // (Windows 8 and later) of a package published under that name.
    std::string upper = sim::UpperName(path);
    bool infPath = upper.size() >= 8 && upper.compare(upper.size() - 8, 8, "|INFPATH") == 0;
    bool indexed = upper.find("\\DRIVERDATABASE\\DRIVERINFFILES\\") != std::string::npos &&
                   upper.size() >= 7 && upper.compare(upper.size() - 7, 7, "|ACTIVE") == 0;
    if (!infPath && !indexed) continue;
    std::smatch found;
    if (!std::regex_search(indexed ? path : entry.detail, found, name)) continue;
    std::string file = inf + found.str();
    if (machine.files.ReadFile(file).has_value()) continue;
    std::string contents = "[Version]\r\nSignature=\"$Windows NT$\"\r\n; " + found.str() +
                           " of the real machine\r\n";
    machine.files.WriteFile(file, contents);
    planted.emplace_back(file, contents);
  }
  return planted;
}

bool IsPhoneInstance(const std::string& path) {
  return sim::UpperName(path).find("\\ENUM\\USB\\VID_1F3C&PID_6B07") != std::string::npos;
}

class RealRegistries : public ::testing::TestWithParam<RealRegistry> {};

TEST_P(RealRegistries, TheRemovalKeepsTheRealMachineAndThePreviewPredictsIt) {
  const RealRegistry& registry = GetParam();
  if (RealInfs().empty()) GTEST_SKIP() << kRealInfsAbsent;
#if defined(__SANITIZE_ADDRESS__)
  // Under the sanitizers a run on the larger machines takes minutes: the
  // XP machine (10,000 keys) stands for them there.
  if (registry.version != WindowsVersion::WindowsXPSP3) {
    GTEST_SKIP() << registry.machine << ": only the XP registry runs under the sanitizers";
  }
#endif
  auto start = std::chrono::steady_clock::now();
  preview::MachineInput real;
  std::string skip;
  if (!ReadRealRegistry(registry, &real, &skip)) GTEST_SKIP() << skip;
  double readSeconds = SecondsSince(start);
  // What the reader could not take as it stands, for the report.
  for (const std::string& note : real.notes) {
    std::printf("[real registry] %s: %s\n", registry.machine, note.c_str());
  }
  size_t realKeys = 0, realValues = 0;
  for (const auto& [path, entry] : real.entries) {
    realKeys += entry.kind == 'K' || entry.kind == 'L';
    realValues += entry.kind == 'V';
  }
  // The export holds no CurrentControlSet (a running Windows makes it): the
  // reader gives it as the link Windows makes.
  auto link = real.entries.find("HKLM\\SYSTEM\\CurrentControlSet");
  ASSERT_NE(link, real.entries.end());
  EXPECT_EQ(link->second.kind, 'L');

  // Before the phone: the image holds the real machine's registry as read,
  // and its CurrentControlSet leads into the set Select\Current names.
  preview::BuiltImage image;
  preview::BuildImage(real, preview::InputIndex(real),
                      preview::ImageOptions{registry.version, true, kProgram, registry.windows64},
                      &image);
  for (const std::string& note : image.notes) ADD_FAILURE() << "image: " << note;
  sim::Machine& machine = sim::CurrentMachine();
  const trace::Snapshot pristine = preview::SnapshotOfSim(machine);
  for (const auto& [path, entry] : real.entries) {
    ASSERT_TRUE(pristine.count(path)) << path;
  }
  EXPECT_TRUE(machine.registry.KeyExists(kLm, "SYSTEM\\CurrentControlSet\\Control\\Class"));

  std::vector<std::pair<std::string, std::string>> machinesInfs =
      PlantTheMachinesOemInfs(machine, real.entries);
  LoadDriverCd(machine, "D:\\", registry.cd);
  InstallThePhoneFromCd(machine);
  ASSERT_TRUE(
      machine.registry.KeyExists(kLm, "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1F3C&PID_6B07"))
      << MessageBoxTexts();
  std::vector<std::pair<std::string, std::string>> staged = StageCorpus(machine);
  // The installation shows its driver-signing notice; the removal shows
  // nothing.
  size_t boxesBefore = machine.windows.messageBoxes.size();
  // The machine as a support engineer brings it back: a snapshot, whose
  // keys of the real machine have no security of their own, as the export
  // gives them.
  preview::MachineInput withPhone = preview::MachineInputOfSim(machine);
  withPhone.windows64 = registry.windows64;
  const trace::Snapshot installed = withPhone.entries;
  for (const auto& [path, entry] : real.entries) {
    if (entry.kind == 'K') withPhone.entries[path].detail = entry.detail;
  }

  // The removal, as a user starts it from the CD.
  HWND launcher = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
  RunInstaller(nullptr, "/r");
  const trace::Snapshot removed = preview::SnapshotOfSim(machine);
  EXPECT_EQ(machine.windows.messageBoxes.size(), boxesBefore) << MessageBoxTexts();
  EXPECT_EQ(OpenHandles(), "");

  // Every key and value of the real machine is as it was before the phone
  // came. The installation changed some of them (ComDB took the phone's COM
  // numbers beside the machine's own bits); the removal gives back exactly
  // the phone's part, so none of them stays changed, and none goes.
  for (const auto& [path, entry] : real.entries) {
    auto now = removed.find(path);
    const trace::Entry& was = pristine.find(path)->second;
    if (now == removed.end()) {
      ADD_FAILURE() << "real entry removed: " << path;
    } else if (now->second.kind != was.kind || now->second.detail != was.detail) {
      ADD_FAILURE() << "real entry changed: " << path << " [" << was.detail << "] -> ["
                    << now->second.detail << "]";
    }
  }
  // Every corpus file, and every stand-in of the machine's own INF files,
  // survives byte for byte.
  staged.insert(staged.end(), machinesInfs.begin(), machinesInfs.end());
  for (const auto& [path, contents] : staged) {
    std::optional<std::string> now = machine.files.ReadFile(path);
    EXPECT_TRUE(now && *now == contents) << path;
  }
  // The footprint went: the phone's devices, and nothing left names it.
  preview::PhoneNames phone;
  for (const auto& [path, entry] : removed) {
    EXPECT_FALSE(IsPhoneInstance(path)) << path;
    EXPECT_FALSE(phone.Names(entry)) << path << " " << entry.detail;
  }
  const std::vector<trace::Difference> removal = trace::DiffSnapshots(installed, removed);
  size_t footprint = 0;
  for (const trace::Difference& difference : removal) {
    footprint += difference.change == trace::Change::kRemoved;
  }
  EXPECT_GT(footprint, 0u);
  double removalSeconds = SecondsSince(start);

  // The preview of that machine announces what the removal did, entry by
  // entry, and no entry of the real machine is one it takes as the phone's:
  // a real value it changes is one the installation changed, and the change
  // gives it back as it was.
  preview::PreviewOptions options;
  options.versionGiven = true;
  options.version = registry.version;
  preview::PreviewResult result;
  std::string error;
  ASSERT_TRUE(preview::RunPreview(withPhone, options, &result, &error)) << error;
  EXPECT_EQ(preview::ChangeLines(result), preview::ChangeLines(removal));
  EXPECT_EQ(result.changesOutsideInput, 0u);
  for (const trace::Difference& change : result.changes) {
    if (!real.entries.count(change.path)) continue;
    EXPECT_EQ(change.change, trace::Change::kChanged) << change.path;
    EXPECT_EQ(change.detailAfter, pristine.find(change.path)->second.detail) << change.path;
  }
  for (const trace::Entry& left : result.leftLooksLikePhone) {
    EXPECT_FALSE(real.entries.count(left.path)) << left.path;
  }
  EXPECT_TRUE(result.leftLooksLikePhone.empty());
  // From Vista on the preview names the phone's four packages in the driver
  // store, and no other package there.
  std::set<std::string> packages;
  for (const trace::Difference& change : result.changes) {
    const std::string repository = "\\DRIVERSTORE\\FILEREPOSITORY\\";
    std::string upper = sim::UpperName(change.path);
    size_t at = upper.find(repository);
    if (at == std::string::npos || change.change != trace::Change::kRemoved) continue;
    std::string id = change.path.substr(at + repository.size());
    packages.insert(id.substr(0, id.find('\\')));
  }
  EXPECT_EQ(packages.size(), registry.version >= WindowsVersion::WindowsVista ? 4u : 0u);
  for (const std::string& id : packages) EXPECT_EQ(id.rfind("kv6", 0), 0u) << id;
  EXPECT_TRUE(result.notJudged.empty());
  for (const std::string& note : result.notes) {
    EXPECT_EQ(note.find("two runs"), std::string::npos) << note;
  }

  std::printf(
      "[real registry] %s: %zu real keys and %zu real values protected, %zu corpus and "
      "machine INF files protected, %zu footprint entries removed; read %.1f s, install and removal %.1f s, "
      "preview %.1f s\n",
      registry.machine, realKeys, realValues, staged.size(), footprint, readSeconds,
      removalSeconds - readSeconds, SecondsSince(start) - removalSeconds);
  RecordProperty("real_keys", std::to_string(realKeys));
  RecordProperty("real_values", std::to_string(realValues));
  RecordProperty("corpus_files", std::to_string(staged.size()));
}

INSTANTIATE_TEST_SUITE_P(EachMachine, RealRegistries, ::testing::ValuesIn(kRegistries),
                         [](const ::testing::TestParamInfo<RealRegistry>& param) {
                           std::string name = param.param.file;
                           name = name.substr(0, name.find('_'));
                           name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                           return name;
                         });

}  // namespace
