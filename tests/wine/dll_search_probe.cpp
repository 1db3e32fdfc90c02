// The control of the planting test: loads each DLL named on the command line
// by its bare name, as usbinst.exe once loaded setupapi.dll and comctl32.dll,
// and prints where each came from. Placed beside the planted DLLs, it must
// load them (their marks appear), which shows that Wine searches the
// program's folder first for these names, as Windows does.
//
//   dll_search_probe.exe NAME...
//
// Exit code 0 when every name loaded, 1 otherwise.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    HMODULE module = ::LoadLibraryA(argv[i]);
    if (!module) {
      DWORD error = ::GetLastError();
      std::printf("dll_search_probe: %s not loaded (error %lu)\n", argv[i], error);
      status = 1;
      continue;
    }
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    std::printf("dll_search_probe: %s from %s\n", argv[i], path);
  }
  return status;
}
