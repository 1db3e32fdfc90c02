#include "app/os_kind.h"
#include "app/text.h"
#include "resources/string_table.h"
#include "wizard/function_presence.h"

namespace {

constexpr int kTextCapacity = 1024;

}  // namespace

// The Windows version is asked anew on every call, as the detection runs on
// its own beside the wizard.
int IsFunctionPresent(int function) {
  if (function < 0 || function > 3) return 0;
  int osKind = GetOsKind();
  char hardwareId[kTextCapacity];
  if (LoadText(IDS_HWID_FUNCTION0 + function, hardwareId, kTextCapacity) == 0) return 0;
  if (IsNt5Family(osKind)) return IsFunctionPresentNt(hardwareId);

  // Windows 95/98/Me and NT 4: the phone itself has its own enumeration key;
  // its interface functions are found through the root-enumerated port device.
  char enumKey[kTextCapacity];
  int keyId = function == 0 ? IDS_LEGACY_PHONE_ENUM_KEY : IDS_LEGACY_PORT_ENUM_KEY;
  if (LoadText(keyId, enumKey, kTextCapacity) == 0) return 0;
  return IsFunctionPresentLegacy(enumKey, hardwareId, function == 0 ? 1 : 0);
}
