#include "platform/registry.h"
#include "registry/scoped_owners.h"
#include "wizard/function_presence.h"

// A stored text need not carry its terminator, and a value may fill the
// whole buffer. The text is therefore always terminated right after the
// bytes read, and a value that fills the whole buffer loses its last byte
// to the terminator: the callers compare names and hardware IDs far
// shorter than the 260 characters that then remain.
int ReadRegString(HKEY parent, const char* subKey, const char* valueName, char* buffer,
                  DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  ScopedKey key;
  if (plat::RegOpenKeyExA(parent, subKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return 0;
  DWORD length = size;
  LSTATUS status = plat::RegQueryValueExA(key.Get(), valueName, nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(buffer), &length);
  if (status != ERROR_SUCCESS) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length < size ? length : size - 1] = '\0';
  return 1;
}
