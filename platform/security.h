// Tokens, SIDs, ACLs and security descriptors.
#pragma once
#include "platform/win_types.h"

namespace plat {

HANDLE GetCurrentProcess();
HANDLE GetCurrentThread();
BOOL OpenThreadToken(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE token);
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                         DWORD length, PDWORD returnLength);

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4,
                              DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid);
BOOL EqualSid(PSID a, PSID b);
DWORD GetLengthSid(PSID sid);
PVOID FreeSid(PSID sid);

BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision);
BOOL GetAclInformation(PACL acl, LPVOID info, DWORD length, ACL_INFORMATION_CLASS infoClass);
BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);
BOOL AddAce(PACL acl, DWORD revision, DWORD startIndex, LPVOID aceList, DWORD aceListLength);
BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid);

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, LPBOOL present, PACL* dacl,
                               LPBOOL defaulted);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl,
                               BOOL defaulted);

}  // namespace plat
