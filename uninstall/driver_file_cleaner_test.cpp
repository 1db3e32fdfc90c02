#include "uninstall/driver_file_cleaner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"
#include "uninstall/driver_remover.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

// Points the first instance of the phone's device key `hardwareId` at a
// driver key whose InfPath is `infPath`.
void PlantInstalledFunction(sim::Machine& machine, const std::string& hardwareId,
                            const std::string& driverNumber, const std::string& infPath) {
  std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\" + hardwareId + "\\6&1&0&1";
  machine.registry.SetString(kLm, device, "Driver", std::string(kModemClass) + "\\" + driverNumber);
  machine.registry.SetString(
      kLm, "SYSTEM\\ControlSet001\\Control\\Class\\" + std::string(kModemClass) + "\\" + driverNumber,
      "InfPath", infPath);
}

TEST(ComposeFileName, JoinsWithOneBackslashAndRefusesWhatDoesNotFit) {
  char name[261];
  EXPECT_EQ(ComposeFileName(name, "C:\\WINDOWS\\INF", "oem12", "inf"), 1);
  EXPECT_STREQ(name, "C:\\WINDOWS\\INF\\oem12.inf");
  EXPECT_EQ(ComposeFileName(name, "C:\\", "oem12", "PNF"), 1);
  EXPECT_STREQ(name, "C:\\oem12.PNF");
  EXPECT_EQ(ComposeFileName(nullptr, "C:\\", "a", "b"), 0);

  // 250 + 1 + 5 + 1 + 3 = 260 fits exactly; one more character does not.
  std::string folder(250, 'f');
  char guard[300];
  std::memset(guard, 'x', sizeof guard);
  EXPECT_EQ(ComposeFileName(guard, folder.c_str(), "oem12", "inf"), 1);
  EXPECT_EQ(std::strlen(guard), 260u);
  std::memset(guard, 'x', sizeof guard);
  EXPECT_EQ(ComposeFileName(guard, folder.c_str(), "oem123", "inf"), 0);
  EXPECT_EQ(guard[0], '\0');
  EXPECT_EQ(guard[261], 'x');  // nothing written past the 261 characters
  std::string stem = "oem" + std::string(300, '1');
  EXPECT_EQ(ComposeFileName(guard, "C:\\WINDOWS\\INF", stem.c_str(), "inf"), 0);
  EXPECT_EQ(guard[261], 'x');
}

TEST(IsDeletableInfStem, OnlyInfStoreNamesAndThePackagesOwn) {
  FreshMachine();
  EXPECT_TRUE(IsDeletableInfStem("oem12"));
  EXPECT_TRUE(IsDeletableInfStem("OEM7"));
  EXPECT_TRUE(IsDeletableInfStem("KV6bus"));
  EXPECT_TRUE(IsDeletableInfStem("kv6mdm2"));
  EXPECT_FALSE(IsDeletableInfStem(""));
  EXPECT_FALSE(IsDeletableInfStem("oem"));
  EXPECT_FALSE(IsDeletableInfStem("oem1a"));
  EXPECT_FALSE(IsDeletableInfStem("usb"));
  EXPECT_FALSE(IsDeletableInfStem("mdmgen"));
  EXPECT_FALSE(IsDeletableInfStem("..\\oem1"));
  EXPECT_FALSE(IsDeletableInfStem("C:oem1"));
}

TEST(DriverFileCleaner, WindowsXpDeletesThePhonesInfsAndDriversWithTheirLastGoodCopies) {
  sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::WindowsXPSP2));
  auto& files = machine.files;
  PlantInstalledFunction(machine, "VID_1F3C&PID_6B07", "0001", "oem12.inf");
  PlantInstalledFunction(machine, "VID_1F3C&PID_6B07&Mi_03", "0002", "oem13.inf");
  PlantInstalledFunction(machine, "VID_1F3C&PID_6B07&Mi_05", "0003", "oem12.inf");  // shared
  PlantInstalledFunction(machine, "VID_1F3C&PID_6B07&Mi_07", "0004", "usb.inf");  // Windows' own
  std::string phone = FixtureText("infs/stale_phone.inf");
  for (const char* name : {"oem12.inf", "oem12.PNF", "oem13.inf", "oem13.PNF", "oem10.inf"}) {
    files.WriteFile(std::string("C:\\WINDOWS\\INF\\") + name, phone);
    files.WriteFile(std::string("C:\\WINDOWS\\LastGood\\INF\\") + name, phone);
  }
  for (const char* name : {"KV6bus.sys", "KV6mdfl.sys", "KV6whnt.sys", "KV6bus0.sys"}) {
    files.WriteFile(std::string("C:\\WINDOWS\\system32\\drivers\\") + name, "MZ");
    files.WriteFile(std::string("C:\\WINDOWS\\LastGood\\system32\\DRIVERS\\") + name, "MZ");
  }
  files.SetAttributes("C:\\WINDOWS\\system32\\drivers\\KV6mdfl.sys", FILE_ATTRIBUTE_READONLY);

  DriverFileCleaner cleaner(12);
  EXPECT_EQ(cleaner.Clean(), 1);
  // The LastGood copies go; the INF-store copies in the INF folder are left
  // for the stale INF step, which uninstalls them after the devices.
  for (const char* name : {"oem12.inf", "oem12.PNF", "oem13.inf", "oem13.PNF"}) {
    EXPECT_FALSE(files.FileExists(std::string("C:\\WINDOWS\\LastGood\\INF\\") + name)) << name;
    EXPECT_TRUE(files.FileExists(std::string("C:\\WINDOWS\\INF\\") + name)) << name;
  }
  for (const char* folder : {"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\LastGood\\INF\\"}) {
    EXPECT_TRUE(files.FileExists(std::string(folder) + "oem10.inf"));
  }
  EXPECT_TRUE(files.FileExists("C:\\WINDOWS\\INF\\usb.inf"));
  EXPECT_TRUE(files.FileExists("C:\\WINDOWS\\INF\\oem3.inf"));
  for (const char* folder :
       {"C:\\WINDOWS\\system32\\drivers\\", "C:\\WINDOWS\\LastGood\\system32\\DRIVERS\\"}) {
    EXPECT_FALSE(files.FileExists(std::string(folder) + "KV6bus.sys"));
    EXPECT_FALSE(files.FileExists(std::string(folder) + "KV6mdfl.sys"));
    EXPECT_FALSE(files.FileExists(std::string(folder) + "KV6whnt.sys"));
    EXPECT_TRUE(files.FileExists(std::string(folder) + "KV6bus0.sys"));
  }
  EXPECT_TRUE(files.FileExists("C:\\WINDOWS\\system32\\drivers\\serial.sys"));
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

// A phone device key names an INF that is not always the phone's: a function
// that Windows drove with another maker's INF before the phone's CD came, a
// stale key whose oemN number the INF store has since given to another
// package, Windows' own usb.inf. A removal run deletes each copy (INF folder,
// LastGood folder) only when that copy is the phone's, and the LastGood
// entries follow the INF folder's copy, or the LastGood copy when the INF
// folder has none.
TEST(DriverFileCleaner, AnInfNamedByADeviceKeyGoesOnlyWhereItIsThePhones) {
  const std::string phone = FixtureText("infs/stale_phone.inf");
  const std::string printer = FixtureText("infs/other_maker.inf");
  const std::string genericModem = FixtureText("infs/other_maker_same_id.inf");
  const std::string makersOther = FixtureText("infs/orvex_neighbour.inf");
  struct Case {
    const char* what;
    int osKind;
    const char* infPath;       // the value the phone's modem key names
    const std::string* live;   // contents in the INF folder, null for none
    const std::string* saved;  // contents in the LastGood INF folder
    bool liveGoes, savedGoes, entriesGo;
  };
  const std::string anything = "x";
  const Case cases[] = {
      {"the phone's own copy", 12, "oem12.inf", &phone, &phone, true, true, true},
      {"in upper case", 12, "OEM12.INF", &phone, &phone, true, true, true},
      {"number given to a printer", 12, "oem12.inf", &printer, &printer, false, false, false},
      {"generic modem INF naming the ID", 12, "oem12.inf", &genericModem, nullptr, false, false,
       false},
      {"the maker's other product", 12, "oem12.inf", &makersOther, &makersOther, false, false,
       false},
      {"printer now, phone's before", 12, "oem12.inf", &printer, &phone, false, true, false},
      {"phone's now, printer's before", 12, "oem12.inf", &phone, &printer, true, false, true},
      {"only the LastGood copy left", 12, "oem12.inf", nullptr, &phone, false, true, true},
      {"no copy left", 12, "oem12.inf", nullptr, nullptr, false, false, false},
      {"Windows' own usb.inf", 12, "usb.inf", &anything, &anything, false, false, false},
      {"the package's own name", 12, "KV6mdm2.inf", &anything, &anything, true, true, true},
      {"Windows 2000, a printer's", 11, "oem12.inf", &printer, nullptr, false, false, false},
      {"Windows 2000, the phone's", 11, "oem12.inf", &phone, nullptr, true, false, false},
  };
  const char lastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool xp = c.osKind == 12;
    sim::Machine& machine = FreshMachine(
        OptionsFor(xp ? sim::WindowsVersion::WindowsXPSP3 : sim::WindowsVersion::Windows2000));
    std::string windows = machine.files.WindowsDirectory();
    std::string stem = std::string(c.infPath).substr(0, std::string(c.infPath).find('.'));
    std::string live = windows + "\\INF\\" + stem;
    std::string saved = windows + "\\LastGood\\INF\\" + stem;
    PlantInstalledFunction(machine, "VID_1F3C&PID_6B07&Mi_07", "0004", c.infPath);
    if (c.live) {
      machine.files.WriteFile(live + ".inf", *c.live);
      machine.files.WriteFile(live + ".PNF", "PNF");
    }
    if (c.saved) {
      machine.files.WriteFile(saved + ".inf", *c.saved);
      machine.files.WriteFile(saved + ".PNF", "PNF");
    }
    if (xp) {
      machine.registry.SetDword(kLm, lastGood, "inf\\" + stem + ".inf", 1);
      machine.registry.SetDword(kLm, lastGood, "inf\\" + stem + ".PNF", 1);
    }

    DriverRemover(c.osKind);
    for (const char* extension : {".inf", ".PNF"}) {
      EXPECT_EQ(machine.files.FileExists(live + extension), c.live && !c.liveGoes) << extension;
      EXPECT_EQ(machine.files.FileExists(saved + extension), c.saved && !c.savedGoes) << extension;
      if (xp) {
        EXPECT_EQ(machine.registry.ValueExists(kLm, lastGood, "inf\\" + stem + extension),
                  !c.entriesGo)
            << extension;
      }
    }
    // The image's printer (oem3) and its LastGood entries are never touched.
    EXPECT_TRUE(machine.files.FileExists(windows + "\\INF\\oem3.inf"));
    if (xp) {
      EXPECT_TRUE(machine.registry.ValueExists(kLm, lastGood, "inf\\oem3.inf"));
    }
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(DriverFileCleaner, WindowsXpDeletesEachNameInTheInfFolderBeforeTheLastGoodFolder) {
  // The package's own names go from the INF folder here; an INF-store copy
  // there (oem12) is left for the stale INF step, its LastGood copy goes.
  const char* expectedOrder[] = {"C:\\WINDOWS\\INF\\KV6mdm2.inf",
                                 "C:\\WINDOWS\\LastGood\\INF\\KV6mdm2.inf",
                                 "C:\\WINDOWS\\INF\\KV6mdm2.PNF",
                                 "C:\\WINDOWS\\LastGood\\INF\\KV6mdm2.PNF",
                                 "C:\\WINDOWS\\LastGood\\INF\\oem12.inf",
                                 "C:\\WINDOWS\\LastGood\\INF\\oem12.PNF",
                                 "C:\\WINDOWS\\system32\\drivers\\KV6bus.sys",
                                 "C:\\WINDOWS\\LastGood\\system32\\DRIVERS\\KV6bus.sys"};
  const int count = sizeof expectedOrder / sizeof expectedOrder[0];
  // The n-th deletion fails: the n-th name of the order is the one left.
  for (int n = 1; n <= count; ++n) {
    sim::Machine& machine = FreshMachine();
    PlantInstalledFunction(machine, "VID_1F3C&PID_6B07", "0001", "KV6mdm2.inf");
    PlantInstalledFunction(machine, "VID_1F3C&PID_6B07&Mi_03", "0002", "oem12.inf");
    for (const char* path : expectedOrder) {
      machine.files.WriteFile(path, FixtureText("infs/stale_phone.inf"));
    }
    machine.files.WriteFile("C:\\WINDOWS\\INF\\oem12.inf", FixtureText("infs/stale_phone.inf"));
    machine.files.WriteFile("C:\\WINDOWS\\INF\\oem12.PNF", "PNF");
    machine.faults.FailOn("DeleteFileA", n, ERROR_ACCESS_DENIED);
    DriverFileCleaner(12).Clean();
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(machine.files.FileExists(expectedOrder[i]), i == n - 1) << n << " " << i;
    }
    EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\oem12.inf"));
    EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\oem12.PNF"));
  }
}

TEST(DriverFileCleaner, NoDeviceKeyOrNoInfPathDeletesNoInfFile) {
  sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::Windows2000));
  std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07\\1";
  machine.registry.SetString(kLm, device, "Driver", std::string(kModemClass) + "\\0009");
  machine.registry.CreateKey(kLm, "SYSTEM\\ControlSet001\\Control\\Class\\" +
                                      std::string(kModemClass) + "\\0009");
  machine.files.WriteFile("C:\\WINNT\\INF\\.inf", "x");
  std::vector<std::string> before = machine.files.Snapshot();
  EXPECT_EQ(DriverFileCleaner(11).Clean(), 1);
  EXPECT_EQ(machine.files.Snapshot(), before);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

TEST(DriverFileCleaner, OlderWindowsDeleteThePackageNamesAndOn98AndMeTheDatabase) {
  struct Case {
    sim::WindowsVersion version;
    int osKind;
    bool database;
  };
  for (Case c : {Case{sim::WindowsVersion::Windows95, 0, false},
                 Case{sim::WindowsVersion::Windows98, 1, true},
                 Case{sim::WindowsVersion::WindowsMe, 2, true},
                 Case{sim::WindowsVersion::WindowsNT4, 10, false}}) {
    sim::Machine& machine = FreshMachine(OptionsFor(c.version));
    auto& files = machine.files;
    std::string inf = files.WindowsDirectory() + "\\INF\\";
    std::string system = files.SystemDirectory() + "\\";
    files.WriteFile(inf + "KV6bus.inf", "x");
    files.WriteFile(inf + "KV6bus.pnf", "x");
    files.WriteFile(inf + "KV6sdmw.inf", "x", FILE_ATTRIBUTE_READONLY);
    files.WriteFile(inf + "KV6bus0.inf", "x");
    files.WriteFile(system + "KV6comm.vxd", "x");
    files.WriteFile(system + "KV6cm95.sys", "x");
    files.WriteFile(system + "KV6bus0.sys", "x");
    files.WriteFile(inf + "DRVDATA.BIN", "x");
    files.WriteFile(inf + "DRVIDX.BIN", "x");
    EXPECT_EQ(DriverFileCleaner(c.osKind).Clean(), 1);
    for (const char* gone : {"KV6bus.inf", "KV6bus.pnf", "KV6sdmw.inf"}) {
      EXPECT_FALSE(files.FileExists(inf + gone)) << c.osKind << gone;
    }
    EXPECT_FALSE(files.FileExists(system + "KV6comm.vxd"));
    EXPECT_FALSE(files.FileExists(system + "KV6cm95.sys"));
    EXPECT_TRUE(files.FileExists(inf + "KV6bus0.inf"));
    EXPECT_TRUE(files.FileExists(system + "KV6bus0.sys"));
    EXPECT_EQ(files.FileExists(inf + "DRVDATA.BIN"), !c.database) << c.osKind;
    EXPECT_EQ(files.FileExists(inf + "DRVIDX.BIN"), !c.database) << c.osKind;
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(DriverFileCleaner, AFolderThatCannotBeBuiltEndsOnlyItsStep) {
  sim::Machine& machine = FreshMachine();
  machine.files.WriteFile("C:\\WINDOWS\\system32\\drivers\\KV6bus.sys", "MZ");
  PlantInstalledFunction(machine, "VID_1F3C&PID_6B07", "0001", "oem12.inf");
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem12.inf", "x");
  // The first Windows folder lookup (the INF folder) fails.
  machine.faults.FailOn("GetSystemWindowsDirectoryA", 1, ERROR_INVALID_PARAMETER);
  DriverFileCleaner cleaner(12);
  EXPECT_EQ(cleaner.RemoveInfFiles(), 0);
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\oem12.inf"));
  EXPECT_EQ(cleaner.RemoveDriverFiles(), 1);
  EXPECT_FALSE(machine.files.FileExists("C:\\WINDOWS\\system32\\drivers\\KV6bus.sys"));
}

}  // namespace
