// A stranger's DLL for the planting test (tests/wine/planted-dll.sh): copied
// beside usbinst.exe under the names of the system libraries the program
// uses (setupapi.dll, version.dll, comctl32.dll). It exports nothing the
// program needs; when a process loads it, it leaves a mark beside itself: a
// file named after itself and the loading program
// ("C:\cd\Setup\setupapi.dll.usbinst.exe.loaded").
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[2 * MAX_PATH + 16];
  DWORD length = ::GetModuleFileNameA(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  char program[MAX_PATH];
  DWORD programLength = ::GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (programLength == 0 || programLength >= MAX_PATH) return TRUE;
  const char* base = program;
  for (const char* c = program; *c; ++c) {
    if (*c == '\\' || *c == '/') base = c + 1;
  }
  ::lstrcatA(path, ".");
  ::lstrcatA(path, base);
  ::lstrcatA(path, ".loaded");
  HANDLE mark = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (mark != INVALID_HANDLE_VALUE) ::CloseHandle(mark);
  return TRUE;
}
