// Deleting the values of a key whose names match a pattern. Deleting a value
// moves the later ones down, so a pass that deleted something is followed
// by a new pass from the first index until a pass deletes nothing.
#include <cstring>

#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"

namespace {

enum class PassEnd { kRanToEnd, kEndedEarly, kFailed };

}  // namespace

int RegistryCleaner::DeleteValuesContaining(HKEY root, const char* path, const char* pattern,
                                            MatchRule rule) {
  // An empty pattern is in every name: it would take all the key's values.
  if (pattern == nullptr || pattern[0] == '\0') return 0;
  char upperPattern[kRegTextCapacity] = {};
  if (!CopyBounded(upperPattern, pattern, kRegTextLimit, nullptr)) return 0;
  UpperCaseAscii(upperPattern);
  RegistryWalker walker(osKind_);
  ScopedKey key;
  if (!walker.OpenKeyPath(root, path, KEY_WRITE, key.Receive())) return 0;
  if (!key) return 1;
  for (;;) {
    DWORD count = 0;
    LSTATUS status = plat::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                            nullptr);
    if (status != ERROR_SUCCESS) {
      ShowSystemError(static_cast<DWORD>(status));
      return 0;
    }
    int result = 1;
    PassEnd end = PassEnd::kRanToEnd;
    for (DWORD index = 0; index <= count; ++index) {
      char name[kRegTextCapacity] = {};
      DWORD length = kRegTextCapacity;
      status = plat::RegEnumValueA(key.Get(), index, name, &length, nullptr, nullptr, nullptr,
                                   nullptr);
      if (status == ERROR_NO_MORE_ITEMS) {
        end = index < count ? PassEnd::kEndedEarly : PassEnd::kRanToEnd;
        break;
      }
      // A name longer than 260 characters cannot be read, so it is no entry
      // of ours: it stays, and the pass goes on.
      if (status == ERROR_MORE_DATA) continue;
      if (status != ERROR_SUCCESS) {
        ShowSystemError(static_cast<DWORD>(status));
        end = PassEnd::kFailed;
        break;
      }
      char upperName[kRegTextCapacity];
      std::memcpy(upperName, name, sizeof upperName);
      UpperCaseAscii(upperName);
      // Deleted by the name as enumerated: upper-casing the trail bytes of
      // double-byte characters could name another value.
      if (MatchesNarrowly(upperName, upperPattern, rule)) result = DeleteValue(key.Get(), name);
    }
    if (end == PassEnd::kFailed) return 0;
    if (end == PassEnd::kRanToEnd) return result;
  }
}

int RegistryCleaner::DeleteValuesContaining(HKEY root, int pathId, const char* pattern,
                                            MatchRule rule) {
  char path[kRegTextCapacity] = {};
  if (LoadText(pathId, path, kRegTextCapacity) == 0) return 0;
  return DeleteValuesContaining(root, path, pattern, rule);
}

int RegistryCleaner::DeleteValuesContaining(HKEY root, int pathId, int patternId,
                                            MatchRule rule) {
  char pattern[kRegTextCapacity] = {};
  if (LoadText(patternId, pattern, kRegTextCapacity) == 0) return 0;
  return DeleteValuesContaining(root, pathId, pattern, rule);
}
