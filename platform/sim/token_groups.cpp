#include "platform/sim/token_groups.h"

#include <cstring>

#include "platform/sim/machine.h"

namespace sim {

namespace {
constexpr uint8_t kMaxSubAuthorities = 15;  // SID_MAX_SUB_AUTHORITIES
}  // namespace

std::vector<uint8_t> MakeSid(uint8_t authority, std::initializer_list<DWORD> subAuthorities) {
  std::vector<uint8_t> bytes = {1, uint8_t(subAuthorities.size()), 0, 0, 0, 0, 0, authority};
  for (DWORD sub : subAuthorities) {
    uint8_t raw[4];
    std::memcpy(raw, &sub, sizeof(sub));
    bytes.insert(bytes.end(), raw, raw + 4);
  }
  return bytes;
}

std::vector<uint8_t> EveryoneSid() { return MakeSid(1, {SECURITY_WORLD_RID}); }
std::vector<uint8_t> LocalSystemSid() { return MakeSid(5, {SECURITY_LOCAL_SYSTEM_RID}); }
std::vector<uint8_t> AdministratorsSid() {
  return MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
}
std::vector<uint8_t> UsersSid() {
  return MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS});
}

size_t SidLength(const uint8_t* sid) {
  if (!sid || sid[0] != 1 || sid[1] > kMaxSubAuthorities) return 0;
  return 8 + 4u * sid[1];
}

std::vector<TokenGroup> TokenGroupsOf(const Machine& machine) {
  constexpr DWORD kEnabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
  std::vector<TokenGroup> groups;
  groups.push_back({EveryoneSid(), kEnabled});
  if (machine.options().administrator) {
    DWORD attributes =
        machine.system.administratorsDenyOnly ? DWORD(SE_GROUP_USE_FOR_DENY_ONLY) : kEnabled;
    groups.push_back({AdministratorsSid(), attributes});
  }
  groups.push_back({UsersSid(), kEnabled});
  groups.push_back({MakeSid(5, {4}), kEnabled});   // NT AUTHORITY\INTERACTIVE
  groups.push_back({MakeSid(5, {11}), kEnabled});  // NT AUTHORITY\Authenticated Users
  return groups;
}

}  // namespace sim
