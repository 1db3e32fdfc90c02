// The system libraries the program loads at run time, each by its full path
// in the system folder. A bare name would be searched for in the program's
// own folder first, and the program runs with administrator rights: a DLL of
// that name beside it (in a Downloads folder, on a share, in an unpacked
// archive) would run with them.
//
// What the program still imports, and why no file beside it can stand in
// for those DLLs (the shipped_imports check lists the imports):
//  - KERNEL32, USER32, GDI32, ADVAPI32. Windows NT 4, 2000, XP and later:
//    known DLLs (the KnownDLLs key below Control\Session Manager lists them
//    by default, KB 102985), which the loader takes from
//    the system folder for an implicit import whatever lies beside the
//    program (KB 164501; "Dynamic-Link Library Search Order": known DLLs come
//    before the application's folder). Windows 95/98/Me: the core of the
//    system, loaded before any program starts, and a DLL whose module name is
//    already loaded is not searched for again ("loaded-module list").
//  - MSVCRT, MinGW's C run-time: it cannot be loaded late. It is a known DLL
//    where a known DLL depends on it (the search-order page: a known DLL's
//    dependents come with it); NT 4's default list does not name it.
//  - comctl32, version and setupapi are not imported at all: each is loaded
//    here, by full path, and its functions fetched with GetProcAddress.
//    comctl32 is no known DLL (XP and later take it from the side-by-side
//    store through the manifest; 2000 and older would take it from the
//    program's folder), setupapi is none on NT 4, 2000 or XP, and KnownDLLs
//    decide nothing for LoadLibraryA there (KB 164501).
//
// The bare-name loads that remain (a system DLL loading another, Windows
// loading a DLL for the program) are kept out of the program's folder and
// the current folder where Windows offers it: RestrictDllSearch (app/).
#include <cstring>

#include "platform/files.h"
#include "platform/system.h"

namespace plat {

HMODULE LoadSystemLibrary(LPCSTR fileName) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0) return nullptr;  // GetSystemDirectoryA's error stands
  size_t nameLength = std::strlen(fileName);
  // The folder, a backslash, the name and the terminator must all fit.
  if (length >= MAX_PATH || length + 1 + nameLength >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  // The system folder ends in a backslash only when it is a drive's root.
  if (path[length - 1] != '\\') path[length++] = '\\';
  std::memcpy(path + length, fileName, nameLength + 1);
  return LoadLibraryA(path);
}

}  // namespace plat
