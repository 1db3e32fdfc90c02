// The service control manager of the simulated machine, behind the service
// operations (service_ops.cpp).
//
// A service is its key HKLM\SYSTEM\CurrentControlSet\Services\<name> with a
// "Type" value, as the service database Windows loads at start-up holds it;
// keys written straight into the image count as services installed before
// the machine started (Wine, unlike this model, sees such keys only after its
// server restarts). Names compare without regard to case.
//
// Deleting a service marks it for deletion, as Windows does: the key gets
// "DeleteFlag" = 1, the service can still be opened, a second DeleteService
// fails with ERROR_SERVICE_MARKED_FOR_DELETE, and the key goes (with
// everything below it) when the last handle to the service is closed. A
// driver still serving an attached device (a device whose "Control" key
// names it as ActiveService) is not unloaded, so its key stays until the
// machine restarts.
//
// Windows 95/98/Me have no service control manager: OpenSCManagerA fails
// with ERROR_CALL_NOT_IMPLEMENTED there.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/win_types.h"

namespace sim {

class Machine;

class ServiceManager {
 public:
  // HKLM-relative path of the service keys.
  static const char* ServicesRoot();

  bool Exists(const Machine& machine, const std::string& name) const;
  bool IsMarkedForDeletion(const std::string& name) const;
  // True while an attached device runs the service.
  bool IsRunning(const Machine& machine, const std::string& name) const;
  // The restart: services marked for deletion whose driver no longer runs
  // lose their keys (no handle survives a restart).
  void DeleteMarkedAtRestart(Machine& machine);

  // Manager handles.
  uintptr_t OpenManager(Machine& machine, DWORD access);
  bool IsManager(uintptr_t handle) const { return managers_.count(handle) != 0; }
  DWORD ManagerAccess(uintptr_t handle) const;

  // Service handles. OpenService expects an existing service.
  uintptr_t OpenService(Machine& machine, const std::string& name, DWORD access);
  // Null when the handle is no open service handle.
  const std::string* ServiceOf(uintptr_t handle) const;
  DWORD ServiceAccess(uintptr_t handle) const;
  // Marks the service; ERROR_SERVICE_MARKED_FOR_DELETE when it already is.
  uint32_t MarkForDeletion(Machine& machine, uintptr_t handle);
  // Closes a manager or service handle; false when it is neither.
  bool Close(Machine& machine, uintptr_t handle);

  // Writes a new service key (CreateServiceA).
  void Create(Machine& machine, const std::string& name, const std::string& displayName,
              DWORD type, DWORD start, DWORD errorControl, const std::string& imagePath,
              const std::string& group);

  size_t OpenServiceHandles(const std::string& name) const;

 private:
  void DeleteIfUnused(Machine& machine, const std::string& upperName);

  std::map<uintptr_t, DWORD> managers_;
  struct ServiceHandle {
    std::string upperName;
    DWORD access;
  };
  std::map<uintptr_t, ServiceHandle> services_;
  std::set<std::string> marked_;  // upper-cased names
};

}  // namespace sim
