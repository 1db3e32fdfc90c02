// Registry operations on Windows: each passes straight to advapi32.
#include "platform/registry.h"

namespace plat {

LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return ::RegOpenKeyExA(root, subKey, options, access, result);
}

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                        REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                        LPDWORD disposition) {
  return ::RegCreateKeyExA(root, subKey, reserved, keyClass, options, access, security, result,
                           disposition);
}

LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD keyClassLength, LPDWORD reserved,
                         LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                         LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                         LPDWORD securityDescriptorLength, PFILETIME lastWriteTime) {
  return ::RegQueryInfoKeyA(key, keyClass, keyClassLength, reserved, subKeys, maxSubKeyLength,
                            maxClassLength, values, maxValueNameLength, maxValueLength,
                            securityDescriptorLength, lastWriteTime);
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                      LPSTR keyClass, LPDWORD keyClassLength, PFILETIME lastWriteTime) {
  return ::RegEnumKeyExA(key, index, name, nameLength, reserved, keyClass, keyClassLength,
                         lastWriteTime);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataLength) {
  return ::RegEnumValueA(key, index, name, nameLength, reserved, type, data, dataLength);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataLength) {
  return ::RegQueryValueExA(key, valueName, reserved, type, data, dataLength);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataLength) {
  return ::RegSetValueExA(key, valueName, reserved, type, data, dataLength);
}

LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey) { return ::RegDeleteKeyA(key, subKey); }

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName) { return ::RegDeleteValueA(key, valueName); }

LSTATUS RegGetKeySecurity(HKEY key, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor,
                          LPDWORD descriptorLength) {
  return ::RegGetKeySecurity(key, what, descriptor, descriptorLength);
}

LSTATUS RegSetKeySecurity(HKEY key, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor) {
  return ::RegSetKeySecurity(key, what, descriptor);
}

LSTATUS RegCloseKey(HKEY key) { return ::RegCloseKey(key); }

}  // namespace plat
