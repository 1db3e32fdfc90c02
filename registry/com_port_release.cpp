// Releasing the COM port numbers the phone's ports held: the port's bit in
// the COM number arbiter's "ComDB" bitmap and its "Ports" values (Windows
// 2000/XP), or its entry in the serial-port map (Windows 95/98/Me, NT 4).
#include <cstring>

#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "registry/sub_keys.h"
#include "resources/string_table.h"

namespace {

const char kArbiter[] = "COM Name Arbiter";
const char kComDb[] = "ComDB";
// Windows' own set-up writes "Ports" values for COM1: to COM4: whether or not
// such ports exist, and a port's installer never replaces a value that is
// already there. A phone port with one of these numbers therefore found its
// value in place: the value is Windows', and it stays when the number is
// released.
constexpr long kWindowsDefaultPorts = 4;
// No registry type has this value: it tells that a read found nothing.
constexpr DWORD kNothingRead = 0xFFFFFFFF;

}  // namespace

int RegistryCleaner::ReleaseComPorts(HKEY root, int enumUsbPathId, int interfaceId,
                                     int controlPathId) {
  char path[kRegTextCapacity] = {};
  if (LoadText(enumUsbPathId, path, kRegTextCapacity) == 0 ||
      !AppendBackslash(path, kRegTextCapacity) ||
      AppendText(interfaceId, path, kRegTextCapacity) == 0) {
    return 0;
  }
  RegistryWalker walker(osKind_);
  ScopedKey device;
  if (!walker.OpenKeyPath(root, path, KEY_READ, device.Receive())) return 0;
  if (!device) return 1;
  DWORD count = 0;
  if (!CountSubKeys(device.Get(), &count)) return 0;
  int result = 1;
  for (DWORD index = 0; index < count; ++index) {
    char instance[kRegTextCapacity] = {};
    if (!ReadSubKeyName(device.Get(), index, instance)) return 0;
    long number = 0;
    result = walker.ReadPortNumber(device.Get(), instance, &number);
    if (!result || number == 0) continue;
    result = ReleaseComDbBit(root, controlPathId, number);
    if (!result) continue;
    if (number <= kWindowsDefaultPorts) continue;
    char portName[kRegTextCapacity] = {};
    result = walker.ReadPortName(device.Get(), instance, portName);
    if (result && portName[0] != '\0') {
      result = DeleteValuesContaining(root, IDS_REG_PORTS, portName, MatchRule::kPortName);
    }
  }
  return result;
}

int RegistryCleaner::ReleaseComDbBit(HKEY root, int controlPathId, long portNumber) {
  RegistryWalker walker(osKind_);
  ScopedKey control;
  if (!walker.OpenKeyById(root, controlPathId, KEY_READ, control.Receive())) return 0;
  if (!control) return 1;
  BYTE bitmap[kRegTextCapacity] = {};
  DWORD size = kRegTextCapacity;
  DWORD type = kNothingRead;
  if (!walker.ReadSubkeyValue(control.Get(), kArbiter, kComDb, bitmap, &size, &type)) return 0;
  // No bitmap (or no arbiter key): nothing to release, and nothing is made.
  if (type == kNothingRead || portNumber <= 0) return 1;
  // The arbiter keeps its bitmap as bytes. A text-typed value is no bitmap of
  // its: written back, the system would take it for text, look one byte past
  // the data for a terminator and might store the value a byte longer.
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) return 1;
  // The bitmap read holds ports 1 to 8 * size; a port beyond it (or beyond
  // the 2088 ports of the buffer) has no bit to clear.
  unsigned long byteIndex = static_cast<unsigned long>(portNumber - 1) / 8;
  if (byteIndex >= size || byteIndex >= sizeof bitmap) return 1;
  bitmap[byteIndex] &= static_cast<BYTE>(~(1u << ((portNumber - 1) % 8)));
  return walker.WriteSubkeyValue(control.Get(), kArbiter, kComDb, bitmap, size, type);
}

int RegistryCleaner::RemoveSerialCommEntries() {
  char pattern[kRegTextCapacity] = {};
  char crLowerName[kRegTextCapacity] = {};
  char mapPath[kRegTextCapacity] = {};
  if (LoadText(IDS_HWID_FUNCTION0, pattern, kRegTextCapacity) == 0 ||
      LoadText(IDS_VALUE_CR_LOWER_DEVICE_ID, crLowerName, kRegTextCapacity) == 0 ||
      LoadText(IDS_REG9X_SERIALCOMM, mapPath, kRegTextCapacity) == 0) {
    return 0;
  }
  RegistryWalker walker(osKind_);
  ScopedKey device;
  if (!walker.OpenKeyById(HKEY_LOCAL_MACHINE, IDS_LEGACY_PORT_ENUM_KEY, KEY_READ,
                          device.Receive()) ||
      !device) {
    return 0;
  }
  DWORD count = 0;
  if (!CountSubKeys(device.Get(), &count)) return 0;
  for (DWORD index = 0; index < count; ++index) {
    char instance[kRegTextCapacity] = {};
    if (!ReadSubKeyName(device.Get(), index, instance)) return 0;
    char text[kRegTextCapacity];
    if (!walker.ReadSubkeyText(device.Get(), instance, crLowerName, text) ||
        !MatchesNarrowly(text, pattern, MatchRule::kDeviceId)) {
      continue;
    }
    if (walker.ReadSubkeyText(device.Get(), instance, "Portname", text) && text[0] != '\0') {
      DeleteValueAt(HKEY_LOCAL_MACHINE, mapPath, text);
    }
  }
  return 1;
}
