#include "preview/entry_adder.h"

#include <array>

#include "platform/sim/code_pages.h"
#include "preview/input_text.h"

namespace preview {
namespace {

// Each byte of the code page mapped to the byte of its lower-case letter.
std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    table[size_t(byte)] = static_cast<unsigned char>(byte);
    std::u16string wide = FromAnsi(std::string(1, char(byte)));
    if (wide.size() != 1) continue;
    char16_t lower = sim::LowerCaseOf(wide[0]);
    bool lossy = false;
    std::string narrow = ToAnsi(std::u16string_view(&lower, 1), &lossy);
    if (!lossy && narrow.size() == 1) table[size_t(byte)] = static_cast<unsigned char>(narrow[0]);
  }
  return table;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string SpellingKey(const std::string& escapedPath) {
  static const std::array<unsigned char, 256> kFold = MakeFoldTable();
  static const char kDigits[] = "0123456789ABCDEF";
  std::string folded;
  folded.reserve(escapedPath.size());
  for (size_t i = 0; i < escapedPath.size(); ++i) {
    char c = escapedPath[i];
    if (c == '%' && i + 2 < escapedPath.size() && HexDigit(escapedPath[i + 1]) >= 0 &&
        HexDigit(escapedPath[i + 2]) >= 0) {
      // An escaped byte stays escaped (a folded non-ASCII letter is
      // non-ASCII too), so an escaped '\' never meets a separator.
      unsigned char byte = kFold[size_t(HexDigit(escapedPath[i + 1]) * 16 +
                                        HexDigit(escapedPath[i + 2]))];
      folded += '%';
      folded += kDigits[byte >> 4];
      folded += kDigits[byte & 0x0F];
      i += 2;
    } else {
      folded += char(kFold[static_cast<unsigned char>(c)]);
    }
  }
  return folded;
}

EntryAdder::EntryAdder(const MachineInput& input) : input_(input) {
  for (const auto& [path, entry] : input.entries) spellings_.emplace(SpellingKey(path), path);
}

const trace::Entry* EntryAdder::Find(const std::string& path, std::string* kept) {
  auto [spelling, added] = spellings_.emplace(SpellingKey(path), path);
  *kept = spelling->second;
  if (added) return nullptr;
  auto staged = added_.find(*kept);
  if (staged != added_.end()) return &staged->second;
  auto existing = input_.entries.find(*kept);
  return existing != input_.entries.end() ? &existing->second : nullptr;
}

void EntryAdder::Set(trace::Entry entry) {
  std::string path = entry.path;
  added_.insert_or_assign(std::move(path), std::move(entry));
}

void EntryAdder::MergeInto(MachineInput* input) {
  for (auto& [path, entry] : added_) input->entries.insert_or_assign(path, std::move(entry));
  added_.clear();
}

}  // namespace preview
