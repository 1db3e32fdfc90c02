#include "tests/trace/snapshot_diff.h"

namespace trace {
namespace {

Difference Added(const Entry& entry) {
  Difference difference;
  difference.change = Change::kAdded;
  difference.path = entry.path;
  difference.kindAfter = entry.kind;
  difference.detailAfter = entry.detail;
  return difference;
}

Difference Removed(const Entry& entry) {
  Difference difference;
  difference.change = Change::kRemoved;
  difference.path = entry.path;
  difference.kindBefore = entry.kind;
  difference.detailBefore = entry.detail;
  return difference;
}

}  // namespace

std::vector<Difference> DiffSnapshots(const Snapshot& before, const Snapshot& after) {
  std::vector<Difference> differences;
  PathLess less;
  auto left = before.begin();
  auto right = after.begin();
  while (left != before.end() || right != after.end()) {
    if (right == after.end() || (left != before.end() && less(left->first, right->first))) {
      differences.push_back(Removed(left->second));
      ++left;
    } else if (left == before.end() || less(right->first, left->first)) {
      differences.push_back(Added(right->second));
      ++right;
    } else {
      const Entry& was = left->second;
      const Entry& is = right->second;
      if (was.kind != is.kind || was.detail != is.detail) {
        Difference difference = Removed(was);
        difference.change = Change::kChanged;
        difference.kindAfter = is.kind;
        difference.detailAfter = is.detail;
        differences.push_back(std::move(difference));
      }
      ++left;
      ++right;
    }
  }
  return differences;
}

const char* ChangeName(Change change) {
  switch (change) {
    case Change::kAdded:
      return "added";
    case Change::kRemoved:
      return "removed";
    case Change::kChanged:
      return "changed";
  }
  return "?";
}

const char* KindName(char kind) {
  switch (kind) {
    case 'K':
      return "key";
    case 'L':
      return "link";
    case 'V':
      return "value";
    case 'D':
      return "folder";
    case 'F':
      return "file";
    default:
      return "?";
  }
}

}  // namespace trace
