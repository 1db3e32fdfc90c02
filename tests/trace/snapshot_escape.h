// The escaping that keeps a snapshot file ASCII-safe and one entry per line.
//
// A byte is written as %XX (two upper-case hex digits) when it is a control
// byte (tab and line feed included), not ASCII (0x7F and above), '%' or '"'.
// Names (registry key and value names, file names) also escape the characters
// that paths and rule patterns give a meaning to: '*', '|' and '\'. They are
// escaped one name at a time and then joined with '\', so a '\' or '|' left in
// an escaped path is always a separator. Everything else stays as it is,
// spaces included, so that paths and data stay readable.
#pragma once

#include <string>
#include <string_view>

namespace trace {

std::string EscapeName(std::string_view raw);
std::string EscapeData(std::string_view raw);

// Reverses either escaping. Returns false (and leaves *raw unspecified) for
// text that neither can have written: a '%' without two hex digits, or a byte
// that is not printable ASCII.
bool UnescapeBytes(std::string_view escaped, std::string* raw);

// True when every byte of text is printable ASCII (0x20 to 0x7E).
bool IsAsciiSafe(std::string_view text);

}  // namespace trace
