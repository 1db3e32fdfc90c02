// Test helper of the trace_snapshot test under Wine: makes the registry keys
// that a snapshot must record in a special way.
//
//   trace_fixture.exe link SUBKEY TARGET   a volatile link key under HKLM, as
//       Windows' ControlSet001/CurrentControlSet pair is laid out:
//       trace_fixture.exe link SYSTEM\ControlSet001 \Registry\Machine\System\CurrentControlSet
//   trace_fixture.exe lock SUBKEY          a key under HKLM with a value, then an
//       empty DACL, so nobody can read it (Wine keeps the DACL only while the
//       wineserver runs)
//   trace_fixture.exe dacl SUBKEY SDDL     a key under HKLM (made when missing)
//       given the DACL of the SDDL text, as the removal's grant changes the
//       DACL of a key it is about to delete
//
// Exit code 0, 1 when a key cannot be made, 2 for a wrong command line.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

namespace {

int Fail(const char* what, const char* key, LSTATUS status) {
  std::fprintf(stderr, "trace_fixture: cannot %s %s (error %ld)\n", what, key,
               static_cast<long>(status));
  return 1;
}

int MakeLink(const char* subKey, const char* target) {
  HKEY link = nullptr;
  LSTATUS status =
      ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr,
                        REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &link, nullptr);
  if (status != ERROR_SUCCESS) return Fail("create", subKey, status);
  // The target is UTF-16 text without a terminator.
  std::wstring wide;
  for (const char* c = target; *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  status = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(wide.data()),
                            static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
  ::RegCloseKey(link);
  if (status != ERROR_SUCCESS) return Fail("set the target of", subKey, status);
  std::printf("trace_fixture: HKLM\\%s links to %s\n", subKey, target);
  return 0;
}

int MakeLocked(const char* subKey) {
  HKEY key = nullptr;
  LSTATUS status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return Fail("create", subKey, status);
  const char kData[] = "not to be read";
  status = ::RegSetValueExA(key, "Hidden", 0, REG_SZ, reinterpret_cast<const BYTE*>(kData),
                            sizeof kData);
  ACL emptyAcl;
  SECURITY_DESCRIPTOR descriptor;
  if (status == ERROR_SUCCESS &&
      (!::InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION) ||
       !::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
       !::SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE))) {
    status = static_cast<LSTATUS>(::GetLastError());
  }
  if (status == ERROR_SUCCESS) {
    status = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  }
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS) return Fail("lock", subKey, status);
  std::printf("trace_fixture: HKLM\\%s is locked\n", subKey);
  return 0;
}

int SetDacl(const char* subKey, const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    return Fail("read the SDDL for", subKey, static_cast<LSTATUS>(::GetLastError()));
  }
  // An existing key is opened for WRITE_DAC alone, which its DACL may grant
  // where it grants nothing else.
  HKEY key = nullptr;
  LSTATUS status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, WRITE_DAC, &key);
  if (status == ERROR_FILE_NOT_FOUND) {
    status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &key, nullptr);
  }
  if (status == ERROR_SUCCESS) {
    status = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    ::RegCloseKey(key);
  }
  ::LocalFree(descriptor);
  if (status != ERROR_SUCCESS) return Fail("set the DACL of", subKey, status);
  std::printf("trace_fixture: HKLM\\%s has the DACL %s\n", subKey, sddl);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "link" && argc == 4) return MakeLink(argv[2], argv[3]);
  if (command == "lock" && argc == 3) return MakeLocked(argv[2]);
  if (command == "dacl" && argc == 4) return SetDacl(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: trace_fixture.exe link SUBKEY TARGET | lock SUBKEY | dacl SUBKEY SDDL\n");
  return 2;
}
