// Paths of a machine description: its registry trees and folders, and its
// entries found without regard to letter case, as Windows finds keys and
// files.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"
#include "preview/machine_input.h"

namespace preview {

// An escaped key path ("HKLM\SYSTEM\Setup") as a root and raw key names.
struct RegistryPath {
  HKEY root = nullptr;
  std::vector<std::string> names;
  bool known = false;  // the root is HKLM, HKCU or HKU
};
// False for another root (known stays false), for wrong escapes, and for a
// name that is empty or holds a backslash.
bool SplitRegistryPath(const std::string& path, RegistryPath* place);
// The parts of a path between its backslashes.
std::vector<std::string> PathNames(const std::string& path);
// The first `count` names joined with backslashes.
std::string JoinNames(const std::vector<std::string>& names, size_t count);
// An escaped file path to its raw text; false for wrong escapes.
bool UnescapePath(const std::string& path, std::string* raw);
// The path with ASCII letters in capitals: the same for every spelling.
std::string FoldedPath(const std::string& path);
// The parent key or folder of an entry's path ("HKLM\A|V" -> "HKLM\A",
// "C:\A\b.inf" -> "C:\A"); empty for a root.
std::string ParentPath(const std::string& path);
bool IsInfName(const std::string& path);

class InputIndex {
 public:
  explicit InputIndex(const MachineInput& input);

  // The input's spelling of a path given in any case; null when absent.
  const std::string* Find(const std::string& path) const;
  bool Has(const std::string& path) const { return Find(path) != nullptr; }

  // The registry trees the input holds: its keys and link keys whose parent
  // it does not hold, or holds only on the way to them (a root such as HKLM,
  // or a key without detail and values with this one sub-key, as a registry
  // export names the parents of its first key).
  const std::vector<std::string>& Trees() const { return trees_; }
  // The folders whose listing the input holds: every folder it lists with
  // files in it. (A folder listed only as the parent of another folder, as a
  // listing of C:\Windows\inf lists C:\Windows, keeps the image's files.)
  const std::vector<std::string>& Folders() const { return folders_; }
  // Whether a path lies in a tree or listed folder of the input (or is one).
  bool InScope(const std::string& path) const;

 private:
  std::unordered_map<std::string, std::string> spellings_;  // folded -> input's
  std::vector<std::string> trees_;
  std::vector<std::string> folders_;
};

// The Windows folder that holds the input's "inf" folder ("C:\WINNT"); empty
// when the input lists no such folder.
std::string FolderHoldingInf(const MachineInput& input);

}  // namespace preview
