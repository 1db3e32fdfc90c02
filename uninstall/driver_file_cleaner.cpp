#include "uninstall/driver_file_cleaner.h"

#include <initializer_list>

#include "app/os_kind.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "platform/platform.h"
#include "registry/registry_cleaner.h"
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

// What one copy of an INF named by a phone device key turned out to be.
enum class InfCopy { kAbsent, kOthers, kPhones };

// Looks at folder\stem.inf. It is the phone's when its maker section names
// the phone, the test the stale INF scan applies: an "oem" name says nothing
// of whose it is, since the INF store gives a freed number to the next
// package, and a phone function may have been driven by another maker's INF
// before the phone's CD was installed. Whatever cannot be looked at is
// treated as someone else's.
InfCopy ExamineInfCopy(DriverInstaller& installer, const char* folder, const char* stem) {
  char path[kPathCapacity] = {};
  if (!ComposeFileName(path, folder, stem, kNtInfExtension)) return InfCopy::kOthers;
  DWORD attributes = plat::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD attributesError = plat::GetLastError();
    bool missing = attributesError == ERROR_FILE_NOT_FOUND || attributesError == ERROR_PATH_NOT_FOUND;
    return missing ? InfCopy::kAbsent : InfCopy::kOthers;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return InfCopy::kOthers;
  return installer.IsStaleOemInf(path) ? InfCopy::kPhones : InfCopy::kOthers;
}

}  // namespace

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

// Windows 2000/XP: the INF that installed each function's driver, as named
// by its device key; on XP also its LastGood copies and entries.
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
    RemoveNamedInf(installer, infFolder, xp ? lastGoodFolder : nullptr, stem);
  }
  return 1;
}

// One INF named by a device key: its ".inf" and ".PNF" go from a folder only
// when that folder's copy is the phone's, each name in the INF folder before
// the LastGood INF folder. The package's own names are the phone's by name.
// An INF-store copy (oemN.inf) in the INF folder is left for the stale INF
// step, which runs after the devices are removed: it uninstalls the copy
// through the system, which also takes the catalog installed with it, and
// it applies the same test of whose the copy is.
// The LastGood copy is looked at on its own: it is the file as it was before
// the last driver change, which may be another package's. The LastGood
// entries name the INF folder's file ("inf\oem12.inf"), so they follow that
// copy, or the LastGood copy when the INF folder has none; with neither file
// nothing shows that they are the phone's, and they stay.
void DriverFileCleaner::RemoveNamedInf(DriverInstaller& installer, const char* infFolder,
                                       const char* lastGoodFolder, const char* stem) {
  bool byName = IsPackageInfStem(stem);
  InfCopy live = byName ? InfCopy::kPhones : ExamineInfCopy(installer, infFolder, stem);
  InfCopy lastGood = InfCopy::kAbsent;
  if (lastGoodFolder != nullptr) {
    lastGood = byName ? InfCopy::kPhones : ExamineInfCopy(installer, lastGoodFolder, stem);
  }
  bool liveGoesHere = live == InfCopy::kPhones && byName;
  for (const char* extension : {kNtInfExtension, kNtPnfExtension}) {
    if (liveGoesHere) DeleteComposedFile(installer, infFolder, stem, extension);
    if (lastGood == InfCopy::kPhones) {
      DeleteComposedFile(installer, lastGoodFolder, stem, extension);
    }
  }
  bool entriesArePhones =
      live == InfCopy::kPhones || (live == InfCopy::kAbsent && lastGood == InfCopy::kPhones);
  if (lastGoodFolder != nullptr && entriesArePhones) {
    RegistryCleaner(osKind_).DeleteValuesContaining(HKEY_LOCAL_MACHINE, IDS_REG_LASTGOOD, stem,
                                                    MatchRule::kFileStem);
  }
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
