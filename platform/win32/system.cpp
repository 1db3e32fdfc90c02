// Process-wide operations on Windows: each passes straight to kernel32 or
// user32. version.dll is not imported: its three functions are looked up in
// the system folder's copy when first called (see VersionFunction).
#include "platform/system.h"

namespace plat {
namespace {

// An imported DLL is loaded before the program's first instruction, from the
// program's own folder first unless it is a known DLL of that Windows or
// already loaded, and nothing promises that for version.dll on every version
// (see platform/system_library.cpp). Loaded by its full path, it never
// depends on that. Loaded once, kept for the rest of the process.
HMODULE VersionModule() {
  static HMODULE module = LoadSystemLibrary("version.dll");
  return module;
}

// The named function of version.dll, or null; a call of a missing one fails
// with ERROR_PROC_NOT_FOUND.
template <typename Function>
Function* VersionFunction(const char* name) {
  HMODULE module = VersionModule();
  FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

BOOL NoVersionFunction() {
  ::SetLastError(ERROR_PROC_NOT_FOUND);
  return FALSE;
}

}  // namespace

DWORD GetLastError() { return ::GetLastError(); }

void SetLastError(DWORD error) { ::SetLastError(error); }

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) { return ::LocalAlloc(flags, bytes); }

HLOCAL LocalFree(HLOCAL memory) { return ::LocalFree(memory); }

HANDLE GetProcessHeap() { return ::GetProcessHeap(); }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) { return ::HeapAlloc(heap, flags, bytes); }

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory) { return ::HeapFree(heap, flags, memory); }

HMODULE LoadLibraryA(LPCSTR name) { return ::LoadLibraryA(name); }

HMODULE GetModuleHandleA(LPCSTR name) { return ::GetModuleHandleA(name); }

FARPROC GetProcAddress(HMODULE module, LPCSTR name) { return ::GetProcAddress(module, name); }

BOOL FreeLibrary(HMODULE module) { return ::FreeLibrary(module); }

BOOL IsProcess64Bit() { return sizeof(void*) == 8 ? TRUE : FALSE; }

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                    LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation) {
  return ::CreateProcessA(applicationName, commandLine, processAttributes, threadAttributes,
                          inheritHandles, creationFlags, environment, currentDirectory,
                          startupInfo, processInformation);
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return ::WaitForSingleObject(object, milliseconds);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  return ::GetExitCodeProcess(process, exitCode);
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) { return ::GetVersionExA(info); }

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
  static auto* const function =
      VersionFunction<decltype(::GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA");
  if (handle) *handle = 0;
  if (!function) return NoVersionFunction();
  return function(fileName, handle);
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) {
  static auto* const function =
      VersionFunction<decltype(::GetFileVersionInfoA)>("GetFileVersionInfoA");
  if (!function) return NoVersionFunction();
  return function(fileName, handle, length, data);
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
  static auto* const function = VersionFunction<decltype(::VerQueryValueA)>("VerQueryValueA");
  if (!function) return NoVersionFunction();
  return function(block, subBlock, buffer, length);
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) {
  return ::CreateMutexA(security, initialOwner, name);
}

BOOL ReleaseMutex(HANDLE mutex) { return ::ReleaseMutex(mutex); }

BOOL CloseHandle(HANDLE object) { return ::CloseHandle(object); }

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list* arguments) {
  return ::FormatMessageA(flags, source, messageId, languageId, buffer, size, arguments);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int wideLength) {
  return ::MultiByteToWideChar(codePage, flags, text, length, wide, wideLength);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                        int length, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  return ::WideCharToMultiByte(codePage, flags, wide, wideLength, text, length, defaultChar,
                               usedDefaultChar);
}

UINT GetACP() { return ::GetACP(); }

// kernel32's IsDBCSLeadByte tests against the ANSI code page, as the
// run-time library's _ismbblead does in the default "C" multibyte locale.
BOOL IsDBCSLeadByte(BYTE byte) { return ::IsDBCSLeadByte(byte); }

int lstrlenA(LPCSTR text) { return ::lstrlenA(text); }

int lstrcmpA(LPCSTR a, LPCSTR b) { return ::lstrcmpA(a, b); }

int lstrcmpiA(LPCSTR a, LPCSTR b) { return ::lstrcmpiA(a, b); }

int wvsprintfA(LPSTR output, LPCSTR format, va_list arguments) {
  return ::wvsprintfA(output, format, arguments);
}

int wsprintfA(LPSTR output, LPCSTR format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = ::wvsprintfA(output, format, arguments);
  va_end(arguments);
  return length;
}

}  // namespace plat
