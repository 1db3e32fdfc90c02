// Test helper: makes a volatile registry link key under HKEY_LOCAL_MACHINE,
// as Windows' own ControlSet001/CurrentControlSet pair is laid out.
//
//   make_registry_link.exe SUBKEY TARGET
//   make_registry_link.exe SYSTEM\ControlSet001 \Registry\Machine\System\CurrentControlSet
//
// Exit code 0, 1 when the key cannot be made, 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_registry_link.exe SUBKEY TARGET\n");
    return 2;
  }
  HKEY link = nullptr;
  LSTATUS status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, nullptr,
                                     REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                     nullptr, &link, nullptr);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "make_registry_link: cannot create %s (error %ld)\n", argv[1],
                 static_cast<long>(status));
    return 1;
  }
  // The target is UTF-16 text without a terminator.
  std::wstring target;
  for (const char* c = argv[2]; *c; ++c)
    target += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  status = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(target.data()),
                            static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  ::RegCloseKey(link);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "make_registry_link: cannot set the target (error %ld)\n",
                 static_cast<long>(status));
    return 1;
  }
  std::printf("make_registry_link: HKLM\\%s links to %s\n", argv[1], argv[2]);
  return 0;
}
