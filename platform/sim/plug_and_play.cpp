// The Plug and Play stand-in on Windows 2000 and XP, and the entry points that
// choose between it and the Windows 95/98/Me/NT 4 half.
#include "platform/sim/plug_and_play.h"

#include <algorithm>

#include "platform/sim/plug_and_play_internal.h"
#include "platform/sim/plug_and_play_models.h"
#include "platform/sim/sim_util.h"

namespace sim {

namespace {

using namespace pnp;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kCurrentSet[] = "SYSTEM\\CurrentControlSet\\";
const char kBackupSet[] = "SYSTEM\\ControlSet002\\";
const char kLastGoodEntries[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
const char kDeviceSpecific[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";

bool UsesLegacyLayout(const Machine& machine) { return !IsNtFamily(machine.options().version); }
// NT 4 has no USB support at all (Microsoft Knowledge Base 196661, "Windows NT
// 4.0 Does Not Support Universal Serial Bus"): a phone plugged in is never seen.
bool HasNoUsb(const Machine& machine) {
  return machine.options().version == WindowsVersion::WindowsNT4;
}
bool IsWindows2000(const Machine& machine) {
  return machine.options().version == WindowsVersion::Windows2000;
}
bool KeepsLastGood(const Machine& machine) { return sim::KeepsLastGood(machine.options().version); }

// Writes paths relative to a control set: always into the current one (through the
// CurrentControlSet link), and into ControlSet002 too when the reboot copy is asked
// for, except for the volatile keys, which only live in the running system.
class ControlSetWriter {
 public:
  ControlSetWriter(RegistryModel& reg, bool rebootCopy) : reg_(reg), rebootCopy_(rebootCopy) {}

  void Value(const std::string& path, const std::string& name, uint32_t type,
             const std::vector<uint8_t>& data) {
    reg_.SetValue(kLm, kCurrentSet + path, name, type, data);
    if (rebootCopy_) reg_.SetValue(kLm, kBackupSet + path, name, type, data);
  }
  void Text(const std::string& path, const std::string& name, const std::string& text) {
    Value(path, name, REG_SZ, TextBytes(text));
  }
  void Expand(const std::string& path, const std::string& name, const std::string& text) {
    Value(path, name, REG_EXPAND_SZ, TextBytes(text));
  }
  void Dword(const std::string& path, const std::string& name, uint32_t number) {
    Value(path, name, REG_DWORD,
          {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
           static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)});
  }
  void Multi(const std::string& path, const std::string& name,
             const std::vector<std::string>& strings) {
    std::vector<uint8_t> data;
    for (const std::string& text : strings) {
      data.insert(data.end(), text.begin(), text.end());
      data.push_back(0);
    }
    data.push_back(0);
    Value(path, name, REG_MULTI_SZ, data);
  }
  void Key(const std::string& path) {
    reg_.CreateKey(kLm, kCurrentSet + path);
    if (rebootCopy_) reg_.CreateKey(kLm, kBackupSet + path);
  }
  void VolatileText(const std::string& path, const std::string& name, const std::string& text) {
    reg_.SetString(kLm, kCurrentSet + path, name, text);
  }
  void VolatileDword(const std::string& path, const std::string& name, uint32_t number) {
    reg_.SetDword(kLm, kCurrentSet + path, name, number);
  }
  RegistryModel& reg() { return reg_; }
  bool rebootCopy() const { return rebootCopy_; }

 private:
  RegistryModel& reg_;
  bool rebootCopy_;
};

std::string DeviceKey(int function, int usbPort) {
  return std::string("Enum\\USB\\") + Function(function).deviceId + "\\" +
         InstanceName(function, usbPort);
}

std::vector<std::string> HardwareIds(int function) {
  const FunctionSpec& traits = Function(function);
  return {traits.hardwareIds[0], traits.hardwareIds[1]};
}

std::vector<std::string> CompatibleIds(int function) {
  if (function == 0) {
    return {"USB\\DevClass_00&SubClass_00&Prot_00", "USB\\DevClass_00&SubClass_00",
            "USB\\DevClass_00", "USB\\COMPOSITE"};
  }
  return {"USB\\Class_02&SubClass_02&Prot_01", "USB\\Class_02&SubClass_02", "USB\\Class_02"};
}

// Claims the lowest COM number whose bit is clear in ComDB and which no port of the
// serial map holds already; 0 when none is free.
int ClaimComNumber(RegistryModel& reg) {
  std::string arbiter = std::string(kCurrentSet) + "Control\\COM Name Arbiter";
  std::optional<RegValue> comDb = reg.GetValue(kLm, arbiter, "ComDB");
  std::vector<uint8_t> bits = comDb ? comDb->data : std::vector<uint8_t>(32, 0);
  uint32_t type = comDb ? comDb->type : static_cast<uint32_t>(REG_BINARY);
  std::vector<std::string> used = PortsInSerialMap(reg, kNtSerialMap);
  for (size_t n = 1; n <= bits.size() * 8; ++n) {
    uint8_t mask = static_cast<uint8_t>(1u << ((n - 1) % 8));
    if (bits[(n - 1) / 8] & mask) continue;
    if (std::count(used.begin(), used.end(), "COM" + std::to_string(n))) continue;
    bits[(n - 1) / 8] |= mask;
    reg.SetValue(kLm, arbiter, "ComDB", type, bits);
    return static_cast<int>(n);
  }
  return 0;
}

void MarkComNumber(RegistryModel& reg, const std::string& controlSet, int number) {
  if (number < 1 || number > 256) return;
  std::string arbiter = controlSet + "Control\\COM Name Arbiter";
  std::optional<RegValue> comDb = reg.GetValue(kLm, arbiter, "ComDB");
  std::vector<uint8_t> bits = comDb ? comDb->data : std::vector<uint8_t>(32, 0);
  size_t byte = static_cast<size_t>(number - 1) / 8;
  if (byte >= bits.size()) bits.resize(byte + 1, 0);
  bits[byte] |= static_cast<uint8_t>(1u << ((number - 1) % 8));
  reg.SetValue(kLm, arbiter, "ComDB", comDb ? comDb->type : REG_BINARY, bits);
}

int PortNumberOf(const std::string& portName) {
  if (portName.size() < 4 || UpperAscii(portName.substr(0, 3)) != "COM") return 0;
  return std::atoi(portName.c_str() + 3);
}

void WriteService(ControlSetWriter& set, Machine& machine, const std::string& service,
                  const std::string& description, const std::string& instancePath) {
  std::string key = std::string(kServicesKey) + "\\" + service;
  set.Dword(key, "Type", 1);
  set.Dword(key, "Start", 3);
  set.Dword(key, "ErrorControl", 1);
  set.Expand(key, "ImagePath", "system32\\DRIVERS\\" + service + ".sys");
  set.Text(key, "DisplayName", description);
  set.VolatileText(key + "\\Enum", "0", instancePath);
  set.VolatileDword(key + "\\Enum", "Count", 1);
  set.VolatileDword(key + "\\Enum", "NextInstance", 1);
  if (IsWindows2000(machine)) {
    std::string legacy = "Enum\\Root\\LEGACY_" + UpperAscii(service) + "\\0000";
    set.Text(legacy, "Service", service);
    set.Text(legacy, "Class", "LegacyDriver");
    set.Text(legacy, "ClassGUID", kLegacyDriverClassGuid);
    set.Text(legacy, "DeviceDesc", description);
    set.Dword(legacy, "ConfigFlags", 0x20);
    set.Dword(legacy, "Legacy", 1);
  }
}

// The driver key of the instance: the one its Driver value names when it has one,
// otherwise the next free number of the class.
std::string DriverKeyFor(ControlSetWriter& set, const std::string& deviceKey,
                         const std::string& classGuid) {
  std::optional<std::string> driver = set.reg().GetString(kLm, kCurrentSet + deviceKey, "Driver");
  if (driver && driver->size() > classGuid.size() &&
      UpperAscii(driver->substr(0, classGuid.size())) == UpperAscii(classGuid)) {
    return *driver;
  }
  std::string classKey = std::string(kCurrentSet) + "Control\\Class\\" + classGuid;
  return classGuid + "\\" + NextFreeNumber(set.reg(), classKey);
}

void WriteModemSettings(ControlSetWriter& set, const std::string& driverKey,
                        const std::string& portName) {
  set.Text(driverKey, "AttachedTo", portName);
  set.Text(driverKey, "FriendlyName", kModemDescription);
  set.Text(driverKey, "Manufacturer", kMaker);
  set.Text(driverKey, "Model", kModemDescription);
  set.Value(driverKey, "PortSubClass", REG_BINARY, {0x02});
  set.Text(driverKey + "\\Init", "1", "AT<cr>");
  set.Text(driverKey + "\\Init", "2", "ATZ<cr>");
  set.Text(driverKey + "\\Responses", "OK<cr><lf>", "00 00 00 00 00 00 00 00 00 00 00");
  set.Text(driverKey + "\\Settings", "Prefix", "AT");
  set.Text(driverKey + "\\Settings", "Terminator", "<cr>");
}

void WriteInterface(ControlSetWriter& set, const std::string& interfaceGuid,
                    const std::string& instancePath) {
  std::string mangled = instancePath;
  std::replace(mangled.begin(), mangled.end(), '\\', '#');
  std::string name = "##?#" + mangled + "#" + interfaceGuid;
  std::string key = "Control\\DeviceClasses\\" + interfaceGuid + "\\" + name;
  set.Text(key, "DeviceInstance", instancePath);
  set.Text(key + "\\#", "SymbolicLink", "\\\\?\\" + mangled + "#" + interfaceGuid);
  set.VolatileDword(key + "\\#\\Control", "Linked", 1);
  set.VolatileDword(key + "\\Control", "ReferenceCount", 1);
}

// The XP LastGood folders keep copies of what the driver install added, and the
// LastKnownGoodRecovery list names the INF files among them.
void WriteLastGood(Machine& machine, const DriverChoice& driver, const char* const* driverFiles) {
  FileSystem& files = machine.files;
  std::string windows = files.WindowsDirectory();
  std::string stem = driver.infName.substr(0, driver.infName.find('.'));
  std::string infFolder = windows + "\\INF\\";
  for (const std::string& name : {stem + ".inf", stem + ".PNF"}) {
    std::optional<std::string> contents = files.ReadFile(infFolder + name);
    if (!contents) continue;
    files.WriteFile(windows + "\\LastGood\\INF\\" + name, *contents);
    machine.registry.SetDword(kLm, kLastGoodEntries, "inf\\" + name, 1);
  }
  std::string drivers = files.SystemDirectory() + "\\drivers\\";
  for (const char* const* name = driverFiles; *name; ++name) {
    std::optional<std::string> contents = files.ReadFile(drivers + *name);
    if (contents) files.WriteFile(windows + "\\LastGood\\system32\\DRIVERS\\" + *name, *contents);
  }
}

void RecordFailedInstall(ControlSetWriter& set, const std::string& deviceKey, int function) {
  set.Multi(deviceKey, "HardwareID", HardwareIds(function));
  set.Multi(deviceKey, "CompatibleIDs", CompatibleIds(function));
  set.Text(deviceKey, "DeviceDesc", Function(function).description);
  set.Dword(deviceKey, "ConfigFlags", 0x40);  // CONFIGFLAG_FAILEDINSTALL
}

bool PlugInFunctionNt(Machine& machine, int function, const PlugOptions& options) {
  const FunctionSpec& traits = Function(function);
  ControlSetWriter set(machine.registry, options.rebootCopy);
  std::string deviceKey = DeviceKey(function, options.usbPort);
  std::string instancePath =
      std::string("USB\\") + traits.deviceId + "\\" + InstanceName(function, options.usbPort);
  DriverChoice driver = FindDriver(machine, std::string("USB\\") + traits.deviceId, function, true);
  if (!driver.found) {
    RecordFailedInstall(set, deviceKey, function);
    return false;
  }

  std::string driverValue = DriverKeyFor(set, deviceKey, traits.ntClassGuid);
  std::string driverKey = "Control\\Class\\" + driverValue;
  set.Text(driverKey, "DriverDesc", traits.description);
  set.Text(driverKey, "ProviderName", kMaker);
  set.Text(driverKey, "DriverDate", "11-15-2006");
  set.Text(driverKey, "DriverVersion", "6.0.0.0");
  set.Text(driverKey, "MatchingDeviceId", UpperAscii("USB\\" + std::string(traits.deviceId)));
  set.Text(driverKey, "InfPath", driver.infName);
  set.Text(driverKey, "InfSection", driver.infSection);

  set.Text(deviceKey, "DeviceDesc", traits.description);
  set.Multi(deviceKey, "HardwareID", HardwareIds(function));
  set.Multi(deviceKey, "CompatibleIDs", CompatibleIds(function));
  set.Text(deviceKey, "Class", traits.ntClass);
  set.Text(deviceKey, "ClassGUID", traits.ntClassGuid);
  set.Text(deviceKey, "Driver", driverValue);
  set.Text(deviceKey, "Mfg", kMaker);
  set.Text(deviceKey, "Service", traits.service);
  set.Dword(deviceKey, "ConfigFlags", 0);
  set.Dword(deviceKey, "Capabilities", 0x84);
  set.Key(deviceKey + "\\Device Parameters");
  if (function == 0) {
    set.Text(deviceKey, "ParentIdPrefix", InstanceName(1, options.usbPort).substr(0, 12));
  }
  if (traits.lowerFilter) set.Multi(deviceKey, "LowerFilters", {traits.lowerFilter});
  set.VolatileText(deviceKey + "\\Control", "ActiveService", traits.service);

  std::string drivers = machine.files.SystemDirectory() + "\\drivers";
  std::vector<std::string> installed =
      CopyInstallFiles(machine, driver.infPath, driver.infSection, drivers);
  for (const char* const* file = traits.driverFiles; *file; ++file) {
    if (std::count(installed.begin(), installed.end(), UpperAscii(*file)) == 0) {
      CopyPackageFile(machine, *file, drivers);
    }
  }
  WriteService(set, machine, traits.service, traits.description, instancePath);
  if (traits.lowerFilter) {
    WriteService(set, machine, traits.lowerFilter, std::string(kModemDescription) + " Filter",
                 instancePath);
  }
  WriteInterface(set, traits.interfaceGuid, instancePath);

  if (HasPort(function) && options.assignComPorts) {
    std::optional<std::string> port =
        set.reg().GetString(kLm, kCurrentSet + deviceKey + "\\Device Parameters", "PortName");
    int number = port ? PortNumberOf(*port) : 0;
    if (number > 0) {
      MarkComNumber(set.reg(), kCurrentSet, number);
    } else {
      number = ClaimComNumber(set.reg());
    }
    if (number > 0) {
      std::string portName = "COM" + std::to_string(number);
      if (options.rebootCopy) MarkComNumber(set.reg(), kBackupSet, number);
      set.Text(deviceKey + "\\Device Parameters", "PortName", portName);
      // The ports class installer adds the port's settings value only when
      // Windows does not list the port already (COM1: to COM4: always are).
      if (!set.reg().ValueExists(kLm, kPortsKey, portName + ":")) {
        set.reg().SetString(kLm, kPortsKey, portName + ":", "9600,n,8,1");
      }
      set.reg().SetString(kLm, kNtSerialMap, "\\Device\\" + std::string(traits.service) + "0",
                          portName);
      if (function == phone::kModemFunction) WriteModemSettings(set, driverKey, portName);
    }
  }
  if (function == phone::kModemFunction) {
    std::string specific =
        std::string(kDeviceSpecific) + "\\" + kModemDescription + "::" + kMaker + "::" + kMaker;
    machine.registry.SetDword(kLm, specific, "ConfigVersion", 1);
    machine.registry.SetString(kLm, specific, "Properties", "ORVEX 3G GSM");
  }
  if (KeepsLastGood(machine)) WriteLastGood(machine, driver, traits.driverFiles);
  return true;
}

void UnplugNt(Machine& machine, int usbPort) {
  RegistryModel& reg = machine.registry;
  for (int function = 0; function < kPhoneFunctionCount; ++function) {
    const FunctionSpec& traits = Function(function);
    if (!reg.KeyExists(kLm, kCurrentSet + DeviceKey(function, usbPort))) continue;
    StopDevice(machine,
               std::string("USB\\") + traits.deviceId + "\\" + InstanceName(function, usbPort));
  }
}

}  // namespace

bool PlugInFunction(Machine& machine, int function, const PlugOptions& options) {
  if (function < 0 || function >= kPhoneFunctionCount) return false;
  if (HasNoUsb(machine)) return false;
  if (UsesLegacyLayout(machine)) {
    return PlugInFunctionLegacy(machine, function, options.usbPort, options.assignComPorts);
  }
  return PlugInFunctionNt(machine, function, options);
}

bool PlugInPhone(Machine& machine, int lastFunction, const PlugOptions& options) {
  bool all = true;
  for (int function = 0; function <= lastFunction && function < kPhoneFunctionCount; ++function) {
    all = PlugInFunction(machine, function, options) && all;
  }
  return all;
}

void UnplugPhone(Machine& machine, const PlugOptions& options) {
  if (HasNoUsb(machine)) return;
  if (UsesLegacyLayout(machine)) {
    UnplugLegacy(machine, options.usbPort);
  } else {
    UnplugNt(machine, options.usbPort);
  }
}

std::vector<std::string> DeviceServices(const Machine& machine, const std::string& instancePath) {
  std::vector<std::string> services;
  if (UsesLegacyLayout(machine) || HasNoUsb(machine)) return services;
  const RegistryModel& reg = machine.registry;
  std::string deviceKey = std::string(kCurrentSet) + "Enum\\" + instancePath;
  std::optional<std::string> service = reg.GetString(kLm, deviceKey, "Service");
  if (!service) return services;
  services.push_back(*service);
  std::optional<RegValue> filters = reg.GetValue(kLm, deviceKey, "LowerFilters");
  if (filters && !filters->data.empty()) {
    // The first string of the multi-string, never past the data.
    std::string first(filters->data.begin(), filters->data.end());
    services.push_back(first.substr(0, first.find('\0')));
  }
  return services;
}

void StopDriversOf(Machine& machine, const std::string& instancePath,
                   const std::vector<std::string>& services) {
  RegistryModel& reg = machine.registry;
  for (const std::string& name : services) {
    std::string enumKey = std::string(kCurrentSet) + kServicesKey + "\\" + name + "\\Enum";
    std::optional<std::string> running = reg.GetString(kLm, enumKey, "0");
    if (running && UpperAscii(*running) == UpperAscii(instancePath)) {
      reg.DeleteTree(kLm, enumKey);
      reg.DeleteValue(kLm, kNtSerialMap, "\\Device\\" + name + "0");
    }
  }
}

void StopDevice(Machine& machine, const std::string& instancePath) {
  if (UsesLegacyLayout(machine) || HasNoUsb(machine)) return;
  RegistryModel& reg = machine.registry;
  std::string deviceKey = std::string(kCurrentSet) + "Enum\\" + instancePath;
  std::vector<std::string> services = DeviceServices(machine, instancePath);
  reg.DeleteTree(kLm, deviceKey + "\\Control");
  StopDriversOf(machine, instancePath, services);
  std::string mangled = instancePath;
  std::replace(mangled.begin(), mangled.end(), '\\', '#');
  std::string classes = std::string(kCurrentSet) + "Control\\DeviceClasses";
  for (const std::string& guid : reg.SubKeyNames(kLm, classes)) {
    std::string name = "##?#" + mangled + "#" + guid;
    std::string key = classes + "\\" + guid + "\\" + name;
    reg.DeleteTree(kLm, key + "\\#\\Control");
    reg.DeleteTree(kLm, key + "\\Control");
  }
}

std::vector<std::string> WindowsContainerKeys(WindowsVersion version) {
  std::vector<std::string> keys;
  // NT 4 never sees the phone: nothing of it is ever written there.
  if (version == WindowsVersion::WindowsNT4) return keys;
  if (!IsNtFamily(version)) {
    std::string control = "System\\CurrentControlSet\\Control\\";
    for (const char* key : {"ASD", "ASD\\Prob", "ASD\\Prob\\{9B4E7760-3196-11CF-97EA-00AA0034319D}",
                            "ASD\\Prob\\{CF2524C0-29AE-11CF-97EA-00AA0034319D}", "DeviceClasses"}) {
      keys.push_back(control + key);
    }
    for (const char* guid : {kUsbDeviceInterface, kModemInterface, kComPortInterface}) {
      keys.push_back(control + "DeviceClasses\\" + guid);
    }
    keys.push_back("Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32");
    keys.push_back("Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom");
    keys.push_back(std::string(kLegacyClassTree) + "\\System");
    return keys;
  }
  for (const char* set : {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002"}) {
    for (const char* guid : {kUsbDeviceInterface, kModemInterface, kComPortInterface}) {
      keys.push_back(std::string(set) + "\\Control\\DeviceClasses\\" + guid);
    }
  }
  keys.push_back("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem");
  keys.push_back(kDeviceSpecific);
  keys.push_back("SYSTEM\\LastKnownGoodRecovery");
  keys.push_back(kLastGoodEntries);
  return keys;
}

std::string PhoneInstancePath(int function, int usbPort) {
  if (function < 0 || function >= kPhoneFunctionCount) return "";
  return std::string("USB\\") + Function(function).deviceId + "\\" +
         InstanceName(function, usbPort);
}

std::vector<std::string> PhoneComPorts(Machine& machine, int usbPort) {
  std::vector<std::string> ports;
  RegistryModel& reg = machine.registry;
  for (int function = 1; function < kPhoneFunctionCount; ++function) {
    std::optional<std::string> port;
    if (UsesLegacyLayout(machine)) {
      std::string lower = UpperAscii(PhoneInstancePath(function, usbPort));
      for (const std::string& instance : reg.SubKeyNames(kLm, "Enum\\KV6CR\\guid")) {
        std::string key = "Enum\\KV6CR\\guid\\" + instance;
        std::optional<std::string> below = reg.GetString(kLm, key, "CRLowerDeviceID");
        if (below && UpperAscii(*below) == lower) port = reg.GetString(kLm, key, "PortName");
      }
    } else {
      port = reg.GetString(kLm, kCurrentSet + DeviceKey(function, usbPort) + "\\Device Parameters",
                           "PortName");
    }
    ports.push_back(port.value_or(""));
  }
  return ports;
}

}  // namespace sim
