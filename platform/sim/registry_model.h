// The registry of the simulated machine.
//
// Keys and values live below four roots (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_USERS and HKEY_CLASSES_ROOT, the last being HKLM\SOFTWARE\Classes as on
// Windows 95/98/Me). Names compare without regard to case and keep the case they
// were created with; sub-keys enumerate sorted by their upper-cased names, values
// in the order they were first written, as Windows does.
//
// "SYSTEM\CurrentControlSet" on an NT-family image is a link key: every path through
// it reaches the key objects of the control set that HKLM\SYSTEM\Select "Current"
// names (ControlSet001 for Current = 1), looked up on each walk.
//
// Key objects are reference counted: an open handle keeps its key alive after the
// key is deleted, and every operation on such a handle answers ERROR_KEY_DELETED.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif

namespace sim {

struct RegValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;
};

struct RegKey;

// A key's sub-keys by upper-cased name; the map's order is Windows' enumeration
// order. A read by index starts from where the last one ended, so the walk
// index 0, 1, 2, ... costs one step per index instead of a walk from the first
// sub-key each time. Inserting and erasing keep that place true: a sub-key added
// or removed before it moves its index by one, and removing the sub-key it
// stands on moves it onto the next one, which now has that index.
class SubKeyMap {
 public:
  using Map = std::map<std::string, std::shared_ptr<RegKey>>;
  using const_iterator = Map::const_iterator;

  SubKeyMap() = default;
  // A copy starts without a place: the one it would copy points into the original.
  SubKeyMap(const SubKeyMap& other) : map_(other.map_) {}
  SubKeyMap& operator=(const SubKeyMap& other) {
    map_ = other.map_;
    cursorValid_ = false;
    return *this;
  }

  const_iterator begin() const { return map_.begin(); }
  const_iterator end() const { return map_.end(); }
  const_iterator find(const std::string& upper) const { return map_.find(upper); }
  const std::shared_ptr<RegKey>& at(const std::string& upper) const { return map_.at(upper); }
  size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }

  // The sub-key at `index` in enumeration order; end() past the last one.
  const_iterator AtIndex(size_t index) const;
  // Adds the sub-key, or replaces the one of that name.
  void Insert(const std::string& upper, std::shared_ptr<RegKey> key);
  // Removes the sub-key of that name; false when there is none.
  bool Erase(const std::string& upper);
  void Clear();

 private:
  Map map_;
  // Where the last read by index ended; meaningless while cursorValid_ is false.
  mutable const_iterator cursor_;
  mutable size_t cursorIndex_ = 0;
  mutable bool cursorValid_ = false;
};

struct RegKey {
  std::string name;
  RegKey* parent = nullptr;  // null for a root and for a deleted key
  SubKeyMap children;
  std::vector<RegValue> values;
  bool deleted = false;
  // A link to the control set that HKLM\SYSTEM\Select "Current" names.
  bool currentControlSetLink = false;
  // Any other link key: its target as a REG_LINK value names it
  // ("\Registry\Machine\System\CurrentControlSet"); empty for a plain key.
  // Only targets below HKEY_LOCAL_MACHINE are followed.
  std::string linkTarget;
  // The key's security descriptor as the security layer stores it (self-relative
  // bytes); empty when the key has the default descriptor.
  std::vector<uint8_t> security;
  uint64_t lastWriteTime = 0;
};
using KeyRef = std::shared_ptr<RegKey>;

// Upper-cases the letters a to z, the way key and value names are compared here.
std::string UpperName(std::string_view name);

class RegistryModel {
 public:
  // Longest key name component and value name, in characters.
  static constexpr size_t kMaxKeyNameLength = 255;
  static constexpr size_t kMaxValueNameLength = 16383;

  RegistryModel();

  // Windows 95/98/Me delete a key together with its sub-keys; the NT family refuses
  // to delete a key that has any. Set by the machine from its version.
  void SetDeletesWholeTrees(bool wholeTrees) { deletesWholeTrees_ = wholeTrees; }
  bool DeletesWholeTrees() const { return deletesWholeTrees_; }

  // --- Keys by handle, for the platform operations -----------------------------
  // The key a predefined root handle (HKEY_LOCAL_MACHINE ...) names; null otherwise.
  KeyRef PredefinedRoot(HKEY root) const;
  // Binds an open handle value to a key with the access it was opened with.
  void BindHandle(uintptr_t handle, const KeyRef& key, REGSAM access);
  // The key behind a root or an open handle; null for an unknown handle. *access
  // receives the access the handle grants (everything for a predefined root).
  KeyRef ResolveHandle(HKEY key, REGSAM* access) const;
  bool UnbindHandle(uintptr_t handle);
  size_t BoundHandleCount() const { return handles_.size(); }

  // --- Paths ---------------------------------------------------------------------
  // Walks a backslash-separated path below base, following links. ERROR_SUCCESS
  // and the key; ERROR_FILE_NOT_FOUND when a component is missing; ERROR_KEY_DELETED
  // when base is deleted; ERROR_BAD_PATHNAME for a path that starts with a backslash.
  LSTATUS Find(const KeyRef& base, std::string_view path, KeyRef* result) const;
  // As Find, creating the missing components. *created tells whether the last one
  // was made. ERROR_INVALID_PARAMETER for a component longer than kMaxKeyNameLength.
  LSTATUS Create(const KeyRef& base, std::string_view path, KeyRef* result, bool* created);
  // Deletes the key at path below base (the key itself for an empty path). The NT
  // family answers ERROR_ACCESS_DENIED for a key with sub-keys and for a root.
  LSTATUS Delete(const KeyRef& base, std::string_view path);
  // The key the link resolves to; the key itself when it is no link. Null when the
  // link's target is missing.
  KeyRef FollowLink(const KeyRef& key) const;

  // --- Values --------------------------------------------------------------------
  static const RegValue* FindValue(const RegKey& key, std::string_view name);
  // Replaces the data of an existing value in place or appends a new value.
  void WriteValue(RegKey& key, std::string_view name, uint32_t type, const uint8_t* data,
                  size_t size);
  static bool EraseValue(RegKey& key, std::string_view name);

  // --- Security hook -------------------------------------------------------------
  // Decides whether an open of key with the desired access is granted. The default
  // grants everything; the security layer installs its own check.
  using AccessCheck = std::function<LSTATUS(const RegKey& key, REGSAM desired)>;
  void SetAccessCheck(AccessCheck check) { accessCheck_ = std::move(check); }
  LSTATUS CheckAccess(const RegKey& key, REGSAM desired) const;
  // The security bytes a key created below `parent` starts with. The default
  // gives every new key the default descriptor (empty bytes).
  using Inheritance = std::function<std::vector<uint8_t>(const RegKey& parent)>;
  void SetInheritance(Inheritance inheritance) { inheritance_ = std::move(inheritance); }

  // --- Test API: roots by handle, paths without leading backslash -----------------
  bool CreateKey(HKEY root, std::string_view path);
  bool KeyExists(HKEY root, std::string_view path) const;
  // Creates the key when needed and writes the value.
  bool SetValue(HKEY root, std::string_view path, std::string_view name, uint32_t type,
                const std::vector<uint8_t>& data);
  // REG_SZ with its terminator, as the Windows tools write it.
  bool SetString(HKEY root, std::string_view path, std::string_view name, std::string_view text);
  bool SetDword(HKEY root, std::string_view path, std::string_view name, uint32_t value);
  // REG_MULTI_SZ: each string with its terminator, then the closing terminator.
  bool SetMultiString(HKEY root, std::string_view path, std::string_view name,
                      const std::vector<std::string>& strings);
  bool ValueExists(HKEY root, std::string_view path, std::string_view name) const;
  std::optional<RegValue> GetValue(HKEY root, std::string_view path, std::string_view name) const;
  // The data of a REG_SZ / REG_EXPAND_SZ up to its first terminator.
  std::optional<std::string> GetString(HKEY root, std::string_view path,
                                       std::string_view name) const;
  std::optional<uint32_t> GetDword(HKEY root, std::string_view path, std::string_view name) const;
  bool DeleteValue(HKEY root, std::string_view path, std::string_view name);
  // Deletes a key with everything below it, whatever the version.
  bool DeleteTree(HKEY root, std::string_view path);
  // Sub-key names of a key, in enumeration order; empty when the key is missing.
  std::vector<std::string> SubKeyNames(HKEY root, std::string_view path) const;
  std::vector<std::string> ValueNames(HKEY root, std::string_view path) const;
  // The key's security bytes; null when the key is missing.
  std::vector<uint8_t>* SecurityOf(HKEY root, std::string_view path);

  // Every key and value below the roots, one line each, in enumeration order:
  //   HKLM\SYSTEM\Select
  //   HKLM\SYSTEM\Select  "Current" = REG_DWORD 0x00000001
  // Link keys are listed but not followed, so a control set appears once. Two
  // snapshots compare equal exactly when the trees hold the same keys and values.
  std::vector<std::string> Snapshot() const;
  std::string SnapshotText() const;

 private:
  KeyRef Lookup(HKEY root, std::string_view path) const;
  KeyRef FollowTarget(const std::string& target) const;
  void DetachSubtree(RegKey& key);
  void Touch(RegKey& key);
  void DumpKey(const RegKey& key, const std::string& path, std::vector<std::string>* out) const;

  KeyRef localMachine_;
  KeyRef currentUser_;
  KeyRef users_;
  KeyRef classesRoot_;
  struct OpenKey {
    KeyRef key;
    REGSAM access;
  };
  std::map<uintptr_t, OpenKey> handles_;
  AccessCheck accessCheck_;
  Inheritance inheritance_;
  bool deletesWholeTrees_ = false;
  uint64_t clock_ = 0x01C0000000000000ull;
};

}  // namespace sim
