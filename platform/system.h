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
void InitCommonControls();
// InitCommonControlsEx is not imported (comctl32 before 4.70 lacks it): the
// program fetches it with GetProcAddress, as a function of this signature.
typedef BOOL(WINAPI* InitCommonControlsExProc)(const INITCOMMONCONTROLSEX*);

// kernel32's IsWow64Process (XP SP2 and later), fetched with GetProcAddress.
typedef BOOL(WINAPI* IsWow64ProcessProc)(HANDLE process, PBOOL wow64);
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
