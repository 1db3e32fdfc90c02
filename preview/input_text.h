// Text helpers the input readers share: the lines of a decoded file, and the
// conversion of Windows' UTF-16 names and strings to the ANSI bytes that a
// program calling the registry's and the file system's A functions sees.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace preview {

// The ANSI code page the readers convert to. The program is sold in Hungary,
// where Windows' ANSI code page is 1250 (Central European).
constexpr unsigned kInputCodePage = 1250;

// UTF-16 text to ANSI bytes. A character the code page lacks becomes '?',
// as WideCharToMultiByte's default character does, and *lossy is set.
std::string ToAnsi(std::u16string_view text, bool* lossy);

// ANSI bytes to UTF-16 (every byte of the code page has a character).
std::u16string FromAnsi(std::string_view bytes);

// Strict UTF-8 to UTF-16; false for bytes that are not UTF-8.
bool FromUtf8(std::string_view bytes, std::u16string* text);

// Little-endian UTF-16 bytes (an even number of them) to text.
std::u16string FromUtf16Le(std::string_view bytes);

// UTF-16 text for messages: printable ASCII kept, anything else as '?', and
// at most `most` characters, so a message never carries a whole hostile line.
std::string Printable(std::u16string_view text, size_t most = 60);

// Splits text into lines at line feeds, dropping a carriage return before
// each one; counts lines from 1.
class LineReader {
 public:
  explicit LineReader(std::u16string_view text) : text_(text) {}
  bool Next(std::u16string_view* line);
  size_t number() const { return number_; }
  // False when the last line Next gave ends the text without a line feed.
  bool terminated() const { return terminated_; }
  std::u16string_view last() const { return last_; }

 private:
  std::u16string_view text_;
  size_t position_ = 0;
  size_t number_ = 0;
  bool terminated_ = true;
  std::u16string_view last_;
};

// "line N: the last line has no line end ..." when the line that `lines`
// gave last is not blank and ends the text without a line feed: the tools
// whose files are read end every line, so the file was cut short.
bool CutShort(const LineReader& lines, std::string* error);

std::u16string_view TrimSpaces(std::u16string_view text);

}  // namespace preview
