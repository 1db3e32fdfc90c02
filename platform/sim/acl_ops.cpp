// ACLs and security descriptors on the simulated machine, laid out byte for
// byte as Windows lays them out, with Windows' checks and error codes.
#include <cstring>

#include "platform/security.h"
#include "platform/sim/key_security.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/sim/token_groups.h"

#ifndef ERROR_UNKNOWN_REVISION
#define ERROR_UNKNOWN_REVISION 1305L
#endif
#ifndef ERROR_INVALID_SECURITY_DESCR
#define ERROR_INVALID_SECURITY_DESCR 1338L
#endif

namespace plat {

using sim::EnterCall;
using sim::SetError;

namespace {

constexpr DWORD kAclHeader = sizeof(ACL);
constexpr BYTE kMinRevision = 2;
constexpr BYTE kMaxRevision = 4;

BYTE* Bytes(PACL acl) { return reinterpret_cast<BYTE*>(acl); }

BOOL Fail(DWORD error) {
  SetError(error);
  return FALSE;
}

// Bytes the header and the ACEs of a valid ACL take; 0 when it is not valid.
size_t InUse(PACL acl) {
  size_t inUse = 0;
  return sim::ValidAcl(Bytes(acl), &inUse) ? inUse : 0;
}

// Byte offset of ACE `index`, counted from the ACL's start.
size_t AceOffset(PACL acl, DWORD index) {
  size_t offset = kAclHeader;
  for (DWORD i = 0; i < index; ++i) {
    offset += reinterpret_cast<ACE_HEADER*>(Bytes(acl) + offset)->AceSize;
  }
  return offset;
}

bool ValidRevision(DWORD revision) { return revision >= kMinRevision && revision <= kMaxRevision; }

}  // namespace

BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
  uint32_t error = 0;
  if (EnterCall("InitializeAcl", &error)) return FALSE;
  if (length < kAclHeader) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (!ValidRevision(revision) || length > 0xFFFF || !acl) return Fail(ERROR_INVALID_PARAMETER);
  std::memset(acl, 0, kAclHeader);
  acl->AclRevision = static_cast<BYTE>(revision);
  acl->AclSize = static_cast<WORD>(length);
  return TRUE;
}

BOOL GetAclInformation(PACL acl, LPVOID info, DWORD length, ACL_INFORMATION_CLASS infoClass) {
  uint32_t error = 0;
  if (EnterCall("GetAclInformation", &error)) return FALSE;
  if (!acl || !InUse(acl)) return Fail(ERROR_INVALID_ACL);
  if (infoClass == AclSizeInformation) {
    if (length < sizeof(ACL_SIZE_INFORMATION)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    ACL_SIZE_INFORMATION size{acl->AceCount, static_cast<DWORD>(InUse(acl)),
                              static_cast<DWORD>(acl->AclSize - InUse(acl))};
    std::memcpy(info, &size, sizeof size);
    return TRUE;
  }
  if (infoClass == AclRevisionInformation) {
    if (length < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    DWORD revision = acl->AclRevision;
    std::memcpy(info, &revision, sizeof revision);
    return TRUE;
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
  uint32_t error = 0;
  if (EnterCall("GetAce", &error)) return FALSE;
  if (!acl || !ace || !InUse(acl) || index >= acl->AceCount) return Fail(ERROR_INVALID_PARAMETER);
  *ace = Bytes(acl) + AceOffset(acl, index);
  return TRUE;
}

BOOL AddAce(PACL acl, DWORD revision, DWORD startIndex, LPVOID aceList, DWORD aceListLength) {
  uint32_t error = 0;
  if (EnterCall("AddAce", &error)) return FALSE;
  if (!acl || !InUse(acl)) return Fail(ERROR_INVALID_ACL);
  if (!ValidRevision(revision) || !aceList) return Fail(ERROR_INVALID_PARAMETER);
  // The list must be whole ACEs.
  DWORD count = 0;
  for (DWORD offset = 0; offset < aceListLength; ++count) {
    if (offset + sizeof(ACE_HEADER) > aceListLength) return Fail(ERROR_INVALID_PARAMETER);
    WORD size = reinterpret_cast<ACE_HEADER*>(static_cast<BYTE*>(aceList) + offset)->AceSize;
    if (size < sizeof(ACE_HEADER) || offset + size > aceListLength) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    offset += size;
  }
  size_t inUse = InUse(acl);
  if (inUse + aceListLength > acl->AclSize) return Fail(ERROR_INSUFFICIENT_BUFFER);
  DWORD index = startIndex > acl->AceCount ? acl->AceCount : startIndex;
  size_t at = AceOffset(acl, index);
  std::memmove(Bytes(acl) + at + aceListLength, Bytes(acl) + at, inUse - at);
  std::memcpy(Bytes(acl) + at, aceList, aceListLength);
  acl->AceCount = static_cast<WORD>(acl->AceCount + count);
  if (revision > acl->AclRevision) acl->AclRevision = static_cast<BYTE>(revision);
  return TRUE;
}

BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) {
  uint32_t error = 0;
  if (EnterCall("AddAccessAllowedAce", &error)) return FALSE;
  if (!acl || !InUse(acl)) return Fail(ERROR_INVALID_ACL);
  size_t sidLength = sim::SidLength(static_cast<const uint8_t*>(sid));
  if (!sidLength) return Fail(ERROR_INVALID_SID);
  if (!ValidRevision(revision)) return Fail(ERROR_UNKNOWN_REVISION);
  size_t inUse = InUse(acl);
  size_t aceSize = 8 + sidLength;
  if (inUse + aceSize > acl->AclSize) return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
  BYTE* ace = Bytes(acl) + inUse;
  ace[0] = ACCESS_ALLOWED_ACE_TYPE;
  ace[1] = 0;
  WORD size = static_cast<WORD>(aceSize);
  std::memcpy(ace + 2, &size, 2);
  std::memcpy(ace + 4, &mask, 4);
  std::memcpy(ace + 8, sid, sidLength);
  acl->AceCount = static_cast<WORD>(acl->AceCount + 1);
  if (revision > acl->AclRevision) acl->AclRevision = static_cast<BYTE>(revision);
  return TRUE;
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  uint32_t error = 0;
  if (EnterCall("InitializeSecurityDescriptor", &error)) return FALSE;
  if (revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  if (!descriptor) return Fail(ERROR_NOACCESS);
  std::memset(descriptor, 0, sizeof(SECURITY_DESCRIPTOR));
  static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, LPBOOL present, PACL* dacl,
                               LPBOOL defaulted) {
  uint32_t error = 0;
  if (EnterCall("GetSecurityDescriptorDacl", &error)) return FALSE;
  auto* bytes = static_cast<BYTE*>(descriptor);
  if (!bytes || !present || !dacl || !defaulted) return Fail(ERROR_NOACCESS);
  if (bytes[0] != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  WORD control = 0;
  std::memcpy(&control, bytes + 2, 2);
  *present = (control & SE_DACL_PRESENT) ? TRUE : FALSE;
  if (!*present) return TRUE;  // *dacl and *defaulted are left alone, as Windows leaves them
  *defaulted = (control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  if (control & SE_SELF_RELATIVE) {
    DWORD offset = 0;
    std::memcpy(&offset, bytes + 16, 4);
    *dacl = offset ? reinterpret_cast<PACL>(bytes + offset) : nullptr;
  } else {
    *dacl = static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Dacl;
  }
  return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl,
                               BOOL defaulted) {
  uint32_t error = 0;
  if (EnterCall("SetSecurityDescriptorDacl", &error)) return FALSE;
  auto* absolute = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  if (!absolute) return Fail(ERROR_NOACCESS);
  if (absolute->Revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  if (absolute->Control & SE_SELF_RELATIVE) return Fail(ERROR_INVALID_SECURITY_DESCR);
  absolute->Control &= static_cast<WORD>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
  absolute->Dacl = nullptr;
  if (present) {
    absolute->Control |= SE_DACL_PRESENT;
    absolute->Dacl = dacl;
    if (defaulted) absolute->Control |= SE_DACL_DEFAULTED;
  }
  return TRUE;
}

}  // namespace plat
