#include "app/dll_search.h"

#include "app/path_routines.h"
#include "platform/platform.h"

void RestrictDllSearch() {
  HMODULE kernel = plat::GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  // Through void (*)(), the one function type every other converts to without a warning.
  auto setDefault = reinterpret_cast<plat::SetDefaultDllDirectoriesProc>(
      reinterpret_cast<void (*)()>(plat::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Also where the first is there: the processes this one starts
  // (usbinst64.exe) inherit SetDllDirectoryA's setting for what they load
  // before they narrow their own search.
  auto setDirectory = reinterpret_cast<plat::SetDllDirectoryAProc>(
      reinterpret_cast<void (*)()>(plat::GetProcAddress(kernel, "SetDllDirectoryA")));
  if (setDirectory != nullptr) setDirectory("");
}

int SystemLibraryPath(const char* fileName, char* path) {
  path[0] = '\0';
  UINT length = plat::GetSystemDirectoryA(path, kPathCapacity);
  if (length == 0 || length >= static_cast<UINT>(kPathCapacity)) {
    path[0] = '\0';
    return 0;
  }
  // The system folder ends in a backslash only when it is a drive's root.
  AppendBackslash(path, kPathCapacity);
  if (!AppendBounded(path, fileName, kPathLimit, nullptr)) {
    path[0] = '\0';
    return 0;
  }
  return 1;
}
