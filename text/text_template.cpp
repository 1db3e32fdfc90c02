#include "text/text_template.h"

#include <cstring>

#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

using WideText = std::basic_string<WCHAR>;

// A text can grow only by replacements; a table whose values keep forming new
// placeholders together with the text around them is stopped here.
constexpr int kMaxReplacements = 4096;

// Converts a terminated narrow text to UTF-16. False for an empty text and
// for a byte sequence that is not valid in the code page.
bool ToWide(UINT codePage, const char* text, WideText* wide) {
  int length = plat::lstrlenA(text);
  if (length <= 0) return false;
  int needed = plat::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
  if (needed <= 0) return false;
  wide->assign(static_cast<size_t>(needed), WCHAR(0));
  return plat::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, length, wide->data(),
                                   needed) == needed;
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

}  // namespace

void TextTemplate::AddPlaceholder(const char* placeholder, const char* value) {
  if (placeholder[0] != '\0' && std::strstr(value, placeholder) != nullptr) return;
  entries_.push_back(PlaceholderEntry{placeholder, value});
}

bool TextTemplate::Substitute(char* buffer, int capacity) const {
  return Apply(buffer, capacity, false);
}

bool TextTemplate::SubstituteForFormat(char* buffer, int capacity) const {
  return Apply(buffer, capacity, true);
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

void RegisterPlaceholders(const char* seriesName, const char* categoryName) {
  char placeholder[1024];
  placeholder[0] = '\0';
  LoadText(IDS_PLACEHOLDER_SERIES, placeholder, sizeof(placeholder));
  Placeholders().AddPlaceholder(placeholder, seriesName);
  placeholder[0] = '\0';
  LoadText(IDS_PLACEHOLDER_CATEGORY, placeholder, sizeof(placeholder));
  Placeholders().AddPlaceholder(placeholder, categoryName);
}
