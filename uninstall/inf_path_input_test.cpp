// The INF name that a driver key's "InfPath" gives decides which INF and
// PNF files the removal deletes on Windows 2000/XP. The value is written by
// whatever installed the driver: only a name the INF store gives a copy
// ("oem" and digits) or one of the package's own INF names may go, whatever
// else the value holds. Every file here holds the phone's INF, so that the
// name alone decides. The LastGood copies show it for every name: an
// INF-store copy in the INF folder itself is left for the stale INF step,
// which uninstalls it after the devices, and only a package name goes from
// the INF folder here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"
#include "uninstall/driver_file_cleaner.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kInf[] = "C:\\WINDOWS\\INF\\";
const char kLastGoodInf[] = "C:\\WINDOWS\\LastGood\\INF\\";

// The modem function's first instance points at a driver key whose
// "InfPath" holds `data` of `type`.
void PlantInfPath(sim::Machine& machine, uint32_t type, const std::string& data) {
  std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_07\\6&1&0&7";
  machine.registry.SetString(kLm, device, "Driver", std::string(kModemClass) + "\\0004");
  machine.registry.SetValue(
      kLm, "SYSTEM\\ControlSet001\\Control\\Class\\" + std::string(kModemClass) + "\\0004",
      "InfPath", type, std::vector<uint8_t>(data.begin(), data.end()));
}

TEST(InfPathInput, OnlyInfStoreAndPackageNamesAreDeleted) {
  struct Case {
    uint32_t type;
    std::string data;
    const char* deleted;  // the stem whose .inf and .PNF go; "" for none
  };
  const std::string dbcs = "oem1\x82\xA0";  // "あ" in code page 932
  const Case cases[] = {
      {REG_SZ, std::string("OEM1.INF", 9), "OEM1"},
      {REG_SZ, std::string("kv6MDM2.inf", 12), "kv6MDM2"},
      {REG_EXPAND_SZ, std::string("oem1.inf", 9), "oem1"},
      {REG_SZ, std::string("oem1.inf"), "oem1"},          // no terminator: still the whole name
      {REG_SZ, std::string("oem1.inf.bak", 13), "oem1"},  // the stem ends at the first dot
      {REG_SZ, std::string("oem1", 5), ""},               // no extension, no stem
      {REG_SZ, std::string("..\\oem1.inf", 11), ""},
      {REG_SZ, std::string("C:\\WINDOWS\\INF\\oem1.inf", 24), ""},
      {REG_SZ, std::string("inf\\oem1.inf", 13), ""},
      {REG_SZ, std::string("usb.inf", 8), ""},
      {REG_SZ, std::string("oem.inf", 8), ""},
      {REG_SZ, std::string("oem1x.inf", 10), ""},
      {REG_SZ, dbcs + ".inf" + '\0', ""},
      {REG_SZ, std::string(".inf", 5), ""},
      {REG_SZ, "oem" + std::string(300, '1') + ".inf" + '\0', ""},  // cannot be read
      {REG_BINARY, std::string("oem1.inf", 9), ""},
      {REG_DWORD, std::string("oem1", 4), ""},
  };
  for (const Case& c : cases) {
    sim::MachineOptions options = OptionsFor(sim::WindowsVersion::WindowsXPSP3);
    options.codePage = 932;
    sim::Machine& machine = FreshMachine(options);
    std::vector<std::string> names = {"oem1.inf",    "oem1.PNF",    "oem10.inf",   "oem10.PNF",
                                      "kv6MDM2.inf", "kv6MDM2.PNF", "usb.inf",     "usb.PNF",
                                      "oem.inf",     "oem1x.inf",   dbcs + ".inf", dbcs + ".PNF"};
    for (const std::string& name : names) {
      machine.files.WriteFile(kInf + name, FixtureText("infs/stale_phone.inf"));
      machine.files.WriteFile(kLastGoodInf + name, FixtureText("infs/stale_phone.inf"));
    }
    PlantInfPath(machine, c.type, c.data);
    DriverFileCleaner(12).RemoveInfFiles();
    std::string what = c.data.substr(0, 40);
    for (const std::string& name : names) {
      std::string stem = name.substr(0, name.rfind('.'));
      bool gone = sim::UpperName(stem) == sim::UpperName(c.deleted);
      bool storeCopy = sim::UpperName(stem).rfind("OEM", 0) == 0;
      EXPECT_EQ(machine.files.FileExists(kLastGoodInf + name), !gone) << what << ": " << name;
      EXPECT_EQ(machine.files.FileExists(kInf + name), !(gone && !storeCopy))
          << what << ": " << name;
    }
    std::string boxes = MessageBoxTexts();
    EXPECT_EQ(boxes, c.data.size() > 261 ? "More data is available.\r\n\n" : "") << what;
    EXPECT_EQ(OpenHandles(), "") << what;
  }
}

}  // namespace
