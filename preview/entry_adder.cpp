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

EntryAdder::EntryAdder(const MachineInput& input) {
  for (const auto& [path, entry] : input.entries) {
    known_.emplace(SpellingKey(path), Known{path, &entry, kNotStaged});
  }
}

const trace::Entry* EntryAdder::Find(const std::string& path, std::string* kept) {
  auto [place, added] = known_.try_emplace(SpellingKey(path));
  last_ = &place->second;
  if (added) last_->kept = path;
  *kept = last_->kept;
  if (last_->staged != kNotStaged) return &staged_[last_->staged];
  return last_->existing;
}

void EntryAdder::Set(trace::Entry entry) {
  Known* known = last_ && last_->kept == entry.path ? last_ : &known_[SpellingKey(entry.path)];
  if (known->kept.empty()) known->kept = entry.path;
  entry.path = known->kept;
  if (known->staged == kNotStaged) {
    known->staged = staged_.size();
    staged_.push_back(std::move(entry));
  } else {
    staged_[known->staged] = std::move(entry);
  }
}

size_t EntryAdder::DropBelow(const std::string& kept) {
  size_t dropped = 0;
  for (trace::Entry& entry : staged_) {
    bool below = entry.kind != kDropped && entry.path.size() > kept.size() &&
                 entry.path.compare(0, kept.size(), kept) == 0 &&
                 (entry.path[kept.size()] == '\\' || entry.path[kept.size()] == '|');
    if (!below) continue;
    known_.erase(SpellingKey(entry.path));
    entry.kind = kDropped;
    ++dropped;
  }
  last_ = nullptr;
  return dropped;
}

void EntryAdder::MergeInto(MachineInput* input) {
  auto hint = input->entries.begin();
  for (trace::Entry& entry : staged_) {
    if (entry.kind == kDropped) continue;
    std::string path = entry.path;
    hint = input->entries.insert_or_assign(hint, std::move(path), std::move(entry));
    ++hint;
  }
  staged_.clear();
  known_.clear();
  last_ = nullptr;
}

}  // namespace preview
