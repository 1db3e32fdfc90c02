#include <cstring>

#include "app/path_routines.h"
#include "platform/platform.h"
#include "registry/scoped_owners.h"
#include "wizard/function_presence.h"

namespace {

const char kUsbEnumKey[] = "System\\CurrentControlSet\\Enum\\USB";
const char kClassValue[] = "Class";
const char kUsbClass[] = "USB";
const char kDeviceParameters[] = "Device Parameters";
const char kPortNameValue[] = "PortName";

}  // namespace

// The composite device counts as present once its instance carries the
// class "USB"; an interface function once a COM port name has been recorded
// for it. That an instance exists is not enough. Only the first instance in
// the registry's order decides.
int IsFunctionPresentNt(const char* hardwareId) {
  char path[kPathCapacity];
  if (!CopyBounded(path, kUsbEnumKey, kPathLimit, nullptr)) return 0;
  if (!AppendBackslash(path, kPathCapacity)) return 0;
  if (!AppendBounded(path, hardwareId, kPathLimit, nullptr)) return 0;

  ScopedKey key;
  if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD instances = 0;
  if (plat::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &instances, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
      instances == 0) {
    return 0;
  }
  char instance[kPathCapacity];
  std::memset(instance, 0, sizeof(instance));
  DWORD nameLength = kPathCapacity;
  if (plat::RegEnumKeyExA(key.Get(), 0, instance, &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
    return 0;
  }

  char deviceClass[kPathCapacity];
  if (!ReadRegString(key.Get(), instance, kClassValue, deviceClass, kPathCapacity)) return 0;
  bool usbClass = plat::lstrcmpiA(deviceClass, kUsbClass) == 0;

  if (!AppendBackslash(instance, kPathCapacity)) return 0;
  if (!AppendBounded(instance, kDeviceParameters, kPathLimit, nullptr)) return 0;
  if (usbClass) return 1;
  char portName[kPathCapacity];
  return ReadRegString(key.Get(), instance, kPortNameValue, portName, kPathCapacity);
}
