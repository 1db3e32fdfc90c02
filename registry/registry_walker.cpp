// Opening keys by path, reading and writing values.
#include "registry/registry_walker.h"

#include <cstring>

#include "app/message_boxes.h"
#include "app/text.h"
#include "platform/platform.h"
#include "registry/scoped_owners.h"

namespace {

const char kRootName[] = "HKEY_LOCAL_MACHINE";

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The end of the path component that starts at `at`: the next backslash that
// is a character of its own (a double-byte character's trail byte can be one).
const char* ComponentEnd(const char* at) {
  while (*at != '\0' && *at != '\\') {
    at += (plat::IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] != '\0') ? 2 : 1;
  }
  return at;
}

bool ComponentsFit(const char* path) {
  for (const char* at = path;;) {
    const char* end = ComponentEnd(at);
    if (end - at > kRegTextLimit) return false;
    if (*end == '\0') return true;
    at = end + 1;
  }
}

}  // namespace

int RegistryWalker::OpenKey(HKEY parent, const char* name, REGSAM access, HKEY* key) {
  *key = nullptr;
  HKEY opened = nullptr;
  LSTATUS status = plat::RegOpenKeyExA(parent, name, 0, access | KEY_READ, &opened);
  if (status == ERROR_SUCCESS) {
    *key = opened;
    return 1;
  }
  if (status == ERROR_FILE_NOT_FOUND) return 1;
  ShowSystemError(static_cast<DWORD>(status));
  return 0;
}

int RegistryWalker::OpenKeyPath(HKEY root, const char* path, REGSAM access, HKEY* key) {
  *key = nullptr;
  if (!ComponentsFit(path)) return 0;
  ScopedKey current;  // the key this walk opened last
  char component[kRegTextCapacity];
  const char* at = path;
  for (const char* end = ComponentEnd(at); *end == '\\'; at = end + 1, end = ComponentEnd(at)) {
    std::memset(component, 0, sizeof component);
    std::memcpy(component, at, static_cast<size_t>(end - at));
    if (std::strcmp(component, kRootName) == 0) continue;
    HKEY next = nullptr;
    if (!OpenKey(current ? current.Get() : root, component, KEY_READ, &next)) return 0;
    if (next == nullptr) return 1;
    current.Reset(next);
  }
  if (*at == '\0') {
    *key = current.Release();
    return 1;
  }
  return OpenKey(current ? current.Get() : root, at, access, key);
}

int RegistryWalker::OpenKeyById(HKEY root, int pathId, REGSAM access, HKEY* key) {
  *key = nullptr;
  char path[kRegTextCapacity] = {};
  if (LoadText(pathId, path, kRegTextCapacity) == 0) return 0;
  return OpenKeyPath(root, path, access, key);
}

int RegistryWalker::ReadValue(HKEY key, const char* name, void* data, DWORD* size, DWORD* type) {
  if (key == nullptr) return 1;
  BYTE staging[kRegTextCapacity] = {};
  DWORD stagedSize = kRegTextCapacity;
  DWORD stagedType = REG_NONE;
  LSTATUS status = plat::RegQueryValueExA(key, name, nullptr, &stagedType, staging, &stagedSize);
  if (status == ERROR_FILE_NOT_FOUND) return 1;
  if (status != ERROR_SUCCESS) {
    ShowSystemError(static_cast<DWORD>(status));
    return 0;
  }
  DWORD copy = stagedSize < *size ? stagedSize : *size;
  if (copy > kRegTextCapacity) copy = kRegTextCapacity;
  std::memcpy(data, staging, copy);
  *size = stagedSize;
  *type = stagedType;
  return 1;
}

int RegistryWalker::ReadSubkeyValue(HKEY parent, const char* subKey, const char* name, void* data,
                                    DWORD* size, DWORD* type) {
  HKEY opened = nullptr;
  if (!OpenKey(parent, subKey, KEY_READ, &opened)) return 0;
  ScopedKey key(opened);
  return ReadValue(key.Get(), name, data, size, type);
}

int RegistryWalker::WriteSubkeyValue(HKEY parent, const char* subKey, const char* name,
                                     const void* data, DWORD size, DWORD type) {
  HKEY opened = nullptr;
  if (!OpenKey(parent, subKey, KEY_WRITE, &opened)) return 0;
  ScopedKey key(opened);
  if (!key) return 1;
  LSTATUS status =
      plat::RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return 1;
  ShowSystemError(static_cast<DWORD>(status));
  return 0;
}

int RegistryWalker::ReadSubkeyText(HKEY parent, const char* subKey, const char* name,
                                   char* text) {
  std::memset(text, 0, kRegTextCapacity);
  DWORD size = kRegTextCapacity;
  DWORD type = REG_NONE;
  if (!ReadSubkeyValue(parent, subKey, name, text, &size, &type)) return 0;
  // Data of another type, or text that fills all 261 bytes without its
  // terminator, is no name this program can use.
  if (!IsTextType(type) || std::memchr(text, 0, kRegTextCapacity) == nullptr) {
    std::memset(text, 0, kRegTextCapacity);
  }
  return 1;
}
