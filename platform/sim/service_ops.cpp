// The service control manager operations on the simulated machine's
// service manager (service_manager.h), with Windows XP's results and errors.
#include "platform/services.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

#ifndef ERROR_INVALID_NAME
#define ERROR_INVALID_NAME 123L
#endif
#ifndef ERROR_DATABASE_DOES_NOT_EXIST
#define ERROR_DATABASE_DOES_NOT_EXIST 1065L
#endif
#ifndef ERROR_SERVICE_EXISTS
#define ERROR_SERVICE_EXISTS 1073L
#endif
#ifndef ERROR_INVALID_SERVICE_ACCOUNT
#define ERROR_INVALID_SERVICE_ACCOUNT 1057L
#endif

namespace plat {

namespace {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::SetError;

// Rights only administrators are granted on the service control manager and
// on driver services.
constexpr DWORD kManagerAdminRights = SC_MANAGER_ALL_ACCESS & ~(SC_MANAGER_CONNECT | 0x0004 |
                                                                0x0010 | READ_CONTROL);
constexpr DWORD kServiceDelete = DELETE;

sim::ServiceManager& Services() { return CurrentMachine().services; }

bool IsLocalMachine(LPCSTR machine) {
  if (!machine || !*machine) return true;
  std::string name = machine;
  if (name.rfind("\\\\", 0) == 0) name = name.substr(2);
  return sim::UpperAscii(name) == "LOCALHOST" || name == ".";
}

bool ValidServiceName(LPCSTR name) {
  if (!name || !*name) return false;
  for (const char* p = name; *p; ++p) {
    if (*p == '\\' || *p == '/') return false;
  }
  return true;
}

}  // namespace

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR database, DWORD access) {
  uint32_t error = 0;
  if (EnterCall("OpenSCManagerA", &error)) return nullptr;
  sim::Machine& machine = CurrentMachine();
  if (!machine.IsNt()) {
    SetError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (!IsLocalMachine(machineName)) {
    SetError(ERROR_INVALID_NAME);
    return nullptr;
  }
  if (database && sim::UpperAscii(database) != "SERVICESACTIVE") {
    SetError(ERROR_DATABASE_DOES_NOT_EXIST);
    return nullptr;
  }
  if ((access & kManagerAdminRights) && !machine.options().administrator) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  SetError(ERROR_SUCCESS);
  return reinterpret_cast<SC_HANDLE>(Services().OpenManager(machine, access));
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
  uint32_t error = 0;
  if (EnterCall("OpenServiceA", &error)) return nullptr;
  sim::Machine& machine = CurrentMachine();
  if (!Services().IsManager(sim::HandleValue(manager))) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!ValidServiceName(name)) {
    SetError(ERROR_INVALID_NAME);
    return nullptr;
  }
  if (!Services().Exists(machine, name)) {
    SetError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if ((access & ~(SERVICE_QUERY_STATUS | READ_CONTROL | 0x0001 | 0x0008 | 0x0080)) &&
      !machine.options().administrator) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  SetError(ERROR_SUCCESS);
  return reinterpret_cast<SC_HANDLE>(Services().OpenService(machine, name, access));
}

BOOL DeleteService(SC_HANDLE service) {
  uint32_t error = 0;
  if (EnterCall("DeleteService", &error)) return FALSE;
  uintptr_t handle = sim::HandleValue(service);
  if (!Services().ServiceOf(handle)) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(Services().ServiceAccess(handle) & kServiceDelete)) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  uint32_t result = Services().MarkForDeletion(CurrentMachine(), handle);
  SetError(result);
  return result == ERROR_SUCCESS;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  uint32_t error = 0;
  if (EnterCall("CloseServiceHandle", &error)) return FALSE;
  if (!Services().Close(CurrentMachine(), sim::HandleValue(handle))) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  SetError(ERROR_SUCCESS);
  return TRUE;
}

// Writes the service key as the service control manager does for a driver
// or a service process; a name in use fails, marked or not.
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl,
                         LPCSTR binaryPath, LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR,
                         LPCSTR startName, LPCSTR) {
  uint32_t error = 0;
  if (EnterCall("CreateServiceA", &error)) return nullptr;
  sim::Machine& machine = CurrentMachine();
  uintptr_t managerHandle = sim::HandleValue(manager);
  if (!Services().IsManager(managerHandle)) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!(Services().ManagerAccess(managerHandle) & SC_MANAGER_CREATE_SERVICE)) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (!ValidServiceName(name)) {
    SetError(ERROR_INVALID_NAME);
    return nullptr;
  }
  if (!binaryPath || !*binaryPath) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((serviceType & SERVICE_KERNEL_DRIVER) && startName && *startName) {
    SetError(ERROR_INVALID_SERVICE_ACCOUNT);
    return nullptr;
  }
  if (Services().IsMarkedForDeletion(name)) {
    SetError(ERROR_SERVICE_MARKED_FOR_DELETE);
    return nullptr;
  }
  if (Services().Exists(machine, name)) {
    SetError(ERROR_SERVICE_EXISTS);
    return nullptr;
  }
  Services().Create(machine, name, displayName ? displayName : "", serviceType, startType,
                    errorControl, binaryPath, loadOrderGroup ? loadOrderGroup : "");
  if (tagId) *tagId = 0;
  SetError(ERROR_SUCCESS);
  return reinterpret_cast<SC_HANDLE>(Services().OpenService(machine, name, access));
}

}  // namespace plat
