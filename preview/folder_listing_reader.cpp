#include "preview/folder_listing_reader.h"

#include <algorithm>

#include "preview/entry_adder.h"
#include "preview/input_text.h"
#include "tests/trace/snapshot_escape.h"

namespace preview {
namespace {

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// UTF-16 without a byte-order mark, as cmd /u writes it: the first
// character, a drive letter, has a zero high byte.
bool IsBareUtf16(std::string_view bytes) {
  return bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0';
}

bool DecodeListing(std::string_view bytes, std::u16string* text, std::string* error) {
  if (bytes.size() > kMaxListingBytes) {
    *error = "line 1: the file has " + std::to_string(bytes.size()) + " bytes, more than the " +
             std::to_string(kMaxListingBytes >> 20) + " MiB a listing may have here";
    return false;
  }
  bool utf16 = bytes.substr(0, 2) == "\xFF\xFE" || IsBareUtf16(bytes);
  if (utf16) {
    if (bytes.substr(0, 2) == "\xFF\xFE") bytes.remove_prefix(2);
    *text = FromUtf16Le(bytes);
    if (bytes.size() % 2 == 0) return true;
    size_t lines = size_t(std::count(text->begin(), text->end(), u'\n')) + 1;
    *error = "line " + std::to_string(lines) +
             ": the file ends in half a UTF-16 character (it is cut short)";
    return false;
  }
  if (bytes.substr(0, 2) == "\xFE\xFF" || (bytes.size() >= 2 && bytes[0] == '\0')) {
    *error = "line 1: UTF-16 big-endian; cmd /u writes UTF-16 little-endian";
    return false;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  // Line by line, so that the error names the line (no UTF-8 sequence
  // holds a line feed).
  size_t line = 1;
  std::u16string decoded;
  for (size_t start = 0; start < bytes.size(); ++line) {
    size_t end = std::min(bytes.find('\n', start), bytes.size());
    if (!FromUtf8(bytes.substr(start, end - start), &decoded)) {
      *error = "line " + std::to_string(line) +
               ": a byte that is not UTF-8: cmd wrote the listing in the console's code page, "
               "which is not known here; take it with cmd /u /c dir /s /b /a-d ...";
      return false;
    }
    *text += decoded;
    if (end < bytes.size()) *text += u'\n';
    start = end + 1;
  }
  return true;
}

class ListingParser {
 public:
  ListingParser(std::u16string_view text, MachineInput* input)
      : input_(input), adder_(*input), lines_(text) {}
  bool Run(std::string* error);

 private:
  bool Fail(const std::string& problem) {
    error_ = "line " + std::to_string(lines_.number()) + ": " + problem;
    return false;
  }
  bool Line(std::u16string_view line);
  bool Name(std::u16string_view name, std::string* escaped);
  bool Add(char kind, const std::string& path, std::string* kept);

  MachineInput* input_;
  EntryAdder adder_;
  LineReader lines_;
  bool lossy_ = false;
  std::string error_;
};

bool ListingParser::Run(std::string* error) {
  std::u16string_view line;
  size_t files = 0;
  while (lines_.Next(&line)) {
    if (TrimSpaces(line).empty()) continue;
    if (!Line(line) || CutShort(lines_, &error_)) {
      *error = error_;
      return false;
    }
    ++files;
  }
  if (files == 0) {
    *error = "line 1: the listing names no file";
    return false;
  }
  adder_.MergeInto(input_);
  input_->notes.push_back("folder listing: " + std::to_string(files) +
                          " files, known by name only (a listing gives no sizes or contents)");
  if (lossy_) {
    input_->notes.push_back("folder listing: names with characters code page 1250 lacks; "
                            "they became '?'");
  }
  return true;
}

bool ListingParser::Line(std::u16string_view line) {
  if (line.find(u'\0') != std::u16string_view::npos) {
    return Fail("a NUL character: the file is binary or not in the encoding it starts with");
  }
  if (line.size() > kMaxListingPathLength) {
    return Fail("a path longer than the " + std::to_string(kMaxListingPathLength) +
                " characters Windows allows");
  }
  if (line.size() < 4 || !IsDriveLetter(line[0]) || line.substr(1, 2) != u":\\") {
    return Fail("not a full path (X:\\...): \"" + Printable(line) +
                "\"; take the listing with dir /s /b /a-d");
  }
  std::string kept(1, char(line[0]));
  kept += ':';
  std::u16string_view rest = line.substr(3);
  for (;;) {
    size_t slash = rest.find(u'\\');
    std::string escaped;
    if (!Name(rest.substr(0, slash), &escaped)) return false;
    bool last = slash == std::u16string_view::npos;
    if (!Add(last ? 'F' : 'D', kept + '\\' + escaped, &kept)) return false;
    if (last) return true;
    rest.remove_prefix(slash + 1);
  }
}

bool ListingParser::Name(std::u16string_view name, std::string* escaped) {
  if (name.empty()) return Fail("an empty name (two backslashes together, or one at the end)");
  if (name.size() > kMaxListingNameLength) {
    return Fail("a name of " + std::to_string(name.size()) + " characters; Windows allows " +
                std::to_string(kMaxListingNameLength));
  }
  for (char16_t c : name) {
    if (c < 0x20 || std::u16string_view(u"<>:\"/|?*").find(c) != std::u16string_view::npos) {
      return Fail(c == u'?' ? "a '?', which dir writes for a character its code page lacks; "
                              "take the listing with cmd /u"
                            : "a character no file name can hold");
    }
  }
  *escaped = trace::EscapeName(ToAnsi(name, &lossy_));
  return true;
}

// Adds a file or folder unless the description has it already (a snapshot
// may have given its size and hash); a path that is a file in one place and
// a folder in another is refused.
bool ListingParser::Add(char kind, const std::string& path, std::string* kept) {
  const trace::Entry* existing = adder_.Find(path, kept);
  if (!existing) {
    adder_.Set(trace::Entry{kind, *kept, ""});
    return true;
  }
  if (existing->kind == kind) return true;
  return Fail(*kept + " is a file in one place and a folder in another (a listing taken "
                      "without /a-d lists folders as if they were files)");
}

}  // namespace

bool LooksLikeFolderListing(std::string_view bytes) {
  std::u16string start;
  std::string_view head = bytes.substr(0, 16);
  if (head.substr(0, 2) == "\xFF\xFE" || IsBareUtf16(head)) {
    start = FromUtf16Le(head.substr(head.substr(0, 2) == "\xFF\xFE" ? 2 : 0));
  } else {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    start.assign(head.begin(), head.end());
  }
  return start.size() >= 4 && IsDriveLetter(start[0]) && start.substr(1, 2) == u":\\";
}

bool ReadFolderListing(std::string_view bytes, MachineInput* input, std::string* error) {
  std::u16string text;
  if (!DecodeListing(bytes, &text, error)) return false;
  return ListingParser(text, input).Run(error);
}

}  // namespace preview
