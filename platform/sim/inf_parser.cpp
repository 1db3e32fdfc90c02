#include "platform/sim/inf_parser.h"

namespace sim {

namespace {

constexpr size_t kMaxSectionName = 255;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

size_t SkipBlanks(std::string_view line, size_t p) {
  while (p < line.size() && IsBlank(line[p])) ++p;
  return p;
}

// One field while it is read: quoted text is never trimmed.
struct Token {
  std::string text;
  size_t kept = 0;  // text up to here came from quotes and stays
  bool started = false;

  void Add(char c, bool quoted) {
    text += c;
    started = true;
    if (quoted) kept = text.size();
  }
  void TrimEnd() {
    while (text.size() > kept && IsBlank(text.back())) text.pop_back();
  }
  std::string Take() {
    TrimEnd();
    std::string result = std::move(text);
    *this = Token();
    return result;
  }
};

// True when the backslash at `p` ends the line's text: only blanks, further
// backslashes or a comment follow it.
bool ContinuesLine(std::string_view line, size_t p) {
  size_t q = p + 1;
  while (q < line.size() && (IsBlank(line[q]) || line[q] == '\\')) ++q;
  return q == line.size() || line[q] == ';';
}

// Reads the logical line that starts at lines[*index], position `p`, and
// advances *index past every physical line it used.
InfLine ReadLine(const std::vector<std::string_view>& lines, size_t* index, size_t p) {
  InfLine result;
  std::vector<std::string> fields;
  Token token;
  bool inQuotes = false;
  bool sawComma = false;
  size_t li = *index;
  while (true) {
    std::string_view line = lines[li];
    if (p >= line.size()) break;
    char c = line[p];
    if (inQuotes) {
      if (c == '"' && p + 1 < line.size() && line[p + 1] == '"') {
        token.Add('"', true);
        p += 2;
      } else if (c == '"') {
        inQuotes = false;
        ++p;
      } else {
        token.Add(c, true);
        ++p;
      }
      continue;
    }
    if (c == ';') break;
    if (c == '"') {
      inQuotes = true;
      token.started = true;
      token.kept = token.text.size();
      ++p;
    } else if (c == ',') {
      fields.push_back(token.Take());
      sawComma = true;
      ++p;
    } else if (c == '=' && !result.hasKey && !sawComma) {
      result.key = token.Take();
      result.hasKey = true;
      ++p;
    } else if (c == '\\' && ContinuesLine(line, p)) {
      token.TrimEnd();
      if (++li >= lines.size()) {
        --li;
        break;
      }
      p = SkipBlanks(lines[li], 0);
    } else if (IsBlank(c)) {
      if (token.started) token.Add(c, false);
      ++p;
    } else {
      token.Add(c, false);
      ++p;
    }
  }
  fields.push_back(token.Take());
  if (!result.hasKey && fields.size() == 1) {
    result.hasKey = true;
    result.key = fields[0];
  }
  result.fields = std::move(fields);
  *index = li + 1;
  return result;
}

// "Strings.040E" (any case, one to four hex digits) -> 0x040E.
bool StringsLanguage(std::string_view name, unsigned* language) {
  constexpr std::string_view kPrefix = "Strings.";
  if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 4) return false;
  if (!SameInfName(name.substr(0, kPrefix.size()), kPrefix)) return false;
  unsigned value = 0;
  for (char c : name.substr(kPrefix.size())) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return false;
    value = value * 16 + unsigned(digit);
  }
  *language = value;
  return true;
}

}  // namespace

bool SameInfName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

uint32_t InfFile::Parse(std::string_view text, unsigned* errorLine, uint16_t languageId) {
  sections_.clear();
  *errorLine = 0;
  if (text.empty()) return kErrorGeneralSyntax;
  std::string data(text.substr(0, text.find('\x1a')));
  for (char& c : data) {
    if (c == '\0') c = ' ';
  }
  std::vector<std::string_view> lines;
  std::string_view rest = data;
  while (true) {
    size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }

  int current = -1;
  size_t index = 0;
  while (index < lines.size()) {
    std::string_view line = lines[index];
    unsigned number = static_cast<unsigned>(index + 1);
    size_t p = SkipBlanks(line, 0);
    if (p == line.size() || line[p] == ';') {
      ++index;
      continue;
    }
    if (line[p] == '[') {
      size_t close = line.find(']', p + 1);
      if (close == std::string_view::npos) {
        *errorLine = number;
        return kErrorBadSectionNameLine;
      }
      std::string name(line.substr(p + 1, close - p - 1));
      if (name.size() > kMaxSectionName) {
        *errorLine = number;
        return kErrorSectionNameTooLong;
      }
      SectionNamed(name);
      current = FindSection(name);
      ++index;
      continue;
    }
    if (current < 0) {
      *errorLine = number;
      return kErrorExpectedSectionName;
    }
    sections_[current].lines.push_back(ReadLine(lines, &index, p));
  }
  Substitute(languageId);
  return 0;
}

InfSection& InfFile::SectionNamed(const std::string& name) {
  int found = FindSection(name);
  if (found >= 0) return sections_[found];
  sections_.push_back(InfSection{name, {}});
  return sections_.back();
}

int InfFile::FindSection(std::string_view name) const {
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (SameInfName(sections_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

void InfFile::Substitute(uint16_t languageId) {
  // The strings sections in the order a name is looked up in them.
  std::vector<int> order;
  if (languageId != 0) {
    for (unsigned wanted : {unsigned(languageId), unsigned(languageId & 0x3FF)}) {
      for (size_t s = 0; s < sections_.size(); ++s) {
        unsigned language = 0;
        if (StringsLanguage(sections_[s].name, &language) && language == wanted) {
          order.push_back(static_cast<int>(s));
          break;
        }
      }
    }
  }
  int plain = FindSection("Strings");
  if (plain >= 0) order.push_back(plain);
  auto lookup = [&](std::string_view name, std::string* value) {
    for (int strings : order) {
      for (const InfLine& line : sections_[strings].lines) {
        if (!line.hasKey || !SameInfName(line.key, name)) continue;
        *value = line.fields.empty() ? "" : line.fields[0];
        return true;
      }
    }
    return false;
  };
  auto substitute = [&](std::string& text) {
    if (text.find('%') == std::string::npos) return;
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
      size_t open = text.find('%', i);
      size_t close = open == std::string::npos ? open : text.find('%', open + 1);
      if (close == std::string::npos) {
        out += text.substr(i);
        break;
      }
      out += text.substr(i, open - i);
      std::string name = text.substr(open + 1, close - open - 1);
      std::string value;
      if (name.empty()) {
        out += '%';
      } else if (lookup(name, &value)) {
        out += value;
      } else {
        out += "%" + name + "%";
      }
      i = close + 1;
    }
    text = out;
  };
  for (int s = 0; s < static_cast<int>(sections_.size()); ++s) {
    unsigned language = 0;
    if (s == plain || StringsLanguage(sections_[s].name, &language)) continue;
    for (InfLine& line : sections_[s].lines) {
      substitute(line.key);
      for (std::string& field : line.fields) substitute(field);
    }
  }
}

std::string InfFile::VersionValue(std::string_view key) const {
  int version = FindSection("Version");
  if (version < 0) return "";
  for (const InfLine& line : sections_[version].lines) {
    if (line.hasKey && SameInfName(line.key, key) && !line.fields.empty()) return line.fields[0];
  }
  return "";
}

bool InfFile::IsWin4() const {
  std::string signature = VersionValue("Signature");
  return SameInfName(signature, "$Windows NT$") || SameInfName(signature, "$Chicago$") ||
         SameInfName(signature, "$Windows 95$");
}

}  // namespace sim
