// What the cleanup asks of a device instance: its driver key, its COM port,
// and the OEM INF that installed its driver.
#include <cstring>

#include "app/message_boxes.h"
#include "app/os_kind.h"
#include "platform/platform.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "registry/sub_keys.h"
#include "resources/string_table.h"

namespace {

// The first single-byte `wanted` character of the text, or null.
const char* FindChar(const char* text, char wanted) {
  for (const char* at = text; *at != '\0';) {
    if (*at == wanted) return at;
    at += (plat::IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] != '\0') ? 2 : 1;
  }
  return nullptr;
}

// atol from the text: blanks, a sign, then decimal digits. Numbers too large
// for any port stop growing at a bound, so nothing overflows.
long DecimalAt(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value < 1000000) value = value * 10 + (*text - '0');
  }
  return negative ? -value : value;
}

}  // namespace

int RegistryWalker::ReadDriverKey(HKEY deviceKey, const char* instance, char* className,
                                  char* driverInstance) {
  char driver[kRegTextCapacity];
  if (!ReadSubkeyText(deviceKey, instance, "Driver", driver)) return 0;
  const char* slash = FindChar(driver, '\\');
  // Both parts must be there, and the driver instance must be one key name:
  // anything else could point outside the driver's own key.
  if (slash == nullptr || slash == driver || slash[1] == '\0' || FindChar(slash + 1, '\\')) {
    return 1;
  }
  std::memcpy(className, driver, static_cast<size_t>(slash - driver));
  className[slash - driver] = '\0';
  std::strcpy(driverInstance, slash + 1);
  return 1;
}

int RegistryWalker::ReadPortName(HKEY deviceKey, const char* instance, char* portName) {
  HKEY opened = nullptr;
  if (!OpenKey(deviceKey, instance, KEY_READ, &opened)) return 0;
  ScopedKey instanceKey(opened);
  if (!instanceKey) return 1;
  char name[kRegTextCapacity];
  if (!ReadSubkeyText(instanceKey.Get(), "Device Parameters", "PortName", name)) return 0;
  if (name[0] != '\0') std::strcpy(portName, name);
  return 1;
}

int RegistryWalker::ReadPortNumber(HKEY deviceKey, const char* instance, long* number) {
  *number = 0;
  char name[kRegTextCapacity] = {};
  if (!ReadPortName(deviceKey, instance, name)) return 0;
  if (std::strlen(name) > 3) *number = DecimalAt(name + 3);
  return 1;
}

int RegistryWalker::FindDriverInfStem(HKEY root, const char* deviceKeyPath, char* stem) {
  HKEY opened = nullptr;
  if (!OpenKeyPath(root, deviceKeyPath, KEY_READ, &opened) || opened == nullptr) return 0;
  ScopedKey device(opened);
  DWORD count = 0;
  if (!CountSubKeys(device.Get(), &count)) return 0;
  int classTreeId = IsNt5Family(osKind_) ? IDS_REG_CLASS_CS001 : IDS_REG9X_SERVICES_CLASS;
  char infPath[kRegTextCapacity] = {};
  for (DWORD index = 0; index < count; ++index) {
    char instance[kRegTextCapacity] = {};
    if (!ReadSubKeyName(device.Get(), index, instance)) return 0;
    char className[kRegTextCapacity] = {};
    char driverInstance[kRegTextCapacity] = {};
    if (!ReadDriverKey(device.Get(), instance, className, driverInstance) ||
        className[0] == '\0' || driverInstance[0] == '\0') {
      continue;
    }
    HKEY tree = nullptr;
    if (!OpenKeyById(root, classTreeId, KEY_READ, &tree) || tree == nullptr) return 0;
    ScopedKey classTree(tree);
    HKEY classOpened = nullptr;
    int opened2 = OpenKey(classTree.Get(), className, KEY_READ, &classOpened);
    classTree.Reset();
    ScopedKey classKey(classOpened);
    if (!opened2 || !classKey) continue;
    if (!ReadSubkeyText(classKey.Get(), driverInstance, "InfPath", infPath)) continue;
    break;  // the first instance that gets this far decides
  }
  const char* dot = FindChar(infPath, '.');
  if (dot == nullptr || dot == infPath) return 0;
  std::memcpy(stem, infPath, static_cast<size_t>(dot - infPath));
  stem[dot - infPath] = '\0';
  return 1;
}
