// The one way the installer and the uninstall delete a file.
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "platform/platform.h"

// A missing file counts as deleted; a missing folder does not (it means the
// path is not what the caller thinks). The read-only attribute is cleared
// first so that a file copied from the CD can go. A directory is refused
// before anything is changed, so its attributes stay as they were, and so
// is a wildcard, which would let the search find some other file.
int DriverInstaller::DeleteFileIfPresent(const char* path) {
  int length = BoundedLength(path, kPathCapacity);
  if (length > kPathLimit) return 0;
  for (int i = 0; i < length; ++i) {
    if (path[i] == '*' || path[i] == '?') return 0;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = plat::FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD findError = plat::GetLastError();
    return findError == ERROR_FILE_NOT_FOUND ? 1 : 0;
  }
  plat::FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  if (!plat::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) return 0;
  return plat::DeleteFileA(path) ? 1 : 0;
}
