#include "uninstall/driver_remover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/sim/plug_and_play.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";

bool IsNt5(int osKind) { return osKind == 11 || osKind == 12; }

// A machine of the version with the driver CD in D:\ and the program
// started from D:\Setup, as a user runs it.
// With `windows64` it is 64-bit Windows running the 64-bit program (the one
// the 32-bit program hands its runs to there).
sim::Machine& CdMachine(WindowsVersion version, CdVariant variant = CdVariant::Unsigned,
                        bool windows64 = false) {
  sim::MachineOptions options = OptionsFor(version);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  options.windows64 = windows64;
  sim::Machine& machine = FreshMachine(options);
  machine.system.process64Bit = windows64;
  LoadDriverCd(machine, "D:\\", variant);
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  std::strcpy(App().title, "ORVEX 3G/GSM USB Driver Installer");
  return machine;
}

// Position of the first (or last) call of an operation in the call log.
size_t First(const std::vector<std::string>& log, const std::string& name) {
  return size_t(std::find(log.begin(), log.end(), name) - log.begin());
}
size_t Last(const std::vector<std::string>& log, const std::string& name) {
  auto it = std::find(log.rbegin(), log.rend(), name);
  return it == log.rend() ? 0 : size_t(log.rend() - it - 1);
}

TEST(DriverRemover, StepsByOsKind) {
  for (Kind kind : kKinds) {
    sim::Machine& machine = FreshMachine(OptionsFor(kind.version));
    machine.registry.SetDword(kLm, kSettingsPath, "InstallFlag", 1);
    HWND launcher = machine.windows.CreateTopLevel({"CD", "L", "launcher"});
    machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);

    EXPECT_EQ(DriverRemover(kind.osKind), 1);
    auto& faults = machine.faults;
    // Install flag, file cleanup, registry cleanup and launcher on every kind.
    EXPECT_EQ(machine.registry.GetDword(kLm, kSettingsPath, "InstallFlag"), 0u) << kind.osKind;
    EXPECT_GT(faults.Calls("FindFirstFileA"), 0u) << kind.osKind;
    EXPECT_GT(faults.Calls("RegOpenKeyExA"), 2u) << kind.osKind;
    EXPECT_EQ(machine.windows.Find(launcher)->messages.size(), 1u) << kind.osKind;
    // Devices, services and the stale INF scan on 2000/XP only.
    bool nt5 = IsNt5(kind.osKind);
    EXPECT_EQ(faults.Calls("SetupDiClassGuidsFromNameA"), nt5 ? 1u : 0u) << kind.osKind;
    EXPECT_EQ(faults.Calls("SetupDiGetClassDevsA"), nt5 ? 2u : 0u) << kind.osKind;
    EXPECT_EQ(faults.Calls("OpenSCManagerA"), nt5 ? 5u : 0u) << kind.osKind;
    EXPECT_EQ(faults.Calls("SetupOpenInfFileA") > 0, nt5) << kind.osKind;  // oem3.inf looked at
    // Windows 98 and Me also lose the driver database.
    bool database = kind.osKind == 1 || kind.osKind == 2;
    EXPECT_EQ(machine.files.FileExists(machine.files.WindowsDirectory() + "\\INF\\DRVDATA.BIN"),
              kind.version != WindowsVersion::Windows95 && !IsNtFamily(kind.version) && !database)
        << kind.osKind;
    EXPECT_EQ(OpenHandles(), "") << kind.osKind;
  }
}

TEST(DriverRemover, AMachineThatNeverHadThePhoneIsLeftUnchangedWithoutMessage) {
  for (Kind kind : kKinds) {
    sim::Machine& machine = FreshMachine(OptionsFor(kind.version));
    sim::PlantNeighbourDevice(machine);
    // Windows 98 and Me rebuild their driver database anyway: it is no phone trace.
    machine.files.Remove(machine.files.WindowsDirectory() + "\\INF\\DRVDATA.BIN");
    machine.files.Remove(machine.files.WindowsDirectory() + "\\INF\\DRVIDX.BIN");
    std::vector<std::string> registry = machine.registry.Snapshot();
    std::vector<std::string> files = machine.files.Snapshot();
    EXPECT_EQ(DriverRemover(kind.osKind), 1);
    EXPECT_EQ(machine.registry.SnapshotText(), [&] {
      std::string text;
      for (const auto& line : registry) text += line + "\n";
      return text;
    }()) << kind.osKind;
    EXPECT_EQ(machine.files.Snapshot(), files) << kind.osKind;
    EXPECT_EQ(MessageBoxTexts(), "") << kind.osKind;
    EXPECT_EQ(OpenHandles(), "") << kind.osKind;
  }
}

// An installation run through the wizard with the phone plugged in, then a
// removal run: registry and files are as before, apart from Windows' own
// containers that Plug and Play made and keeps. The neighbours stay.
// NT 4 has no USB support: the phone never appears there, Next stays disabled
// and the user cancels the wizard; the installation has then only copied the
// package into the Windows folders, and the removal takes those files away
// without a single message.
// With `ownSerialPorts` the PC's own serial ports hold COM1 to COM4 (2000/XP),
// so the phone's ports get numbers whose "Ports" values its install added,
// and the removal follows the installation without a reboot.
// With the signed CD, SetupCopyOEMInf also installs each INF's catalog as
// oemN.cat in CatRoot; other makers' catalogs lie there before and must stay.
// After the comparison the CD is taken out and the phone plugged in again:
// no function may find a driver, as nothing of the package is left for Plug
// and Play to pick up.
struct RoundTripOptions {
  CdVariant variant = CdVariant::Unsigned;
  bool windows64 = false;
};

void RoundTrip(Kind kind, bool unplugBeforeRemoval, bool ownSerialPorts = false,
               RoundTripOptions trip = {}) {
  SCOPED_TRACE(std::to_string(kind.osKind) + " version " +
               std::to_string(static_cast<int>(kind.version)) +
               (trip.windows64 ? " x64" : "") +
               (trip.variant == CdVariant::Signed ? " signed" : " unsigned"));
  sim::Machine& machine = CdMachine(kind.version, trip.variant, trip.windows64);
  sim::PlantNeighbourDevice(machine);
  if (IsNtFamily(kind.version) && kind.osKind != 10) {
    std::string catRoot =
        machine.files.SystemDirectory() + "\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
    machine.files.WriteFile(catRoot + "oem10.cat", "catalog of another maker's package");
    machine.files.WriteFile(catRoot + "nt5.cat", "catalog of Windows itself");
  }
  if (ownSerialPorts) {
    const char arbiter[] = "SYSTEM\\ControlSet001\\Control\\COM Name Arbiter";
    std::optional<sim::RegValue> comDb = machine.registry.GetValue(kLm, arbiter, "ComDB");
    ASSERT_TRUE(comDb);
    comDb->data[0] |= 0x0F;
    machine.registry.SetValue(kLm, arbiter, "ComDB", comDb->type, comDb->data);
  }
  if (!IsNtFamily(kind.version) && kind.version != WindowsVersion::Windows95) {
    // The driver database is rebuilt by Windows; the removal deletes it.
    machine.files.Remove(machine.files.WindowsDirectory() + "\\INF\\DRVDATA.BIN");
    machine.files.Remove(machine.files.WindowsDirectory() + "\\INF\\DRVIDX.BIN");
  }
  std::vector<std::string> cleanRegistry = machine.registry.Snapshot();
  std::vector<std::string> cleanFiles = machine.files.Snapshot();

  // Without a reboot between installation and removal, the backup control
  // set holds no copy of the phone's device keys.
  bool rebootCopy = !ownSerialPorts;
  auto plug = [&machine, rebootCopy](int function) {
    return sim::DialogEvent::Inspect([&machine, function, rebootCopy](HWND) {
      sim::PlugOptions options;
      options.rebootCopy = rebootCopy;
      sim::PlugInFunction(machine, function, options);
    });
  };
  bool nt4 = kind.osKind == 10;
  bool nextEnabled = false;
  auto lookAtNext = sim::DialogEvent::Inspect([&machine, &nextEnabled](HWND dialog) {
    nextEnabled = machine.windows.FindChild(dialog, IDC_WIZARD_NEXT)->enabled;
  });
  machine.dialogs.script = {plug(0), plug(1), plug(2), plug(3), sim::DialogEvent::DeviceChange(),
                            lookAtNext,
                            sim::DialogEvent::Click(nt4 ? IDCANCEL : IDC_WIZARD_NEXT)};
  EXPECT_EQ(RunInstaller(nullptr, ""), 0);
  ASSERT_EQ(machine.dialogs.runs.size(), 1u);
  EXPECT_EQ(nextEnabled, !nt4);
  EXPECT_EQ(machine.dialogs.runs[0].result, nt4 ? 0 : 1);
  if (nt4) {
    EXPECT_EQ(machine.registry.Snapshot(), cleanRegistry);
    ASSERT_NE(machine.files.Snapshot(), cleanFiles);
  } else {
    ASSERT_NE(machine.registry.Snapshot(), cleanRegistry);
  }
  if (IsNtFamily(kind.version) && !nt4) {
    // The driver files of the package's own platform, under the names the removal knows.
    std::string drivers = machine.files.SystemDirectory() + "\\drivers\\";
    const char* const files[][2] = {{"KV6bus.sys", "KV6bus64.sys"},
                                    {"KV6obex.sys", "KV6obx64.sys"},
                                    {"KV6mgmt.sys", "KV6mgm64.sys"},
                                    {"KV6mdm.sys", "KV6mdm64.sys"}};
    for (const auto& file : files) {
      std::string source = trip.windows64 ? file[1] : file[0];
      EXPECT_EQ(machine.files.ReadFile(drivers + file[0]),
                machine.files.ReadFile("D:\\Drivers\\" + source))
          << file[0];
    }
  }
  if (unplugBeforeRemoval) sim::UnplugPhone(machine);

  if (ownSerialPorts) {
    for (const std::string& port : sim::PhoneComPorts(machine)) {
      if (!port.empty()) {
        EXPECT_GE(std::atoi(port.c_str() + 3), 5) << port;
      }
    }
  }
  size_t boxesBefore = machine.windows.messageBoxes.size();
  EXPECT_EQ(RunInstaller(nullptr, "/r"), 0);
  std::string removalBoxes;
  for (size_t i = boxesBefore; i < machine.windows.messageBoxes.size(); ++i) {
    removalBoxes += machine.windows.messageBoxes[i].text;
  }
  EXPECT_EQ(removalBoxes, "");

  // Windows' own containers that the install made stay, emptied of the phone.
  std::vector<std::string> containers = sim::WindowsContainerKeys(kind.version);
  auto expectedLeftOver = [&](const std::string& line) {
    for (const std::string& key : containers) {
      if (sim::UpperName(line) == sim::UpperName("HKLM\\" + key)) return true;
    }
    return false;
  };
  std::vector<std::string> after = machine.registry.Snapshot();
  std::vector<std::string> extra;
  std::vector<std::string> missing;
  for (const auto& line : after) {
    if (!std::count(cleanRegistry.begin(), cleanRegistry.end(), line) && !expectedLeftOver(line)) {
      extra.push_back(line);
    }
  }
  for (const auto& line : cleanRegistry) {
    if (!std::count(after.begin(), after.end(), line)) {
      missing.push_back(line);
    }
  }
  auto join = [](const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
  };
  EXPECT_EQ(join(extra), "") << "left behind";
  EXPECT_EQ(join(missing), "") << "taken away";
  EXPECT_EQ(join(machine.files.Snapshot()), join(cleanFiles));
  EXPECT_EQ(OpenHandles(), "");

  machine.files.Remove("D:\\Drivers");
  machine.files.Remove("D:\\Setup");
  for (int function = 0; function < sim::kPhoneFunctionCount; ++function) {
    EXPECT_FALSE(sim::PlugInFunction(machine, function)) << "function " << function;
  }
}

// Every version the simulated machine has, 32-bit and, where both exist,
// 64-bit (XP, Vista and 7 x64, with the 64-bit program). Vista's OsKind is
// 11, as 2000's: the removal does 2000's file cleanup, which has no LastGood
// copies to delete, and Vista keeps none.
struct TripMachine {
  Kind kind;
  bool windows64;
};
const TripMachine kTripMachines[] = {
    {{WindowsVersion::Windows95, 0}, false},    {{WindowsVersion::Windows98, 1}, false},
    {{WindowsVersion::WindowsMe, 2}, false},    {{WindowsVersion::WindowsNT4, 10}, false},
    {{WindowsVersion::Windows2000, 11}, false}, {{WindowsVersion::WindowsXPSP1, 12}, false},
    {{WindowsVersion::WindowsXPSP2, 12}, false}, {{WindowsVersion::WindowsXPSP3, 12}, false},
    {{WindowsVersion::WindowsVista, 11}, false}, {{WindowsVersion::Windows7, 12}, false},
    {{WindowsVersion::WindowsXPSP3, 12}, true},  {{WindowsVersion::WindowsVista, 11}, true},
    {{WindowsVersion::Windows7, 12}, true}};

// Windows 8.1, 10 and 11 install signed packages only: the signed CD, with
// the driver store and its index to empty again.
const TripMachine kSignedOnlyMachines[] = {
    {{WindowsVersion::Windows81, 12}, false}, {{WindowsVersion::Windows10, 12}, false},
    {{WindowsVersion::Windows10, 12}, true},  {{WindowsVersion::Windows11, 12}, true}};

TEST(DriverRemover, RoundTripOnEveryVersionWithThePhonePluggedIn) {
  for (CdVariant variant : {CdVariant::Unsigned, CdVariant::Signed}) {
    for (const TripMachine& trip : kTripMachines) {
      RoundTrip(trip.kind, false, false, {variant, trip.windows64});
    }
  }
  for (const TripMachine& trip : kSignedOnlyMachines) {
    RoundTrip(trip.kind, false, false, {CdVariant::Signed, trip.windows64});
  }
}

TEST(DriverRemover, RoundTripOnEveryVersionAfterThePhoneWasUnplugged) {
  for (CdVariant variant : {CdVariant::Unsigned, CdVariant::Signed}) {
    for (const TripMachine& trip : kTripMachines) {
      RoundTrip(trip.kind, true, false, {variant, trip.windows64});
    }
  }
  for (const TripMachine& trip : kSignedOnlyMachines) {
    RoundTrip(trip.kind, true, false, {CdVariant::Signed, trip.windows64});
  }
}

// The phone's ports above COM4 have "Ports" values of their own, which must go
// also when the device removal has already taken the device keys that name them.
TEST(DriverRemover, RoundTripOnAPcWithItsOwnSerialPorts) {
  for (Kind kind : kKinds) {
    if (!IsNtFamily(kind.version) || kind.osKind == 10) continue;
    RoundTrip(kind, false, true);
    RoundTrip(kind, true, true);
  }
}

// Installs the phone through the wizard on XP, plugged in, and returns the machine.
sim::Machine& InstalledXpMachine() {
  sim::Machine& machine = CdMachine(WindowsVersion::WindowsXPSP3);
  auto plug = [&machine](int function) {
    return sim::DialogEvent::Inspect(
        [&machine, function](HWND) { sim::PlugInFunction(machine, function); });
  };
  machine.dialogs.script = {plug(0), plug(1), plug(2), plug(3), sim::DialogEvent::DeviceChange(),
                            sim::DialogEvent::Click(IDC_WIZARD_NEXT)};
  RunInstaller(nullptr, "");
  return machine;
}

TEST(DriverRemover, StepOrder) {
  sim::Machine& machine = InstalledXpMachine();
  const std::string services = "SYSTEM\\ControlSet001\\Services\\";
  ASSERT_TRUE(machine.registry.KeyExists(kLm, services + "KV6bus"));
  // The launcher hears of the change when everything is done.
  HWND launcher = machine.windows.CreateTopLevel({"CD", "L", "launcher"});
  machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
  bool cleanWhenNotified = false;
  machine.windows.SetHandler(launcher, [&](HWND, UINT, WPARAM, LPARAM) {
    cleanWhenNotified =
        !machine.registry.KeyExists(kLm, services + "KV6bus") &&
        !machine.registry.KeyExists(kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07") &&
        !machine.files.FileExists("C:\\WINDOWS\\system32\\drivers\\KV6bus.sys");
    return LRESULT(0);
  });
  size_t boxes = machine.windows.messageBoxes.size();  // the install's notice
  machine.faults.StartCallLog();
  EXPECT_EQ(DriverRemover(12), 1);
  const std::vector<std::string>& log = machine.faults.CallLog();

  // The file cleanup found the INF-store copies through the device keys, so
  // it ran before the device removal and the registry cleanup deleted them.
  for (const std::string& name : machine.files.List("C:\\WINDOWS\\INF")) {
    EXPECT_EQ(name.rfind("oem", 0) == 0 && name != "oem3.inf" && name != "oem3.PNF" &&
                  name != "oem10.inf" && name != "oem10.PNF",
              false)
        << name;
  }
  EXPECT_LT(Last(log, "DeleteFileA"), First(log, "SetupDiClassGuidsFromNameA"));
  // The modem devices before the USB device (its set is the second), the
  // devices before the services, the services before the registry cleanup.
  EXPECT_LT(First(log, "SetupDiClassGuidsFromNameA"), Last(log, "SetupDiGetClassDevsA"));
  EXPECT_LT(Last(log, "SetupDiCallClassInstaller"), First(log, "OpenSCManagerA"));
  EXPECT_LT(Last(log, "CloseServiceHandle"), First(log, "RegDeleteKeyA"));
  // The file cleanup read the named INF files before deleting them, and the
  // stale INF scan reads INF contents after the registry cleanup.
  EXPECT_LT(First(log, "SetupOpenInfFileA"), First(log, "DeleteFileA"));
  EXPECT_LT(Last(log, "RegDeleteKeyA"), Last(log, "SetupOpenInfFileA"));
  EXPECT_LT(Last(log, "SetupOpenInfFileA"), First(log, "EnumWindows"));
  EXPECT_EQ(machine.devices.removals, 2);
  EXPECT_TRUE(cleanWhenNotified);
  // Devices went before their services, so no driver kept a service key.
  for (const char* name : {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex"}) {
    EXPECT_FALSE(machine.registry.KeyExists(kLm, services + name)) << name;
  }
  EXPECT_EQ(machine.windows.messageBoxes.size(), boxes);
}

// The phone installed through the wizard of an /i run, and left plugged in.
void InstallPhone(sim::Machine& machine) {
  machine.registry.SetDword(kLm, kSettingsPath, "InstallFlag", 0);
  auto plugAll = sim::DialogEvent::Inspect([&machine](HWND) { sim::PlugInPhone(machine); });
  machine.dialogs.script = {plugAll, sim::DialogEvent::DeviceChange(),
                            sim::DialogEvent::Click(IDC_WIZARD_NEXT)};
  RunInstaller(nullptr, "/i");
  ASSERT_EQ(machine.registry.GetDword(kLm, kSettingsPath, "InstallFlag"), 1u);
}

std::string LoadedText(int id) {
  char text[kFormatCapacity] = {};
  LoadText(id, text, kFormatCapacity);
  return text;
}

// A dial-up connection holds the phone's modem port open, so Windows cannot
// stop its devices: the removal finishes when Windows restarts. A removal run
// tells the user so, once; an installation run asks for a restart and a new
// run of the installer, leaves InstallFlag at 0 and opens no wizard (the phone
// could not be installed before the restart). Once the port is free, a
// removal needs no restart and shows nothing.
TEST(DriverRemover, ADeviceInUseAsksForARestartOnce) {
  struct Case {
    const char* commandLine;
    int text;
  };
  for (const Case& c : {Case{"/r", IDS_REMOVAL_AFTER_RESTART},
                        Case{"/i", IDS_INSTALL_AFTER_RESTART}}) {
    SCOPED_TRACE(c.commandLine);
    sim::Machine& machine = CdMachine(WindowsVersion::WindowsXPSP3);
    InstallPhone(machine);
    HWND launcher = machine.windows.CreateTopLevel({"CD", "L", "launcher"});
    machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
    machine.devices.SetInUse(sim::PhoneInstancePath(3), true);
    size_t boxes = machine.windows.messageBoxes.size();
    size_t wizards = machine.dialogs.runs.size();
    uint64_t copies = machine.faults.Calls("SetupCopyOEMInfA");

    EXPECT_EQ(RunInstaller(nullptr, c.commandLine), 0);
    ASSERT_EQ(machine.windows.messageBoxes.size(), boxes + 1);
    const sim::MessageBoxRecord& box = machine.windows.messageBoxes.back();
    EXPECT_EQ(box.text, LoadedText(c.text));
    EXPECT_EQ(box.style, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(machine.dialogs.runs.size(), wizards);
    EXPECT_EQ(machine.faults.Calls("SetupCopyOEMInfA"), copies);  // no package placed
    EXPECT_EQ(machine.registry.GetDword(kLm, kSettingsPath, "InstallFlag"), 0u);
    // The rest of the removal ran: the launcher heard of it, the phone's device
    // keys and driver files are gone.
    EXPECT_EQ(machine.windows.Find(launcher)->messages.size(), 1u);
    EXPECT_FALSE(machine.registry.KeyExists(kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07"));
    EXPECT_FALSE(machine.files.FileExists(machine.files.SystemDirectory() + "\\drivers\\KV6bus.sys"));
    EXPECT_EQ(OpenHandles(), "");
    // Until the restart the held modem keeps running without its keys.
    EXPECT_TRUE(machine.devices.RunsUntilRestart(sim::PhoneInstancePath(3)));

    // The restart finishes the removal: nothing of the phone runs, and a
    // removal run after it needs no restart and says nothing.
    machine.Restart();
    EXPECT_FALSE(machine.devices.RunsUntilRestart(sim::PhoneInstancePath(3)));
    for (const char* service : {"KV6bus", "KV6obex", "KV6mgmt", "KV6mdm", "KV6mdfl"}) {
      EXPECT_FALSE(machine.services.Exists(machine, service)) << service;
    }
    boxes = machine.windows.messageBoxes.size();
    RunInstaller(nullptr, "/r");
    EXPECT_EQ(machine.windows.messageBoxes.size(), boxes);
  }

  sim::Machine& machine = CdMachine(WindowsVersion::WindowsXPSP3);
  InstallPhone(machine);
  size_t boxes = machine.windows.messageBoxes.size();
  RunInstaller(nullptr, "/r");
  EXPECT_EQ(machine.windows.messageBoxes.size(), boxes);
}

// A second run before the restart: the devices removed in use have no keys
// left, but their drivers still run and their services are marked for
// deletion. The installation run asks for the restart again (the services
// cannot be installed anew before it) instead of opening a wizard, and shows
// no system error about the marked services.
TEST(DriverRemover, ARunBeforeTheRestartAsksForItAgain) {
  sim::Machine& machine = CdMachine(WindowsVersion::WindowsXPSP3);
  InstallPhone(machine);
  machine.devices.SetInUse(sim::PhoneInstancePath(3), true);
  RunInstaller(nullptr, "/r");
  size_t boxes = machine.windows.messageBoxes.size();
  size_t wizards = machine.dialogs.runs.size();

  RunInstaller(nullptr, "/i");
  ASSERT_EQ(machine.windows.messageBoxes.size(), boxes + 1);
  EXPECT_EQ(machine.windows.messageBoxes.back().text, LoadedText(IDS_INSTALL_AFTER_RESTART));
  EXPECT_EQ(machine.dialogs.runs.size(), wizards);
  EXPECT_EQ(machine.registry.GetDword(kLm, kSettingsPath, "InstallFlag"), 0u);
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
