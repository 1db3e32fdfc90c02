// Takes the file part of a snapshot on Windows: one folder's entries, not
// recursive.
#pragma once

#include <string>
#include <vector>

#include "tests/trace/snapshot_entry.h"

namespace trace {

// Adds the folder itself (D), each sub-folder (D, with its attributes, not
// entered) and each file (F: size, content hash, attributes) to *entries. A
// missing folder adds a note; a file that cannot be read is recorded with its
// size and attributes and "unreadable N" in place of the hash.
void TakeFolder(const std::string& folder, std::vector<Entry>* entries,
                std::vector<std::string>* notes);

// The default folders: the Windows folder's inf, system, system32 (the
// system folder), system32\drivers, LastGood\INF and LastGood\SYSTEM32\DRIVERS.
// Empty when Windows does not say.
std::vector<std::string> DefaultFolders();

}  // namespace trace
