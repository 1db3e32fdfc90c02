// The driver information database of Windows 98 and Me: a cached index of
// the INF folder. Deleting it before new INF files are copied makes Windows
// build it anew, so that it sees them.
#include <initializer_list>

#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "resources/string_table.h"

int DriverInstaller::DeleteDriverDatabase() {
  char infFolder[kPathCapacity];
  if (!GetInfFolder(infFolder)) return 0;
  if (!AppendBackslash(infFolder, kPathCapacity)) return 0;
  for (int id : {IDS_DRVDATA_BIN, IDS_DRVIDX_BIN}) {
    char path[kPathCapacity];
    CopyBounded(path, infFolder, kPathLimit, nullptr);
    if (!AppendTextWhole(id, path)) return 0;
    DeleteFileIfPresent(path);
  }
  return 1;
}
