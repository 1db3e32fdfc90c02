// Process-wide operations: errors, memory, modules, versions, mutexes,
// code pages and the run-time routines with platform meaning.
#pragma once
#include <cstdarg>

#include "platform/win_types.h"

namespace plat {

DWORD GetLastError();
void SetLastError(DWORD error);

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory);

HMODULE LoadLibraryA(LPCSTR name);
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// Not a Windows call: the system library of that file name ("setupapi.dll"),
// loaded by its full path in the system folder (GetSystemDirectoryA), never
// found by a search that starts in the program's own folder. Null, with the
// error LoadLibraryA set, when it is not there; ERROR_FILENAME_EXCED_RANGE
// when the path would not fit MAX_PATH. One implementation for every build
// (platform/system_library.cpp), over the two calls above.
HMODULE LoadSystemLibrary(LPCSTR fileName);

// comctl32's InitCommonControls, fetched with GetProcAddress: the program
// imports nothing from comctl32, whose file is no known DLL on any version.
typedef void(WINAPI* InitCommonControlsProc)();
// InitCommonControlsEx is not imported (comctl32 before 4.70 lacks it): the
// program fetches it with GetProcAddress, as a function of this signature.
typedef BOOL(WINAPI* InitCommonControlsExProc)(const INITCOMMONCONTROLSEX*);

// kernel32's IsWow64Process (XP SP2 and later), fetched with GetProcAddress.
typedef BOOL(WINAPI* IsWow64ProcessProc)(HANDLE process, PBOOL wow64);
// kernel32's SetDllDirectoryA (XP SP1, Server 2003) and SetDefaultDllDirectories
// (Windows 8; Vista and 7 with update KB2533623), fetched with GetProcAddress.
typedef BOOL(WINAPI* SetDllDirectoryAProc)(LPCSTR path);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD directoryFlags);
// kernel32's GetSystemWindowsDirectoryA (Windows 2000, and NT 4 Terminal
// Server Edition), fetched with GetProcAddress.
typedef UINT(WINAPI* GetSystemWindowsDirectoryAProc)(LPSTR buffer, UINT size);
// Whether this program is the 64-bit build. Not a Windows call: on Windows it
// is fixed when the program is compiled; the simulated machine says which of
// the two builds it is running.
BOOL IsProcess64Bit();

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                    LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

BOOL GetVersionExA(LPOSVERSIONINFOA info);
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);
BOOL CloseHandle(HANDLE object);

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list* arguments);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                        int length, LPCSTR defaultChar, LPBOOL usedDefaultChar);
UINT GetACP();
// The lead-byte test of the ANSI code page (the run-time library's _ismbblead).
BOOL IsDBCSLeadByte(BYTE byte);

int lstrlenA(LPCSTR text);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);
int wvsprintfA(LPSTR output, LPCSTR format, va_list arguments);
int wsprintfA(LPSTR output, LPCSTR format, ...);

}  // namespace plat
