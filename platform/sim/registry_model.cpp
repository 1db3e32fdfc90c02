#include "platform/sim/registry_model.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "platform/sim/key_security.h"

namespace sim {

namespace {

// The user whose hive HKEY_CURRENT_USER is; HKEY_USERS lists it beside .DEFAULT.
const char kUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-1003";

KeyRef NewKey(std::string_view name, RegKey* parent) {
  auto key = std::make_shared<RegKey>();
  key->name = std::string(name);
  key->parent = parent;
  return key;
}

// Splits a path at backslashes, skipping empty components (a trailing backslash).
std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

const char* TypeName(uint32_t type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
      return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK:
      return "REG_LINK";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_QWORD:
      return "REG_QWORD";
  }
  return "REG_TYPE";
}

// Text types as quoted text with every byte outside printable ASCII escaped, so
// that a missing or extra terminator shows; the rest as hex bytes.
std::string RenderData(const RegValue& value) {
  char buffer[8];
  std::string text;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
    text = "\"";
    for (uint8_t byte : value.data) {
      if (byte == 0) {
        text += "\\0";
      } else if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\') {
        std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
        text += buffer;
      } else {
        text += static_cast<char>(byte);
      }
    }
    return text + "\"";
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                      static_cast<uint32_t>(value.data[3]) << 24;
    char dword[16];
    std::snprintf(dword, sizeof dword, "0x%08X", number);
    return dword;
  }
  text = "hex:";
  for (size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i ? ",%02X" : "%02X", value.data[i]);
    text += buffer;
  }
  return text;
}

}  // namespace

// --- Sub-keys -----------------------------------------------------------------------

SubKeyMap::const_iterator SubKeyMap::AtIndex(size_t index) const {
  if (index >= map_.size()) return map_.end();
  // Start from whichever known place is nearest: the first sub-key, the end, or
  // the place the last read by index ended.
  size_t fromBegin = index;
  size_t fromEnd = map_.size() - index;
  size_t fromCursor = SIZE_MAX;
  if (cursorValid_) {
    fromCursor = index >= cursorIndex_ ? index - cursorIndex_ : cursorIndex_ - index;
  }
  const_iterator at;
  if (fromCursor <= std::min(fromBegin, fromEnd)) {
    at = index >= cursorIndex_ ? std::next(cursor_, static_cast<ptrdiff_t>(fromCursor))
                               : std::prev(cursor_, static_cast<ptrdiff_t>(fromCursor));
  } else if (fromBegin <= fromEnd) {
    at = std::next(map_.begin(), static_cast<ptrdiff_t>(fromBegin));
  } else {
    at = std::prev(map_.end(), static_cast<ptrdiff_t>(fromEnd));
  }
  cursor_ = at;
  cursorIndex_ = index;
  cursorValid_ = true;
  return at;
}

void SubKeyMap::Insert(const std::string& upper, std::shared_ptr<RegKey> key) {
  auto [it, inserted] = map_.insert_or_assign(upper, std::move(key));
  if (inserted && cursorValid_ && it->first < cursor_->first) ++cursorIndex_;
}

bool SubKeyMap::Erase(const std::string& upper) {
  auto it = map_.find(upper);
  if (it == map_.end()) return false;
  if (cursorValid_) {
    if (it == cursor_) {
      // The next sub-key moves into the index; past the last one there is none.
      cursor_ = std::next(cursor_);
      cursorValid_ = cursor_ != map_.end();
    } else if (it->first < cursor_->first) {
      --cursorIndex_;
    }
  }
  map_.erase(it);
  return true;
}

void SubKeyMap::Clear() {
  cursorValid_ = false;
  map_.clear();
}

// --- Names ------------------------------------------------------------------------

std::string UpperName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

RegistryModel::RegistryModel() {
  localMachine_ = NewKey("HKEY_LOCAL_MACHINE", nullptr);
  users_ = NewKey("HKEY_USERS", nullptr);
  users_->children.Insert(".DEFAULT", NewKey(".DEFAULT", users_.get()));
  currentUser_ = NewKey(kUserSid, users_.get());
  users_->children.Insert(UpperName(kUserSid), currentUser_);
  bool created = false;
  Create(localMachine_, "SOFTWARE\\Classes", &classesRoot_, &created);
}

// --- Handles ----------------------------------------------------------------------

KeyRef RegistryModel::PredefinedRoot(HKEY root) const {
  if (root == HKEY_LOCAL_MACHINE) return localMachine_;
  if (root == HKEY_CURRENT_USER) return currentUser_;
  if (root == HKEY_USERS) return users_;
  if (root == HKEY_CLASSES_ROOT) return classesRoot_;
  return nullptr;
}

void RegistryModel::BindHandle(uintptr_t handle, const KeyRef& key, REGSAM access) {
  handles_[handle] = OpenKey{key, access};
}

KeyRef RegistryModel::ResolveHandle(HKEY key, REGSAM* access) const {
  if (KeyRef root = PredefinedRoot(key)) {
    if (access) *access = KEY_ALL_ACCESS;
    return root;
  }
  auto it = handles_.find(reinterpret_cast<uintptr_t>(key));
  if (it == handles_.end()) return nullptr;
  if (access) *access = it->second.access;
  return it->second.key;
}

bool RegistryModel::UnbindHandle(uintptr_t handle) { return handles_.erase(handle) == 1; }

// --- Paths ------------------------------------------------------------------------

KeyRef RegistryModel::FollowLink(const KeyRef& key) const {
  if (key && !key->linkTarget.empty()) return FollowTarget(key->linkTarget);
  if (!key || !key->currentControlSetLink) return key;
  RegKey* system = key->parent;
  if (!system) return nullptr;
  auto select = system->children.find("SELECT");
  if (select == system->children.end()) return nullptr;
  const RegValue* current = FindValue(*select->second, "Current");
  if (!current || current->type != REG_DWORD || current->data.size() != 4) return nullptr;
  uint32_t number = current->data[0] | current->data[1] << 8 | current->data[2] << 16 |
                    static_cast<uint32_t>(current->data[3]) << 24;
  char name[32];
  std::snprintf(name, sizeof name, "CONTROLSET%03u", number);
  auto target = system->children.find(name);
  return target == system->children.end() ? nullptr : target->second;
}

// A link's target path, walked from HKEY_LOCAL_MACHINE; the control set link
// is followed on the way, another link key is not (so links cannot loop).
KeyRef RegistryModel::FollowTarget(const std::string& target) const {
  const std::string_view kMachine = "\\REGISTRY\\MACHINE\\";
  std::string upper = UpperName(target);
  if (upper.compare(0, kMachine.size(), kMachine) != 0) return nullptr;
  KeyRef current = localMachine_;
  for (std::string_view part : SplitPath(std::string_view(target).substr(kMachine.size()))) {
    auto it = current->children.find(UpperName(part));
    if (it == current->children.end() || !it->second->linkTarget.empty()) return nullptr;
    current = it->second;
    if (current->currentControlSetLink) current = FollowLink(current);
    if (!current) return nullptr;
  }
  return current;
}

LSTATUS RegistryModel::Find(const KeyRef& base, std::string_view path, KeyRef* result) const {
  *result = nullptr;
  if (!base || base->deleted) return ERROR_KEY_DELETED;
  if (!path.empty() && path[0] == '\\') return ERROR_BAD_PATHNAME;
  KeyRef current = FollowLink(base);
  for (std::string_view part : SplitPath(path)) {
    if (!current) return ERROR_FILE_NOT_FOUND;
    auto it = current->children.find(UpperName(part));
    if (it == current->children.end()) return ERROR_FILE_NOT_FOUND;
    current = FollowLink(it->second);
  }
  if (!current) return ERROR_FILE_NOT_FOUND;
  *result = current;
  return ERROR_SUCCESS;
}

LSTATUS RegistryModel::Create(const KeyRef& base, std::string_view path, KeyRef* result,
                              bool* created) {
  *result = nullptr;
  *created = false;
  if (!base || base->deleted) return ERROR_KEY_DELETED;
  if (!path.empty() && path[0] == '\\') return ERROR_BAD_PATHNAME;
  std::vector<std::string_view> parts = SplitPath(path);
  for (std::string_view part : parts) {
    if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
  }
  KeyRef current = FollowLink(base);
  for (std::string_view part : parts) {
    if (!current) return ERROR_FILE_NOT_FOUND;
    std::string upper = UpperName(part);
    auto it = current->children.find(upper);
    if (it != current->children.end()) {
      current = FollowLink(it->second);
      *created = false;
      continue;
    }
    KeyRef child = NewKey(part, current.get());
    if (inheritance_) child->security = inheritance_(*current);
    Touch(*child);
    current->children.Insert(upper, child);
    Touch(*current);
    current = child;
    *created = true;
  }
  if (!current) return ERROR_FILE_NOT_FOUND;
  *result = current;
  return ERROR_SUCCESS;
}

LSTATUS RegistryModel::Delete(const KeyRef& base, std::string_view path) {
  KeyRef target;
  LSTATUS status = Find(base, path, &target);
  if (status != ERROR_SUCCESS) return status;
  if (!target->parent || target == currentUser_ || target == classesRoot_) {
    return ERROR_ACCESS_DENIED;
  }
  if (!deletesWholeTrees_ && !target->children.empty()) return ERROR_ACCESS_DENIED;
  status = CheckAccess(*target, DELETE);
  if (status != ERROR_SUCCESS) return status;
  RegKey* parent = target->parent;
  parent->children.Erase(UpperName(target->name));
  Touch(*parent);
  DetachSubtree(*target);
  return ERROR_SUCCESS;
}

void RegistryModel::DetachSubtree(RegKey& key) {
  key.deleted = true;
  key.parent = nullptr;
  for (auto& [upper, child] : key.children) {
    // A link names a key elsewhere; only its own object goes.
    DetachSubtree(*child);
  }
  key.children.Clear();
}

void RegistryModel::Touch(RegKey& key) { key.lastWriteTime = ++clock_; }

// --- Values -----------------------------------------------------------------------

const RegValue* RegistryModel::FindValue(const RegKey& key, std::string_view name) {
  std::string upper = UpperName(name);
  for (const RegValue& value : key.values) {
    if (UpperName(value.name) == upper) return &value;
  }
  return nullptr;
}

void RegistryModel::WriteValue(RegKey& key, std::string_view name, uint32_t type,
                               const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  Touch(key);
  std::string upper = UpperName(name);
  for (RegValue& value : key.values) {
    if (UpperName(value.name) == upper) {
      value.type = type;
      value.data = std::move(bytes);
      return;
    }
  }
  key.values.push_back(RegValue{std::string(name), type, std::move(bytes)});
}

bool RegistryModel::EraseValue(RegKey& key, std::string_view name) {
  std::string upper = UpperName(name);
  for (auto it = key.values.begin(); it != key.values.end(); ++it) {
    if (UpperName(it->name) == upper) {
      key.values.erase(it);
      return true;
    }
  }
  return false;
}

LSTATUS RegistryModel::CheckAccess(const RegKey& key, REGSAM desired) const {
  return accessCheck_ ? accessCheck_(key, desired) : ERROR_SUCCESS;
}

// --- Test API ---------------------------------------------------------------------

KeyRef RegistryModel::Lookup(HKEY root, std::string_view path) const {
  KeyRef key;
  Find(PredefinedRoot(root), path, &key);
  return key;
}

bool RegistryModel::CreateKey(HKEY root, std::string_view path) {
  KeyRef key;
  bool created = false;
  return Create(PredefinedRoot(root), path, &key, &created) == ERROR_SUCCESS;
}

bool RegistryModel::KeyExists(HKEY root, std::string_view path) const {
  return Lookup(root, path) != nullptr;
}

bool RegistryModel::SetValue(HKEY root, std::string_view path, std::string_view name, uint32_t type,
                             const std::vector<uint8_t>& data) {
  KeyRef key;
  bool created = false;
  if (Create(PredefinedRoot(root), path, &key, &created) != ERROR_SUCCESS) return false;
  WriteValue(*key, name, type, data.data(), data.size());
  return true;
}

bool RegistryModel::SetString(HKEY root, std::string_view path, std::string_view name,
                              std::string_view text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return SetValue(root, path, name, REG_SZ, data);
}

bool RegistryModel::SetDword(HKEY root, std::string_view path, std::string_view name,
                             uint32_t value) {
  return SetValue(root, path, name, REG_DWORD,
                  {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                   static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
}

bool RegistryModel::SetMultiString(HKEY root, std::string_view path, std::string_view name,
                                   const std::vector<std::string>& strings) {
  std::vector<uint8_t> data;
  for (const std::string& text : strings) {
    data.insert(data.end(), text.begin(), text.end());
    data.push_back(0);
  }
  data.push_back(0);
  return SetValue(root, path, name, REG_MULTI_SZ, data);
}

bool RegistryModel::ValueExists(HKEY root, std::string_view path, std::string_view name) const {
  KeyRef key = Lookup(root, path);
  return key && FindValue(*key, name) != nullptr;
}

std::optional<RegValue> RegistryModel::GetValue(HKEY root, std::string_view path,
                                                std::string_view name) const {
  KeyRef key = Lookup(root, path);
  const RegValue* value = key ? FindValue(*key, name) : nullptr;
  if (!value) return std::nullopt;
  return *value;
}

std::optional<std::string> RegistryModel::GetString(HKEY root, std::string_view path,
                                                    std::string_view name) const {
  std::optional<RegValue> value = GetValue(root, path, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

std::optional<uint32_t> RegistryModel::GetDword(HKEY root, std::string_view path,
                                                std::string_view name) const {
  std::optional<RegValue> value = GetValue(root, path, name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  const std::vector<uint8_t>& d = value->data;
  return d[0] | d[1] << 8 | d[2] << 16 | static_cast<uint32_t>(d[3]) << 24;
}

bool RegistryModel::DeleteValue(HKEY root, std::string_view path, std::string_view name) {
  KeyRef key = Lookup(root, path);
  return key && EraseValue(*key, name);
}

bool RegistryModel::DeleteTree(HKEY root, std::string_view path) {
  KeyRef key = Lookup(root, path);
  if (!key || !key->parent) return false;
  key->parent->children.Erase(UpperName(key->name));
  DetachSubtree(*key);
  return true;
}

std::vector<std::string> RegistryModel::SubKeyNames(HKEY root, std::string_view path) const {
  std::vector<std::string> names;
  if (KeyRef key = Lookup(root, path)) {
    for (const auto& [upper, child] : key->children) names.push_back(child->name);
  }
  return names;
}

std::vector<std::string> RegistryModel::ValueNames(HKEY root, std::string_view path) const {
  std::vector<std::string> names;
  if (KeyRef key = Lookup(root, path)) {
    for (const RegValue& value : key->values) names.push_back(value.name);
  }
  return names;
}

std::vector<uint8_t>* RegistryModel::SecurityOf(HKEY root, std::string_view path) {
  KeyRef key = Lookup(root, path);
  return key ? &key->security : nullptr;
}

void RegistryModel::DumpKey(const RegKey& key, const std::string& path,
                            std::vector<std::string>* out) const {
  if (!key.linkTarget.empty()) {
    out->push_back(path + "  -> " + key.linkTarget);
    return;
  }
  out->push_back(key.currentControlSetLink ? path + "  -> (CurrentControlSet link)" : path);
  if (key.currentControlSetLink) return;
  // A key with a descriptor of its own shows it, so that a changed DACL shows.
  if (!key.security.empty()) {
    out->push_back(path + "  (security) " + DescribeSecurity(SecurityOfKey(key)));
  }
  for (const RegValue& value : key.values) {
    out->push_back(path + "  \"" + value.name + "\" = " + TypeName(value.type) + " " +
                   RenderData(value));
  }
  for (const auto& [upper, child] : key.children) {
    // HKU lists the current user's hive, which HKCU already shows.
    if (child == currentUser_ && &key == users_.get()) {
      out->push_back(path + "\\" + child->name + "  -> (HKCU)");
      continue;
    }
    DumpKey(*child, path + "\\" + child->name, out);
  }
}

std::vector<std::string> RegistryModel::Snapshot() const {
  std::vector<std::string> lines;
  DumpKey(*localMachine_, "HKLM", &lines);
  DumpKey(*currentUser_, "HKCU", &lines);
  DumpKey(*users_, "HKU", &lines);
  return lines;
}

std::string RegistryModel::SnapshotText() const {
  std::string text;
  for (const std::string& line : Snapshot()) text += line + "\n";
  return text;
}

}  // namespace sim
