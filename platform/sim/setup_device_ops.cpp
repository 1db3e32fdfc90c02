// The device operations of the Setup API on the simulated machine's device
// manager (device_manager.h). Results, last errors and buffer handling follow
// Windows XP's setupapi.
#include <cstring>

#include "platform/setup_api.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif

namespace plat {

namespace {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::SetError;

const HKEY kLm = HKEY_LOCAL_MACHINE;

// The flags this model reads; device interface lists and hardware profiles
// are not part of it.
constexpr DWORD kKnownFlags = DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES;

// The value of the instance key that holds each property the model knows.
const char* PropertyValueName(DWORD property) {
  switch (property) {
    case SPDRP_DEVICEDESC: return "DeviceDesc";
    case SPDRP_HARDWAREID: return "HardwareID";
    case SPDRP_COMPATIBLEIDS: return "CompatibleIDs";
    case SPDRP_SERVICE: return "Service";
    case SPDRP_CLASS: return "Class";
    case SPDRP_CLASSGUID: return "ClassGUID";
    case SPDRP_DRIVER: return "Driver";
    case SPDRP_MFG: return "Mfg";
    case SPDRP_FRIENDLYNAME: return "FriendlyName";
    default: return nullptr;
  }
}

// The member a device record names: it must come from this set (Windows keeps
// the set in the record's Reserved field). Null with the last error set otherwise.
const std::string* MemberOf(HDEVINFO set, PSP_DEVINFO_DATA device) {
  const auto* members = CurrentMachine().devices.Members(sim::HandleValue(set));
  if (!members) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!device || device->cbSize != sizeof(SP_DEVINFO_DATA) ||
      device->Reserved != sim::HandleValue(set) || device->DevInst == 0 ||
      device->DevInst > members->size()) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &(*members)[device->DevInst - 1];
}

bool Belongs(const sim::Machine& machine, const std::string& path, const GUID* classGuid,
             LPCSTR enumerator, DWORD flags) {
  if ((flags & DIGCF_PRESENT) && !machine.devices.IsPresent(machine, path)) return false;
  if (enumerator && *enumerator) {
    std::string prefix = sim::UpperAscii(enumerator) + "\\";
    if (sim::UpperAscii(path).rfind(prefix, 0) != 0) return false;
  }
  if (!(flags & DIGCF_ALLCLASSES)) {
    return sim::SameGuid(machine.devices.ClassOf(machine, path), *classGuid);
  }
  return true;
}

}  // namespace

// DIGCF_ALLCLASSES lists every device whatever class GUID is passed;
// DIGCF_PRESENT keeps only the attached ones. Without DIGCF_ALLCLASSES a
// class GUID is required.
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND, DWORD flags) {
  uint32_t error = 0;
  if (EnterCall("SetupDiGetClassDevsA", &error)) return INVALID_HANDLE_VALUE;
  if (flags & ~kKnownFlags) {
    SetError(ERROR_INVALID_FLAGS);
    return INVALID_HANDLE_VALUE;
  }
  if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  sim::Machine& machine = CurrentMachine();
  std::vector<std::string> members;
  for (const std::string& path : machine.devices.InstancePaths(machine)) {
    if (Belongs(machine, path, classGuid, enumerator, flags)) members.push_back(path);
  }
  SetError(ERROR_SUCCESS);
  return reinterpret_cast<HDEVINFO>(machine.devices.OpenSet(machine, std::move(members)));
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  uint32_t error = 0;
  if (EnterCall("SetupDiEnumDeviceInfo", &error)) return FALSE;
  sim::Machine& machine = CurrentMachine();
  const auto* members = machine.devices.Members(sim::HandleValue(set));
  if (!members) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!device || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (index >= members->size()) {
    SetError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  device->ClassGuid = machine.devices.ClassOf(machine, (*members)[index]);
  device->DevInst = index + 1;
  device->Reserved = sim::HandleValue(set);
  SetError(ERROR_SUCCESS);
  return TRUE;
}

// A missing property answers ERROR_INVALID_DATA; a buffer that is too small
// (or none) answers ERROR_INSUFFICIENT_BUFFER with the size in *requiredSize.
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                       PDWORD type, PBYTE buffer, DWORD size,
                                       PDWORD requiredSize) {
  uint32_t error = 0;
  if (EnterCall("SetupDiGetDeviceRegistryPropertyA", &error)) return FALSE;
  const std::string* path = MemberOf(set, device);
  if (!path) return FALSE;
  if (!buffer && size != 0) {
    SetError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  const char* valueName = PropertyValueName(property);
  if (!valueName) {
    SetError(ERROR_INVALID_REG_PROPERTY);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  if (!machine.devices.Exists(machine, *path)) {
    SetError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  std::string key = std::string(sim::DeviceManager::EnumRoot()) + "\\" + *path;
  std::optional<sim::RegValue> value = machine.registry.GetValue(kLm, key, valueName);
  if (!value) {
    SetError(ERROR_INVALID_DATA);
    return FALSE;
  }
  DWORD needed = static_cast<DWORD>(value->data.size());
  if (requiredSize) *requiredSize = needed;
  if (type) *type = value->type;
  if (size < needed) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (needed) std::memcpy(buffer, value->data.data(), needed);
  SetError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device) {
  uint32_t error = 0;
  if (EnterCall("SetupDiCallClassInstaller", &error)) return FALSE;
  const std::string* path = MemberOf(set, device);
  if (!path) return FALSE;
  if (function != DIF_REMOVE) {
    // Only the removal is part of this model.
    SetError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  if (!machine.options().administrator) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool needsReboot = false;
  uint32_t result = machine.devices.Remove(machine, *path, &needsReboot);
  if (needsReboot) {
    machine.devices.AddInstallFlags(sim::HandleValue(set), int(device->DevInst) - 1,
                                    DI_NEEDREBOOT);
  }
  SetError(result);
  return result == ERROR_SUCCESS;
}

// The parameters hold nothing but the flags here; the rest reads as zero.
BOOL SetupDiGetDeviceInstallParamsA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                    PSP_DEVINSTALL_PARAMS_A params) {
  uint32_t error = 0;
  if (EnterCall("SetupDiGetDeviceInstallParamsA", &error)) return FALSE;
  sim::Machine& machine = CurrentMachine();
  if (!machine.devices.Members(sim::HandleValue(set))) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (device && !MemberOf(set, device)) return FALSE;
  if (!params || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) {
    SetError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  std::memset(params, 0, sizeof *params);
  params->cbSize = sizeof(SP_DEVINSTALL_PARAMS_A);
  int index = device ? int(device->DevInst) - 1 : -1;
  params->Flags = machine.devices.InstallFlags(sim::HandleValue(set), index);
  SetError(ERROR_SUCCESS);
  return TRUE;
}

// Fills at most `room` GUIDs and reports how many there are; more than the
// room fails with ERROR_INSUFFICIENT_BUFFER, the first `room` filled in.
BOOL SetupDiClassGuidsFromNameA(LPCSTR className, LPGUID guids, DWORD room, PDWORD required) {
  uint32_t error = 0;
  if (EnterCall("SetupDiClassGuidsFromNameA", &error)) return FALSE;
  if (!className || !required || (!guids && room != 0)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  std::vector<GUID> found = machine.devices.ClassGuidsNamed(machine, className);
  for (size_t i = 0; i < found.size() && i < room; ++i) guids[i] = found[i];
  *required = static_cast<DWORD>(found.size());
  if (found.size() > room) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  SetError(ERROR_SUCCESS);
  return TRUE;
}

// No driver list is ever built here, so there is nothing to release; the
// set and the record are still checked as Windows checks them.
BOOL SetupDiDestroyDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  uint32_t error = 0;
  if (EnterCall("SetupDiDestroyDriverInfoList", &error)) return FALSE;
  if (!CurrentMachine().devices.Members(sim::HandleValue(set))) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (device && !MemberOf(set, device)) return FALSE;
  if (driverType != SPDIT_CLASSDRIVER && driverType != SPDIT_COMPATDRIVER) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SetError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  uint32_t error = 0;
  if (EnterCall("SetupDiDestroyDeviceInfoList", &error)) return FALSE;
  sim::Machine& machine = CurrentMachine();
  if (!machine.devices.CloseSet(machine, sim::HandleValue(set))) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SetError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace plat
