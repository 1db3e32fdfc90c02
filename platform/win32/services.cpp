// Service Control Manager on Windows: each operation passes straight to
// advapi32.
#include "platform/services.h"

namespace plat {

SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
  return ::OpenSCManagerA(machine, database, access);
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
  return ::OpenServiceA(manager, name, access);
}

BOOL DeleteService(SC_HANDLE service) { return ::DeleteService(service); }

BOOL CloseServiceHandle(SC_HANDLE handle) { return ::CloseServiceHandle(handle); }

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPath,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                         LPCSTR startName, LPCSTR password) {
  return ::CreateServiceA(manager, name, displayName, access, serviceType, startType, errorControl,
                          binaryPath, loadOrderGroup, tagId, dependencies, startName, password);
}

}  // namespace plat
