#include "platform/sim/file_system.h"

#include <cstdio>

#include "platform/sim/registry_model.h"

namespace sim {

namespace {

// Test holds are openers too; their ids never meet a handle value.
constexpr uintptr_t kHoldBase = uintptr_t(1) << (sizeof(uintptr_t) * 8 - 1);

constexpr uint32_t kReadRights = GENERIC_READ | 0x0001;             // FILE_READ_DATA
constexpr uint32_t kWriteRights = GENERIC_WRITE | 0x0002 | 0x0004;  // FILE_WRITE_DATA, APPEND
constexpr uint32_t kDeleteRights = DELETE;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasIllegalCharacter(std::string_view name) {
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
        c == '*') {
      return true;
    }
  }
  return false;
}

// DP over (mask position, name position), as FsRtlIsNameInExpression matches
// after kernel32 turned '?' into DOS_QM, "*." into DOS_STAR and ".?" / ".*" into
// DOS_DOT.
enum : char { kDosStar = '<', kDosQm = '>', kDosDot = '"' };

std::string DosExpression(std::string_view mask) {
  std::string expression;
  for (size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    char next = i + 1 < mask.size() ? mask[i + 1] : '\0';
    if (c == '?') {
      expression += kDosQm;
    } else if (c == '*' && next == '.') {
      expression += kDosStar;
    } else if (c == '.' && (next == '?' || next == '*')) {
      expression += kDosDot;
    } else {
      expression += c;
    }
  }
  return expression;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The characters an 8.3 name may hold besides letters and digits.
bool IsShortNameCharacter(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
    return true;
  }
  return std::string_view("$%'-_@~`!(){}^#&").find(c) != std::string_view::npos;
}

// Up to `limit` characters of a part of a long name as a short name holds them:
// spaces and dots dropped, the characters 8.3 names cannot hold replaced by '_',
// letters in upper case.
std::string ShortNamePart(std::string_view part, size_t limit) {
  std::string out;
  for (char c : part) {
    if (out.size() == limit) break;
    if (c == ' ' || c == '.') continue;
    out += IsShortNameCharacter(c) ? Upper(c) : '_';
  }
  return out;
}

}  // namespace

bool MatchesFileMask(std::string_view mask, std::string_view name) {
  if (mask == "*" || mask == "*.*") return true;
  std::string e = DosExpression(mask);
  const size_t en = e.size();
  const size_t nn = name.size();
  // match[i][j]: the expression from i matches the name from j.
  std::vector<std::vector<char>> match(en + 1, std::vector<char>(nn + 1, 0));
  match[en][nn] = 1;
  for (size_t i = en; i-- > 0;) {
    for (size_t j = nn + 1; j-- > 0;) {
      bool end = j == nn;
      char c = e[i];
      bool result = false;
      if (c == '*') {
        result = match[i + 1][j] || (!end && match[i][j + 1]);
      } else if (c == kDosStar) {
        bool canEat = !end && (name[j] != '.' || name.find('.', j + 1) != std::string_view::npos);
        result = match[i + 1][j] || (canEat && match[i][j + 1]);
      } else if (c == kDosQm) {
        result = (end || name[j] == '.') ? match[i + 1][j] : match[i + 1][j + 1];
      } else if (c == kDosDot) {
        result = end ? match[i + 1][j] : (name[j] == '.' && match[i + 1][j + 1]);
      } else {
        result = !end && Upper(c) == Upper(name[j]) && match[i + 1][j + 1];
      }
      match[i][j] = result;
    }
  }
  return match[0][0];
}

bool IsShortName(std::string_view name) {
  if (name.empty()) return false;
  if (name == "." || name == "..") return true;
  size_t dot = name.find('.');
  std::string_view base = name.substr(0, dot);
  std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (extension.find('.') != std::string_view::npos) return false;
  for (char c : name.substr(0, base.size())) {
    if (!IsShortNameCharacter(c)) return false;
  }
  for (char c : extension) {
    if (!IsShortNameCharacter(c)) return false;
  }
  return true;
}

std::string ShortNameFor(std::string_view name, const std::vector<std::string>& taken) {
  if (IsShortName(name)) return "";
  size_t lastDot = name.rfind('.');
  // A leading dot (".profile") starts no extension.
  if (lastDot == 0) lastDot = std::string_view::npos;
  std::string base = ShortNamePart(name.substr(0, lastDot), 6);
  std::string extension =
      lastDot == std::string_view::npos ? "" : ShortNamePart(name.substr(lastDot + 1), 3);
  if (base.empty()) base = "_";
  for (int number = 1;; ++number) {
    std::string tail = "~" + std::to_string(number);
    std::string candidate = base.substr(0, 8 - tail.size()) + tail;
    if (!extension.empty()) candidate += "." + extension;
    bool free = true;
    for (const std::string& other : taken) free = free && other != candidate;
    if (free) return candidate;
  }
}

FileSystem::FileSystem() {
  auto root = std::make_shared<FsNode>();
  root->name = "C:";
  root->directory = true;
  root->attributes = FILE_ATTRIBUTE_DIRECTORY;
  drives_['C'] = root;
  auto cd = std::make_shared<FsNode>(*root);
  cd->name = "D:";
  cd->attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
  drives_['D'] = cd;
}

void FileSystem::SetWindowsFolders(const std::string& windows, const std::string& system) {
  windowsDirectory_ = windows;
  systemDirectory_ = system;
}

FsRef FileSystem::Root(char drive) const {
  auto it = drives_.find(Upper(drive));
  return it == drives_.end() ? nullptr : it->second;
}

DWORD FileSystem::Normalize(std::string_view path, std::string* absolute) const {
  if (path.size() > MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  std::string full;
  if (path.size() >= 2 && path[1] == ':') {
    full = std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2));
  } else if (IsSeparator(path[0])) {
    full = currentDirectory_.substr(0, 2) + std::string(path);
  } else {
    full = currentDirectory_ + "\\" + std::string(path);
  }
  std::vector<std::string> parts;
  size_t start = 3;
  while (start <= full.size()) {
    size_t end = start;
    while (end < full.size() && !IsSeparator(full[end])) ++end;
    std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (part != "." && !part.empty()) {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
      if (part.empty()) return ERROR_INVALID_NAME;
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result = std::string(1, Upper(full[0])) + ":";
  for (const std::string& part : parts) result += "\\" + part;
  if (parts.empty()) result += "\\";
  *absolute = result;
  return ERROR_SUCCESS;
}

FsLookup FileSystem::Lookup(std::string_view path) const {
  FsLookup lookup;
  std::string absolute;
  lookup.error = Normalize(path, &absolute);
  if (lookup.error != ERROR_SUCCESS) return lookup;
  lookup.trailingSeparator = !path.empty() && IsSeparator(path.back()) && absolute.size() > 3;
  FsRef current = Root(absolute[0]);
  if (!current) {
    lookup.error = ERROR_PATH_NOT_FOUND;
    return lookup;
  }
  if (absolute.size() == 3) {  // "C:\"
    lookup.node = current;
    return lookup;
  }
  std::vector<std::string> parts;
  size_t start = 3;
  while (start <= absolute.size()) {
    size_t end = absolute.find('\\', start);
    if (end == std::string::npos) end = absolute.size();
    parts.push_back(absolute.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    FsRef next = Child(*current, parts[i]);
    if (!next || !next->directory) {
      lookup.error = ERROR_PATH_NOT_FOUND;
      return lookup;
    }
    current = next;
  }
  lookup.folder = current;
  lookup.name = parts.back();
  if (HasIllegalCharacter(lookup.name)) {
    lookup.error = ERROR_INVALID_NAME;
    return lookup;
  }
  lookup.node = Child(*current, lookup.name);
  return lookup;
}

FsRef FileSystem::Child(const FsNode& folder, std::string_view name) {
  auto it = folder.children.find(UpperName(name));
  if (it != folder.children.end()) return it->second;
  std::string upper = UpperName(name);
  for (const auto& [key, child] : folder.children) {
    if (!child->shortName.empty() && child->shortName == upper) return child;
  }
  return nullptr;
}

bool FileSystem::SharingAllows(const FsNode& node, uint32_t access, uint32_t share) {
  for (const auto& [id, other] : node.openers) {
    if ((access & kReadRights) && !(other.share & FILE_SHARE_READ)) return false;
    if ((access & kWriteRights) && !(other.share & FILE_SHARE_WRITE)) return false;
    if ((access & kDeleteRights) && !(other.share & FILE_SHARE_DELETE)) return false;
    if ((other.access & kReadRights) && !(share & FILE_SHARE_READ)) return false;
    if ((other.access & kWriteRights) && !(share & FILE_SHARE_WRITE)) return false;
    if ((other.access & kDeleteRights) && !(share & FILE_SHARE_DELETE)) return false;
  }
  return true;
}

FsRef FileSystem::AddChild(const FsRef& folder, const std::string& name, bool directory) {
  auto node = std::make_shared<FsNode>();
  node->name = name;
  node->directory = directory;
  node->attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  node->parent = folder.get();
  std::vector<std::string> taken;
  for (const auto& [key, child] : folder->children) {
    taken.push_back(child->shortName.empty() ? key : child->shortName);
  }
  node->shortName = ShortNameFor(name, taken);
  Touch(*node);
  folder->children[UpperName(name)] = node;
  Touch(*folder);
  return node;
}

void FileSystem::RemoveChild(FsNode& node) {
  if (!node.parent) return;
  FsNode* parent = node.parent;
  node.parent = nullptr;
  Touch(*parent);
  parent->children.erase(UpperName(node.name));  // may release the node itself
}

void FileSystem::BindFile(uintptr_t handle, const FsRef& node, uint32_t access, uint32_t share) {
  node->openers[handle] = FsNode::Opener{access, share};
  files_[handle] = FileHandle{node, access, 0};
}

FileSystem::FileHandle* FileSystem::File(uintptr_t handle) {
  auto it = files_.find(handle);
  return it == files_.end() ? nullptr : &it->second;
}

bool FileSystem::CloseFileHandle(uintptr_t handle) {
  auto it = files_.find(handle);
  if (it == files_.end()) return false;
  it->second.node->openers.erase(handle);
  files_.erase(it);
  return true;
}

FileSystem::Search* FileSystem::FindSearch(uintptr_t handle) {
  auto it = searches_.find(handle);
  return it == searches_.end() ? nullptr : &it->second;
}

// --- Test API ---------------------------------------------------------------------

FsRef FileSystem::Find(std::string_view path) const {
  FsLookup lookup = Lookup(path);
  return lookup.error == ERROR_SUCCESS ? lookup.node : nullptr;
}

bool FileSystem::CreateFolder(std::string_view path) {
  std::string absolute;
  if (Normalize(path, &absolute) != ERROR_SUCCESS) return false;
  FsRef current = Root(absolute[0]);
  if (!current) return false;
  size_t start = 3;
  while (start < absolute.size()) {
    size_t end = absolute.find('\\', start);
    if (end == std::string::npos) end = absolute.size();
    std::string part = absolute.substr(start, end - start);
    FsRef next = Child(*current, part);
    if (!next) {
      current = AddChild(current, part, true);
    } else if (!next->directory) {
      return false;
    } else {
      current = next;
    }
    start = end + 1;
  }
  return true;
}

bool FileSystem::WriteFile(std::string_view path, std::string_view contents, uint32_t attributes) {
  std::string absolute;
  if (Normalize(path, &absolute) != ERROR_SUCCESS) return false;
  size_t slash = absolute.rfind('\\');
  if (slash < 3 ? !CreateFolder(absolute.substr(0, 3)) : !CreateFolder(absolute.substr(0, slash))) {
    return false;
  }
  FsLookup lookup = Lookup(absolute);
  if (lookup.error != ERROR_SUCCESS || !lookup.folder) return false;
  FsRef node = lookup.node;
  if (node && node->directory) return false;
  if (!node) node = AddChild(lookup.folder, lookup.name, false);
  node->contents.assign(contents.begin(), contents.end());
  node->attributes = attributes & ~FILE_ATTRIBUTE_DIRECTORY;
  Touch(*node);
  return true;
}

std::optional<std::string> FileSystem::ReadFile(std::string_view path) const {
  FsRef node = Find(path);
  if (!node || node->directory) return std::nullopt;
  return std::string(node->contents.begin(), node->contents.end());
}

bool FileSystem::FileExists(std::string_view path) const {
  FsRef node = Find(path);
  return node && !node->directory;
}

bool FileSystem::FolderExists(std::string_view path) const {
  FsRef node = Find(path);
  return node && node->directory;
}

uint32_t FileSystem::Attributes(std::string_view path) const {
  FsRef node = Find(path);
  if (!node) return INVALID_FILE_ATTRIBUTES;
  return node->attributes ? node->attributes : FILE_ATTRIBUTE_NORMAL;
}

bool FileSystem::SetAttributes(std::string_view path, uint32_t attributes) {
  FsRef node = Find(path);
  if (!node) return false;
  uint32_t kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  node->attributes = kept | (node->directory ? FILE_ATTRIBUTE_DIRECTORY : 0);
  return true;
}

bool FileSystem::Remove(std::string_view path) {
  FsRef node = Find(path);
  if (!node || !node->parent) return false;
  RemoveChild(*node);
  return true;
}

bool FileSystem::HoldOpen(std::string_view path, uint32_t access, uint32_t share) {
  FsRef node = Find(path);
  if (!node || node->directory) return false;
  node->openers[kHoldBase + nextHoldId_++] = FsNode::Opener{access, share};
  return true;
}

bool FileSystem::ReleaseHold(std::string_view path) {
  FsRef node = Find(path);
  if (!node) return false;
  bool released = false;
  for (auto it = node->openers.begin(); it != node->openers.end();) {
    if (it->first >= kHoldBase) {
      it = node->openers.erase(it);
      released = true;
    } else {
      ++it;
    }
  }
  return released;
}

std::vector<std::string> FileSystem::List(std::string_view folder) const {
  std::vector<std::string> names;
  FsRef node = Find(folder);
  if (!node || !node->directory) return names;
  for (const auto& [upper, child] : node->children) names.push_back(child->name);
  return names;
}

void FileSystem::Dump(const FsNode& node, const std::string& path,
                      std::vector<std::string>* out) const {
  char line[64];
  for (const auto& [upper, child] : node.children) {
    std::string childPath = path + "\\" + child->name;
    if (child->directory) {
      std::snprintf(line, sizeof line, "  <DIR>  0x%02X", child->attributes);
      out->push_back(childPath + line);
      Dump(*child, childPath, out);
    } else {
      std::snprintf(line, sizeof line, "  %zu bytes  0x%02X", child->contents.size(),
                    child->attributes);
      out->push_back(childPath + line);
    }
  }
}

std::vector<std::string> FileSystem::Snapshot() const {
  std::vector<std::string> lines;
  for (const auto& [letter, root] : drives_) Dump(*root, root->name, &lines);
  return lines;
}

std::string FileSystem::SnapshotText() const {
  std::string text;
  for (const std::string& line : Snapshot()) text += line + "\n";
  return text;
}

}  // namespace sim
