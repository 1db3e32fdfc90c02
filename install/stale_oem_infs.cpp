// Finds the OEM INF files of earlier installations of the phone in the INF
// folder and deletes them with their precompiled twins, so that Plug and
// Play cannot pick an earlier driver.
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

}  // namespace

int DriverInstaller::IsStaleOemInf(const char* infPath) {
  if (BoundedLength(infPath, kPathCapacity) > kPathLimit) return 0;
  char hardwareId[kFieldCapacity];
  if (LoadText(IDS_HWID_FUNCTION0, hardwareId, kFieldCapacity) == 0) return 0;
  char section[kPathCapacity];
  if (LoadText(IDS_MAKER, section, kPathCapacity) == 0) return 0;
  InfOwner inf(infPath);
  if (!inf.is_open()) return 0;
  INFCONTEXT line;
  if (!plat::SetupFindFirstLineA(inf.get(), section, nullptr, &line)) return 0;
  char field[kFieldCapacity];
  if (!plat::SetupGetStringFieldA(&line, 2, field, kFieldCapacity, nullptr)) return 0;
  return NamesHardwareId(field, hardwareId);
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
    if (!DeleteFileIfPresent(path)) return 0;
    // "x.inf" becomes "x.PNF": the same length, so the limit never cuts it.
    ReplaceExtension(path, ".PNF", kPathLimit);
    DeleteFileIfPresent(path);
  } while (plat::FindNextFileA(search.get(), &found));
  return 1;
}
