// The ANSI code pages of the simulated machine: 1250 (Central European),
// 1252 (Western) and 932 (Japanese Shift-JIS), plus UTF-8. The conversions
// follow the tables Windows ships:
//  - 1250 and 1252 define all 256 bytes. The five bytes the code page leaves
//    unassigned map to the C1 control of the same value and back, so
//    MB_ERR_INVALID_CHARS never fails for them (as on Windows and Wine).
//  - 932 covers ASCII, half-width katakana (0xA1-0xDF) and a table of real
//    double-byte mappings: the symbol row 0x81, row 0x82 (full-width digits and
//    letters, hiragana), row 0x83 (katakana, Greek) and a few kanji. A
//    double-byte pair with a valid lead and trail byte that is not in the table
//    counts as undefined, like a lead byte without a valid trail byte. 0xA0
//    and 0xFD-0xFF map to private-use characters U+F8F0-U+F8F3 and count as
//    undefined under MB_ERR_INVALID_CHARS, as on Windows.
// Undefined input becomes U+30FB (932) or U+FFFD (UTF-8) when the caller does
// not ask for strict checking.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

bool IsKnownCodePage(uint32_t codePage);
bool IsLeadByteIn(uint32_t codePage, uint8_t byte);

// Narrow text to UTF-16. With `strict`, undefined input makes it return false.
bool DecodeNarrow(uint32_t codePage, const char* text, size_t length, bool strict,
                  std::u16string* out);

// UTF-16 text to narrow. A character the code page lacks becomes its letter
// without accents when `bestFit` allows (Windows' best-fit for Latin letters,
// as in "ő" -> "o" on 1252), otherwise `defaultChar` ('?' when null), and
// *usedDefault is set. UTF-8 encodes a lone surrogate as U+FFFD.
void EncodeNarrow(uint32_t codePage, const char16_t* wide, size_t length, bool bestFit,
                  const char* defaultChar, bool* usedDefault, std::string* out);

// UTF-8 (the string table's encoding) to UTF-16.
std::u16string Utf8ToUtf16(const char* text);

// Lower case of a character of Latin-1, Latin Extended-A, Greek, Cyrillic
// basics and full-width Latin; other characters are returned unchanged.
char16_t LowerCaseOf(char16_t c);

}  // namespace sim
