// The phone's INF-store copies leave through the system's own door: a removal
// run uninstalls each OEM INF judged the phone's with SetupUninstallOEMInf
// where the system has it (XP and later), after the devices are removed, so
// that the catalog SetupCopyOEMInf installed with a signed package goes too;
// on Windows 2000, which lacks the function, the INF, its PNF and its
// catalog go by hand. A refusal by the system is shown with the system's
// text and the removal goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "platform/sim/driver_store.h"
#include "platform/sim/plug_and_play.h"
#include "tests/driver_cd.h"
#include "tests/run_checks.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char* const kNtInfStems[] = {"KV6bus", "KV6obx2", "KV6sdm2", "KV6mdm2"};

// The signed variant of the driver CD: each 2000/XP INF names its catalog
// in [Version], and a stand-in catalog lies beside it (nothing here reads a
// catalog's content).
void SignTheCd(sim::Machine& machine, const std::string& drivers) {
  for (const char* stem : kNtInfStems) {
    std::string inf = drivers + stem + ".inf";
    std::string text = machine.files.ReadFile(inf).value_or("");
    const std::string version = "[Version]\r\n";
    size_t at = text.find(version);
    ASSERT_NE(at, std::string::npos) << inf;
    text.insert(at + version.size(), std::string("CatalogFile=") + stem + ".cat\r\n");
    machine.files.WriteFile(inf, text, FILE_ATTRIBUTE_READONLY);
    machine.files.WriteFile(drivers + stem + ".cat", std::string("catalog of ") + stem,
                            FILE_ATTRIBUTE_READONLY);
  }
}

// The phone installed through the wizard from the signed CD in D:\, plugged
// in, and a CD launcher window.
sim::Machine& PhoneFromTheSignedCd(WindowsVersion version, HWND* launcher = nullptr,
                                   bool windows64 = false) {
  sim::MachineOptions options = OptionsFor(version);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  options.windows64 = windows64;
  sim::Machine& machine = FreshMachine(options);
  if (windows64) machine.system.process64Bit = true;
  LoadDriverCd(machine, "D:\\");
  SignTheCd(machine, "D:\\Drivers\\");
  InstallThePhoneFromCd(machine);
  HWND window = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(window, "CDROMLauncher", nullptr);
  if (launcher) *launcher = window;
  machine.windows.messageBoxes.clear();
  return machine;
}

// The stems of the INF store's copies of the phone's package ("oem0", ...):
// the INF-folder files whose text names the phone's catalogs.
std::vector<std::string> PhoneStoreStems(const sim::Machine& machine) {
  std::string folder = machine.files.WindowsDirectory() + "\\INF\\";
  std::vector<std::string> stems;
  for (const std::string& name : machine.files.List(folder)) {
    if (sim::UpperName(name).rfind("OEM", 0) != 0) continue;
    if (sim::UpperName(name).find(".INF") == std::string::npos) continue;
    std::string text = machine.files.ReadFile(folder + name).value_or("");
    if (text.find("CatalogFile=KV6") == std::string::npos) continue;
    stems.push_back(name.substr(0, name.size() - 4));
  }
  return stems;
}

// What is left of a store copy: its INF, its PNF, its catalog, by name.
std::string LeftOf(const sim::Machine& machine, const std::string& stem) {
  std::string left;
  std::string inf = machine.files.WindowsDirectory() + "\\INF\\" + stem;
  if (machine.files.FileExists(inf + ".inf")) left += stem + ".inf ";
  if (machine.files.FileExists(inf + ".PNF")) left += stem + ".PNF ";
  std::string catalog = sim::InfStore::CatalogFolder(machine.files) + "\\" + stem + ".cat";
  if (machine.files.FileExists(catalog)) left += stem + ".cat ";
  return left;
}

// The phone's packages in the driver store (Vista and later) and every
// entry of the store's index (Windows 8 and later) that names one of them or
// one of the INFs published from them, as "id" and "key|value" lines.
std::string PhoneInStore(const sim::Machine& machine, const std::vector<std::string>& stems) {
  std::string found;
  for (const std::string& id : sim::DriverStore::Packages(machine.files)) {
    if (id.rfind("kv6", 0) == 0) found += id + "\n";
  }
  for (const std::string& line : machine.registry.Snapshot()) {
    if (line.find("DriverDatabase") == std::string::npos) continue;
    bool phone = sim::UpperName(line).find("KV6") != std::string::npos ||
                 sim::UpperName(line).find("VID_1F3C") != std::string::npos;
    for (const std::string& stem : stems) {
      phone = phone || sim::UpperName(line).find(sim::UpperName(stem) + ".INF") != std::string::npos;
    }
    if (phone) found += line + "\n";
  }
  return found;
}

// The image's printer package (oem3.inf): its files, and from Vista on its
// store package and from Windows 8 on its index entries.
std::vector<std::string> PrinterPackage(const sim::Machine& machine) {
  std::vector<std::string> lines;
  for (const std::string& file : machine.files.Snapshot()) {
    if (file.find("acmeprn") != std::string::npos || file.find("oem3.") != std::string::npos) {
      lines.push_back(file);
    }
  }
  for (const std::string& line : machine.registry.Snapshot()) {
    if (line.find("DriverDatabase") != std::string::npos &&
        (line.find("acmeprn") != std::string::npos || line.find("oem3.inf") != std::string::npos)) {
      lines.push_back(line);
    }
  }
  return lines;
}

// The installation put four copies with their PNFs and catalogs in place,
// and from Vista on four packages in the driver store (from Windows 8 on
// indexed); the removal leaves none of it, whether the system has
// SetupUninstallOEMInf (XP and later: the system takes them) or not
// (Windows 2000: by hand, and nothing to tell the user). The image's
// printer package, in the store and its index too, stays as it was, and a
// phone plugged in afterwards, with the CD out of the drive, finds no
// driver of ours anywhere.
TEST(OemInfUninstall, TheSignedPackageLeavesWithItsPnfsCatalogsAndStorePackages) {
  struct Case {
    WindowsVersion version;
    bool windows64;
  };
  for (const Case& c : {Case{WindowsVersion::Windows2000, false},
                        Case{WindowsVersion::WindowsXPSP1, false},
                        Case{WindowsVersion::WindowsXPSP3, false},
                        Case{WindowsVersion::WindowsVista, false},
                        Case{WindowsVersion::Windows7, false}, Case{WindowsVersion::Windows7, true},
                        Case{WindowsVersion::Windows81, false},
                        Case{WindowsVersion::Windows10, false},
                        Case{WindowsVersion::Windows10, true},
                        Case{WindowsVersion::Windows11, true}}) {
    SCOPED_TRACE(static_cast<int>(c.version) * 10 + c.windows64);
    HWND launcher = nullptr;
    sim::Machine& machine = PhoneFromTheSignedCd(c.version, &launcher, c.windows64);
    std::vector<std::string> stems = PhoneStoreStems(machine);
    ASSERT_EQ(stems.size(), 4u);
    for (const std::string& stem : stems) {
      ASSERT_EQ(LeftOf(machine, stem), stem + ".inf " + stem + ".PNF " + stem + ".cat ");
    }
    // Four packages in the store, and four index entries of each kind.
    std::string installed = PhoneInStore(machine, stems);
    size_t lines = std::count(installed.begin(), installed.end(), '\n');
    EXPECT_GE(lines, c.version >= WindowsVersion::Windows81    ? 16u
                     : c.version >= WindowsVersion::WindowsVista ? 4u
                                                                 : 0u)
        << installed;
    const std::vector<std::string> printer = PrinterPackage(machine);
    EXPECT_FALSE(printer.empty());

    RunInstaller(nullptr, "/r");
    for (const std::string& stem : stems) EXPECT_EQ(LeftOf(machine, stem), "");
    EXPECT_EQ(PhoneInStore(machine, stems), "");
    // The image's printer package is no one's to touch.
    EXPECT_EQ(PrinterPackage(machine), printer);
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_TRUE(runcheck::HeardDeviceChange(machine, launcher));
    EXPECT_EQ(OpenHandles(), "");

    machine.files.Remove("D:\\Drivers");
    EXPECT_FALSE(sim::PlugInPhone(machine));
    EXPECT_EQ(PhoneStoreStems(machine), std::vector<std::string>());
    EXPECT_EQ(PhoneInStore(machine, stems), "");
  }
}

// The system's call is made where the system has it: a refusal shows, with
// the system's own text, and the removal goes on: the INF, its PNF and its
// catalog still go by hand, the other copies are uninstalled, and the
// launcher hears of it. Windows 2000 reports no such function, which is no
// failure to tell.
TEST(OemInfUninstall, ARefusalIsShownAndTheRemovalGoesOn) {
  struct Case {
    const char* what;
    WindowsVersion version;
    bool refuse;  // make the system's first call fail with ERROR_ACCESS_DENIED
    bool foreignDevice;
    const char* box;
    // The refused copy keeps its files: its package stays in the driver
    // store, where only its published name lets a later removal take it.
    bool refusedCopyStays = false;
  };
  const Case cases[] = {
      {"the system refuses", WindowsVersion::WindowsXPSP3, true, false, "Access is denied.\r\n\n"},
      {"another ID's device uses the INF", WindowsVersion::WindowsXPSP3, false, true,
       "One or more devices are presently installed using the specified INF.\r\n\n"},
      {"Windows 2000 has no such function", WindowsVersion::Windows2000, false, true, ""},
      {"another ID's device uses the INF, Windows 10", WindowsVersion::Windows10, false, true,
       "One or more devices are presently installed using the specified INF.\r\n\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND launcher = nullptr;
    sim::Machine& machine = PhoneFromTheSignedCd(c.version, &launcher);
    std::vector<std::string> stems = PhoneStoreStems(machine);
    ASSERT_EQ(stems.size(), 4u);
    if (c.foreignDevice) {
      // A device of an ID the removal does not take, driven from the first
      // copy: the system refuses that copy while the device has it.
      std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6BFF\\5&2&0&1";
      machine.registry.SetString(kLm, device, "Driver", std::string(kModemClass) + "\\0077");
      machine.registry.SetString(
          kLm, std::string("SYSTEM\\ControlSet001\\Control\\Class\\") + kModemClass + "\\0077",
          "InfPath", stems[0] + ".inf");
    }
    if (c.refuse) machine.faults.FailOn("SetupUninstallOEMInfA", 1, ERROR_ACCESS_DENIED);

    RunInstaller(nullptr, "/r");
    EXPECT_EQ(MessageBoxTexts(), c.box);
    for (const std::string& stem : stems) {
      bool stays = c.refusedCopyStays && stem == stems[0];
      EXPECT_EQ(LeftOf(machine, stem), stays ? stem + ".inf " + stem + ".PNF " + stem + ".cat " : "");
    }
    EXPECT_EQ(PhoneInStore(machine, {}).empty(), !c.refusedCopyStays);
    EXPECT_TRUE(runcheck::HeardDeviceChange(machine, launcher));
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
