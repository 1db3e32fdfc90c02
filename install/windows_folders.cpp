// The Windows folders that hold the phone's INF and driver files, each the
// Windows folder followed by one or two fragments of the string table.
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

// The Windows folder and the fragments, into a work buffer that is copied
// out only when everything fitted. A Windows folder that does not fit the
// buffer, or a fragment that would be cut, fails: a shortened folder could
// name another folder, and the uninstall deletes files in it.
int BuildWindowsFolder(char* folder, int firstId, int secondId) {
  char work[kPathCapacity] = {};
  UINT length = plat::GetWindowsDirectoryA(work, kPathCapacity);
  if (length == 0 || length >= static_cast<UINT>(kPathCapacity)) return 0;
  if (!AppendTextWhole(firstId, work)) return 0;
  if (secondId != 0 && !AppendTextWhole(secondId, work)) return 0;
  CopyBounded(folder, work, kPathLimit, nullptr);
  return 1;
}

}  // namespace

int DriverInstaller::GetInfFolder(char* folder) {
  return BuildWindowsFolder(folder, IDS_FOLDER_INF, 0);
}

int DriverInstaller::GetLastGoodInfFolder(char* folder) {
  return BuildWindowsFolder(folder, IDS_FOLDER_LASTGOOD, IDS_FOLDER_INF);
}

int DriverInstaller::GetDriversFolder(char* folder) {
  folder[0] = '\0';
  return BuildWindowsFolder(folder, IDS_FOLDER_DRIVERS, 0);
}

int DriverInstaller::GetLastGoodDriversFolder(char* folder) {
  folder[0] = '\0';
  return BuildWindowsFolder(folder, IDS_FOLDER_LASTGOOD, IDS_FOLDER_DRIVERS);
}

int DriverInstaller::GetCatalogFolder(char* folder) {
  folder[0] = '\0';
  return BuildWindowsFolder(folder, IDS_FOLDER_CATROOT, 0);
}
