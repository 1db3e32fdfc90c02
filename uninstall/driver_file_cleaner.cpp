#include "uninstall/driver_file_cleaner.h"

#include <initializer_list>

#include "app/os_kind.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "platform/platform.h"
#include "registry/registry_walker.h"
#include "resources/string_table.h"

namespace {

const char kNtInfExtension[] = "inf";
const char kNtPnfExtension[] = "PNF";
const char kLegacyPnfExtension[] = ".pnf";

constexpr int kPhoneHardwareIds[] = {IDS_HWID_FUNCTION0, IDS_HWID_FUNCTION1, IDS_HWID_FUNCTION2,
                                     IDS_HWID_FUNCTION3};
constexpr int kPackageInfs[] = {IDS_NT_INF_BUS, IDS_NT_INF_OBX2, IDS_NT_INF_SDM2,
                                IDS_NT_INF_MDM2};

bool EqualIgnoringLetterCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = (*a >= 'a' && *a <= 'z') ? char(*a - 32) : *a;
    char y = (*b >= 'a' && *b <= 'z') ? char(*b - 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

bool IsOemStem(const char* stem) {
  if ((stem[0] | 0x20) != 'o' || (stem[1] | 0x20) != 'e' || (stem[2] | 0x20) != 'm') return false;
  if (stem[3] == '\0') return false;
  for (const char* p = stem + 3; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

bool IsPackageInfStem(const char* stem) {
  for (int id : kPackageInfs) {
    char name[kPathCapacity] = {};
    if (LoadText(id, name, kPathCapacity) == 0) continue;
    // The stem is the text before the first dot, as the INF path is cut.
    for (char* p = name; *p; ++p) {
      if (*p == '.') {
        *p = '\0';
        break;
      }
    }
    if (EqualIgnoringLetterCase(stem, name)) return true;
  }
  return false;
}

// The device key of one of the phone's hardware IDs in ControlSet001.
int BuildDeviceKeyPath(int hardwareId, char* path) {
  return LoadText(IDS_REG_ENUM_USB_CS001, path, kPathCapacity) != 0 &&
         AppendBackslash(path, kPathCapacity) && AppendTextWhole(hardwareId, path);
}

// folder\name with the name from the string table; 0 when it does not fit.
int BuildListedPath(const char* folder, int nameId, char* path) {
  path[0] = '\0';
  if (!CopyBounded(path, folder, kPathLimit, nullptr)) return 0;
  AppendBackslash(path, kPathCapacity);
  return AppendTextWhole(nameId, path);
}

}  // namespace

int ComposeFileName(char* target, const char* folder, const char* stem, const char* extension) {
  if (target == nullptr) return 0;
  bool whole = CopyBounded(target, folder, kPathLimit, nullptr) != 0;
  if (whole) AppendBackslash(target, kPathCapacity);
  whole = whole && AppendBounded(target, stem, kPathLimit, nullptr) &&
          AppendBounded(target, ".", kPathLimit, nullptr) &&
          AppendBounded(target, extension, kPathLimit, nullptr);
  if (!whole) target[0] = '\0';
  return whole ? 1 : 0;
}

bool IsDeletableInfStem(const char* stem) {
  if (stem == nullptr || stem[0] == '\0') return false;
  for (const char* p = stem; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') return false;
  }
  return IsOemStem(stem) || IsPackageInfStem(stem);
}

int DriverFileCleaner::Clean() {
  DriverInstaller installer(osKind_);
  RemoveInfFiles();
  int result = RemoveDriverFiles();
  if (osKind_ == kOsWindows98 || osKind_ == kOsWindowsMe) result = installer.DeleteDriverDatabase();
  return result;
}

int DriverFileCleaner::RemoveInfFiles() {
  DriverInstaller installer(osKind_);
  return IsNt5Family(osKind_) ? RemoveOemInfFiles(installer) : RemovePackageInfFiles(installer);
}

int DriverFileCleaner::RemoveDriverFiles() {
  DriverInstaller installer(osKind_);
  return IsNt5Family(osKind_) ? RemoveNtDriverFiles(installer)
                              : RemoveLegacyDriverFiles(installer);
}

int DriverFileCleaner::DeleteComposedFile(DriverInstaller& installer, const char* folder,
                                          const char* stem, const char* extension) {
  char name[kPathCapacity] = {};
  if (!ComposeFileName(name, folder, stem, extension)) return 0;
  return installer.DeleteFileIfPresent(name);
}

// Windows 2000/XP: the INF store copy that installed each function's driver,
// as ".inf" and ".PNF"; on XP also its LastGood copies, each name in the INF
// folder before the LastGood INF folder.
int DriverFileCleaner::RemoveOemInfFiles(DriverInstaller& installer) {
  bool xp = osKind_ == kOsWindowsXP;
  char infFolder[kPathCapacity] = {};
  char lastGoodFolder[kPathCapacity] = {};
  if (!installer.GetInfFolder(infFolder)) return 0;
  if (xp && !installer.GetLastGoodInfFolder(lastGoodFolder)) return 0;
  RegistryWalker walker(osKind_);
  for (int hardwareId : kPhoneHardwareIds) {
    char keyPath[kPathCapacity] = {};
    if (!BuildDeviceKeyPath(hardwareId, keyPath)) return 0;
    char stem[kPathCapacity] = {};
    walker.FindDriverInfStem(HKEY_LOCAL_MACHINE, keyPath, stem);
    if (!IsDeletableInfStem(stem)) continue;
    for (const char* extension : {kNtInfExtension, kNtPnfExtension}) {
      DeleteComposedFile(installer, infFolder, stem, extension);
      if (xp) DeleteComposedFile(installer, lastGoodFolder, stem, extension);
    }
  }
  return 1;
}

// Windows 95/98/Me and NT 4: the package's INF files under their own names,
// each followed by its ".pnf".
int DriverFileCleaner::RemovePackageInfFiles(DriverInstaller& installer) {
  char folder[kPathCapacity] = {};
  if (!installer.GetInfFolder(folder)) return 0;
  AppendBackslash(folder, kPathCapacity);
  for (int id = IDS_LEGACY_INF_BUS; id <= IDS_LEGACY_INF_SDMW; ++id) {
    char name[kPathCapacity] = {};
    if (!CopyBounded(name, folder, kPathLimit, nullptr)) return 0;
    if (!AppendTextWhole(id, name)) return 0;
    installer.DeleteFileIfPresent(name);
    if (!ReplaceExtension(name, kLegacyPnfExtension, kPathLimit)) return 0;
    installer.DeleteFileIfPresent(name);
  }
  return 1;
}

int DriverFileCleaner::RemoveNtDriverFiles(DriverInstaller& installer) {
  char driversFolder[kPathCapacity] = {};
  if (!installer.GetDriversFolder(driversFolder)) return 0;
  for (int id = IDS_NT_DRIVER_0; id <= IDS_NT_DRIVER_8; ++id) {
    char name[kPathCapacity] = {};
    if (!BuildListedPath(driversFolder, id, name)) return 0;
    installer.DeleteFileIfPresent(name);
    if (osKind_ != kOsWindowsXP) continue;
    char lastGoodFolder[kPathCapacity] = {};
    if (!installer.GetLastGoodDriversFolder(lastGoodFolder)) return 0;
    if (!BuildListedPath(lastGoodFolder, id, name)) return 0;
    installer.DeleteFileIfPresent(name);
  }
  return 1;
}

int DriverFileCleaner::RemoveLegacyDriverFiles(DriverInstaller& installer) {
  char systemFolder[kPathCapacity] = {};
  UINT length = plat::GetSystemDirectoryA(systemFolder, kPathCapacity);
  if (length == 0 || length >= UINT(kPathCapacity)) return 0;
  for (int id = IDS_INSTALLED_DRIVER_00; id <= IDS_INSTALLED_DRIVER_13; ++id) {
    char name[kPathCapacity] = {};
    if (!BuildListedPath(systemFolder, id, name)) return 0;
    installer.DeleteFileIfPresent(name);
  }
  return 1;
}
