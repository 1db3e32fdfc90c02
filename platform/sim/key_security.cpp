#include "platform/sim/key_security.h"

#include <cstdio>
#include <cstring>

#include "platform/sim/machine.h"
#include "platform/sim/registry_model.h"
#include "platform/sim/token_groups.h"

namespace sim {

namespace {

constexpr size_t kAclHeader = 8;
constexpr size_t kAceHeader = 4;
constexpr size_t kRelativeHeader = 20;  // SECURITY_DESCRIPTOR_RELATIVE

uint16_t Word(const uint8_t* at) { return uint16_t(at[0] | at[1] << 8); }
uint32_t Dword(const uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24;
}
void PutWord(uint8_t* at, uint16_t value) {
  at[0] = uint8_t(value);
  at[1] = uint8_t(value >> 8);
}
void PutDword(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

// The specific key rights a generic right in an ACE stands for.
uint32_t MapGeneric(uint32_t mask) {
  uint32_t mapped = mask & ~uint32_t(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (mask & GENERIC_READ) mapped |= KEY_READ;
  if (mask & GENERIC_WRITE) mapped |= KEY_WRITE;
  if (mask & GENERIC_EXECUTE) mapped |= KEY_EXECUTE;
  if (mask & GENERIC_ALL) mapped |= KEY_ALL_ACCESS;
  return mapped;
}

bool HasGroup(const std::vector<TokenGroup>& groups, const std::vector<uint8_t>& sid,
              bool denyOnlyToo) {
  for (const TokenGroup& group : groups) {
    bool enabled = (group.attributes & SE_GROUP_ENABLED) != 0;
    bool denyOnly = (group.attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0;
    if (group.sid == sid && (enabled || (denyOnlyToo && denyOnly))) return true;
  }
  return false;
}

}  // namespace

bool ValidAcl(const uint8_t* acl, size_t* inUse) {
  if (!acl || acl[0] < 2 || acl[0] > 4) return false;
  size_t aclSize = Word(acl + 2);
  size_t count = Word(acl + 4);
  if (aclSize < kAclHeader) return false;
  size_t offset = kAclHeader;
  for (size_t i = 0; i < count; ++i) {
    if (offset + kAceHeader > aclSize) return false;
    size_t aceSize = Word(acl + offset + 2);
    if (aceSize < kAceHeader || offset + aceSize > aclSize) return false;
    offset += aceSize;
  }
  if (inUse) *inUse = offset;
  return true;
}

std::vector<uint8_t> EncodeAcl(const std::vector<Ace>& aces) {
  std::vector<uint8_t> bytes(kAclHeader, 0);
  for (const Ace& ace : aces) {
    size_t at = bytes.size();
    bytes.resize(at + 8 + ace.sid.size());
    bytes[at] = ace.type;
    bytes[at + 1] = ace.flags;
    PutWord(&bytes[at + 2], uint16_t(8 + ace.sid.size()));
    PutDword(&bytes[at + 4], ace.mask);
    std::memcpy(&bytes[at + 8], ace.sid.data(), ace.sid.size());
  }
  bytes[0] = ACL_REVISION;
  PutWord(&bytes[2], uint16_t(bytes.size()));
  PutWord(&bytes[4], uint16_t(aces.size()));
  return bytes;
}

bool DecodeAcl(const uint8_t* acl, size_t size, std::vector<Ace>* aces) {
  aces->clear();
  size_t inUse = 0;
  if (size < kAclHeader || !ValidAcl(acl, &inUse) || Word(acl + 2) > size) return false;
  size_t offset = kAclHeader;
  for (size_t i = 0, count = Word(acl + 4); i < count; ++i) {
    const uint8_t* at = acl + offset;
    size_t aceSize = Word(at + 2);
    Ace ace;
    ace.type = at[0];
    ace.flags = at[1];
    if (aceSize >= 8) ace.mask = Dword(at + 4);
    if (aceSize > 8) ace.sid.assign(at + 8, at + aceSize);
    aces->push_back(ace);
    offset += aceSize;
  }
  return true;
}

std::vector<uint8_t> EncodeDescriptor(const KeySecurity& security, SECURITY_INFORMATION what) {
  std::vector<uint8_t> bytes(kRelativeHeader, 0);
  uint16_t control = SE_SELF_RELATIVE;
  bytes[0] = SECURITY_DESCRIPTOR_REVISION;
  if ((what & OWNER_SECURITY_INFORMATION) && !security.owner.empty()) {
    PutDword(&bytes[4], uint32_t(bytes.size()));
    bytes.insert(bytes.end(), security.owner.begin(), security.owner.end());
  }
  if ((what & DACL_SECURITY_INFORMATION) && security.daclPresent) {
    control |= SE_DACL_PRESENT;
    PutDword(&bytes[16], uint32_t(bytes.size()));
    std::vector<uint8_t> acl = EncodeAcl(security.dacl);
    bytes.insert(bytes.end(), acl.begin(), acl.end());
  }
  PutWord(&bytes[2], control);
  return bytes;
}

DWORD DecodeDescriptor(const void* descriptor, size_t size, KeySecurity* security) {
  *security = KeySecurity();
  const uint8_t* base = static_cast<const uint8_t*>(descriptor);
  if (!base || base[0] != SECURITY_DESCRIPTOR_REVISION) return ERROR_INVALID_SECURITY_DESCR;
  uint16_t control = Word(base + 2);
  const uint8_t* owner = nullptr;
  const uint8_t* dacl = nullptr;
  size_t daclRoom = 0xFFFF;
  if (control & SE_SELF_RELATIVE) {
    if (size && size < kRelativeHeader) return ERROR_INVALID_SECURITY_DESCR;
    uint32_t ownerAt = Dword(base + 4);
    uint32_t daclAt = Dword(base + 16);
    if (size && (ownerAt >= size || daclAt >= size)) return ERROR_INVALID_SECURITY_DESCR;
    if (ownerAt) owner = base + ownerAt;
    if (daclAt) dacl = base + daclAt;
    if (size && daclAt) daclRoom = size - daclAt;
  } else {
    const auto* absolute = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
    owner = static_cast<const uint8_t*>(absolute->Owner);
    dacl = reinterpret_cast<const uint8_t*>(absolute->Dacl);
  }
  if (owner) {
    size_t length = SidLength(owner);
    if (!length) return ERROR_INVALID_SID;
    security->owner.assign(owner, owner + length);
  }
  // A DACL marked present but without ACL bytes is a null DACL: no restriction.
  if ((control & SE_DACL_PRESENT) && dacl) {
    if (!DecodeAcl(dacl, daclRoom, &security->dacl)) return ERROR_INVALID_ACL;
    security->daclPresent = true;
  }
  return ERROR_SUCCESS;
}

KeySecurity SecurityOfKey(const RegKey& key) {
  KeySecurity security;
  if (key.security.empty()) {
    security.owner = AdministratorsSid();
    return security;
  }
  DecodeDescriptor(key.security.data(), key.security.size(), &security);
  return security;
}

void SetSecurityOfKey(RegKey& key, const KeySecurity& security) {
  key.security = EncodeDescriptor(security, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION);
}

DWORD CheckKeyAccess(const Machine& machine, const RegKey& key, REGSAM desired) {
  if (key.security.empty() || desired == 0) return ERROR_SUCCESS;
  KeySecurity security = SecurityOfKey(key);
  if (!security.daclPresent) return ERROR_SUCCESS;
  std::vector<TokenGroup> groups = TokenGroupsOf(machine);
  uint32_t granted = 0;
  if (!security.owner.empty() && HasGroup(groups, security.owner, false)) {
    granted |= READ_CONTROL | WRITE_DAC;
  }
  for (const Ace& ace : security.dacl) {
    if ((desired & ~granted) == 0) break;
    if (ace.flags & INHERIT_ONLY_ACE) continue;
    uint32_t mask = MapGeneric(ace.mask);
    if (ace.type == ACCESS_DENIED_ACE_TYPE && HasGroup(groups, ace.sid, true)) {
      if (mask & desired & ~granted) return ERROR_ACCESS_DENIED;
    } else if (ace.type == ACCESS_ALLOWED_ACE_TYPE && HasGroup(groups, ace.sid, false)) {
      granted |= mask;
    }
  }
  return (desired & ~granted) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::vector<uint8_t> InheritedSecurity(const std::vector<uint8_t>& parent) {
  if (parent.empty()) return {};
  KeySecurity from;
  if (DecodeDescriptor(parent.data(), parent.size(), &from) != ERROR_SUCCESS) return {};
  if (!from.daclPresent) return {};
  KeySecurity child;
  child.owner = from.owner;
  child.daclPresent = true;
  for (Ace ace : from.dacl) {
    if (!(ace.flags & CONTAINER_INHERIT_ACE)) continue;
    ace.flags &= ~uint8_t(INHERIT_ONLY_ACE);
    if (ace.flags & NO_PROPAGATE_INHERIT_ACE) {
      ace.flags &= ~uint8_t(CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE);
    }
    ace.flags |= INHERITED_ACE;
    child.dacl.push_back(ace);
  }
  if (child.dacl.empty()) return {};
  return EncodeDescriptor(child, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION);
}

void InstallKeySecurity(Machine& machine) {
  if (!machine.IsNt()) return;
  Machine* owner = &machine;
  machine.registry.SetAccessCheck([owner](const RegKey& key, REGSAM desired) -> LSTATUS {
    return static_cast<LSTATUS>(CheckKeyAccess(*owner, key, desired));
  });
  machine.registry.SetInheritance(
      [](const RegKey& parent) { return InheritedSecurity(parent.security); });
}

KeySecurity DeviceTreeSecurity() {
  KeySecurity security;
  security.owner = LocalSystemSid();
  security.daclPresent = true;
  security.dacl.push_back(
      Ace{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS, LocalSystemSid()});
  security.dacl.push_back(Ace{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE,
                              KEY_READ | WRITE_DAC, AdministratorsSid()});
  return security;
}

namespace {
void InheritDown(RegKey& key) {
  for (auto& [upper, child] : key.children) {
    if (child->currentControlSetLink) continue;
    child->security = InheritedSecurity(key.security);
    InheritDown(*child);
  }
}
}  // namespace

void ProtectAsDeviceTree(RegKey& key) {
  SetSecurityOfKey(key, DeviceTreeSecurity());
  InheritDown(key);
}

KeySecurity SoftwareTreeSecurity() {
  constexpr uint32_t kPowerUsersRights = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                         KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | DELETE |
                                         READ_CONTROL;
  KeySecurity security;
  security.owner = AdministratorsSid();
  security.daclPresent = true;
  security.dacl.push_back(
      Ace{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS, AdministratorsSid()});
  security.dacl.push_back(
      Ace{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS, LocalSystemSid()});
  security.dacl.push_back(Ace{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, kPowerUsersRights,
                              MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, 547})});
  security.dacl.push_back(
      Ace{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_READ, UsersSid()});
  return security;
}

void ProtectAsSoftwareTree(RegKey& key) {
  SetSecurityOfKey(key, SoftwareTreeSecurity());
  InheritDown(key);
}

namespace {

std::string SidText(const std::vector<uint8_t>& sid) {
  std::string text = "S-1-";
  if (sid.size() < 8 || SidLength(sid.data()) != sid.size()) return text + "?";
  text += std::to_string(sid[7]);
  for (size_t i = 8; i + 4 <= sid.size(); i += 4) text += "-" + std::to_string(Dword(&sid[i]));
  return text;
}

}  // namespace

std::string DescribeDacl(const KeySecurity& security) {
  if (!security.daclPresent) return "NO DACL";
  std::string text;
  for (const Ace& ace : security.dacl) {
    char head[48];
    std::snprintf(head, sizeof head, "(%s;0x%02X;0x%08X;", ace.type == 0 ? "A" : "D", ace.flags,
                  ace.mask);
    text += head + SidText(ace.sid) + ")";
  }
  return text.empty() ? "EMPTY DACL" : text;
}

std::string DescribeSecurity(const KeySecurity& security) {
  std::string owner = security.owner.empty() ? "none" : SidText(security.owner);
  return "owner " + owner + " dacl " + DescribeDacl(security);
}

}  // namespace sim
