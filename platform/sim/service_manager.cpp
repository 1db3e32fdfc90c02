#include "platform/sim/service_manager.h"

#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

namespace sim {

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;

std::string ServiceKey(const std::string& name) {
  return std::string(ServiceManager::ServicesRoot()) + "\\" + name;
}

std::vector<uint8_t> TextBytes(const std::string& text) {
  return std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1);
}

}  // namespace

const char* ServiceManager::ServicesRoot() { return "SYSTEM\\CurrentControlSet\\Services"; }

bool ServiceManager::Exists(const Machine& machine, const std::string& name) const {
  if (name.empty() || name.find_first_of("\\/") != std::string::npos) return false;
  return machine.registry.GetDword(kLm, ServiceKey(name), "Type").has_value();
}

bool ServiceManager::IsMarkedForDeletion(const std::string& name) const {
  return marked_.count(UpperAscii(name)) != 0;
}

bool ServiceManager::IsRunning(const Machine& machine, const std::string& name) const {
  for (const std::string& path : machine.devices.InstancePaths(machine)) {
    std::string control = std::string(DeviceManager::EnumRoot()) + "\\" + path + "\\Control";
    std::optional<std::string> active = machine.registry.GetString(kLm, control, "ActiveService");
    if (active && UpperAscii(*active) == UpperAscii(name)) return true;
  }
  // A device removed while in use has no keys left but still runs.
  return machine.devices.DrivesARemovedDevice(name);
}

void ServiceManager::DeleteMarkedAtRestart(Machine& machine) {
  std::set<std::string> marked = marked_;
  for (const std::string& name : marked) {
    if (IsRunning(machine, name)) continue;
    machine.registry.DeleteTree(kLm, ServiceKey(name));
    marked_.erase(name);
  }
}

uintptr_t ServiceManager::OpenManager(Machine& machine, DWORD access) {
  uintptr_t handle = machine.handles.Open(HandleKind::ServiceManager);
  managers_[handle] = access;
  return handle;
}

DWORD ServiceManager::ManagerAccess(uintptr_t handle) const {
  auto it = managers_.find(handle);
  return it == managers_.end() ? 0 : it->second;
}

uintptr_t ServiceManager::OpenService(Machine& machine, const std::string& name, DWORD access) {
  uintptr_t handle = machine.handles.Open(HandleKind::Service);
  services_[handle] = ServiceHandle{UpperAscii(name), access};
  return handle;
}

const std::string* ServiceManager::ServiceOf(uintptr_t handle) const {
  auto it = services_.find(handle);
  return it == services_.end() ? nullptr : &it->second.upperName;
}

DWORD ServiceManager::ServiceAccess(uintptr_t handle) const {
  auto it = services_.find(handle);
  return it == services_.end() ? 0 : it->second.access;
}

uint32_t ServiceManager::MarkForDeletion(Machine& machine, uintptr_t handle) {
  const std::string* name = ServiceOf(handle);
  if (!name) return ERROR_INVALID_HANDLE;
  if (marked_.count(*name)) return ERROR_SERVICE_MARKED_FOR_DELETE;
  marked_.insert(*name);
  machine.registry.SetDword(kLm, ServiceKey(*name), "DeleteFlag", 1);
  return ERROR_SUCCESS;
}

bool ServiceManager::Close(Machine& machine, uintptr_t handle) {
  if (managers_.erase(handle)) {
    machine.handles.Close(handle, HandleKind::ServiceManager);
    return true;
  }
  auto it = services_.find(handle);
  if (it == services_.end()) return false;
  std::string name = it->second.upperName;
  services_.erase(it);
  machine.handles.Close(handle, HandleKind::Service);
  DeleteIfUnused(machine, name);
  return true;
}

void ServiceManager::DeleteIfUnused(Machine& machine, const std::string& upperName) {
  if (!marked_.count(upperName) || OpenServiceHandles(upperName) != 0) return;
  if (IsRunning(machine, upperName)) return;  // goes when the machine restarts
  machine.registry.DeleteTree(kLm, ServiceKey(upperName));
  marked_.erase(upperName);
}

void ServiceManager::Create(Machine& machine, const std::string& name,
                            const std::string& displayName, DWORD type, DWORD start,
                            DWORD errorControl, const std::string& imagePath,
                            const std::string& group) {
  RegistryModel& reg = machine.registry;
  std::string key = ServiceKey(name);
  reg.SetDword(kLm, key, "Type", type);
  reg.SetDword(kLm, key, "Start", start);
  reg.SetDword(kLm, key, "ErrorControl", errorControl);
  if (!imagePath.empty()) reg.SetValue(kLm, key, "ImagePath", REG_EXPAND_SZ, TextBytes(imagePath));
  if (!displayName.empty()) reg.SetString(kLm, key, "DisplayName", displayName);
  if (!group.empty()) reg.SetString(kLm, key, "Group", group);
}

size_t ServiceManager::OpenServiceHandles(const std::string& name) const {
  std::string upper = UpperAscii(name);
  size_t count = 0;
  for (const auto& [handle, service] : services_) count += service.upperName == upper ? 1 : 0;
  return count;
}

}  // namespace sim
