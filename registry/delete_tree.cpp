// Deleting a key tree leaf by leaf: from the key, follow the first sub-key
// down to a key without sub-keys, delete it, and start again from the top,
// until the key itself is a leaf and goes. On Windows 2000/XP each key is
// granted to Administrators right before its deletion.
#include <cstring>
#include <vector>

#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"

namespace {

// Closes the keys of one descent, deepest first.
class Descent {
 public:
  ~Descent() {
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) plat::RegCloseKey(*it);
  }
  void Add(HKEY key) { keys_.push_back(key); }

 private:
  std::vector<HKEY> keys_;
};

// The number of sub-keys; -1 after an error (shown).
long SubKeyCount(HKEY key) {
  DWORD count = 0;
  LSTATUS status = plat::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) {
    ShowSystemError(static_cast<DWORD>(status));
    return -1;
  }
  return static_cast<long>(count);
}

}  // namespace

int RegistryCleaner::DeleteTree(HKEY parent, const char* name) {
  return DeleteTreeWalk(parent, nullptr, name);
}

int RegistryCleaner::DeleteTreeGranted(HKEY parent, const char* parentPath, const char* name) {
  return DeleteTreeWalk(parent, parentPath, name);
}

// `parentPath` null: no grants.
int RegistryCleaner::DeleteTreeWalk(HKEY parent, const char* parentPath, const char* name) {
  RegistryWalker walker(osKind_);
  ScopedKey top;
  if (!walker.OpenKey(parent, name, KEY_READ, top.Receive())) return 0;
  if (!top) return 1;
  for (;;) {
    // The path of the current key relative to `parent`, for the grant.
    char relative[kRegTextCapacity] = {};
    if (!CopyBounded(relative, name, kRegTextLimit, nullptr)) return 0;
    char leaf[kRegTextCapacity] = {};
    if (!CopyBounded(leaf, name, kRegTextLimit, nullptr)) return 0;
    Descent descent;
    HKEY current = top.Get();
    HKEY currentParent = parent;
    for (long count = SubKeyCount(current); count != 0; count = SubKeyCount(current)) {
      if (count < 0) return 0;
      char child[kRegTextCapacity] = {};
      DWORD length = kRegTextCapacity;
      LSTATUS status =
          plat::RegEnumKeyExA(current, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) {
        ShowSystemError(static_cast<DWORD>(status));
        return 0;
      }
      HKEY next = nullptr;
      if (!walker.OpenKey(current, child, KEY_READ, &next)) return 0;
      if (next == nullptr) return 0;  // listed but cannot be found: stop rather than loop
      descent.Add(next);
      if (parentPath != nullptr && (!AppendBackslash(relative, kRegTextCapacity) ||
                                    !AppendBounded(relative, child, kRegTextLimit, nullptr))) {
        return 0;  // the path no longer fits: this key and its ancestors stay
      }
      std::strcpy(leaf, child);
      currentParent = current;
      current = next;
    }
    DaclBackup formerDacl;
    if (parentPath != nullptr && !walker.GrantKeyAccess(parentPath, relative, &formerDacl)) {
      return 0;
    }
    if (!DeleteKey(currentParent, leaf)) {
      // The key stays: with the access it had, not with the grant.
      if (parentPath != nullptr) walker.RestoreKeyAccess(parentPath, relative, formerDacl);
      return 0;
    }
    if (current == top.Get()) return 1;
  }
}

int RegistryCleaner::DeleteTreeAt(HKEY root, int pathId, const char* name) {
  RegistryWalker walker(osKind_);
  ScopedKey parent;
  if (!walker.OpenKeyById(root, pathId, KEY_READ, parent.Receive())) return 0;
  if (!parent) return 1;
  char path[kRegTextCapacity] = {};
  if (LoadText(pathId, path, kRegTextCapacity) == 0) return 0;
  return DeleteTreeGranted(parent.Get(), path, name);
}

int RegistryCleaner::DeleteTreeAt(HKEY root, int pathId, int nameId) {
  char name[kRegTextCapacity] = {};
  if (LoadText(nameId, name, kRegTextCapacity) == 0) return 0;
  return DeleteTreeAt(root, pathId, name);
}
