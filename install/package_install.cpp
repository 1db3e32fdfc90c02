// Places the driver package: on Windows 2000 and XP the INF files go to the
// system's INF store, on the other versions the INF and driver files are
// copied into the Windows folders. Nothing is rolled back when a step fails.
#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "install/signature_refusal.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

bool UsesInfStore(int osKind) { return osKind == 11 || osKind == 12; }

// Copies one file over whatever is at the target (a read-only copy of an
// earlier install included). A failure is shown with the system's text.
int CopyOneFile(const char* source, const char* target) {
  plat::SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
  if (plat::CopyFileA(source, target, FALSE)) return 1;
  DWORD copyError = plat::GetLastError();
  ShowSystemError(copyError);
  return 0;
}

// Copies the package file named by `sourceId` from `sourceFolder` to the
// name `targetId` in `targetFolder`; both folders end in a backslash. A
// name that is missing or a path that would not fit stops the copy
// without a message.
int CopyNamedFile(const char* sourceFolder, int sourceId, const char* targetFolder,
                  int targetId) {
  char source[kPathCapacity];
  char target[kPathCapacity];
  CopyBounded(source, sourceFolder, kPathLimit, nullptr);
  CopyBounded(target, targetFolder, kPathLimit, nullptr);
  if (!AppendTextWhole(sourceId, source) || !AppendTextWhole(targetId, target)) return 0;
  return CopyOneFile(source, target);
}

}  // namespace

int DriverInstaller::Install() {
  if (UsesInfStore(osKind_)) {
    RemoveStaleOemInfs();
    return CopyOemInfs();
  }
  return CopyPackageFiles();
}

int DriverInstaller::CopyOemInfs() {
  char sourceFolder[kPathCapacity];
  if (!GetPackageSourceFolder(sourceFolder)) return 0;
  AppendBackslash(sourceFolder, kPathCapacity);
  for (int id = IDS_NT_INF_BUS; id <= IDS_NT_INF_MDM2; ++id) {
    char infPath[kPathCapacity];
    CopyBounded(infPath, sourceFolder, kPathLimit, nullptr);
    if (!AppendTextWhole(id, infPath)) return 0;
    if (!plat::SetupCopyOEMInfA(infPath, nullptr, SPOST_PATH, 0, nullptr, 0, nullptr,
                                nullptr)) {
      DWORD storeError = plat::GetLastError();
      // A package Windows refuses for its signature stops the install
      // without the system's box: the run tells the user why in its own
      // words instead of its general failure message.
      signatureRefused_ = IsSignatureRefusal(storeError);
      if (!signatureRefused_) ShowSystemError(storeError);
      return 0;
    }
  }
  return 1;
}

int DriverInstaller::CopyPackageFiles() {
  DeleteDriverDatabase();
  char sourceFolder[kPathCapacity];
  char infFolder[kPathCapacity];
  if (!GetPackageSourceFolder(sourceFolder) || !GetInfFolder(infFolder)) return 0;
  AppendBackslash(sourceFolder, kPathCapacity);
  AppendBackslash(infFolder, kPathCapacity);
  for (int id = IDS_LEGACY_INF_BUS; id <= IDS_LEGACY_INF_SDMW; ++id) {
    if (!CopyNamedFile(sourceFolder, id, infFolder, id)) return 0;
  }
  char systemFolder[kPathCapacity];
  UINT length = plat::GetSystemDirectoryA(systemFolder, kPathCapacity);
  if (length == 0 || length >= static_cast<UINT>(kPathCapacity)) return 0;
  AppendBackslash(systemFolder, kPathCapacity);
  for (int id = IDS_PACKAGE_DRIVER_00; id <= IDS_PACKAGE_DRIVER_13; ++id) {
    if (!CopyNamedFile(sourceFolder, id, systemFolder, id + 100)) return 0;
  }
  return 1;
}
