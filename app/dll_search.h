// The program's DLL search, narrowed before it loads anything: every library
// it loads itself comes from the system folder by full path
// (plat::LoadSystemLibrary), and what Windows or a system DLL loads by a bare
// name later is kept out of the program's own folder and the current folder
// where the running Windows offers the means.
#pragma once

// Windows 8, and Vista/7 with update KB2533623: SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32 leaves only the system folder in the search
// (the program's folder included). XP SP1 and later: SetDllDirectoryA("")
// takes the current folder out (the program's folder stays first there).
// Both are looked up in kernel32 at run time: Windows 95 and NT 4 have
// neither, and the program must load there. Earlier Windows keep their
// search; the libraries the program loads are named by full path anyway.
void RestrictDllSearch();

// The full path of a system library ("C:\WINDOWS\system32\comctl32.dll")
// into a buffer of kPathCapacity; 0 when the system folder cannot be read or
// the path would not fit.
int SystemLibraryPath(const char* fileName, char* path);
