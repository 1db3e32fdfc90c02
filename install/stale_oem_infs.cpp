// Finds the OEM INF files of earlier installations of the phone in the INF
// folder and uninstalls them with their precompiled twins and catalogs, so
// that Plug and Play cannot pick an earlier driver.
#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "install/stale_oem_match.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

constexpr int kFieldCapacity = 1024;

// Names the search may deliver that do not really end in ".inf" (a long
// name found through its short 8.3 form, such as "oem1.inf_old") are not
// INF files of the store, and their ".PNF" twin would be another INF's twin.
bool EndsInInf(const char* name) {
  int n = BoundedLength(name, MAX_PATH);
  if (n < 4) return false;
  const char* tail = name + n - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'i' && (tail[2] | 0x20) == 'n' &&
         (tail[3] | 0x20) == 'f';
}

// Owns an INF handle for one look at the file.
class InfOwner {
 public:
  explicit InfOwner(const char* path)
      : inf_(plat::SetupOpenInfFileA(path, nullptr, INF_STYLE_WIN4, nullptr)) {}
  ~InfOwner() {
    if (is_open()) plat::SetupCloseInfFile(inf_);
  }
  InfOwner(const InfOwner&) = delete;
  InfOwner& operator=(const InfOwner&) = delete;
  bool is_open() const { return inf_ != INVALID_HANDLE_VALUE && inf_ != nullptr; }
  HINF get() const { return inf_; }

 private:
  HINF inf_;
};

// Owns a file search.
class SearchOwner {
 public:
  SearchOwner(const char* pattern, WIN32_FIND_DATAA* found)
      : search_(plat::FindFirstFileA(pattern, found)) {}
  ~SearchOwner() {
    if (is_open()) plat::FindClose(search_);
  }
  SearchOwner(const SearchOwner&) = delete;
  SearchOwner& operator=(const SearchOwner&) = delete;
  bool is_open() const { return search_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return search_; }

 private:
  HANDLE search_;
};

// 1 when the first line of the models section names the phone in its first
// hardware ID (field 2: description = install section, hardware ID, ...).
int FirstModelNamesPhone(HINF inf, const char* section, const char* hardwareId) {
  INFCONTEXT line;
  if (!plat::SetupFindFirstLineA(inf, section, nullptr, &line)) return 0;
  char field[kFieldCapacity];
  if (!plat::SetupGetStringFieldA(&line, 2, field, kFieldCapacity, nullptr)) return 0;
  return NamesHardwareId(field, hardwareId);
}

// 1 when the two names are the same, letters compared without case. Only
// single bytes are folded: a lead byte (0x81 and up) never equals a letter.
bool SameSectionName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// The longest section name Setup reads (MAX_INF_SECTION_NAME_LENGTH).
constexpr int kSectionNameLimit = 255;
// Enough for any real [Manufacturer] line (a handful of platforms); a line
// with more decorations than this is read no further.
constexpr DWORD kDecorationLimit = 64;

// 1 when a decorated models section of the phone's maker names the phone.
// Packages for 64-bit Windows, and most written since XP, list their models
// per platform: [Manufacturer] reads "%Mfg% = ORVEX, NTx86, NTamd64" and
// the models are in [ORVEX.NTx86] and [ORVEX.NTamd64]. Only lines whose
// models section is the phone's maker's are read: another maker's package
// that lists the phone's ID in its own section is not the phone's.
int DecoratedModelsNamePhone(HINF inf, const char* maker, const char* hardwareId) {
  INFCONTEXT line;
  if (!plat::SetupFindFirstLineA(inf, "Manufacturer", nullptr, &line)) return 0;
  do {
    char models[kPathCapacity];
    if (!plat::SetupGetStringFieldA(&line, 1, models, kPathCapacity, nullptr)) continue;
    if (!SameSectionName(models, maker)) continue;
    for (DWORD index = 2; index < 2 + kDecorationLimit; ++index) {
      char decoration[kPathCapacity];
      if (!plat::SetupGetStringFieldA(&line, index, decoration, kPathCapacity, nullptr)) {
        // A decoration too long for any section name is skipped; past the
        // last field the line is done.
        if (plat::GetLastError() == ERROR_INSUFFICIENT_BUFFER) continue;
        break;
      }
      if (decoration[0] == '\0') continue;
      char section[kPathCapacity];
      if (!CopyBounded(section, models, kSectionNameLimit, nullptr) ||
          !AppendBounded(section, ".", kSectionNameLimit, nullptr) ||
          !AppendBounded(section, decoration, kSectionNameLimit, nullptr)) {
        continue;
      }
      if (FirstModelNamesPhone(inf, section, hardwareId)) return 1;
    }
  } while (plat::SetupFindNextLine(&line, &line));
  return 0;
}

// 1 when the driver store holds the package published as `name`: the store
// knows where its INF lies (a path longer than the buffer is still a yes).
int StoreHoldsPackageOf(const char* name) {
  char location[kPathCapacity];
  DWORD needed = 0;
  if (plat::SetupGetInfDriverStoreLocationA(name, nullptr, nullptr, location, kPathCapacity,
                                            &needed)) {
    return 1;
  }
  return plat::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

}  // namespace

int DriverInstaller::IsStaleOemInf(const char* infPath) {
  if (BoundedLength(infPath, kPathCapacity) > kPathLimit) return 0;
  char hardwareId[kFieldCapacity];
  if (LoadText(IDS_HWID_FUNCTION0, hardwareId, kFieldCapacity) == 0) return 0;
  char section[kPathCapacity];
  if (LoadText(IDS_MAKER, section, kPathCapacity) == 0) return 0;
  InfOwner inf(infPath);
  if (!inf.is_open()) return 0;
  if (FirstModelNamesPhone(inf.get(), section, hardwareId)) return 1;
  return DecoratedModelsNamePhone(inf.get(), section, hardwareId);
}

int DriverInstaller::RemoveStaleOemInfs() {
  char infFolder[kPathCapacity];
  if (!GetInfFolder(infFolder)) return 0;
  char pattern[kPathCapacity];
  CopyBounded(pattern, infFolder, kPathLimit, nullptr);
  StripTrailingBackslash(pattern);
  if (!AppendBounded(pattern, "\\oem*.inf", kPathLimit, nullptr)) return 0;

  WIN32_FIND_DATAA found;
  SearchOwner search(pattern, &found);
  if (!search.is_open()) return 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!EndsInInf(found.cFileName)) continue;
    char path[kPathCapacity];
    // A path that does not fit would name some other file: leave it alone.
    if (!JoinPath(path, infFolder, found.cFileName)) continue;
    if (!IsStaleOemInf(path)) continue;
    if (!UninstallStaleOemInf(path, found.cFileName)) return 0;
  } while (plat::FindNextFileA(search.get(), &found));
  return 1;
}

// The system's own way first: SetupUninstallOEMInf takes the INF, its PNF
// and the catalog SetupCopyOEMInf installed with it (Microsoft,
// SetupUninstallOEMInf). It is called without SUOI_FORCEDELETE, so it
// refuses an INF that an installed device uses ("a device does not need to
// be present to be detected as using the .inf file"). By the time this runs
// in a removal the phone's devices, present or not, have been removed and
// their keys deleted, so ERROR_INF_IN_USE_BY_DEVICES means that a device
// the removal did not take still has this INF as its driver: a phone device
// whose removal Windows finishes only at the restart, or a device of
// another ID that the INF also drives. Nothing here shows which, and
// forcing would let the system drop its own records of a package that a
// running device may still need, so the refusal is shown as any failed
// system call is, and the removal goes on. Windows 2000 has no such
// function (ERROR_PROC_NOT_FOUND): nothing to tell, the files go by hand.
//
// Then by hand, whatever is left: the INF while it is still the phone's
// (Wine's function deletes nothing without SUOI_FORCEDELETE; a refusal
// leaves everything), and the PNF twin and the catalog oemN.cat of the same
// name, which belong to the INF judged the phone's before the call. The
// files go after a refusal too, as the removal always took them: Plug and
// Play must not find the old driver in the INF folder again. Windows 2000
// has no supported way to take a catalog out of its database
// (CryptCATAdminRemoveCatalog came with XP), so there the file goes.
//
// Except where the driver store holds the package (Vista and later, asked
// through SetupGetInfDriverStoreLocation): Plug and Play installs from the
// store whatever the INF folder holds, and only the published name lets a
// later removal, after the restart or once the other device is gone,
// uninstall the package. Deleting the files by hand would leave it in the
// store for good under no name, so after a refusal they stay.
//
// DiUninstallDriver (Windows 10 1703 and later) would also uninstall the
// devices using the package; they are removed before this step already, and
// SetupUninstallOEMInf does the rest on every version that has a store.
int DriverInstaller::UninstallStaleOemInf(const char* path, const char* name) {
  if (!plat::SetupUninstallOEMInfA(name, 0, nullptr)) {
    DWORD uninstallError = plat::GetLastError();
    if (uninstallError != ERROR_PROC_NOT_FOUND) {
      ShowSystemError(uninstallError);
      if (StoreHoldsPackageOf(name)) return 1;
    }
  }
  DWORD attributes = plat::GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // Still there: it goes only while it is still the phone's.
    if (!IsStaleOemInf(path)) return 1;
    if (!DeleteFileIfPresent(path)) return 0;
  } else {
    DWORD attributesError = plat::GetLastError();
    if (attributesError != ERROR_FILE_NOT_FOUND) return 1;  // nothing shows what is there
  }
  char twin[kPathCapacity];
  // "x.inf" becomes "x.PNF" and "x.cat": the same length, so the limit never cuts them.
  if (CopyBounded(twin, path, kPathLimit, nullptr) && ReplaceExtension(twin, ".PNF", kPathLimit)) {
    DeleteFileIfPresent(twin);
  }
  char catalogFolder[kPathCapacity];
  char catalog[kPathCapacity];
  if (GetCatalogFolder(catalogFolder) && JoinPath(catalog, catalogFolder, name) &&
      ReplaceExtension(catalog, ".cat", kPathLimit)) {
    DeleteFileIfPresent(catalog);
  }
  return 1;
}
