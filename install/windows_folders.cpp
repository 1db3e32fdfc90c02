// The Windows folders that hold the phone's INF and driver files, each the
// Windows folder followed by one or two fragments of the string table.
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

// The Windows folder every user of the machine shares, into a buffer of
// kPathCapacity; GetWindowsDirectoryA's result convention.
//
// On a Terminal Server in application mode (NT 4 Terminal Server Edition,
// Windows 2000 Server and later) GetWindowsDirectoryA gives a program that is
// not marked Terminal Server aware a private Windows folder of the user, while
// Plug and Play and SetupCopyOEMInfA work in the shared one ("GetWindowsDirectory",
// "GetSystemWindowsDirectory"). The shipped programs carry the mark
// (--tsaware), and the shared folder is asked for by name wherever Windows
// has the call: GetSystemWindowsDirectoryA, in kernel32 from Windows 2000 on
// and in NT 4 Terminal Server Edition. Windows 95/98/Me and plain NT 4 lack
// it, and have one Windows folder, which GetWindowsDirectoryA gives. The call
// is fetched at run time so that the program still loads there.
UINT GetSharedWindowsFolder(char* work) {
  HMODULE kernel = plat::GetModuleHandleA("kernel32.dll");
  FARPROC found = kernel ? plat::GetProcAddress(kernel, "GetSystemWindowsDirectoryA") : nullptr;
  // Through void (*)(), the one function type every other converts to without a warning.
  auto shared = reinterpret_cast<plat::GetSystemWindowsDirectoryAProc>(
      reinterpret_cast<void (*)()>(found));
  // Where the call exists its failure is final: GetWindowsDirectoryA could
  // name the user's private folder.
  if (shared != nullptr) return shared(work, kPathCapacity);
  return plat::GetWindowsDirectoryA(work, kPathCapacity);
}

// The Windows folder and the fragments, into a work buffer that is copied
// out only when everything fitted. A Windows folder that does not fit the
// buffer, or a fragment that would be cut, fails: a shortened folder could
// name another folder, and the uninstall deletes files in it.
int BuildWindowsFolder(char* folder, int firstId, int secondId) {
  char work[kPathCapacity] = {};
  UINT length = GetSharedWindowsFolder(work);
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
