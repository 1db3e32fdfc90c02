// Registry key security of the simulated NT-family machine.
//
// A key's security descriptor is kept in RegKey::security as self-relative
// bytes, as RegGetKeySecurity hands it out: owner and DACL (there is no
// group and no SACL here). An empty vector is the default descriptor of the
// machine: owned by Administrators, without a DACL, so that everyone has
// full access, as the machine behaved before key security existed.
//
// The access check follows Windows: no DACL grants everything; otherwise the
// ACEs are read in order, an access-denied ACE for an enabled or deny-only
// group of the token refuses any right it names that is not yet granted, an
// access-allowed ACE for an enabled group grants the rights it names; the
// owner always has READ_CONTROL and WRITE_DAC. A new key inherits the ACEs of
// its parent that carry CONTAINER_INHERIT_ACE, marked INHERITED_ACE.
//
// Windows 95/98/Me have no key security: nothing is installed there.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

#ifndef INHERIT_ONLY_ACE
#define INHERIT_ONLY_ACE 0x8
#endif
#ifndef NO_PROPAGATE_INHERIT_ACE
#define NO_PROPAGATE_INHERIT_ACE 0x4
#endif

namespace sim {

class Machine;
struct RegKey;

struct Ace {
  uint8_t type = ACCESS_ALLOWED_ACE_TYPE;
  uint8_t flags = 0;
  uint32_t mask = 0;
  std::vector<uint8_t> sid;
  bool operator==(const Ace&) const = default;
};

struct KeySecurity {
  std::vector<uint8_t> owner;  // SID bytes; empty: no owner
  bool daclPresent = false;    // false (or a null DACL): everyone has full access
  std::vector<Ace> dacl;
};

// The ACL bytes of a list of ACEs (revision 2, sized exactly).
std::vector<uint8_t> EncodeAcl(const std::vector<Ace>& aces);
// The ACEs of ACL bytes; false when the bytes are no valid ACL of at most
// `size` bytes.
bool DecodeAcl(const uint8_t* acl, size_t size, std::vector<Ace>* aces);
// Whether the ACL at `acl` is well formed: revision 2 to 4, every ACE inside
// AclSize. *inUse receives the bytes the header and the ACEs take.
bool ValidAcl(const uint8_t* acl, size_t* inUse);

// Self-relative descriptor bytes with the parts `what` asks for.
std::vector<uint8_t> EncodeDescriptor(const KeySecurity& security, SECURITY_INFORMATION what);
// Reads an absolute or self-relative descriptor of `size` bytes (size 0:
// unknown, trust the offsets). Returns 0 or a Win32 error code.
DWORD DecodeDescriptor(const void* descriptor, size_t size, KeySecurity* security);

// The key's descriptor (the default one for a key that has none of its own).
KeySecurity SecurityOfKey(const RegKey& key);
void SetSecurityOfKey(RegKey& key, const KeySecurity& security);

// Whether the machine's token is granted `desired` (specific key rights) on the key.
DWORD CheckKeyAccess(const Machine& machine, const RegKey& key, REGSAM desired);

// The descriptor a new child of `parent` gets: the parent's inheritable ACEs.
std::vector<uint8_t> InheritedSecurity(const std::vector<uint8_t>& parent);

// Turns key security on for an NT-family machine: the access check of every
// open and deletion, and inheritance to new keys.
void InstallKeySecurity(Machine& machine);

// Gives a key the protection of the device tree of Windows 2000 and XP, and
// its present sub-keys the inherited form: owned by SYSTEM, full control for
// SYSTEM, read and WRITE_DAC for Administrators (which is how an
// administrator can still take control of a device key), inherited by every
// key created below it.
void ProtectAsDeviceTree(RegKey& key);
KeySecurity DeviceTreeSecurity();

// Gives a key the default protection of HKLM\SOFTWARE on Windows 2000 and later
// (Microsoft, "Default Access Control Settings in Windows 2000", appendix B),
// and its present sub-keys the inherited form: owned by Administrators; full
// control for Administrators and SYSTEM; query, set, create, enumerate, notify,
// delete and read control for Power Users; read for Users. A standard user
// can read the keys below it and write none of them.
void ProtectAsSoftwareTree(RegKey& key);
KeySecurity SoftwareTreeSecurity();

// "(A;CI;0x000F003F;S-1-5-18)" for each ACE, for test messages; "NO DACL" when absent.
std::string DescribeDacl(const KeySecurity& security);
// "owner S-1-5-18 dacl (A;...)...": the whole descriptor, as the registry
// snapshot writes it beside a key that has a descriptor of its own.
std::string DescribeSecurity(const KeySecurity& security);

}  // namespace sim
