// The system libraries the program loads at run time, each by its full path
// in the system folder. A bare name would be searched for in the program's
// own folder first, and the program runs with administrator rights: a DLL of
// that name beside it (in a Downloads folder, on a share, in an unpacked
// archive) would run with them.
//
// What the program still imports, per version, and why no file beside it
// stands in for those DLLs (shipped_imports fails on any other import):
//  - KERNEL32, USER32, GDI32, ADVAPI32.
//    NT 4, 2000, XP and later: known DLLs (the KnownDLLs key below
//    Control\Session Manager names them by default, KB 102985), and for an
//    implicit import the loader takes a known DLL from the system folder
//    whatever lies beside the program (KB 164501; "Dynamic-Link Library
//    Search Order": known DLLs come before the application's folder).
//    95/98/Me: the system's own copies are loaded before any program starts
//    (KERNEL32, USER32 and GDI32 are the system's core, and ADVAPI32 is the
//    shell's import), and a DLL whose module name is already loaded is not
//    searched for again (the search-order page's "loaded-module list").
//  - MSVCRT, MinGW's C run-time, which cannot be loaded late. On XP and later
//    it comes with the known DLLs that depend on it (the search-order page: a
//    known DLL's dependents are known too). For NT 4, 2000 and 95/98/Me no
//    source we found promises that the system's copy wins over a msvcrt.dll
//    beside the program (NT 4's default list does not name it): the one
//    import left open there.
//  - comctl32, version and setupapi are not imported: each is loaded here, by
//    full path, and its functions are fetched with GetProcAddress. comctl32
//    is a known DLL on no version (XP and later find the version 6 library
//    the manifest names in the side-by-side store, 2000 and older would take
//    a comctl32.dll beside the program), version.dll and setupapi.dll are not
//    in NT 4's default list, and on NT 4, 2000 and XP the known DLLs decide
//    only implicit imports, not LoadLibraryA (KB 164501).
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
