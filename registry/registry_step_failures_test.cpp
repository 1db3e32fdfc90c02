// Each step of the registry cleanup, with each of its platform calls failing
// in turn (tests/fail_each_call.h): whatever fails, the step ends with 0 or
// 1, closes every key it opened and deletes nothing but the phone's entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "resources/string_table.h"
#include "tests/fail_each_call.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kCs001[] = "SYSTEM\\ControlSet001\\";

// Windows XP: two interface classes, each with an interface key of the phone
// (with the sub-keys Windows gives it) between keys of the neighbour.
void InterfaceNeighbours(sim::Machine& machine) {
  sim::RegistryModel& reg = machine.registry;
  for (const char* cls : {"{a5dcbf10-6530-11d2-901f-00c04fb951ed}", "{86e0d1e0-8089-11d0}"}) {
    std::string base = std::string(kCs001) + "Control\\DeviceClasses\\" + cls;
    reg.SetString(kLm, base + "\\##?#USB#VID_1F3C&PID_6B070#1#{x}", "DeviceInstance",
                  "USB\\VID_1F3C&PID_6B070\\1");
    reg.SetString(kLm, base + "\\##?#USB#VID_1F3C&PID_6B07Z#1#{x}", "DeviceInstance",
                  "USB\\VID_1F3C&PID_6B070\\2");
  }
}
void InterfacePhone(sim::Machine& machine) {
  sim::RegistryModel& reg = machine.registry;
  for (const char* cls : {"{a5dcbf10-6530-11d2-901f-00c04fb951ed}", "{86e0d1e0-8089-11d0}"}) {
    std::string base = std::string(kCs001) + "Control\\DeviceClasses\\" + cls;
    for (const char* key :
         {"##?#USB#VID_1F3C&PID_6B07#5&1#{x}", "##?#USB#VID_1F3C&PID_6B07&MI_03#6&1#{x}"}) {
      reg.SetString(kLm, base + "\\" + key, "DeviceInstance", std::string("usb\\") + (key + 8));
      reg.SetString(kLm, base + "\\" + key + "\\#", "SymbolicLink", "\\\\?\\x");
    }
  }
}

// The phone's device key in ControlSet001 with two instances whose "Driver"
// names modem driver keys, beside another maker's driver keys.
void DriverNeighbours(sim::Machine& machine) {
  sim::RegistryModel& reg = machine.registry;
  std::string classKey = std::string(kCs001) + "Control\\Class\\" + kModemClass;
  reg.SetString(kLm, classKey, "Class", "Modem");
  reg.SetString(kLm, classKey + "\\0000", "InfPath", "mdmgen.inf");
  reg.SetString(kLm, classKey + "\\0003", "InfPath", "oem10.inf");
  reg.SetString(kLm, std::string(kCs001) + "Control\\COM Name Arbiter", "Other", "x");
  reg.SetString(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM10:", "9600");
}
void DriverPhone(sim::Machine& machine) {
  sim::RegistryModel& reg = machine.registry;
  std::string classKey = std::string(kCs001) + "Control\\Class\\" + kModemClass;
  std::string device = std::string(kCs001) + "Enum\\USB\\VID_1F3C&PID_6B07&Mi_03";
  for (const char* n : {"5", "6"}) {
    std::string number = std::string("000") + n;
    reg.SetString(kLm, device + "\\6&" + n, "Driver", std::string(kModemClass) + "\\" + number);
    reg.SetString(kLm, device + "\\6&" + n + "\\Device Parameters", "PortName",
                  std::string("COM") + n);
    reg.SetString(kLm, classKey + "\\" + number, "InfPath", std::string("oem") + n + ".inf");
    reg.CreateKey(kLm, classKey + "\\" + number + "\\Settings");
    reg.SetString(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
                  std::string("COM") + n + ":", "9600");
  }
  reg.SetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", "inf\\oem5.inf", 1);
}

// Windows 98: phantom entries, the port device's instances and the serial
// map, the problem lists.
void LegacyNeighbours(sim::Machine& machine) {
  sim::RegistryModel& reg = machine.registry;
  const std::string phantom = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
  reg.SetString(kLm, phantom + "\\0001", "HardWareKey", "USB\\VID_1F3C&PID_6B070\\1");
  reg.SetString(kLm, "Enum\\KV6CR\\guid\\0001", "CRLowerDeviceID", "USB\\VID_0ACE&PID_1\\1");
  reg.SetString(kLm, "Enum\\KV6CR\\guid\\0001", "Portname", "COM7");
  reg.SetString(kLm, "Hardware\\DeviceMap\\SerialComm", "COM7", "COM7");
}
void LegacyPhone(sim::Machine& machine) {
  sim::RegistryModel& reg = machine.registry;
  const std::string phantom = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
  reg.SetString(kLm, phantom + "\\0000", "HardWareKey", "USB\\VID_1F3C&PID_6B07\\1");
  reg.SetString(kLm, phantom + "\\0002", "HardWareKey", "USB\\VID_1F3C&PID_6B07&MI_03\\1");
  reg.SetString(kLm, phantom + "\\0003", "HardWareKey", "USB\\VID_1F3C&PID_6B07&MI_05\\1");
  reg.SetString(kLm, "Enum\\KV6CR\\guid\\0000", "CRLowerDeviceID",
                "USB\\VID_1F3C&PID_6B07&MI_03\\1");
  reg.SetString(kLm, "Enum\\KV6CR\\guid\\0000", "Portname", "COM5");
  reg.SetString(kLm, "Enum\\KV6CR\\guid\\0000", "Driver", "Ports\\0005");
  reg.SetString(kLm, "System\\CurrentControlSet\\Services\\Class\\Ports\\0005", "InfPath",
                "KV6mdmv.inf");
  reg.SetString(kLm, "Hardware\\DeviceMap\\SerialComm", "COM5", "COM5");
}

TEST(RegistryStepFailures, EveryFailedCallOfEachStepEndsItCleanly) {
  const sim::MachineOptions kXp = OptionsFor(WindowsVersion::WindowsXPSP3);
  const sim::MachineOptions k98 = OptionsFor(WindowsVersion::Windows98);
  const FailureStep steps[] = {
      {"interface keys", kXp, InterfaceNeighbours, InterfacePhone,
       [] {
         return RegistryCleaner(12).DeleteInterfaceKeys(IDS_REG_DEVICE_CLASSES_CS001,
                                                        IDS_HWID_FUNCTION0);
       }},
      {"driver keys", kXp, DriverNeighbours, DriverPhone,
       [] {
         return RegistryCleaner(12).DeleteDriverKeys(
             "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03",
             "SYSTEM\\ControlSet001\\Control\\Class");
       }},
      {"COM ports", kXp, DriverNeighbours, DriverPhone,
       [] {
         return RegistryCleaner(12).ReleaseComPorts(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION1,
                                                    IDS_REG_CONTROL_CS001);
       }},
      {"device tree", kXp, DriverNeighbours, DriverPhone,
       [] {
         return RegistryCleaner(12).DeleteTreeAt(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION1);
       }},
      {"INF stem and LastGood", kXp, DriverNeighbours, DriverPhone,
       [] {
         char stem[kRegTextCapacity] = {};
         RegistryWalker(12).FindDriverInfStem(
             kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03", stem);
         if (stem[0] == '\0') return 1;
         return RegistryCleaner(12).DeleteValuesContaining(kLm, IDS_REG_LASTGOOD, stem,
                                                           MatchRule::kFileStem);
       }},
      {"phantoms", k98, LegacyNeighbours, LegacyPhone,
       [] { return RegistryCleaner(1).DeletePhantomKeys(IDS_REG9X_PHANTOM, IDS_HWID_FUNCTION0); }},
      {"serial map", k98, LegacyNeighbours, LegacyPhone,
       [] { return RegistryCleaner(1).RemoveSerialCommEntries(); }},
      {"port device driver keys", k98, LegacyNeighbours, LegacyPhone,
       [] {
         return RegistryCleaner(1).DeleteDriverKeys("Enum\\KV6CR\\guid",
                                                    "System\\CurrentControlSet\\Services\\Class");
       }},
  };
  int cases = 0;
  for (const FailureStep& step : steps) cases += FailEachCall(step);
  std::printf("[ failures ] %d cases over %zu cleanup steps\n", cases, std::size(steps));
}

}  // namespace
