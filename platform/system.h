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
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
void InitCommonControls();
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
// The signature InitCommonControlsEx has when it is fetched with GetProcAddress.
typedef BOOL(WINAPI* InitCommonControlsExProc)(const INITCOMMONCONTROLSEX*);

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
