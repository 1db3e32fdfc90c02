// One line of a snapshot file, and the file as a whole.
//
// A snapshot file starts with the line "# trace snapshot 1"; further lines
// starting with '#' are notes for the reader (the trees and folders taken,
// roots that were missing). Every other line is one entry:
//
//   KIND <tab> PATH <tab> DETAIL
//
//   K  a registry key              HKLM\SYSTEM\Setup
//   L  a registry link key         HKLM\SYSTEM\ControlSet001    (DETAIL: the target)
//   V  a registry value            HKLM\SYSTEM\Setup|SystemSetupInProgress
//   D  a folder                    C:\windows\inf
//   F  a file                      C:\windows\inf\mdmgen.inf
//
// PATH is the key path with each name escaped (EscapeName) and the value name
// after a '|'; DETAIL is escaped data (EscapeData): for a readable key its
// security descriptor as SDDL, "sddl O:BAG:SYD:(A;CI;KA;;;BA)" ("sddl
// unreadable N" when the descriptor cannot be read, empty where keys have no
// security), after "incomplete N " when its values or sub-keys could not all
// be listed; "unreadable N" for a key or value that could not be read (N: the
// Windows error); the type and data of a value; size, hash and attributes of
// a file.
// Entries are sorted with PathLess, so that a key is followed by its values
// and then by its sub-keys.
#pragma once

#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

extern const char kSnapshotHeader[];

struct Entry {
  char kind = 'K';
  std::string path;
  std::string detail;
};

// Orders paths as a tree: ASCII letters compared without case, '|' before
// any other character and '\' right after it, so that a key comes first, then
// its values, then its sub-keys. Paths that differ only in case are ordered
// by their bytes, so the order is total.
struct PathLess {
  bool operator()(std::string_view a, std::string_view b) const;
};

using Snapshot = std::map<std::string, Entry, PathLess>;

bool IsEntryKind(char kind);
std::string FormatEntryLine(const Entry& entry);

// Parses one entry line. On failure returns false with a reason in *error.
bool ParseEntryLine(std::string_view line, Entry* entry, std::string* error);

// Reads a whole snapshot. On failure returns false with "line N: reason" in
// *error: a missing header, a malformed line, or a path given twice.
bool ReadSnapshot(std::istream& in, Snapshot* snapshot, std::string* error);

// Writes the header, the notes (one per line, each prefixed with "# ") and the
// entries in PathLess order.
void WriteSnapshot(std::ostream& out, const std::vector<std::string>& notes,
                   std::vector<Entry> entries);

}  // namespace trace
