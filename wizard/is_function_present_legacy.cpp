#include <cstring>

#include "app/path_routines.h"
#include "platform/platform.h"
#include "registry/scoped_owners.h"
#include "wizard/function_presence.h"

namespace {

const char kHardwareIdValue[] = "HardwareID";
const char kLowerDeviceValue[] = "CRLowerDeviceId";
const char kPortNameValue[] = "PortName";

// Upper-cases in place as the run-time library does in its default
// locale: only the letters a to z change. The trail byte of a double-byte
// character is left alone, as it may fall in that range.
void UpperCaseAscii(char* text) {
  for (; *text != '\0'; ++text) {
    if (plat::IsDBCSLeadByte(static_cast<BYTE>(*text))) {
      if (text[1] == '\0') break;
      ++text;
    } else if (*text >= 'a' && *text <= 'z') {
      *text = static_cast<char>(*text - 'a' + 'A');
    }
  }
}

// 1 when the instance's value, upper-cased, contains the hardware ID.
int ValueNamesDevice(HKEY key, const char* instance, const char* valueName,
                     const char* upperHardwareId, int* read) {
  char text[kPathCapacity];
  *read = ReadRegString(key, instance, valueName, text, kPathCapacity);
  if (!*read) return 0;
  UpperCaseAscii(text);
  return std::strstr(text, upperHardwareId) != nullptr ? 1 : 0;
}

}  // namespace

// Mode 1 looks only at the phone's first instance. Mode 0 searches the port
// device's instances for the first whose lower device is this function and
// that has been given a COM port; instances without one are skipped.
int IsFunctionPresentLegacy(const char* enumKeyPath, const char* hardwareId, int mode) {
  char path[kPathCapacity];
  char upperId[kPathCapacity];
  if (!CopyBounded(path, enumKeyPath, kPathLimit, nullptr)) return 0;
  if (!CopyBounded(upperId, hardwareId, kPathLimit, nullptr)) return 0;
  UpperCaseAscii(upperId);

  ScopedKey key;
  if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD instances = 0;
  if (plat::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &instances, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  for (DWORD index = 0; index < instances; ++index) {
    char instance[kPathCapacity];
    std::memset(instance, 0, sizeof(instance));
    DWORD nameLength = kPathCapacity;
    if (plat::RegEnumKeyExA(key.Get(), index, instance, &nameLength, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
      return 0;
    }
    int read = 0;
    if (mode == 1) return ValueNamesDevice(key.Get(), instance, kHardwareIdValue, upperId, &read);
    if (!ValueNamesDevice(key.Get(), instance, kLowerDeviceValue, upperId, &read)) continue;
    char portName[kPathCapacity];
    if (ReadRegString(key.Get(), instance, kPortNameValue, portName, kPathCapacity)) return 1;
  }
  return 0;
}
