#include "registry/sub_keys.h"

#include "app/message_boxes.h"
#include "platform/platform.h"

bool CountSubKeys(HKEY key, DWORD* count) {
  *count = 0;
  LSTATUS status = plat::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, count, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) return true;
  ShowSystemError(static_cast<DWORD>(status));
  return false;
}

bool ReadSubKeyName(HKEY key, DWORD index, char* name) {
  DWORD length = kRegTextCapacity;
  LSTATUS status =
      plat::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) return true;
  ShowSystemError(static_cast<DWORD>(status));
  return false;
}
