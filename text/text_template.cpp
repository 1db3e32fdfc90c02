#include "text/text_template.h"

#include <cstring>

#include "app/path_routines.h"
#include "platform/platform.h"
#include "text/code_page_conversion.h"

namespace {

using WideText = std::basic_string<WCHAR>;

// A text can grow only by replacements; a table whose values keep forming new
// placeholders together with the text around them is stopped here.
constexpr int kMaxReplacements = 4096;

// Converts a terminated narrow text to UTF-16. False for an empty text and
// for a byte sequence that is not valid in the code page (where Windows can
// tell).
bool ToWide(UINT codePage, const char* text, WideText* wide) {
  int length = plat::lstrlenA(text);
  if (length <= 0) return false;
  int needed = ConvertToWideChecked(codePage, text, length, nullptr, 0);
  if (needed <= 0) return false;
  wide->assign(static_cast<size_t>(needed), WCHAR(0));
  return ConvertToWideChecked(codePage, text, length, wide->data(), needed) == needed;
}

bool ToNarrow(UINT codePage, const WideText& wide, std::string* text) {
  if (wide.empty()) {
    text->clear();
    return true;
  }
  int length = static_cast<int>(wide.size());
  int needed =
      plat::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  text->assign(static_cast<size_t>(needed), '\0');
  return plat::WideCharToMultiByte(codePage, 0, wide.data(), length, text->data(), needed, nullptr,
                                   nullptr) == needed;
}

// Replaces every occurrence of `placeholder`, searching again from the start
// after each replacement. False when the replacements do not come to an end.
bool ReplaceAll(WideText* text, const WideText& placeholder, const WideText& value) {
  for (int replaced = 0;; ++replaced) {
    size_t at = text->find(placeholder);
    if (at == WideText::npos) return true;
    if (replaced == kMaxReplacements) return false;
    text->replace(at, placeholder.size(), value);
  }
}

WideText DoublePercents(const WideText& value) {
  WideText escaped;
  for (WCHAR c : value) {
    escaped.push_back(c);
    if (c == WCHAR('%')) escaped.push_back(c);
  }
  return escaped;
}

bool IsPlaceholderNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Length of the placeholder token "<%NAME%>" at `text`, 0 when none starts
// there. *cut tells whether the text ends inside such a token ("<%SER",
// "<%SERIES%"), as a substitution cut at the capacity can leave it.
size_t PlaceholderTokenLength(const char* text, bool* cut) {
  *cut = false;
  if (text[0] != '<' || text[1] != '%') return 0;
  size_t end = 2;
  while (IsPlaceholderNameByte(text[end])) ++end;
  if (text[end] == '\0' || (text[end] == '%' && text[end + 1] == '\0')) {
    *cut = true;
    return 0;
  }
  if (end == 2 || text[end] != '%' || text[end + 1] != '>') return 0;
  return end + 2;
}

// A placeholder that kept its token (the table has no value for it, or the
// substitution failed and left the text as it was) must not reach wvsprintfA
// as directives: "<%SERIES%>" holds "%S", which reads a wide-string argument
// that nobody passed. Doubles both '%' of every such token, so it is printed
// as it stands; a token that has no room left for that, or that the text
// ends inside, is cut off with the rest of the text. '<' and '%' are below
// every trail-byte range, so the byte scan never matches inside a double-byte
// character.
void EscapeLeftoverPlaceholders(char* buffer, int capacity) {
  if (capacity <= 0) return;
  size_t length = strnlen(buffer, static_cast<size_t>(capacity));
  if (length >= static_cast<size_t>(capacity)) return;  // not terminated: not ours to read
  for (size_t at = 0; at < length; ++at) {
    bool cut = false;
    size_t token = PlaceholderTokenLength(buffer + at, &cut);
    if (cut) {
      buffer[at] = '\0';
      return;
    }
    if (token == 0) continue;
    if (length + 2 > static_cast<size_t>(capacity) - 1) {
      buffer[at] = '\0';
      return;
    }
    size_t closing = at + token - 2;  // the second '%'
    std::memmove(buffer + closing + 2, buffer + closing, length - closing + 1);
    buffer[closing + 1] = '%';
    std::memmove(buffer + at + 2, buffer + at + 1, closing + 1 - (at + 1));
    buffer[at + 1] = '%';
    length += 2;
    at += token + 1;
  }
}

}  // namespace

void TextTemplate::AddPlaceholder(const char* placeholder, const char* value) {
  if (placeholder[0] != '\0' && std::strstr(value, placeholder) != nullptr) return;
  entries_.push_back(PlaceholderEntry{placeholder, value});
}

bool TextTemplate::Substitute(char* buffer, int capacity) const {
  return Apply(buffer, capacity, false);
}

bool TextTemplate::SubstituteForFormat(char* buffer, int capacity) const {
  bool rewritten = Apply(buffer, capacity, true);
  EscapeLeftoverPlaceholders(buffer, capacity);
  return rewritten;
}

bool TextTemplate::Apply(char* buffer, int capacity, bool escapePercent) const {
  WideText text;
  if (!ToWide(codePage_, buffer, &text)) return false;
  for (const PlaceholderEntry& entry : entries_) {
    WideText placeholder;
    WideText value;
    if (!ToWide(codePage_, entry.placeholder.c_str(), &placeholder)) return false;
    if (!ToWide(codePage_, entry.value.c_str(), &value)) return false;
    if (escapePercent) value = DoublePercents(value);
    if (!ReplaceAll(&text, placeholder, value)) return false;
  }
  std::string result;
  if (!ToNarrow(codePage_, text, &result)) return false;
  if (capacity <= 0) return true;
  CopyBounded(buffer, result.c_str(), capacity - 1, nullptr);
  return true;
}

TextTemplate& Placeholders() {
  static TextTemplate table;
  return table;
}
