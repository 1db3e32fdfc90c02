#include "app/administrator.h"

#include <memory>

#include "platform/platform.h"

namespace {

struct TokenCloser {
  HANDLE token = nullptr;
  ~TokenCloser() {
    if (token) plat::CloseHandle(token);
  }
};

struct SidFreer {
  PSID sid = nullptr;
  ~SidFreer() {
    if (sid) plat::FreeSid(sid);
  }
};

bool OpenQueryToken(TokenCloser* owner) {
  if (plat::OpenThreadToken(plat::GetCurrentThread(), TOKEN_QUERY, FALSE, &owner->token)) {
    return true;
  }
  owner->token = nullptr;
  if (plat::GetLastError() != ERROR_NO_TOKEN) return false;
  if (plat::OpenProcessToken(plat::GetCurrentProcess(), TOKEN_QUERY, &owner->token)) return true;
  owner->token = nullptr;
  return false;
}

}  // namespace

int IsUserAdministrator() {
  TokenCloser token;
  if (!OpenQueryToken(&token)) return 0;

  DWORD size = 0;
  if (plat::GetTokenInformation(token.token, TokenGroups, nullptr, 0, &size)) return 0;
  if (plat::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return 0;
  // TOKEN_GROUPS holds pointers: keep the buffer aligned for them.
  std::unique_ptr<void*[]> buffer(new (std::nothrow) void*[size / sizeof(void*) + 1]);
  if (!buffer) return 0;
  if (!plat::GetTokenInformation(token.token, TokenGroups, buffer.get(), size, &size)) return 0;

  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  SidFreer administrators;
  if (!plat::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                      DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                      &administrators.sid)) {
    administrators.sid = nullptr;
    return 0;
  }
  const TOKEN_GROUPS* groups = static_cast<const TOKEN_GROUPS*>(static_cast<void*>(buffer.get()));
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (plat::EqualSid(groups->Groups[i].Sid, administrators.sid)) return 1;
  }
  return 0;
}
