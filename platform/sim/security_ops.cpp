// Tokens and SIDs of the simulated machine. The process token lists the
// groups of an interactive user: Everyone, BUILTIN\Administrators (when the
// machine's user is an administrator), BUILTIN\Users, INTERACTIVE and
// Authenticated Users. Windows 95/98/Me have no security: the token
// functions are not implemented there.
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/security.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/sim/token_groups.h"

namespace plat {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::HandleKind;
using sim::SetError;

namespace {

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(intptr_t{-1});
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(intptr_t{-2});

using sim::TokenGroup;

bool IsValidSidBytes(const BYTE* sid) { return sim::SidLength(sid) != 0; }

bool RefuseOnWindows9x() {
  if (CurrentMachine().IsNt()) return false;
  SetError(ERROR_CALL_NOT_IMPLEMENTED);
  return true;
}

}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }
HANDLE GetCurrentThread() { return kCurrentThread; }

// The program's thread never impersonates, so it has no token of its own.
BOOL OpenThreadToken(HANDLE thread, DWORD, BOOL, PHANDLE token) {
  uint32_t error = 0;
  if (EnterCall("OpenThreadToken", &error)) return FALSE;
  if (RefuseOnWindows9x()) return FALSE;
  if (thread != kCurrentThread) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!token) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  SetError(ERROR_NO_TOKEN);
  return FALSE;
}

BOOL OpenProcessToken(HANDLE process, DWORD, PHANDLE token) {
  uint32_t error = 0;
  if (EnterCall("OpenProcessToken", &error)) return FALSE;
  if (RefuseOnWindows9x()) return FALSE;
  if (process != kCurrentProcess) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!token) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  uintptr_t value = machine.handles.Open(HandleKind::Token);
  machine.system.tokens.insert(value);
  *token = reinterpret_cast<HANDLE>(value);
  return TRUE;
}

// TOKEN_GROUPS: the count, the SID_AND_ATTRIBUTES array, then the SIDs the
// array points to, all inside the caller's buffer. A buffer that is missing or
// too small gets ERROR_INSUFFICIENT_BUFFER and the size it needs.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                         DWORD length, PDWORD returnLength) {
  uint32_t error = 0;
  if (EnterCall("GetTokenInformation", &error)) return FALSE;
  if (RefuseOnWindows9x()) return FALSE;
  if (!CurrentMachine().system.tokens.count(sim::HandleValue(token))) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (infoClass != TokenGroups) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!returnLength) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  std::vector<TokenGroup> groups = sim::TokenGroupsOf(CurrentMachine());
  size_t arrayEnd = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
  size_t needed = arrayEnd;
  for (const TokenGroup& group : groups) needed += group.sid.size();
  *returnLength = DWORD(needed);
  if (!info || length < needed) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  BYTE* base = static_cast<BYTE*>(info);
  auto* result = static_cast<TOKEN_GROUPS*>(info);
  result->GroupCount = DWORD(groups.size());
  size_t sidOffset = arrayEnd;
  for (size_t i = 0; i < groups.size(); ++i) {
    const std::vector<BYTE>& sid = groups[i].sid;
    std::memcpy(base + sidOffset, sid.data(), sid.size());
    SID_AND_ATTRIBUTES entry{base + sidOffset, groups[i].attributes};
    std::memcpy(base + offsetof(TOKEN_GROUPS, Groups) + i * sizeof(SID_AND_ATTRIBUTES), &entry,
                sizeof(entry));
    sidOffset += sid.size();
  }
  return TRUE;
}

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4,
                              DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid) {
  uint32_t error = 0;
  if (EnterCall("AllocateAndInitializeSid", &error)) return FALSE;
  if (!authority || !sid) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (subAuthorityCount > 8) {
    SetError(ERROR_INVALID_SID);
    return FALSE;
  }
  const DWORD subs[8] = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
  sim::Machine& machine = CurrentMachine();
  size_t size = 8 + 4u * subAuthorityCount;
  auto* bytes = static_cast<BYTE*>(machine.system.AllocateBlock(machine, HandleKind::Sid, size));
  if (!bytes) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  bytes[0] = 1;
  bytes[1] = subAuthorityCount;
  std::memcpy(bytes + 2, authority->Value, 6);
  std::memcpy(bytes + 8, subs, 4u * subAuthorityCount);
  *sid = bytes;
  return TRUE;
}

// Like Windows, EqualSid clears the last error, so a caller can tell
// "different" from a failure.
BOOL EqualSid(PSID a, PSID b) {
  uint32_t error = 0;
  if (EnterCall("EqualSid", &error)) return FALSE;
  SetError(ERROR_SUCCESS);
  const BYTE* left = static_cast<const BYTE*>(a);
  const BYTE* right = static_cast<const BYTE*>(b);
  if (!IsValidSidBytes(left) || !IsValidSidBytes(right) || left[1] != right[1]) return FALSE;
  return std::memcmp(left, right, 8 + 4u * left[1]) == 0;
}

DWORD GetLengthSid(PSID sid) {
  uint32_t error = 0;
  if (EnterCall("GetLengthSid", &error)) return 0;
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  if (!IsValidSidBytes(bytes)) {
    SetError(ERROR_INVALID_SID);
    return 0;
  }
  return 8 + 4u * bytes[1];
}

// Returns null when the SID was freed, the SID itself when it was not one
// that AllocateAndInitializeSid gave.
PVOID FreeSid(PSID sid) {
  uint32_t error = 0;
  if (EnterCall("FreeSid", &error)) return sid;
  sim::Machine& machine = CurrentMachine();
  if (!sid || !machine.system.FreeBlock(machine, sid, HandleKind::Sid)) return sid;
  return nullptr;
}

}  // namespace plat
