#include "preview/input_paths.h"

#include <set>

#include "platform/sim/registry_model.h"
#include "tests/trace/snapshot_escape.h"

namespace preview {
namespace {

struct RootName {
  const char* name;
  HKEY key;
};
const RootName kRoots[] = {
    {"HKLM", HKEY_LOCAL_MACHINE}, {"HKCU", HKEY_CURRENT_USER}, {"HKU", HKEY_USERS}};

bool UnescapeName(const std::string& escaped, std::string* raw) {
  return !escaped.empty() && trace::UnescapeBytes(escaped, raw) && !raw->empty() &&
         raw->find('\\') == std::string::npos;
}

}  // namespace

std::vector<std::string> PathNames(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool SplitRegistryPath(const std::string& path, RegistryPath* place) {
  std::vector<std::string> parts = PathNames(path);
  place->known = false;
  place->names.clear();
  for (const RootName& root : kRoots) {
    if (sim::UpperName(parts[0]) == root.name) {
      place->root = root.key;
      place->known = true;
    }
  }
  if (!place->known) return false;
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string raw;
    if (!UnescapeName(parts[i], &raw) || raw.size() > sim::RegistryModel::kMaxKeyNameLength) {
      return false;
    }
    place->names.push_back(std::move(raw));
  }
  return true;
}

std::string JoinNames(const std::vector<std::string>& names, size_t count) {
  std::string joined;
  for (size_t i = 0; i < count && i < names.size(); ++i) {
    if (i > 0) joined += '\\';
    joined += names[i];
  }
  return joined;
}

bool UnescapePath(const std::string& path, std::string* raw) {
  raw->clear();
  std::vector<std::string> parts = PathNames(path);
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string name;
    if (!UnescapeName(parts[i], &name) || name.find('/') != std::string::npos) return false;
    if (i > 0) *raw += '\\';
    *raw += name;
  }
  return true;
}

std::string FoldedPath(const std::string& path) { return sim::UpperName(path); }

std::string ParentPath(const std::string& path) {
  size_t bar = path.find('|');
  if (bar != std::string::npos) return path.substr(0, bar);
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool IsInfName(const std::string& path) {
  return path.size() > 4 && FoldedPath(path.substr(path.size() - 4)) == ".INF";
}

InputIndex::InputIndex(const MachineInput& input) {
  spellings_.reserve(input.entries.size());
  for (const auto& [path, entry] : input.entries) spellings_.emplace(FoldedPath(path), path);
  std::set<std::string> foldersWithFiles;
  for (const auto& [path, entry] : input.entries) {
    if (entry.kind == 'F') foldersWithFiles.insert(FoldedPath(ParentPath(path)));
  }
  // Keys by their sub-key count, and the keys with values.
  std::unordered_map<std::string, size_t> subKeys;
  std::set<std::string> withValues;
  for (const auto& [path, entry] : input.entries) {
    if (entry.kind == 'K' || entry.kind == 'L') ++subKeys[FoldedPath(ParentPath(path))];
    if (entry.kind == 'V') withValues.insert(FoldedPath(ParentPath(path)));
  }
  // A key that is only on the way to a tree (a root, or a key with no detail,
  // no values and one sub-key: an export names its keys' parents so) holds
  // no tree of its own; the tree starts below it. Parents come first.
  std::set<std::string> onTheWay;
  for (const auto& [path, entry] : input.entries) {
    if (entry.kind != 'K' && entry.kind != 'L') continue;
    std::string folded = FoldedPath(path);
    std::string parent = ParentPath(folded);
    bool parentOnTheWay = !Has(parent) || onTheWay.count(parent);
    if (!parentOnTheWay) continue;
    bool bare = entry.kind == 'K' && entry.detail.empty() && !withValues.count(folded) &&
                subKeys[folded] == 1;
    if (parent.empty() || bare) {
      onTheWay.insert(folded);
    } else {
      trees_.push_back(path);
    }
  }
  for (const auto& [path, entry] : input.entries) {
    if (entry.kind == 'D' && foldersWithFiles.count(FoldedPath(path))) {
      folders_.push_back(path);
    }
  }
}

const std::string* InputIndex::Find(const std::string& path) const {
  auto it = spellings_.find(FoldedPath(path));
  return it == spellings_.end() ? nullptr : &it->second;
}

bool InputIndex::InScope(const std::string& path) const {
  if (Has(path)) return true;
  std::string folded = FoldedPath(path);
  auto below = [&folded](const std::string& top) {
    std::string prefix = FoldedPath(top);
    return folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0 &&
           (folded[prefix.size()] == '\\' || folded[prefix.size()] == '|');
  };
  for (const std::string& tree : trees_) {
    if (below(tree)) return true;
  }
  // A folder's listing covers its own entries only.
  std::string parent = ParentPath(path);
  for (const std::string& folder : folders_) {
    if (FoldedPath(folder) == FoldedPath(parent)) return true;
  }
  return false;
}

std::string FolderHoldingInf(const MachineInput& input) {
  for (const auto& [path, entry] : input.entries) {
    if (entry.kind != 'D') continue;
    std::vector<std::string> parts = PathNames(path);
    if (parts.size() == 3 && parts[0].size() == 2 && parts[0][1] == ':' &&
        FoldedPath(parts[2]) == "INF") {
      std::string raw;
      if (UnescapePath(parts[0] + '\\' + parts[1], &raw)) return raw;
    }
  }
  return "";
}

}  // namespace preview
