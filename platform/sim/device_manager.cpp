#include "platform/sim/device_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/machine.h"
#include "platform/sim/plug_and_play.h"
#include "platform/sim/sim_util.h"

namespace sim {

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kControl[] = "SYSTEM\\CurrentControlSet\\Control";
const char kPortsClassGuid[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kModemClassGuid[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

std::string InstanceKey(const std::string& instancePath) {
  return std::string(DeviceManager::EnumRoot()) + "\\" + instancePath;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(const std::string& text, size_t at, size_t digits, uint32_t* value) {
  uint32_t v = 0;
  for (size_t i = 0; i < digits; ++i) {
    int d = HexDigit(text[at + i]);
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  *value = v;
  return true;
}

// A driver value that names one key below the class tree: "{guid}\NNNN".
bool IsDriverKeyName(const std::string& driver) {
  size_t slash = driver.find('\\');
  GUID guid;
  return slash != std::string::npos && slash + 1 < driver.size() &&
         driver.find('\\', slash + 1) == std::string::npos &&
         ParseGuid(driver.substr(0, slash), &guid) && driver.find("..") == std::string::npos;
}

int PortNumber(const std::string& portName) {
  if (portName.size() < 4 || UpperAscii(portName.substr(0, 3)) != "COM") return 0;
  for (size_t i = 3; i < portName.size(); ++i) {
    if (portName[i] < '0' || portName[i] > '9') return 0;
  }
  return std::atoi(portName.c_str() + 3);
}

void ReleaseComNumber(RegistryModel& reg, int number) {
  if (number < 1) return;
  std::string arbiter = std::string(kControl) + "\\COM Name Arbiter";
  std::optional<RegValue> comDb = reg.GetValue(kLm, arbiter, "ComDB");
  size_t byte = size_t(number - 1) / 8;
  if (!comDb || byte >= comDb->data.size()) return;
  std::vector<uint8_t> bits = comDb->data;
  bits[byte] = uint8_t(bits[byte] & ~(1u << ((number - 1) % 8)));
  reg.SetValue(kLm, arbiter, "ComDB", comDb->type, bits);
}

void DeleteInterfaceKeys(RegistryModel& reg, const std::string& instancePath) {
  std::string classes = std::string(kControl) + "\\DeviceClasses";
  for (const std::string& interfaceClass : reg.SubKeyNames(kLm, classes)) {
    std::string classKey = classes + "\\" + interfaceClass;
    for (const std::string& name : reg.SubKeyNames(kLm, classKey)) {
      std::optional<std::string> owner = reg.GetString(kLm, classKey + "\\" + name,
                                                       "DeviceInstance");
      if (owner && UpperAscii(*owner) == UpperAscii(instancePath)) {
        reg.DeleteTree(kLm, classKey + "\\" + name);
      }
    }
  }
}

// The attached children of a composite device: the instances that carry its
// ParentIdPrefix. They stop with their parent and stay installed.
void StopChildren(Machine& machine, const std::string& instancePath) {
  RegistryModel& reg = machine.registry;
  std::optional<std::string> prefix = reg.GetString(kLm, InstanceKey(instancePath),
                                                    "ParentIdPrefix");
  if (!prefix || prefix->empty()) return;
  for (const std::string& path : machine.devices.InstancePaths(machine)) {
    std::string instance = path.substr(path.find_last_of('\\') + 1);
    if (UpperAscii(instance).rfind(UpperAscii(*prefix), 0) == 0) {
      StopDevice(machine, path);
      machine.devices.Detach(machine, path);
    }
  }
}

}  // namespace

bool ParseGuid(const std::string& text, GUID* guid) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-') {
    return false;
  }
  uint32_t data1 = 0, data2 = 0, data3 = 0, byte = 0;
  if (!ParseHex(text, 1, 8, &data1) || !ParseHex(text, 10, 4, &data2) ||
      !ParseHex(text, 15, 4, &data3)) {
    return false;
  }
  GUID result{data1, WORD(data2), WORD(data3), {}};
  const size_t offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ParseHex(text, offsets[i], 2, &byte)) return false;
    result.Data4[i] = BYTE(byte);
  }
  *guid = result;
  return true;
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                unsigned(guid.Data1), unsigned(guid.Data2), unsigned(guid.Data3),
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

bool SameGuid(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

const char* DeviceManager::EnumRoot() { return "SYSTEM\\CurrentControlSet\\Enum"; }
const char* DeviceManager::ClassRoot() { return "SYSTEM\\CurrentControlSet\\Control\\Class"; }

std::vector<std::string> DeviceManager::InstancePaths(const Machine& machine) const {
  std::vector<std::string> paths;
  if (!machine.IsNt()) return paths;
  const RegistryModel& reg = machine.registry;
  for (const std::string& enumerator : reg.SubKeyNames(kLm, EnumRoot())) {
    std::string enumKey = std::string(EnumRoot()) + "\\" + enumerator;
    for (const std::string& device : reg.SubKeyNames(kLm, enumKey)) {
      for (const std::string& instance : reg.SubKeyNames(kLm, enumKey + "\\" + device)) {
        paths.push_back(enumerator + "\\" + device + "\\" + instance);
      }
    }
  }
  return paths;
}

bool DeviceManager::Exists(const Machine& machine, const std::string& instancePath) const {
  return machine.IsNt() && std::count(instancePath.begin(), instancePath.end(), '\\') == 2 &&
         machine.registry.KeyExists(kLm, InstanceKey(instancePath));
}

bool DeviceManager::IsPresent(const Machine& machine, const std::string& instancePath) const {
  return Exists(machine, instancePath) &&
         machine.registry.KeyExists(kLm, InstanceKey(instancePath) + "\\Control");
}

GUID DeviceManager::ClassOf(const Machine& machine, const std::string& instancePath) const {
  GUID guid{};
  std::optional<std::string> text =
      machine.registry.GetString(kLm, InstanceKey(instancePath), "ClassGUID");
  if (!text || !ParseGuid(*text, &guid)) return GUID{};
  return guid;
}

std::vector<GUID> DeviceManager::ClassGuidsNamed(const Machine& machine,
                                                 const std::string& className) const {
  std::vector<GUID> guids;
  if (!machine.IsNt()) return guids;
  const RegistryModel& reg = machine.registry;
  for (const std::string& key : reg.SubKeyNames(kLm, ClassRoot())) {
    GUID guid;
    if (!ParseGuid(key, &guid)) continue;
    std::optional<std::string> name =
        reg.GetString(kLm, std::string(ClassRoot()) + "\\" + key, "Class");
    if (name && UpperAscii(*name) == UpperAscii(className)) guids.push_back(guid);
  }
  return guids;
}

uintptr_t DeviceManager::OpenSet(Machine& machine, std::vector<std::string> members) {
  uintptr_t handle = machine.handles.Open(HandleKind::DeviceInfoSet);
  sets_[handle] = std::move(members);
  return handle;
}

const std::vector<std::string>* DeviceManager::Members(uintptr_t set) const {
  auto it = sets_.find(set);
  return it == sets_.end() ? nullptr : &it->second;
}

bool DeviceManager::CloseSet(Machine& machine, uintptr_t set) {
  if (sets_.erase(set) == 0) return false;
  std::erase_if(installFlags_, [set](const auto& entry) { return entry.first.first == set; });
  machine.handles.Close(set, HandleKind::DeviceInfoSet);
  return true;
}

uint32_t DeviceManager::Remove(Machine& machine, const std::string& instancePath,
                              bool* needsReboot) {
  *needsReboot = false;
  if (!Exists(machine, instancePath)) return ERROR_NO_SUCH_DEVINST;
  RegistryModel& reg = machine.registry;
  std::string key = InstanceKey(instancePath);
  std::string classGuid = UpperAscii(reg.GetString(kLm, key, "ClassGUID").value_or(""));
  std::string driver = reg.GetString(kLm, key, "Driver").value_or("");
  std::string portName =
      reg.GetString(kLm, key + "\\Device Parameters", "PortName").value_or("");

  if (IsInUse(machine, instancePath)) {
    // The device cannot be stopped: it keeps running, its drivers loaded
    // with it, until Windows restarts; its keys go now all the same.
    *needsReboot = true;
    std::optional<std::string> active =
        reg.GetString(kLm, key + "\\Control", "ActiveService");
    runningUntilRestart_.push_back(
        {UpperAscii(instancePath), DeviceServices(machine, instancePath), active.value_or("")});
  } else {
    StopChildren(machine, instancePath);
    // The driver stops: the running state Plug and Play keeps for the device
    // (its services' Enum lists, its SERIALCOMM entry) goes with it.
    StopDevice(machine, instancePath);
    Detach(machine, instancePath);
  }
  if (classGuid == kPortsClassGuid || classGuid == kModemClassGuid) {
    ReleaseComNumber(reg, PortNumber(portName));
  }
  if (IsDriverKeyName(driver)) reg.DeleteTree(kLm, std::string(ClassRoot()) + "\\" + driver);
  DeleteInterfaceKeys(reg, instancePath);
  reg.DeleteTree(kLm, key);
  std::string deviceKey = key.substr(0, key.find_last_of('\\'));
  if (reg.SubKeyNames(kLm, deviceKey).empty() && reg.ValueNames(kLm, deviceKey).empty()) {
    reg.DeleteTree(kLm, deviceKey);
  }
  ++removals;
  return ERROR_SUCCESS;
}

uint32_t DeviceManager::InstallFlags(uintptr_t set, int index) const {
  auto it = installFlags_.find({set, index});
  return it == installFlags_.end() ? 0 : it->second;
}

void DeviceManager::AddInstallFlags(uintptr_t set, int index, uint32_t flags) {
  installFlags_[{set, index}] |= flags;
}

void DeviceManager::SetInUse(const std::string& instancePath, bool inUse) {
  if (inUse) {
    inUse_.insert(UpperAscii(instancePath));
  } else {
    inUse_.erase(UpperAscii(instancePath));
  }
}

bool DeviceManager::RunsUntilRestart(const std::string& instancePath) const {
  for (const RunningDevice& device : runningUntilRestart_) {
    if (device.upperPath == UpperAscii(instancePath)) return true;
  }
  return false;
}

bool DeviceManager::DrivesARemovedDevice(const std::string& service) const {
  for (const RunningDevice& device : runningUntilRestart_) {
    if (!device.activeService.empty() && UpperAscii(device.activeService) == UpperAscii(service)) {
      return true;
    }
  }
  return false;
}

void DeviceManager::FinishRemovalsAtRestart(Machine& machine) {
  for (const RunningDevice& device : runningUntilRestart_) {
    StopDriversOf(machine, device.upperPath, device.services);
    // The program that held the port open did not outlive the restart.
    inUse_.erase(device.upperPath);
  }
  runningUntilRestart_.clear();
}

bool DeviceManager::IsInUse(const Machine& machine, const std::string& instancePath) const {
  if (inUse_.count(UpperAscii(instancePath))) return true;
  // A composite device cannot stop while one of its functions is held.
  std::optional<std::string> prefix =
      machine.registry.GetString(kLm, InstanceKey(instancePath), "ParentIdPrefix");
  if (!prefix || prefix->empty()) return false;
  for (const std::string& held : inUse_) {
    std::string instance = held.substr(held.find_last_of('\\') + 1);
    if (instance.rfind(UpperAscii(*prefix), 0) != 0) continue;
    if (Exists(machine, held) || RunsUntilRestart(held)) return true;
  }
  return false;
}

void DeviceManager::AddDevice(Machine& machine, const DeviceSpec& traits) const {
  RegistryModel& reg = machine.registry;
  std::string key = InstanceKey(traits.instancePath);
  reg.CreateKey(kLm, key);
  if (!traits.classGuid.empty()) reg.SetString(kLm, key, "ClassGUID", traits.classGuid);
  if (!traits.className.empty()) reg.SetString(kLm, key, "Class", traits.className);
  if (!traits.description.empty()) reg.SetString(kLm, key, "DeviceDesc", traits.description);
  if (!traits.hardwareIds.empty()) reg.SetMultiString(kLm, key, "HardwareID", traits.hardwareIds);
  if (!traits.driver.empty()) reg.SetString(kLm, key, "Driver", traits.driver);
  if (!traits.service.empty()) reg.SetString(kLm, key, "Service", traits.service);
  if (traits.present) {
    reg.SetString(kLm, key + "\\Control", "ActiveService", traits.service);
  }
}

void DeviceManager::Detach(Machine& machine, const std::string& instancePath) const {
  machine.registry.DeleteTree(kLm, InstanceKey(instancePath) + "\\Control");
}

}  // namespace sim
