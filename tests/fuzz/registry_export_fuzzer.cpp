// Fuzzer of the removal preview's input readers: the registry export reader
// and the folder listing reader. The first byte picks the reader and whether
// the description holds entries of an earlier input already; the rest is the
// file. Checked:
//   - a refusal says "line N: ..." and leaves the description as it was;
//   - an accepted file gives well-formed entries: each writes and parses
//     back as a snapshot line, registry paths start with a root, every
//     value's key and every key's or link's parent is a key there (up to
//     the root; nothing lies below a link), every
//     file's and folder's folder is there (down to the drive), and no two
//     paths differ only in case (Windows would see one entry).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "preview/entry_adder.h"
#include "preview/folder_listing_reader.h"
#include "preview/registry_export_reader.h"
#include "tests/trace/snapshot_entry.h"

namespace {

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}

bool IsRegistryRoot(std::string_view path) {
  for (std::string_view root : {"HKLM", "HKCU", "HKU", "HKCR", "HKCC"}) {
    if (path == root) return true;
  }
  return false;
}

// The path an entry hangs from: a value's key, a key's or file's parent;
// empty for a registry root and for a drive's own children ("C:\x").
std::string Parent(const trace::Entry& entry) {
  if (entry.kind == 'V') return entry.path.substr(0, entry.path.find('|'));
  size_t slash = entry.path.rfind('\\');
  if (slash == std::string::npos) return "";
  std::string parent = entry.path.substr(0, slash);
  if (entry.kind == 'F' || entry.kind == 'D') return parent.size() == 2 ? "" : parent;
  return parent;
}

void CheckWellFormed(const preview::MachineInput& input) {
  std::set<std::string> folded;
  for (const auto& [path, entry] : input.entries) {
    trace::Entry parsed;
    std::string reason;
    if (path != entry.path || !trace::ParseEntryLine(trace::FormatEntryLine(entry), &parsed, &reason)) {
      Fail("an entry that is no snapshot line", trace::FormatEntryLine(entry) + " " + reason);
    }
    bool registry = entry.kind == 'K' || entry.kind == 'V' || entry.kind == 'L';
    if (registry && !IsRegistryRoot(path.substr(0, path.find_first_of("\\|")))) {
      Fail("a registry path without a root", path);
    }
    std::string parent = Parent(entry);
    if (entry.kind == 'K' && parent.empty() && !IsRegistryRoot(path)) Fail("a key without a root", path);
    // A link's copy is never read below it: a parent is a key, not a link.
    char parentKind = registry ? 'K' : 'D';
    auto found = input.entries.find(parent);
    if (!parent.empty() && (found == input.entries.end() || found->second.kind != parentKind)) {
      Fail("an entry whose parent is missing", path);
    }
    if (!folded.insert(preview::SpellingKey(path)).second) Fail("two spellings of one path", path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool listing = data[0] & 1;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  preview::MachineInput input;
  if (data[0] & 2) {
    // What an earlier snapshot could have said, in another case.
    input.entries["HKLM"] = {'K', "HKLM", ""};
    input.entries["HKLM\\system"] = {'K', "HKLM\\system", "sddl O:BA"};
    input.entries["C:\\windows"] = {'D', "C:\\windows", "attr=0x00000010"};
    input.entries["C:\\windows\\inf"] = {'D', "C:\\windows\\inf", "attr=0x00000010"};
  }
  const preview::MachineInput before = input;
  std::string error;
  bool read = listing ? preview::ReadFolderListing(bytes, &input, &error)
                      : preview::ReadRegistryExport(bytes, &input, &error);
  if (read) {
    CheckWellFormed(input);
    return 0;
  }
  if (error.rfind("line ", 0) != 0) Fail("an error that names no line", error);
  if (input.entries.size() != before.entries.size() || input.notes != before.notes) {
    Fail("a refusal that changed the description", error);
  }
  return 0;
}
