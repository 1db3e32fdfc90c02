// The difference between two snapshots, entry by entry.
//
// Every entry is compared on its own: a key removed with its values and
// sub-keys gives one "removed" difference for the key and one for each value
// and sub-key below it. Listing each entry lets a rule explain part of a tree
// and not the rest, and keeps the report exact about what went.
#pragma once

#include <string>
#include <vector>

#include "tests/trace/snapshot_entry.h"

namespace trace {

enum class Change { kAdded, kRemoved, kChanged };

struct Difference {
  Change change = Change::kAdded;
  std::string path;
  // The entry before and after; kind 0 where it does not exist.
  char kindBefore = 0;
  char kindAfter = 0;
  std::string detailBefore;
  std::string detailAfter;
};

// The differences in PathLess order of their paths. An entry whose kind or
// detail differs is changed (a key that became a link, a value's new data,
// a key that became unreadable).
std::vector<Difference> DiffSnapshots(const Snapshot& before, const Snapshot& after);

const char* ChangeName(Change change);  // "added", "removed", "changed"
const char* KindName(char kind);        // "key", "link", "value", "folder", "file"

}  // namespace trace
