// The cleanup steps that find the phone's keys through device data: the
// driver keys that its instances name, the device interface keys whose
// "DeviceInstance" names it, and the phantom entries of Windows 95/98/Me.
#include <cstring>

#include "app/message_boxes.h"
#include "app/os_kind.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "registry/sub_keys.h"

namespace {

// The sub-key name at `index`: ERROR_SUCCESS, ERROR_NO_MORE_ITEMS, or another
// error (shown).
LSTATUS EnumSubKey(HKEY key, DWORD index, char* name) {
  std::memset(name, 0, kRegTextCapacity);
  DWORD length = kRegTextCapacity;
  LSTATUS status = plat::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr,
                                       nullptr);
  if (status != ERROR_SUCCESS && status != ERROR_NO_MORE_ITEMS) {
    ShowSystemError(static_cast<DWORD>(status));
  }
  return status;
}

}  // namespace

int RegistryCleaner::DeleteDriverKeys(const char* deviceKeyPath, const char* classTreePath) {
  RegistryWalker walker(osKind_);
  ScopedKey device;
  if (!walker.OpenKeyPath(HKEY_LOCAL_MACHINE, deviceKeyPath, KEY_READ, device.Receive())) return 0;
  if (!device) return 1;
  DWORD count = 0;
  if (!CountSubKeys(device.Get(), &count)) return 0;
  int result = 1;
  for (DWORD index = 0; index < count; ++index) {
    char instance[kRegTextCapacity];
    if (EnumSubKey(device.Get(), index, instance) != ERROR_SUCCESS) return 0;
    char className[kRegTextCapacity] = {};
    char driverInstance[kRegTextCapacity] = {};
    result = walker.ReadDriverKey(device.Get(), instance, className, driverInstance);
    if (!result || className[0] == '\0' || driverInstance[0] == '\0') continue;
    ScopedKey classTree;
    if (!walker.OpenKeyPath(HKEY_LOCAL_MACHINE, classTreePath, KEY_READ, classTree.Receive()) ||
        !classTree) {
      return 0;
    }
    ScopedKey classKey;
    result = walker.OpenKey(classTree.Get(), className, KEY_READ, classKey.Receive());
    classTree.Reset();
    if (!result || !classKey) continue;
    if (!IsNt5Family(osKind_)) {
      result = DeleteTree(classKey.Get(), driverInstance);
      continue;
    }
    // The class key's path, for the grants: a class key name that would make
    // it longer than 260 characters cannot be granted, so it is not deleted.
    char classKeyPath[kRegTextCapacity] = {};
    if (!CopyBounded(classKeyPath, classTreePath, kRegTextLimit, nullptr)) return 0;
    if (!AppendBackslash(classKeyPath, kRegTextCapacity) ||
        !AppendBounded(classKeyPath, className, kRegTextLimit, nullptr)) {
      result = 0;
      continue;
    }
    result = DeleteTreeGranted(classKey.Get(), classKeyPath, driverInstance);
  }
  return result;
}

int RegistryCleaner::DeleteInterfaceKeys(int deviceClassesPathId, int hardwareId) {
  char pattern[kRegTextCapacity] = {};
  if (LoadText(hardwareId, pattern, kRegTextCapacity) == 0) return 0;
  RegistryWalker walker(osKind_);
  ScopedKey classes;
  if (!walker.OpenKeyById(HKEY_LOCAL_MACHINE, deviceClassesPathId, KEY_READ, classes.Receive())) {
    return 0;
  }
  if (!classes) return 1;
  DWORD classCount = 0;
  if (!CountSubKeys(classes.Get(), &classCount)) return 0;
  int result = 1;
  for (DWORD classIndex = 0; classIndex < classCount; ++classIndex) {
    bool again = true;
    while (again) {
      again = false;
      char className[kRegTextCapacity];
      if (EnumSubKey(classes.Get(), classIndex, className) != ERROR_SUCCESS) return 0;
      ScopedKey interfaceClass;
      if (!walker.OpenKey(classes.Get(), className, KEY_READ, interfaceClass.Receive()) ||
          !interfaceClass) {
        return 0;
      }
      DWORD count = 0;
      if (!CountSubKeys(interfaceClass.Get(), &count)) return 0;
      result = 1;
      for (DWORD index = 0; index < count; ++index) {
        char name[kRegTextCapacity];
        LSTATUS status = EnumSubKey(interfaceClass.Get(), index, name);
        if (status == ERROR_NO_MORE_ITEMS) {
          again = true;  // keys were deleted: look at this class again
          break;
        }
        if (status != ERROR_SUCCESS) {
          result = 0;
          break;
        }
        char instance[kRegTextCapacity];
        if (!walker.ReadSubkeyText(interfaceClass.Get(), name, "DeviceInstance", instance)) {
          result = 0;
          break;
        }
        UpperCaseAscii(instance);
        if (MatchesNarrowly(instance, pattern, MatchRule::kDeviceId)) {
          DeleteTree(interfaceClass.Get(), name);
        }
      }
    }
  }
  return result;
}

int RegistryCleaner::DeletePhantomKeys(int pathId, int hardwareId) {
  char pattern[kRegTextCapacity] = {};
  if (LoadText(hardwareId, pattern, kRegTextCapacity) == 0) return 0;
  RegistryWalker walker(osKind_);
  ScopedKey phantoms;
  if (!walker.OpenKeyById(HKEY_LOCAL_MACHINE, pathId, KEY_READ, phantoms.Receive())) return 0;
  if (!phantoms) return 1;
  DWORD count = 0;
  if (!CountSubKeys(phantoms.Get(), &count)) return 0;
  for (DWORD index = 0; index < count;) {
    char name[kRegTextCapacity];
    LSTATUS status = EnumSubKey(phantoms.Get(), index, name);
    if (status == ERROR_NO_MORE_ITEMS) return 1;
    if (status != ERROR_SUCCESS) return 0;
    char hardwareKey[kRegTextCapacity];
    if (!walker.ReadSubkeyText(phantoms.Get(), name, "HardWareKey", hardwareKey)) return 0;
    UpperCaseAscii(hardwareKey);
    // After a deletion the next sub-key has moved into this index.
    if (MatchesNarrowly(hardwareKey, pattern, MatchRule::kDeviceId) &&
        DeleteTree(phantoms.Get(), name)) {
      continue;
    }
    ++index;
  }
  return 1;
}
