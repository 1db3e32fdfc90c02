#include "preview/read_input.h"

#include <fstream>
#include <sstream>

#include "preview/folder_listing_reader.h"
#include "preview/registry_export_reader.h"
#include "tests/trace/snapshot_entry.h"

namespace preview {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A snapshot's entries join the description; a path it gives again (in any
// case) keeps the first input's entry, as one machine has one entry there.
bool ReadSnapshotBytes(std::string_view bytes, MachineInput* input, std::string* error) {
  std::istringstream in{std::string(bytes)};
  trace::Snapshot snapshot;
  if (!trace::ReadSnapshot(in, &snapshot, error)) return false;
  for (auto& [path, entry] : snapshot) input->entries.emplace(path, std::move(entry));
  // "# missing ROOT\PATH": a tree or folder the machine did not have.
  std::istringstream notes{std::string(bytes)};
  for (std::string line; std::getline(notes, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (StartsWith(line, "# missing "))
      input->notes.push_back("missing on the machine: " + line.substr(10));
  }
  return true;
}

}  // namespace

bool ReadInputBytes(std::string_view bytes, MachineInput* input, std::string* error) {
  if (bytes.empty()) {
    *error = "the file is empty";
    return false;
  }
  if (StartsWith(bytes, trace::kSnapshotHeader)) return ReadSnapshotBytes(bytes, input, error);
  if (LooksLikeRegistryExport(bytes)) return ReadRegistryExport(bytes, input, error);
  if (LooksLikeFolderListing(bytes)) return ReadFolderListing(bytes, input, error);
  *error =
      "not a snapshot (\"# trace snapshot 1\"), a registry export or a folder listing (full "
      "paths)";
  return false;
}

bool ReadInputFile(const std::string& path, MachineInput* input, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read";
    return false;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) {
    *error = path + ": read error";
    return false;
  }
  std::string reason;
  if (!ReadInputBytes(bytes.str(), input, &reason)) {
    *error = path + ": " + reason;
    return false;
  }
  return true;
}

}  // namespace preview
