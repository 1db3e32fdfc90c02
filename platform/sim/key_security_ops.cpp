// RegGetKeySecurity and RegSetKeySecurity of the simulated machine: the
// key's descriptor handed out in self-relative form with the size-query
// protocol of Windows, and its owner or DACL replaced from an absolute or
// self-relative descriptor. Windows 95/98/Me have no key security.
#include <cstring>

#include "platform/registry.h"
#include "platform/sim/key_security.h"
#include "platform/sim/machine.h"

#ifndef ERROR_PRIVILEGE_NOT_HELD
#define ERROR_PRIVILEGE_NOT_HELD 1314L
#endif

namespace plat {

namespace {

// The key behind a handle that grants `needed`.
LSTATUS SecuredKey(HKEY handle, REGSAM needed, sim::KeyRef* key) {
  sim::Machine& machine = sim::CurrentMachine();
  if (!machine.IsNt()) return ERROR_CALL_NOT_IMPLEMENTED;
  REGSAM granted = 0;
  *key = machine.registry.ResolveHandle(handle, &granted);
  if (!*key) return ERROR_INVALID_HANDLE;
  if ((granted & needed) != needed) return ERROR_ACCESS_DENIED;
  if ((*key)->deleted) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegGetKeySecurity(HKEY handle, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor,
                          LPDWORD descriptorLength) {
  uint32_t error = 0;
  if (sim::EnterCall("RegGetKeySecurity", &error)) return static_cast<LSTATUS>(error);
  if (!descriptorLength) return ERROR_NOACCESS;
  if (what & SACL_SECURITY_INFORMATION) return ERROR_PRIVILEGE_NOT_HELD;
  sim::KeyRef key;
  LSTATUS status = SecuredKey(handle, READ_CONTROL, &key);
  if (status != ERROR_SUCCESS) return status;
  std::vector<uint8_t> bytes = sim::EncodeDescriptor(sim::SecurityOfKey(*key), what);
  DWORD needed = static_cast<DWORD>(bytes.size());
  if (!descriptor || *descriptorLength < needed) {
    *descriptorLength = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(descriptor, bytes.data(), needed);
  *descriptorLength = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegSetKeySecurity(HKEY handle, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor) {
  uint32_t error = 0;
  if (sim::EnterCall("RegSetKeySecurity", &error)) return static_cast<LSTATUS>(error);
  if (what & SACL_SECURITY_INFORMATION) return ERROR_PRIVILEGE_NOT_HELD;
  REGSAM needed = 0;
  if (what & DACL_SECURITY_INFORMATION) needed |= WRITE_DAC;
  if (what & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION)) needed |= WRITE_OWNER;
  sim::KeyRef key;
  LSTATUS status = SecuredKey(handle, needed, &key);
  if (status != ERROR_SUCCESS) return status;
  if (!descriptor) return ERROR_INVALID_PARAMETER;
  sim::KeySecurity given;
  DWORD decoded = sim::DecodeDescriptor(descriptor, 0, &given);
  if (decoded != ERROR_SUCCESS) return static_cast<LSTATUS>(decoded);
  sim::KeySecurity security = sim::SecurityOfKey(*key);
  if (what & DACL_SECURITY_INFORMATION) {
    security.daclPresent = given.daclPresent;
    security.dacl = given.dacl;
  }
  if ((what & OWNER_SECURITY_INFORMATION) && !given.owner.empty()) security.owner = given.owner;
  sim::SetSecurityOfKey(*key, security);
  return ERROR_SUCCESS;
}

}  // namespace plat
