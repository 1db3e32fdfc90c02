#include "preview/registry_export_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "preview/entry_adder.h"
#include "preview/input_text.h"
#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_escape.h"

namespace preview {
namespace {

constexpr char16_t kVersion5Header[] = u"Windows Registry Editor Version 5.00";
constexpr char16_t kRegedit4Header[] = u"REGEDIT4";
constexpr size_t kMostNotes = 20;

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

struct Root {
  const char16_t* longName;
  const char16_t* shortName;
};

const Root kRoots[] = {{u"HKEY_LOCAL_MACHINE", u"HKLM"},
                       {u"HKEY_CURRENT_USER", u"HKCU"},
                       {u"HKEY_USERS", u"HKU"},
                       {u"HKEY_CLASSES_ROOT", u"HKCR"},
                       {u"HKEY_CURRENT_CONFIG", u"HKCC"}};

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return Upper(x) == Upper(y); });
}

bool StartsNoCase(std::u16string_view text, std::u16string_view start) {
  return text.size() >= start.size() && EqualsNoCase(text.substr(0, start.size()), start);
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::string Narrow(std::u16string_view ascii) { return std::string(ascii.begin(), ascii.end()); }

bool IsStringType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The file's text, and whether 8-bit text that is not UTF-8 was read as ANSI.
struct ExportText {
  std::u16string text;
  bool ansiFallback = false;
};

bool FirstLineIs(std::string_view bytes, std::string_view header) {
  if (bytes.substr(0, header.size()) != header) return false;
  std::string_view rest = bytes.substr(header.size());
  size_t end = rest.find('\n');
  std::string_view tail = rest.substr(0, end);
  return tail.find_first_not_of(" \t\r") == std::string_view::npos;
}

// Decodes the file after checking its encoding; *error names the problem.
bool DecodeExport(std::string_view bytes, ExportText* out, std::string* error) {
  if (bytes.size() > kMaxExportBytes) {
    *error = "line 1: the file has " + std::to_string(bytes.size()) +
             " bytes, more than the " + std::to_string(kMaxExportBytes >> 20) +
             " MiB an export may have here";
    return false;
  }
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xFF\xFE")) {
    out->text = FromUtf16Le(bytes.substr(2));
    if (bytes.size() % 2 != 0) {
      size_t lines = size_t(std::count(out->text.begin(), out->text.end(), u'\n')) + 1;
      *error = "line " + std::to_string(lines) +
               ": the file ends in half a UTF-16 character (it is cut short)";
      return false;
    }
    return true;
  }
  if (starts("\xFE\xFF")) {
    *error = "line 1: UTF-16 big-endian; regedit writes UTF-16 little-endian";
    return false;
  }
  if (starts("\xEF\xBB\xBF")) {
    *error = "line 1: UTF-8 with a byte-order mark, which regedit neither writes nor reads; "
             "save the file as Unicode (UTF-16) or without the mark";
    return false;
  }
  if (bytes.size() >= 2 && (bytes[0] == '\0') != (bytes[1] == '\0')) {
    *error = bytes[1] == '\0' ? "line 1: UTF-16 without a byte-order mark"
                              : "line 1: UTF-16 big-endian without a byte-order mark";
    return false;
  }
  // A REGEDIT4 export is ANSI; a version 5 one in 8 bits is UTF-8 as
  // hivexregedit writes it, or else ANSI.
  bool regedit4 = FirstLineIs(bytes, "REGEDIT4");
  if (regedit4 || !FromUtf8(bytes, &out->text)) {
    out->ansiFallback = !regedit4;
    out->text = FromAnsi(bytes);
  }
  return true;
}

class ExportParser {
 public:
  ExportParser(const ExportText& text, MachineInput* input)
      : input_(input), adder_(*input), lines_(text.text), text_(text) {}

  bool Run(std::string* error);

 private:
  bool Fail(const std::string& problem) {
    error_ = "line " + std::to_string(lines_.number()) + ": " + problem;
    return false;
  }
  void Note(const std::string& note);
  bool Header();
  bool Line(std::u16string_view line);
  bool KeyLine(std::u16string_view line);
  bool KeyName(std::u16string_view name, std::string* escaped);
  std::string AddKey(const std::string& path);
  std::string AddedKey(size_t level, std::u16string_view name, const std::string& path);
  bool ValueLine(std::u16string_view line);
  bool Quoted(std::u16string_view* rest, size_t most, std::u16string* text, char16_t* unknown);
  std::u16string_view WholeLine(std::u16string_view part, std::u16string_view* lineBreak) const;
  void NoteUnread(const std::u16string& name, char16_t unknown);
  bool Data(std::u16string_view data, uint32_t* type, std::string* bytes, char16_t* unknown);
  bool Dword(std::u16string_view digits, std::string* bytes);
  bool HexType(std::u16string_view* data, uint32_t* type);
  bool HexBytes(std::u16string_view first, std::string* bytes);
  bool StringData(uint32_t type, std::string* bytes);
  std::string Ansi(std::u16string_view text, const char* what);
  void ControlSetLink();

  MachineInput* input_;
  EntryAdder adder_;
  LineReader lines_;
  const ExportText& text_;
  bool ansiData_ = false;  // a REGEDIT4 export: string data in ANSI bytes
  std::string key_;  // the key values go to ("" before the first key line)
  std::unordered_set<std::string> keyLines_;
  std::vector<std::u16string> lastNames_;  // the names of the last key line
  std::vector<std::string> lastKept_;      // the paths they are kept under
  std::vector<std::string> notes_;
  size_t notesLeftOut_ = 0;
  std::string error_;
};

void ExportParser::Note(const std::string& note) {
  if (notes_.size() < kMostNotes) {
    notes_.push_back("registry export: " + note);
  } else {
    ++notesLeftOut_;
  }
}

std::string ExportParser::Ansi(std::u16string_view text, const char* what) {
  bool lossy = false;
  std::string bytes = ToAnsi(text, &lossy);
  if (lossy) {
    Note("line " + std::to_string(lines_.number()) + ": " + what +
         " has characters code page 1250 lacks; they became '?'");
  }
  return bytes;
}

bool ExportParser::Run(std::string* error) {
  bool read = Header();
  std::u16string_view line;
  while (read && lines_.Next(&line)) {
    read = Line(line);
    // A continued value has read on: the check is of the line read last.
    if (read && CutShort(lines_, &error_)) read = false;
  }
  if (!read) {
    *error = error_;
    return false;
  }
  ControlSetLink();
  adder_.MergeInto(input_);
  input_->notes.push_back("registry export: an export holds no key security: keys have an "
                          "empty detail");
  if (text_.ansiFallback) {
    input_->notes.push_back("registry export: the file is not UTF-8: read as code page 1250");
  }
  input_->notes.insert(input_->notes.end(), notes_.begin(), notes_.end());
  if (notesLeftOut_ > 0) {
    input_->notes.push_back("registry export: " + std::to_string(notesLeftOut_) +
                            " more notes like these left out");
  }
  return true;
}

bool ExportParser::Header() {
  std::u16string_view line;
  if (!lines_.Next(&line)) {
    error_ = "line 1: the file is empty: not a registry export";
    return false;
  }
  line = TrimSpaces(line);
  ansiData_ = line == kRegedit4Header;
  if (!ansiData_ && line != kVersion5Header) {
    return Fail("not a registry export: the first line is neither \"" + Narrow(kVersion5Header) +
                "\" nor \"" + Narrow(kRegedit4Header) + "\"");
  }
  return true;
}

bool ExportParser::Line(std::u16string_view line) {
  if (line.find(u'\0') != std::u16string_view::npos) {
    return Fail("a NUL character: the file is binary or not in the encoding it starts with");
  }
  line = TrimSpaces(line);
  if (line.empty() || line[0] == u';') return true;
  if (line[0] == u'[') return KeyLine(line);
  if (line[0] == u'"' || line[0] == u'@') return ValueLine(line);
  return Fail("neither a key, a value nor a comment: \"" + Printable(line) + "\"");
}

bool ExportParser::KeyLine(std::u16string_view line) {
  if (line.size() > 1 && line[1] == u'-') {
    return Fail("[-key] deletes a key: a file that deletes is not a description of a machine");
  }
  // A key name may hold ']' itself, so the key ends at the last one.
  size_t close = line.rfind(u']');
  if (close == std::u16string_view::npos) {
    return Fail("a key line without its closing ']' (the line is cut short)");
  }
  if (close + 1 != line.size()) return Fail("text after the key's closing ']'");
  std::u16string_view inner = line.substr(1, close - 1);
  // hivexregedit --export --prefix names the hive's root key with a
  // backslash at its end ("[HKEY_LOCAL_MACHINE\SYSTEM\]"): that is the key.
  if (inner.size() > 1 && inner.back() == u'\\' && inner[inner.size() - 2] != u'\\') {
    inner.remove_suffix(1);
  }
  if (size_t(std::count(inner.begin(), inner.end(), u'\\')) > kMaxKeyDepth) {
    return Fail("the key is more than " + std::to_string(kMaxKeyDepth) +
                " levels deep, deeper than Windows allows");
  }
  size_t slash = inner.find(u'\\');
  std::u16string_view rootName = inner.substr(0, slash);
  const Root* root = nullptr;
  for (const Root& candidate : kRoots) {
    if (EqualsNoCase(rootName, candidate.longName) || EqualsNoCase(rootName, candidate.shortName)) {
      root = &candidate;
    }
  }
  if (rootName.empty()) {
    return Fail("the key names no root such as HKEY_LOCAL_MACHINE (hivexregedit --export needs "
                "--prefix 'HKEY_LOCAL_MACHINE\\SYSTEM')");
  }
  if (!root) return Fail("unknown root \"" + Printable(rootName) + "\"");
  // An export names each key in full; the names a key shares with the key
  // line before it (its parents, as a rule) were added then.
  size_t level = 0;
  std::string kept = AddedKey(level, root->shortName, Narrow(root->shortName));
  while (slash != std::u16string_view::npos) {
    inner.remove_prefix(slash + 1);
    slash = inner.find(u'\\');
    std::u16string_view name = inner.substr(0, slash);
    if (++level < lastNames_.size() && lastNames_[level] == name) {
      kept = lastKept_[level];
      continue;
    }
    std::string escaped;
    if (!KeyName(name, &escaped)) return false;
    kept = AddedKey(level, name, kept + '\\' + escaped);
  }
  lastNames_.resize(level + 1);
  lastKept_.resize(level + 1);
  if (!keyLines_.insert(kept).second) {
    Note("line " + std::to_string(lines_.number()) + ": key " + kept +
         " given again; it holds the values of both, as regedit's import does");
  }
  key_ = kept;
  return true;
}

bool ExportParser::KeyName(std::u16string_view name, std::string* escaped) {
  if (name.empty()) return Fail("an empty key name (two backslashes together, or one at the end)");
  if (name.size() > kMaxKeyNameLength) {
    return Fail("a key name of " + std::to_string(name.size()) + " characters; Windows allows " +
                std::to_string(kMaxKeyNameLength));
  }
  *escaped = trace::EscapeName(Ansi(name, "a key name"));
  return true;
}

// Adds the key at `level` of a key line and remembers it for the next line.
std::string ExportParser::AddedKey(size_t level, std::u16string_view name, const std::string& path) {
  lastNames_.resize(level + 1);
  lastKept_.resize(level + 1);
  lastNames_[level] = name;
  lastKept_[level] = AddKey(path);
  return lastKept_[level];
}

// Adds a key (and nothing else: its parents come before it) unless the
// description has it already, perhaps with the security a snapshot gave;
// returns the path it is kept under.
std::string ExportParser::AddKey(const std::string& path) {
  std::string kept;
  if (!adder_.Find(path, &kept)) adder_.Set(trace::Entry{'K', kept, ""});
  return kept;
}

bool ExportParser::ValueLine(std::u16string_view line) {
  if (key_.empty()) return Fail("a value before the first key line");
  std::u16string name;
  std::u16string_view rest = line.substr(1);
  char16_t unknown = 0;
  if (line[0] == u'"' && !Quoted(&rest, kMaxValueNameLength, &name, &unknown)) return false;
  rest = TrimSpaces(rest);
  if (rest.empty() || rest[0] != u'=') return Fail("a value name without '=' after it");
  rest = TrimSpaces(rest.substr(1));
  if (rest == u"-") {
    return Fail("\"name\"=- deletes a value: a file that deletes is not a description of a "
                "machine");
  }
  uint32_t type = 0;
  std::string data;
  if (!Data(rest, &type, &data, &unknown)) return false;
  if (unknown != 0) {
    NoteUnread(name, unknown);
    return true;
  }
  std::string path = key_ + '|' + trace::EscapeName(Ansi(name, "a value name"));
  std::string kept;
  if (adder_.Find(path, &kept)) {
    Note("line " + std::to_string(lines_.number()) + ": value " + kept +
         " given again; the last one wins, as regedit's import does");
  }
  adder_.Set(trace::Entry{'V', kept, trace::FormatValueDetail(type, data)});
  return true;
}

// The physical line that `part` (a piece of a line the reader gave) lies in,
// from where `part` starts to its end, with what trimming took from that end,
// and the line break after it ("" at the end of the file).
std::u16string_view ExportParser::WholeLine(std::u16string_view part,
                                            std::u16string_view* lineBreak) const {
  std::u16string_view text = text_.text;
  size_t start = size_t(part.data() - text.data());
  size_t end = text.find(u'\n', start);
  if (end == std::u16string_view::npos) {
    *lineBreak = u"";
    return text.substr(start);
  }
  bool crlf = end > start && text[end - 1] == u'\r';
  *lineBreak = crlf ? u"\r\n" : u"\n";
  return text.substr(start, end - start - (crlf ? 1 : 0));
}

// Reads a quoted string from *rest (just after its opening quote) to its
// closing quote, and leaves *rest after that quote.
//
// What the exporting tools write for the characters of a string: \\ and \"
// escaped (all of them); Wine's reg and regedit also write a carriage
// return as \r and a line feed as \n. Windows' regedit and reg.exe write
// line breaks as they are, so the string goes on over the next lines of the
// file, and every other control character as it is; a NUL ends the string
// they write (the data after it is not in the file). So \r and \n are read
// as escapes, and a string whose closing quote is not on its line takes in
// the line break and goes on at the next line. Any other escape is none of
// theirs: *unknown gets the character after the backslash (the first one),
// and the caller leaves the value out with a note.
bool ExportParser::Quoted(std::u16string_view* rest, size_t most, std::u16string* text,
                          char16_t* unknown) {
  std::u16string_view line = *rest;
  size_t i = 0;
  size_t continued = 0;
  auto add = [&](char16_t c) {
    if (text->size() == most) {
      return Fail("a string longer than " + std::to_string(most) + " characters");
    }
    text->push_back(c);
    return true;
  };
  for (;;) {
    if (i == line.size()) {
      // No closing quote on this line: the string holds the line break,
      // unless the file ends here (then it was cut short).
      std::u16string_view lineBreak;
      std::u16string_view whole = WholeLine(line, &lineBreak);
      std::u16string_view next;
      if (lineBreak.empty() || !lines_.Next(&next)) break;
      for (char16_t c : whole.substr(i)) {
        if (!add(c)) return false;
      }
      for (char16_t c : lineBreak) {
        if (!add(c)) return false;
      }
      if (next.find(u'\0') != std::u16string_view::npos) {
        return Fail("a NUL character: the file is binary or not in the encoding it starts with");
      }
      if (++continued == 1) {
        Note("line " + std::to_string(lines_.number() - 1) +
             ": a string goes on at the next line (regedit writes a line break in a string as "
             "it is)");
      }
      line = next;
      i = 0;
      continue;
    }
    char16_t c = line[i++];
    if (c == u'"') {
      *rest = line.substr(i);
      return true;
    }
    if (c == u'\\') {
      if (i == line.size()) {
        if (*unknown == 0) *unknown = u'\\';
        continue;
      }
      c = line[i++];
      if (c == u'n') {
        c = u'\n';
      } else if (c == u'r') {
        c = u'\r';
      } else if (c != u'\\' && c != u'"') {
        if (*unknown == 0) *unknown = c;
      }
    }
    if (!add(c)) return false;
  }
  return Fail("a string without its closing quote (the line is cut short)");
}

// A value whose name or string holds an escape none of the exporting tools
// writes: what it stands for is not known, so the value is not used.
void ExportParser::NoteUnread(const std::u16string& name, char16_t unknown) {
  std::u16string escape = u"\\";
  escape.push_back(unknown);
  Note("line " + std::to_string(lines_.number()) + ": value \"" + Printable(name) + "\" of " +
       key_ + " holds the escape " + Printable(escape) +
       ", which regedit, reg and Wine never write: the value is left out");
}

bool ExportParser::Data(std::u16string_view data, uint32_t* type, std::string* bytes,
                        char16_t* unknown) {
  if (data.empty()) return Fail("a value without data after '='");
  if (data[0] == u'"') {
    std::u16string text;
    std::u16string_view rest = data.substr(1);
    if (!Quoted(&rest, kMaxValueDataBytes - 1, &text, unknown)) return false;
    if (!TrimSpaces(rest).empty()) return Fail("text after the string's closing quote");
    *type = kRegSz;
    *bytes = Ansi(text, "a string") + '\0';
    return true;
  }
  if (StartsNoCase(data, u"dword:")) {
    *type = kRegDword;
    return Dword(data.substr(6), bytes);
  }
  if (StartsNoCase(data, u"str(")) {
    return Fail("str(N): is hivexregedit's --unsafe-printable-strings form, which loses data; "
                "export without that option");
  }
  if (!StartsNoCase(data, u"hex")) return Fail("data of an unknown form: \"" + Printable(data) + "\"");
  data.remove_prefix(3);
  if (!HexType(&data, type) || !HexBytes(data, bytes)) return false;
  return StringData(*type, bytes);
}

bool ExportParser::Dword(std::u16string_view digits, std::string* bytes) {
  if (digits.empty() || digits.size() > 8 ||
      std::any_of(digits.begin(), digits.end(), [](char16_t c) { return HexValue(c) < 0; })) {
    return Fail("dword: needs 1 to 8 hex digits, not \"" + Printable(digits) + "\"");
  }
  uint32_t number = 0;
  for (char16_t c : digits) number = number << 4 | uint32_t(HexValue(c));
  bytes->clear();
  for (int i = 0; i < 4; ++i) bytes->push_back(char(number >> (8 * i) & 0xFF));
  return true;
}

// After "hex": ":" (REG_BINARY) or "(N):" with N the type in 1 to 8 hex digits.
bool ExportParser::HexType(std::u16string_view* data, uint32_t* type) {
  *type = kRegBinary;
  if (!data->empty() && (*data)[0] == u'(') {
    size_t close = data->find(u')');
    std::u16string_view digits = data->substr(1, close == std::u16string_view::npos ? 0 : close - 1);
    if (close == std::u16string_view::npos || digits.empty() || digits.size() > 8 ||
        std::any_of(digits.begin(), digits.end(), [](char16_t c) { return HexValue(c) < 0; })) {
      return Fail("hex(N): needs a type of 1 to 8 hex digits");
    }
    *type = 0;
    for (char16_t c : digits) *type = *type << 4 | uint32_t(HexValue(c));
    data->remove_prefix(close + 1);
  }
  if (data->empty() || (*data)[0] != u':') return Fail("hex data without ':'");
  data->remove_prefix(1);
  return true;
}

// Bytes as two hex digits each, separated by commas; a '\' at the end of a
// line continues the list on the next one.
bool ExportParser::HexBytes(std::u16string_view first, std::string* bytes) {
  std::u16string_view segment = TrimSpaces(first);
  bool needComma = false;
  for (;;) {
    bool continued = !segment.empty() && segment.back() == u'\\';
    if (continued) segment = TrimSpaces(segment.substr(0, segment.size() - 1));
    while (!segment.empty()) {
      if (needComma) {
        if (segment[0] != u',') return Fail("hex bytes need a ',' between them");
        segment = TrimSpaces(segment.substr(1));
        needComma = false;
        continue;
      }
      size_t digits = 0;
      while (digits < segment.size() && HexValue(segment[digits]) >= 0) ++digits;
      if (digits != 2) {
        return Fail(digits == 0 ? "a hex byte expected, not \"" + Printable(segment) + "\""
                                : "a hex byte of " + std::to_string(digits) +
                                      " digits; each byte has two");
      }
      if (bytes->size() == kMaxValueDataBytes) {
        return Fail("value data longer than " + std::to_string(kMaxValueDataBytes) + " bytes");
      }
      bytes->push_back(char(HexValue(segment[0]) << 4 | HexValue(segment[1])));
      segment = TrimSpaces(segment.substr(2));
      needComma = true;
    }
    if (!continued) {
      if (!needComma && !bytes->empty()) return Fail("hex data ends in ',' (the line is cut short)");
      return true;
    }
    std::u16string_view next;
    if (!lines_.Next(&next)) {
      return Fail("the file ends inside hex data continued with '\\' (it is cut short)");
    }
    if (next.find(u'\0') != std::u16string_view::npos) return Fail("a NUL character in hex data");
    segment = TrimSpaces(next);
  }
}

// A version 5 export gives the data of the string types as UTF-16; the A
// functions give it in the ANSI code page. A REGEDIT4 export's bytes are
// ANSI already.
bool ExportParser::StringData(uint32_t type, std::string* bytes) {
  if (ansiData_ || !IsStringType(type)) return true;
  // Real hives hold string values of an odd number of bytes (a program
  // wrote a length in characters where bytes were meant, or one too many).
  // The A functions convert the whole characters and drop the odd byte, and
  // so does the reader.
  if (bytes->size() % 2 != 0) {
    Note("line " + std::to_string(lines_.number()) + ": hex(" + std::to_string(type) +
         ") data of odd length: its last byte is not part of a UTF-16 character and is left out, "
         "as the A functions leave it");
    bytes->pop_back();
  }
  *bytes = Ansi(FromUtf16Le(*bytes), "a string");
  return true;
}

// HKLM\SYSTEM\CurrentControlSet is Windows' link to the control set that
// Select\Current names; regedit follows the link and exports it as a copy of
// that set. A snapshot records the link, and the removal deletes through it
// in the set itself, so an export that holds both the copy and the set gives
// the link instead of the copy. A CurrentControlSet exported alone (reg
// export HKLM\SYSTEM\CurrentControlSet) stays the tree it looks like.
void ExportParser::ControlSetLink() {
  std::string current;
  const trace::Entry* select = adder_.Find("HKLM\\SYSTEM\\Select|Current", &current);
  unsigned number = 0;
  char extra = 0;
  if (!select || std::sscanf(select->detail.c_str(), "REG_DWORD 0x%8x%c", &number, &extra) != 1 ||
      number == 0 || number > 999) {
    return;
  }
  char set[16];
  std::snprintf(set, sizeof set, "ControlSet%03u", number);
  std::string setPath;
  const trace::Entry* target = adder_.Find(std::string("HKLM\\SYSTEM\\") + set, &setPath);
  if (!target || target->kind != 'K') return;
  // The link hangs from the SYSTEM key as the description spells it (an
  // earlier input may have given "HKLM\system").
  std::string system;
  const trace::Entry* root = adder_.Find("HKLM\\SYSTEM", &system);
  if (!root || root->kind != 'K') return;
  std::string link;
  const trace::Entry* copy = adder_.Find(system + "\\CurrentControlSet", &link);
  if (!copy) {
    // An export of the SYSTEM hive file (hivexregedit) holds the sets but
    // not the link, which only a running Windows has: every program on the
    // machine sees CurrentControlSet, so the image gets it as Windows makes
    // it at start.
    adder_.Set(trace::Entry{'L', link,
                            trace::EscapeData(std::string("\\REGISTRY\\MACHINE\\SYSTEM\\") + set)});
    input_->notes.push_back("registry export: " + link + " is not in the export (a hive file's "
                            "export): read as Windows' link to " + set + " (Select\\Current)");
    return;
  }
  if (copy->kind != 'K') return;
  size_t dropped = adder_.DropBelow(link);
  adder_.Find(link, &link);
  adder_.Set(trace::Entry{'L', link, trace::EscapeData(std::string("\\REGISTRY\\MACHINE\\SYSTEM\\") + set)});
  input_->notes.push_back("registry export: " + link + " is Windows' link to " + set +
                          " (Select\\Current), which the export holds as a copy: read as the "
                          "link, the copy's " + std::to_string(dropped) + " entries left out");
}

}  // namespace

bool LooksLikeRegistryExport(std::string_view bytes) {
  // Also in the encodings the reader refuses, so that its message says what
  // is wrong with the file.
  auto startsWithHeader = [](std::u16string_view text) {
    return text.rfind(kVersion5Header, 0) == 0 || text.rfind(kRegedit4Header, 0) == 0;
  };
  for (std::string_view mark : {"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF", ""}) {
    if (bytes.substr(0, mark.size()) != mark) continue;
    std::string_view head = bytes.substr(mark.size(), 2 * 40);
    std::u16string bigEndian;
    for (size_t i = 0; i + 1 < head.size(); i += 2) {
      bigEndian.push_back(char16_t(uint8_t(head[i]) << 8 | uint8_t(head[i + 1])));
    }
    if (startsWithHeader(FromUtf16Le(head)) || startsWithHeader(bigEndian) ||
        startsWithHeader(std::u16string(head.begin(), head.end()))) {
      return true;
    }
  }
  return false;
}

bool ReadRegistryExport(std::string_view bytes, MachineInput* input, std::string* error) {
  ExportText text;
  if (!DecodeExport(bytes, &text, error)) return false;
  return ExportParser(text, input).Run(error);
}

}  // namespace preview
