// Where the driver package lies: the "Drivers" folder beside the program's
// folder on the CD.
#include "app/application_state.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "resources/string_table.h"

namespace {

// Whether the backslash at `index` of a UNC path is the one between the
// server and the share (\\server\share): the text before it names a
// server, not a folder, so the share is a root as a drive's root is.
bool SeparatesServerFromShare(const char* path, int index) {
  if (index <= 2 || path[0] != '\\' || path[1] != '\\') return false;
  for (int i = 2; i < index; ++i) {
    if (path[i] == '\\' && ByteKindAt(path, i) == 0) return false;
  }
  return true;
}

}  // namespace

// E:\Setup\ gives E:\Drivers, E:\Cd\Setup\ gives E:\Cd\Drivers, and a program
// in the root E:\ also takes E:\Drivers; so does a program in a share's root,
// \\server\cd\ giving \\server\cd\Drivers. The search for the parent skips
// double-byte characters, whose trail byte can be a backslash. A program
// folder that is unknown (empty) gives no package folder rather than
// "\Drivers" on whatever drive is current, and a result longer than 260
// characters is refused with the output emptied.
int DriverInstaller::GetPackageSourceFolder(char* folder) {
  folder[0] = '\0';
  char name[kPathCapacity];
  if (LoadText(IDS_PACKAGE_FOLDER, name, kPathCapacity) == 0) return 0;
  char parent[kPathCapacity];
  if (!CopyBounded(parent, App().programFolder, kPathLimit, nullptr)) return 0;
  int length = BoundedLength(parent, kPathCapacity);
  if (length == 0) return 0;
  parent[length - 1] = '\0';
  for (int i = length - 2; i >= 0; --i) {
    if (parent[i] == '\\' && ByteKindAt(parent, i) == 0) {
      if (!SeparatesServerFromShare(parent, i)) parent[i] = '\0';
      break;
    }
  }
  char result[kPathCapacity];
  CopyBounded(result, parent, kPathLimit, nullptr);
  if (!AppendBounded(result, "\\", kPathLimit, nullptr)) return 0;
  if (!AppendBounded(result, name, kPathLimit, nullptr)) return 0;
  CopyBounded(folder, result, kPathLimit, nullptr);
  return 1;
}
