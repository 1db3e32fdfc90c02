// Handle values of the simulated machine, with a count of the open ones per
// kind so that tests catch every handle the logic fails to release.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace sim {

enum class HandleKind {
  RegistryKey,
  FindSearch,
  DeviceInfoSet,
  InfFile,
  ServiceManager,
  Service,
  Token,
  Mutex,
  Module,
  DeviceContext,
  Sid,
  LocalMemory,
  HeapMemory,
  Icon,
  File,
  Process,
  Thread,
};

const char* HandleKindName(HandleKind kind);

class Handles {
 public:
  // A new handle value of the kind, never 0 and never INVALID_HANDLE_VALUE.
  uintptr_t Open(HandleKind kind);
  // Releases the handle; false when it is not an open handle of that kind.
  bool Close(uintptr_t value, HandleKind kind);
  bool IsOpen(uintptr_t value, HandleKind kind) const;
  size_t OpenCount(HandleKind kind) const;
  size_t OpenCount() const;
  // "RegistryKey: 2, Token: 1" for the kinds with open handles; empty when none.
  std::string Describe() const;

 private:
  std::map<uintptr_t, HandleKind> open_;
  uintptr_t next_ = 0x1000;
};

}  // namespace sim
