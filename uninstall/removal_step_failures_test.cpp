// The removal's device, service and file steps with each of their platform
// calls failing in turn (tests/fail_each_call.h): whatever fails, the step
// ends, releases its device sets, service and search handles, and removes
// nothing that is not the phone's.
#include <gtest/gtest.h>

#include <string>

#include "resources/string_table.h"
#include "tests/driver_cd.h"
#include "tests/fail_each_call.h"
#include "tests/sim_test_support.h"
#include "uninstall/device_removal.h"
#include "uninstall/driver_file_cleaner.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kPhoneModem[] = "ORVEX 3G GSM USB Modem";

sim::DeviceManager::DeviceSpec Device(const std::string& path, const char* classGuid,
                                      const char* className, const std::string& description,
                                      std::vector<std::string> ids) {
  sim::DeviceManager::DeviceSpec device;
  device.instancePath = path;
  device.classGuid = classGuid;
  device.className = className;
  device.description = description;
  device.hardwareIds = std::move(ids);
  device.present = true;
  return device;
}

// Another maker's modem with the phone's description, and a USB device whose
// ID extends the phone's.
void DeviceNeighbours(sim::Machine& machine) {
  machine.devices.AddDevice(machine, Device("USB\\VID_0ACE&PID_0001\\1", kModemClass, "Modem",
                                            kPhoneModem, {"USB\\VID_0ACE&PID_0001"}));
  machine.devices.AddDevice(machine, Device("USB\\VID_1F3C&PID_6B070\\1", kUsbClass, "USB",
                                            "USB Composite Device", {"USB\\VID_1F3C&PID_6B070"}));
}

// The phone's two modems and its composite device; the composite device has
// a long list of hardware IDs, so that the ID buffer has to grow.
void DevicePhone(sim::Machine& machine) {
  for (const char* instance : {"6&1&0&0003", "6&2&0&0003"}) {
    machine.devices.AddDevice(
        machine, Device(std::string("USB\\VID_1F3C&PID_6B07&MI_03\\") + instance, kModemClass,
                        "Modem", kPhoneModem, {"USB\\VID_1F3C&PID_6B07&REV_0100&MI_03"}));
  }
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) ids.push_back("USB\\VID_1F3C&PID_6B07&REV_" + std::to_string(i));
  ids.push_back("USB\\VID_1F3C&PID_6B07");
  machine.devices.AddDevice(machine, Device("USB\\VID_1F3C&PID_6B07\\5&1", kUsbClass, "USB",
                                            "USB Composite Device", ids));
}

void PlantService(sim::Machine& machine, const std::string& name) {
  std::string key = "SYSTEM\\ControlSet001\\Services\\" + name;
  machine.registry.SetDword(kLm, key, "Type", SERVICE_KERNEL_DRIVER);
  machine.registry.SetDword(kLm, key, "Start", SERVICE_DEMAND_START);
}

// Windows XP: the phone's INF-store copies and driver files with their
// LastGood copies and entries, beside another driver's; one of the phone's
// device keys names the other driver's INF oem10.inf (a stale key whose
// number the INF store has given to another package).
void FileNeighbours(sim::Machine& machine) {
  for (const char* folder : {"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\LastGood\\INF\\"}) {
    machine.files.WriteFile(std::string(folder) + "oem10.inf", FixtureText("infs/other_maker.inf"));
    for (const char* name : {"oem10.PNF", "oem1x.inf"}) {
      machine.files.WriteFile(std::string(folder) + name, "other");
    }
  }
  machine.registry.SetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", "inf\\oem10.inf", 1);
  machine.files.WriteFile("C:\\WINDOWS\\system32\\drivers\\KV6bus0.sys", "other");
}
void PlantInfPath(sim::Machine& machine, const char* id, const char* driver, const char* inf) {
  std::string device = std::string("SYSTEM\\ControlSet001\\Enum\\USB\\") + id + "\\6&1&0&7";
  machine.registry.SetString(kLm, device, "Driver", std::string(kModemClass) + "\\" + driver);
  machine.registry.SetString(
      kLm, "SYSTEM\\ControlSet001\\Control\\Class\\" + std::string(kModemClass) + "\\" + driver,
      "InfPath", inf);
}
void FilePhone(sim::Machine& machine) {
  PlantInfPath(machine, "VID_1F3C&PID_6B07&Mi_07", "0004", "oem1.inf");
  PlantInfPath(machine, "VID_1F3C&PID_6B07&Mi_05", "0005", "oem10.inf");
  for (const char* folder : {"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\LastGood\\INF\\"}) {
    machine.files.WriteFile(std::string(folder) + "oem1.inf", FixtureText("infs/stale_phone.inf"),
                            FILE_ATTRIBUTE_READONLY);
    machine.files.WriteFile(std::string(folder) + "oem1.PNF", "phone", FILE_ATTRIBUTE_READONLY);
  }
  for (const char* name : {"inf\\oem1.inf", "inf\\oem1.PNF"}) {
    machine.registry.SetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", name, 1);
  }
  for (const char* folder :
       {"C:\\WINDOWS\\system32\\drivers\\", "C:\\WINDOWS\\LastGood\\system32\\DRIVERS\\"}) {
    for (const char* name : {"KV6bus.sys", "KV6mdm.sys"}) {
      machine.files.WriteFile(std::string(folder) + name, "phone");
    }
  }
}

// Windows 98: the package's INF files and drivers, and the driver database.
void LegacyFilePhone(sim::Machine& machine) {
  for (const char* name :
       {"KV6bus.inf", "KV6bus.pnf", "KV6mdmw.inf", "DRVDATA.BIN", "DRVIDX.BIN"}) {
    machine.files.WriteFile(std::string("C:\\WINDOWS\\INF\\") + name, "phone");
  }
  machine.files.WriteFile("C:\\WINDOWS\\SYSTEM\\KV6vcd.vxd", "phone");
}
void LegacyFileNeighbours(sim::Machine& machine) {
  // The driver database is deleted by design (Windows builds it anew): it
  // counts with the phone's files here.
  machine.files.Remove("C:\\WINDOWS\\INF\\DRVDATA.BIN");
  machine.files.Remove("C:\\WINDOWS\\INF\\DRVIDX.BIN");
  machine.files.WriteFile("C:\\WINDOWS\\INF\\KV6bus0.inf", "other");
  machine.files.WriteFile("C:\\WINDOWS\\SYSTEM\\KV6vcd0.vxd", "other");
}

TEST(RemovalStepFailures, EveryFailedCallOfEachStepEndsItCleanly) {
  const sim::MachineOptions kXp = OptionsFor(WindowsVersion::WindowsXPSP3);
  const sim::MachineOptions k98 = OptionsFor(WindowsVersion::Windows98);
  const FailureStep steps[] = {
      {"modem devices", kXp, DeviceNeighbours, DevicePhone,
       [] { return RemoveModemDevices(IDS_MODEM_DESCRIPTION, IDS_HWID_FUNCTION0); }},
      {"USB devices", kXp, DeviceNeighbours, DevicePhone,
       [] { return RemoveUsbDevices(IDS_HWID_FUNCTION0); }},
      {"services", kXp, [](sim::Machine& m) { PlantService(m, "KV6bus0"); },
       [](sim::Machine& m) {
         PlantService(m, "KV6bus");
         PlantService(m, "KV6mdm");
       },
       [] {
         int result = 1;
         for (int id = IDS_SERVICE_BUS; id <= IDS_SERVICE_OBEX; ++id) {
           result &= DeleteDriverService(id);
         }
         return result;
       }},
      {"XP files", kXp, FileNeighbours, FilePhone, [] { return DriverFileCleaner(12).Clean(); }},
      {"98 files", k98, LegacyFileNeighbours, LegacyFilePhone,
       [] { return DriverFileCleaner(1).Clean(); }},
  };
  int cases = 0;
  for (const FailureStep& step : steps) cases += FailEachCall(step);
  std::printf("[ failures ] %d cases over %zu removal steps\n", cases, std::size(steps));
}

}  // namespace
