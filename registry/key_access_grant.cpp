// The key access grant: right before the cleanup deletes a key of Windows
// 2000/XP, BUILTIN\Administrators gets full control of that key, so that
// keys the system keeps writable by SYSTEM only (the device tree) can go.
// When the deletion then fails, the key gets its former DACL back.
#include <cstring>

#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "platform/platform.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"

namespace {

// Read as is: big enough for any descriptor, so no size query is needed.
constexpr DWORD kDescriptorCapacity = 0x10014;
// KEY_READ with WRITE_DAC.
constexpr REGSAM kReadAndWriteDac = 0x60019;

DWORD LastErrorOr(DWORD fallback) {
  DWORD error = plat::GetLastError();
  return error != ERROR_SUCCESS ? error : fallback;
}

// Fills `dacl` with the ACEs of `old` in their order, then the new entry.
DWORD BuildDacl(PACL old, DWORD aceCount, PACL dacl, DWORD daclSize, PSID administrators) {
  if (!plat::InitializeAcl(dacl, daclSize, ACL_REVISION)) return LastErrorOr(ERROR_INVALID_ACL);
  for (DWORD index = 0; index < aceCount; ++index) {
    void* ace = nullptr;
    if (!plat::GetAce(old, index, &ace)) return LastErrorOr(ERROR_INVALID_ACL);
    WORD aceSize = static_cast<ACE_HEADER*>(ace)->AceSize;
    if (!plat::AddAce(dacl, ACL_REVISION, MAXDWORD, ace, aceSize)) {
      return LastErrorOr(ERROR_INVALID_ACL);
    }
  }
  if (!plat::AddAccessAllowedAce(dacl, ACL_REVISION, KEY_ALL_ACCESS, administrators)) {
    return LastErrorOr(ERROR_INVALID_ACL);
  }
  return ERROR_SUCCESS;
}

}  // namespace

DaclBackup::~DaclBackup() {
  if (block_ != nullptr) plat::HeapFree(plat::GetProcessHeap(), 0, block_);
}

bool DaclBackup::Keep(const void* descriptor, DWORD size) {
  if (block_ != nullptr) plat::HeapFree(plat::GetProcessHeap(), 0, block_);
  block_ = plat::HeapAlloc(plat::GetProcessHeap(), 0, size);
  if (block_ == nullptr) return false;
  std::memcpy(block_, descriptor, size);
  return true;
}

DWORD DaclBackup::Restore(HKEY root, const char* path) const {
  if (block_ == nullptr) return ERROR_SUCCESS;
  ScopedKey key;
  LSTATUS status = plat::RegOpenKeyExA(root, path, 0, WRITE_DAC, key.Receive());
  if (status == ERROR_SUCCESS) {
    status = plat::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, block_);
  }
  return static_cast<DWORD>(status);
}

DWORD AddAdministratorsFullControl(HKEY root, const char* path, DaclBackup* formerDacl) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  ScopedSid administrators;
  if (!plat::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                      DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                      administrators.Receive())) {
    return LastErrorOr(ERROR_INVALID_SID);
  }
  ScopedKey key;
  // A key that cannot be opened is left to the deletion that follows.
  if (plat::RegOpenKeyExA(root, path, 0, kReadAndWriteDac, key.Receive()) != ERROR_SUCCESS) {
    return ERROR_SUCCESS;
  }
  alignas(8) BYTE descriptor[kDescriptorCapacity];
  std::memset(descriptor, 0, sizeof descriptor);
  DWORD descriptorSize = kDescriptorCapacity;
  LSTATUS status =
      plat::RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor, &descriptorSize);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL old = nullptr;
  if (!plat::GetSecurityDescriptorDacl(descriptor, &present, &old, &defaulted)) {
    return LastErrorOr(ERROR_INVALID_SECURITY_DESCR);
  }
  // Without a DACL everyone already has full control: an entry added now
  // would only take access away from everyone else.
  if (!present || old == nullptr) return ERROR_SUCCESS;
  ACL_SIZE_INFORMATION sizes = {};
  if (!plat::GetAclInformation(old, &sizes, sizeof sizes, AclSizeInformation)) {
    return LastErrorOr(ERROR_INVALID_ACL);
  }
  DWORD daclSize = sizes.AclBytesInUse + plat::GetLengthSid(administrators.Get()) + 8;
  ScopedHeapBlock block(daclSize);
  if (block.Get() == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  PACL dacl = static_cast<PACL>(block.Get());
  DWORD built = BuildDacl(old, sizes.AceCount, dacl, daclSize, administrators.Get());
  if (built != ERROR_SUCCESS) return built;
  SECURITY_DESCRIPTOR replacement;
  if (!plat::InitializeSecurityDescriptor(&replacement, SECURITY_DESCRIPTOR_REVISION) ||
      !plat::SetSecurityDescriptorDacl(&replacement, TRUE, dacl, FALSE)) {
    return LastErrorOr(ERROR_INVALID_SECURITY_DESCR);
  }
  if (formerDacl != nullptr && !formerDacl->Keep(descriptor, descriptorSize)) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return static_cast<DWORD>(
      plat::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &replacement));
}

namespace {

// basePath\relativePath in a 261-byte buffer; false when it does not fit.
bool JoinKeyPath(char* path, const char* basePath, const char* relativePath) {
  return CopyBounded(path, basePath, kRegTextLimit, nullptr) &&
         AppendBackslash(path, kRegTextCapacity) &&
         AppendBounded(path, relativePath, kRegTextLimit, nullptr);
}

}  // namespace

int RegistryWalker::GrantKeyAccess(const char* basePath, const char* relativePath,
                                   DaclBackup* formerDacl) {
  char path[kRegTextCapacity] = {};
  if (!JoinKeyPath(path, basePath, relativePath)) return 0;
  DWORD error = AddAdministratorsFullControl(HKEY_LOCAL_MACHINE, path, formerDacl);
  if (error == ERROR_SUCCESS) return 1;
  ShowSystemError(error);
  return 0;
}

int RegistryWalker::RestoreKeyAccess(const char* basePath, const char* relativePath,
                                     const DaclBackup& formerDacl) {
  if (formerDacl.Empty()) return 1;
  char path[kRegTextCapacity] = {};
  if (!JoinKeyPath(path, basePath, relativePath)) return 0;
  DWORD error = formerDacl.Restore(HKEY_LOCAL_MACHINE, path);
  if (error == ERROR_SUCCESS) return 1;
  ShowSystemError(error);
  return 0;
}
