#include "preview/input_text.h"

#include "platform/sim/code_pages.h"

namespace preview {

std::string ToAnsi(std::u16string_view text, bool* lossy) {
  std::string bytes;
  bool usedDefault = false;
  sim::EncodeNarrow(kInputCodePage, text.data(), text.size(), false, nullptr, &usedDefault,
                    &bytes);
  if (usedDefault) *lossy = true;
  return bytes;
}

std::u16string FromAnsi(std::string_view bytes) {
  std::u16string text;
  sim::DecodeNarrow(kInputCodePage, bytes.data(), bytes.size(), false, &text);
  return text;
}

bool FromUtf8(std::string_view bytes, std::u16string* text) {
  text->clear();
  return sim::DecodeNarrow(65001, bytes.data(), bytes.size(), true, text);
}

std::u16string FromUtf16Le(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  }
  return text;
}

std::string Printable(std::u16string_view text, size_t most) {
  std::string shown;
  for (size_t i = 0; i < text.size() && i < most; ++i) {
    char16_t c = text[i];
    shown += c >= 0x20 && c < 0x7F ? char(c) : '?';
  }
  if (text.size() > most) shown += "...";
  return shown;
}

bool LineReader::Next(std::u16string_view* line) {
  if (position_ >= text_.size()) return false;
  size_t end = text_.find(u'\n', position_);
  terminated_ = end != std::u16string_view::npos;
  if (!terminated_) end = text_.size();
  *line = text_.substr(position_, end - position_);
  if (!line->empty() && line->back() == u'\r') line->remove_suffix(1);
  last_ = *line;
  position_ = end + 1;
  ++number_;
  return true;
}

bool CutShort(const LineReader& lines, std::string* error) {
  if (lines.terminated() || TrimSpaces(lines.last()).empty()) return false;
  *error = "line " + std::to_string(lines.number()) +
           ": the last line has no line end: the file is cut short";
  return true;
}

std::u16string_view TrimSpaces(std::u16string_view text) {
  size_t start = text.find_first_not_of(u" \t");
  if (start == std::u16string_view::npos) return {};
  size_t end = text.find_last_not_of(u" \t");
  return text.substr(start, end - start + 1);
}

}  // namespace preview
