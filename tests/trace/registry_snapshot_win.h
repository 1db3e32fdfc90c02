// Takes the registry part of a snapshot on Windows: every key, link key and
// value of a tree, as entries of snapshot_entry.h.
#pragma once

#include <string>
#include <vector>

#include "tests/trace/snapshot_entry.h"

namespace trace {

// Adds the tree at rootPath ("HKLM\SYSTEM", "HKEY_CURRENT_USER\Software", ...)
// to *entries. A link key is recorded with its target and not followed, the
// tree root included. A key that cannot be opened or listed is recorded as
// unreadable. A root that does not exist adds a note and no entry; a root
// path that names no registry root gives false.
bool TakeRegistryTree(const std::string& rootPath, std::vector<Entry>* entries,
                      std::vector<std::string>* notes);

// As TakeRegistryTree, but the key and its values only, none of its sub-keys.
bool TakeRegistryKey(const std::string& keyPath, std::vector<Entry>* entries,
                     std::vector<std::string>* notes);

// The trees an installation or a removal could change, and a canary set it
// must never touch: what trace_snapshot.exe takes by default.
std::vector<std::string> DefaultTrees();

}  // namespace trace
