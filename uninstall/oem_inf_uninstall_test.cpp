// The phone's INF-store copies leave through the system's own door: a removal
// run uninstalls each OEM INF judged the phone's with SetupUninstallOEMInf
// where the system has it (XP and later), after the devices are removed, so
// that the catalog SetupCopyOEMInf installed with a signed package goes too;
// on Windows 2000, which lacks the function, the INF, its PNF and its
// catalog go by hand. A refusal by the system is shown with the system's
// text and the removal goes on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/entry_point.h"
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
sim::Machine& PhoneFromTheSignedCd(WindowsVersion version, HWND* launcher = nullptr) {
  sim::MachineOptions options = OptionsFor(version);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  sim::Machine& machine = FreshMachine(options);
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

// The installation put four copies with their PNFs and catalogs in place;
// the removal leaves none of the three files, whether the system has
// SetupUninstallOEMInf (XP and later: the system takes them) or not
// (Windows 2000: by hand, and nothing to tell the user).
TEST(OemInfUninstall, TheSignedPackageLeavesWithItsPnfsAndCatalogs) {
  for (WindowsVersion version : {WindowsVersion::Windows2000, WindowsVersion::WindowsXPSP1,
                                 WindowsVersion::WindowsXPSP3, WindowsVersion::Windows7}) {
    SCOPED_TRACE(static_cast<int>(version));
    HWND launcher = nullptr;
    sim::Machine& machine = PhoneFromTheSignedCd(version, &launcher);
    std::vector<std::string> stems = PhoneStoreStems(machine);
    ASSERT_EQ(stems.size(), 4u);
    for (const std::string& stem : stems) {
      ASSERT_EQ(LeftOf(machine, stem), stem + ".inf " + stem + ".PNF " + stem + ".cat ");
    }

    RunInstaller(nullptr, "/r");
    for (const std::string& stem : stems) EXPECT_EQ(LeftOf(machine, stem), "");
    // The image's printer package is no one's to touch.
    EXPECT_TRUE(machine.files.FileExists(machine.files.WindowsDirectory() + "\\INF\\oem3.inf"));
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_TRUE(runcheck::HeardDeviceChange(machine, launcher));
    EXPECT_EQ(OpenHandles(), "");
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
  };
  const Case cases[] = {
      {"the system refuses", WindowsVersion::WindowsXPSP3, true, false, "Access is denied.\r\n\n"},
      {"another ID's device uses the INF", WindowsVersion::WindowsXPSP3, false, true,
       "One or more devices are presently installed using the specified INF.\r\n\n"},
      {"Windows 2000 has no such function", WindowsVersion::Windows2000, false, true, ""},
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
    for (const std::string& stem : stems) EXPECT_EQ(LeftOf(machine, stem), "");
    EXPECT_TRUE(runcheck::HeardDeviceChange(machine, launcher));
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
