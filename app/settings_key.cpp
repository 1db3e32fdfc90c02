#include "app/settings_key.h"

#include "app/application_state.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {
constexpr int kKeyPathCapacity = 256;
constexpr int kValueNameCapacity = 65;

// Settings texts are loaded as they stand: the branding placeholders never
// occur in them.
int LoadPlainText(int id, char* buffer, int capacity) {
  return plat::LoadStringA(App().instance, static_cast<UINT>(id), buffer, capacity);
}
}  // namespace

SettingsKey::~SettingsKey() { Close(); }

int SettingsKey::Open(HKEY root, int pathId, REGSAM access) {
  Close();
  char path[kKeyPathCapacity];
  if (LoadPlainText(pathId, path, kKeyPathCapacity) == 0) return 0;
  HKEY key = nullptr;
  if (plat::RegOpenKeyExA(root, path, 0, access, &key) != ERROR_SUCCESS) {
    key_ = nullptr;
    return 0;
  }
  key_ = key;
  return 1;
}

int SettingsKey::Close() {
  if (key_ == nullptr) return 0;
  plat::RegCloseKey(key_);
  key_ = nullptr;
  return 1;
}

int SettingsKey::ReadDword(int nameId, DWORD* value) {
  if (key_ == nullptr) return 0;
  char name[kValueNameCapacity];
  if (LoadPlainText(nameId, name, kValueNameCapacity) == 0) return 0;
  BYTE data[4] = {};
  DWORD type = 0;
  DWORD size = sizeof(data);
  if (plat::RegQueryValueExA(key_, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return 0;
  // A value shorter than 4 bytes reads with its missing bytes as zero.
  *value = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
           static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24;
  return 1;
}

int SettingsKey::WriteDword(int nameId, DWORD value) {
  if (key_ == nullptr) return 0;
  char name[kValueNameCapacity];
  if (LoadPlainText(nameId, name, kValueNameCapacity) == 0) return 0;
  const BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                        static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return plat::RegSetValueExA(key_, name, 0, REG_DWORD, data, sizeof(data)) == ERROR_SUCCESS ? 1
                                                                                            : 0;
}

// On 64-bit Windows the calling installers (32-bit programs on a CD) make the
// key in the 32-bit view of HKLM\SOFTWARE; the 64-bit build reads and writes
// it there too, so that the caller finds what it wrote whichever build ran.
int OpenSettingsKey(SettingsKey* settings) {
  REGSAM view = plat::IsProcess64Bit() ? KEY_WOW64_32KEY : 0;
  return settings->Open(HKEY_LOCAL_MACHINE, IDS_SETTINGS_KEY, KEY_ALL_ACCESS | view);
}
