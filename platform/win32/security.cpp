// Tokens, SIDs, ACLs and security descriptors on Windows: each operation
// passes straight to kernel32 or advapi32.
#include "platform/security.h"

namespace plat {

HANDLE GetCurrentProcess() { return ::GetCurrentProcess(); }

HANDLE GetCurrentThread() { return ::GetCurrentThread(); }

BOOL OpenThreadToken(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE token) {
  return ::OpenThreadToken(thread, access, openAsSelf, token);
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  return ::OpenProcessToken(process, access, token);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                         DWORD length, PDWORD returnLength) {
  return ::GetTokenInformation(token, infoClass, info, length, returnLength);
}

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4,
                              DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid) {
  return ::AllocateAndInitializeSid(authority, subAuthorityCount, sub0, sub1, sub2, sub3, sub4,
                                    sub5, sub6, sub7, sid);
}

BOOL EqualSid(PSID a, PSID b) { return ::EqualSid(a, b); }

DWORD GetLengthSid(PSID sid) { return ::GetLengthSid(sid); }

PVOID FreeSid(PSID sid) { return ::FreeSid(sid); }

BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
  return ::InitializeAcl(acl, length, revision);
}

BOOL GetAclInformation(PACL acl, LPVOID info, DWORD length, ACL_INFORMATION_CLASS infoClass) {
  return ::GetAclInformation(acl, info, length, infoClass);
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) { return ::GetAce(acl, index, ace); }

BOOL AddAce(PACL acl, DWORD revision, DWORD startIndex, LPVOID aceList, DWORD aceListLength) {
  return ::AddAce(acl, revision, startIndex, aceList, aceListLength);
}

BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) {
  return ::AddAccessAllowedAce(acl, revision, mask, sid);
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  return ::InitializeSecurityDescriptor(descriptor, revision);
}

BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, LPBOOL present, PACL* dacl,
                               LPBOOL defaulted) {
  return ::GetSecurityDescriptorDacl(descriptor, present, dacl, defaulted);
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl,
                               BOOL defaulted) {
  return ::SetSecurityDescriptorDacl(descriptor, present, dacl, defaulted);
}

}  // namespace plat
