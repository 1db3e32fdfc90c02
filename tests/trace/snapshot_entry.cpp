#include "tests/trace/snapshot_entry.h"

#include <algorithm>

#include "tests/trace/snapshot_escape.h"

namespace trace {

const char kSnapshotHeader[] = "# trace snapshot 1";

namespace {

// The rank of a byte in the tree order: the separators first, letters folded.
int OrderRank(unsigned char byte) {
  if (byte == '|') return 0;
  if (byte == '\\') return 1;
  if (byte >= 'a' && byte <= 'z') byte = static_cast<unsigned char>(byte - 'a' + 'A');
  return byte + 2;
}

bool LineError(size_t lineNumber, const std::string& reason, std::string* error) {
  *error = "line " + std::to_string(lineNumber) + ": " + reason;
  return false;
}

}  // namespace

bool PathLess::operator()(std::string_view a, std::string_view b) const {
  size_t common = std::min(a.size(), b.size());
  // Equal bytes rank equally: the ranks are compared from the first byte that differs.
  const char* aBytes = a.data();
  const char* bBytes = b.data();
  size_t same = 0;
  while (same < common && aBytes[same] == bBytes[same]) ++same;
  for (size_t i = same; i < common; ++i) {
    int left = OrderRank(static_cast<unsigned char>(a[i]));
    int right = OrderRank(static_cast<unsigned char>(b[i]));
    if (left != right) return left < right;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool IsEntryKind(char kind) {
  return kind == 'K' || kind == 'L' || kind == 'V' || kind == 'D' || kind == 'F';
}

std::string FormatEntryLine(const Entry& entry) {
  std::string line(1, entry.kind);
  line += '\t';
  line += entry.path;
  line += '\t';
  line += entry.detail;
  return line;
}

bool ParseEntryLine(std::string_view line, Entry* entry, std::string* error) {
  if (line.size() < 3 || line[1] != '\t' || !IsEntryKind(line[0])) {
    *error = "not an entry (KIND, tab, PATH, tab, DETAIL)";
    return false;
  }
  size_t tab = line.find('\t', 2);
  if (tab == std::string_view::npos) {
    *error = "no tab between path and detail";
    return false;
  }
  std::string_view path = line.substr(2, tab - 2);
  std::string_view detail = line.substr(tab + 1);
  std::string raw;
  if (path.empty() || !UnescapeBytes(path, &raw)) {
    *error = "empty or wrongly escaped path";
    return false;
  }
  if (!UnescapeBytes(detail, &raw)) {
    *error = "wrongly escaped detail";
    return false;
  }
  entry->kind = line[0];
  entry->path.assign(path);
  entry->detail.assign(detail);
  return true;
}

bool ReadSnapshot(std::istream& in, Snapshot* snapshot, std::string* error) {
  snapshot->clear();
  std::string line;
  size_t lineNumber = 0;
  bool read = static_cast<bool>(std::getline(in, line));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (!read || line != kSnapshotHeader) {
    return LineError(1, std::string("the file does not start with \"") + kSnapshotHeader + "\"",
                     error);
  }
  ++lineNumber;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    Entry entry;
    std::string reason;
    if (!ParseEntryLine(line, &entry, &reason)) return LineError(lineNumber, reason, error);
    std::string path = entry.path;
    if (!snapshot->emplace(std::move(path), std::move(entry)).second) {
      return LineError(lineNumber, "the path is listed twice", error);
    }
  }
  if (in.bad()) return LineError(lineNumber, "read error", error);
  return true;
}

void WriteSnapshot(std::ostream& out, const std::vector<std::string>& notes,
                   std::vector<Entry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return PathLess()(a.path, b.path); });
  out << kSnapshotHeader << '\n';
  for (const std::string& note : notes) out << "# " << note << '\n';
  for (const Entry& entry : entries) out << FormatEntryLine(entry) << '\n';
}

}  // namespace trace
