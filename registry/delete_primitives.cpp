// Deleting one key or one value: a missing one is nothing to do.
#include "app/message_boxes.h"
#include "app/text.h"
#include "platform/platform.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"

namespace {

int Settle(LSTATUS status) {
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return 1;
  ShowSystemError(static_cast<DWORD>(status));
  return 0;
}

}  // namespace

int RegistryCleaner::DeleteKey(HKEY parent, const char* name) {
  return Settle(plat::RegDeleteKeyA(parent, name));
}

int RegistryCleaner::DeleteValue(HKEY key, const char* name) {
  return Settle(plat::RegDeleteValueA(key, name));
}

int RegistryCleaner::DeleteValueAt(HKEY root, const char* path, const char* name) {
  RegistryWalker walker(osKind_);
  ScopedKey key;
  if (!walker.OpenKeyPath(root, path, KEY_WRITE, key.Receive())) return 0;
  if (!key) return 1;
  return DeleteValue(key.Get(), name);
}

int RegistryCleaner::DeleteSubkeyById(HKEY root, int pathId, int nameId) {
  char name[kRegTextCapacity] = {};
  if (LoadText(nameId, name, kRegTextCapacity) == 0) return 0;
  RegistryWalker walker(osKind_);
  ScopedKey key;
  if (!walker.OpenKeyById(root, pathId, KEY_READ, key.Receive())) return 0;
  if (!key) return 1;
  return DeleteKey(key.Get(), name);
}
