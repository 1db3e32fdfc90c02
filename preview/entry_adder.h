// Adds a reader's entries to a machine description as Windows names things:
// registry keys and values, folders and files are found without regard to
// case, so an entry given again in another case ("SYSTEM" and "System") is
// the same entry, kept under the spelling it was first given (in this input
// or in an earlier one). The entries are staged and reach the description
// only through MergeInto, so a reader that fails leaves it as it was.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "preview/machine_input.h"

namespace preview {

class EntryAdder {
 public:
  explicit EntryAdder(const MachineInput& input);
  EntryAdder(const EntryAdder&) = delete;
  EntryAdder& operator=(const EntryAdder&) = delete;

  // The path `path` is kept under (its first spelling), and the entry there
  // or null when there is none yet.
  const trace::Entry* Find(const std::string& path, std::string* kept);
  // Adds or replaces the entry at a path that Find gave.
  void Set(trace::Entry entry);
  // Drops the staged entries below a key path that Find gave (its values
  // and sub-keys); returns how many.
  size_t DropBelow(const std::string& kept);
  // Adds the staged entries, in the order they were first staged: a reader
  // stages a key before its values and its sub-keys, which is the order of
  // the description, so each one goes in right after the one before.
  void MergeInto(MachineInput* input);

 private:
  static constexpr size_t kNotStaged = size_t(-1);
  static constexpr char kDropped = '\0';  // the kind of a dropped entry
  struct Known {
    std::string kept;
    const trace::Entry* existing = nullptr;  // in the description already
    size_t staged = kNotStaged;              // index in staged_
  };

  std::unordered_map<std::string, Known> known_;  // by SpellingKey
  std::vector<trace::Entry> staged_;
  Known* last_ = nullptr;  // what Find gave last, which Set fills
};

// An escaped path with its letters folded to one case (ASCII and the letters
// of the input code page), as the key under which spellings are compared.
std::string SpellingKey(const std::string& escapedPath);

}  // namespace preview
