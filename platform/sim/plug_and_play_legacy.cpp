// The Plug and Play stand-in on Windows 95, 98 and Me: the flat Enum tree below
// HKEY_LOCAL_MACHINE, driver keys in Services\Class, the package's port device
// KV6CR on each interface, and the bookkeeping of the 9x configuration manager.
#include <algorithm>

#include "platform/sim/plug_and_play.h"
#include "platform/sim/plug_and_play_internal.h"
#include "platform/sim/sim_util.h"

namespace sim::pnp {

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kPortDevices[] = "Enum\\KV6CR\\guid";
const char kRootEnumerator[] = "Enum\\Root\\KV6CR\\0000";
const char kOemNames[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name";
const char kProblemsUsb[] =
    "System\\CurrentControlSet\\Control\\ASD\\Prob\\{9B4E7760-3196-11CF-97EA-00AA0034319D}";
const char kProblemsPorts[] =
    "System\\CurrentControlSet\\Control\\ASD\\Prob\\{CF2524C0-29AE-11CF-97EA-00AA0034319D}";
const char kPhantoms[] = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
const char kDeviceClasses[] = "System\\CurrentControlSet\\Control\\DeviceClasses";

// Windows 98 and Me: the automatic skip-driver agent's problem lists and the WDM
// device interfaces. Windows 95 has neither.
bool HasWdmBookkeeping(const Machine& machine) {
  WindowsVersion version = machine.options().version;
  return version == WindowsVersion::Windows98 || version == WindowsVersion::WindowsMe;
}

std::string UsbKey(int function, int usbPort) {
  return std::string("Enum\\USB\\") + Function(function).deviceId + "\\" +
         InstanceName(function, usbPort);
}

std::string InstancePath(int function, int usbPort) {
  return std::string("USB\\") + Function(function).deviceId + "\\" +
         InstanceName(function, usbPort);
}

std::string HardwareIdText(int function) {
  std::string id = std::string("USB\\") + Function(function).deviceId;
  std::string suffix = id.substr(std::string("USB\\VID_1F3C&PID_6B07").size());
  return "USB\\VID_1F3C&PID_6B07&REV_0100" + suffix + "," + id;
}

// A driver key below Services\Class\<class>: the one the device's Driver value
// names when it has one, else the next free number.
std::string DriverValueFor(RegistryModel& reg, const std::string& deviceKey,
                           const std::string& className) {
  std::optional<std::string> driver = reg.GetString(kLm, deviceKey, "Driver");
  if (driver &&
      UpperAscii(driver->substr(0, className.size() + 1)) == UpperAscii(className + "\\")) {
    return *driver;
  }
  return className + "\\" + NextFreeNumber(reg, std::string(kLegacyClassTree) + "\\" + className);
}

std::string WriteDriverKey(RegistryModel& reg, const std::string& deviceKey,
                           const std::string& className, const std::string& description,
                           const DriverChoice& driver, const std::string& driverFile) {
  std::string value = DriverValueFor(reg, deviceKey, className);
  std::string key = std::string(kLegacyClassTree) + "\\" + value;
  reg.SetString(kLm, key, "DriverDesc", description);
  reg.SetString(kLm, key, "ProviderName", kMaker);
  reg.SetString(kLm, key, "InfPath", UpperAscii(driver.infName));
  reg.SetString(kLm, key, "InfSection", driver.infSection);
  reg.SetString(kLm, key, "DevLoader", "*ntkern");
  reg.SetString(kLm, key, "NTMPDriver", driverFile);
  reg.SetString(kLm, deviceKey, "Driver", value);
  return key;
}

void WriteDeviceValues(RegistryModel& reg, const std::string& key, const std::string& className,
                       const std::string& hardwareId, const std::string& description) {
  reg.SetString(kLm, key, "Class", className);
  reg.SetString(kLm, key, "HardwareID", hardwareId);
  reg.SetString(kLm, key, "DeviceDesc", description);
  reg.SetString(kLm, key, "Mfg", kMaker);
  reg.SetValue(kLm, key, "ConfigFlags", REG_BINARY, {0, 0, 0, 0});
}

// The lowest COM number that no port of the serial map and no port device holds.
int ChooseComNumber(RegistryModel& reg) {
  std::vector<std::string> used = PortsInSerialMap(reg, kLegacySerialMap);
  for (const std::string& instance : reg.SubKeyNames(kLm, kPortDevices)) {
    std::optional<std::string> port =
        reg.GetString(kLm, std::string(kPortDevices) + "\\" + instance, "PortName");
    if (port) used.push_back(UpperAscii(*port));
  }
  for (int n = 1; n <= 256; ++n) {
    if (!std::count(used.begin(), used.end(), "COM" + std::to_string(n))) return n;
  }
  return 0;
}

// The port device instance that sits on the interface: the existing one whose
// lower device it is, or the next free number.
std::string PortDeviceKey(RegistryModel& reg, const std::string& lowerPath) {
  for (const std::string& instance : reg.SubKeyNames(kLm, kPortDevices)) {
    std::string key = std::string(kPortDevices) + "\\" + instance;
    std::optional<std::string> lower = reg.GetString(kLm, key, "CRLowerDeviceID");
    if (lower && UpperAscii(*lower) == UpperAscii(lowerPath)) return key;
  }
  return std::string(kPortDevices) + "\\" + NextFreeNumber(reg, kPortDevices);
}

void WriteRootEnumerator(Machine& machine, const DriverChoice& driver) {
  RegistryModel& reg = machine.registry;
  WriteDeviceValues(reg, kRootEnumerator, "System", "ROOT\\KV6CR",
                    "ORVEX 3G GSM USB Port Enumerator");
  WriteDriverKey(reg, kRootEnumerator, "System", "ORVEX 3G GSM USB Port Enumerator", driver,
                 "KV6cr.sys");
  if (HasWdmBookkeeping(machine)) {
    reg.SetValue(kLm, kProblemsUsb, "ROOT\\KV6CR\\0000", REG_BINARY, {0x01, 0, 0, 0});
  }
}

void WritePortDevice(Machine& machine, int function, int usbPort, const DriverChoice& driver,
                     bool assignComPorts) {
  RegistryModel& reg = machine.registry;
  const FunctionSpec& traits = Function(function);
  std::string lowerPath = InstancePath(function, usbPort);
  std::string key = PortDeviceKey(reg, lowerPath);
  WriteDeviceValues(reg, key, traits.legacyClass, "KV6CR\\GUID", traits.description);
  reg.SetString(kLm, key, "CRLowerDeviceID", lowerPath);
  std::string driverKey =
      WriteDriverKey(reg, key, traits.legacyClass, traits.description, driver, "KV6cr.sys");
  if (HasWdmBookkeeping(machine)) {
    std::string instance = key.substr(std::string(kPortDevices).size() + 1);
    reg.SetValue(kLm, kProblemsPorts, "KV6CR\\GUID\\" + instance, REG_BINARY, {0x01, 0, 0, 0});
  }
  if (!assignComPorts) return;
  std::optional<std::string> port = reg.GetString(kLm, key, "PortName");
  if (!port) {
    int number = ChooseComNumber(reg);
    if (number == 0) return;
    port = "COM" + std::to_string(number);
    reg.SetString(kLm, key, "PortName", *port);
  }
  reg.SetString(kLm, kLegacySerialMap, *port, *port);
  if (function == phone::kModemFunction) reg.SetString(kLm, driverKey, "AttachedTo", *port);
}

void WriteInterface(RegistryModel& reg, const std::string& interfaceGuid,
                    const std::string& instancePath) {
  std::string mangled = instancePath;
  std::replace(mangled.begin(), mangled.end(), '\\', '#');
  std::string key =
      std::string(kDeviceClasses) + "\\" + interfaceGuid + "\\##?#" + mangled + "#" + interfaceGuid;
  reg.SetString(kLm, key, "DeviceInstance", instancePath);
  reg.SetString(kLm, key + "\\#", "SymbolicLink", "\\\\?\\" + mangled + "#" + interfaceGuid);
}

}  // namespace

bool PlugInFunctionLegacy(Machine& machine, int function, int usbPort, bool assignComPorts) {
  RegistryModel& reg = machine.registry;
  const FunctionSpec& traits = Function(function);
  std::string usbKey = UsbKey(function, usbPort);
  std::string instancePath = InstancePath(function, usbPort);
  DriverChoice driver = FindDriver(machine, std::string("USB\\") + traits.deviceId, function, false);
  if (!driver.found) {
    reg.SetString(kLm, usbKey, "HardwareID", HardwareIdText(function));
    reg.SetString(kLm, usbKey, "DeviceDesc", traits.description);
    reg.SetValue(kLm, usbKey, "ConfigFlags", REG_BINARY, {0x40, 0, 0, 0});
    return false;
  }
  WriteDeviceValues(reg, usbKey, "USB", HardwareIdText(function), traits.description);
  reg.SetString(kLm, usbKey, "CompatibleIDs",
                function == 0 ? "USB\\COMPOSITE" : "USB\\Class_02&SubClass_02&Prot_01");
  WriteDriverKey(reg, usbKey, "USB", traits.description, driver, std::string(traits.service) + ".sys");
  reg.SetString(kLm, kOemNames, machine.files.WindowsDirectory() + "\\INF\\" + driver.infName,
                driver.infName);
  if (HasWdmBookkeeping(machine)) {
    reg.SetValue(kLm, kProblemsUsb, UpperAscii(instancePath), REG_BINARY, {0x01, 0, 0, 0});
    WriteInterface(reg, traits.interfaceGuid, instancePath);
  }
  if (function == 0) {
    WriteRootEnumerator(machine, driver);
  } else {
    WritePortDevice(machine, function, usbPort, driver, assignComPorts);
  }
  return true;
}

void UnplugLegacy(Machine& machine, int usbPort) {
  RegistryModel& reg = machine.registry;
  for (int function = 0; function < kPhoneFunctionCount; ++function) {
    if (!reg.KeyExists(kLm, UsbKey(function, usbPort))) continue;
    std::string instancePath = InstancePath(function, usbPort);
    bool known = false;
    for (const std::string& entry : reg.SubKeyNames(kLm, kPhantoms)) {
      std::optional<std::string> key =
          reg.GetString(kLm, std::string(kPhantoms) + "\\" + entry, "HardWareKey");
      known = known || (key && UpperAscii(*key) == UpperAscii(instancePath));
    }
    if (known) continue;
    reg.SetString(kLm, std::string(kPhantoms) + "\\" + NextFreeNumber(reg, kPhantoms),
                  "HardWareKey", instancePath);
  }
}

}  // namespace sim::pnp
