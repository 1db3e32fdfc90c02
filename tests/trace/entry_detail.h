// The DETAIL text of value and file entries (see snapshot_entry.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trace {

// A registry value's type and data:
//   REG_SZ "text"               string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ,
//                               REG_LINK) whose data ends with a NUL: the text
//                               before that NUL, escaped; the strings of a
//                               REG_MULTI_SZ are separated by %00
//   REG_SZ "text" unterminated  the same without the final NUL
//   REG_DWORD 0x00000001        a REG_DWORD of 4 bytes (REG_QWORD: 8 bytes)
//   REG_BINARY hex:0102ff       everything else, and a DWORD of another length
//   type 0x00001234 hex:...     a type without a name
std::string FormatValueDetail(uint32_t type, std::string_view data);

// The inverse of FormatValueDetail: the type and the data bytes (the final
// NUL of a terminated string type given back). False for text that
// FormatValueDetail cannot have written.
bool ParseValueDetail(std::string_view detail, uint32_t* type, std::string* data);

// A value that could not be read, or a key that could not be opened or listed.
std::string FormatUnreadable(uint32_t error);

// A file's size, 64-bit FNV-1a hash of its content and attributes:
//   size=1234 fnv=cbf29ce484222325 attr=0x00000020
std::string FormatFileDetail(uint64_t size, uint64_t hash, uint32_t attributes);
// The inverse of FormatFileDetail; false for any other text.
bool ParseFileDetail(std::string_view detail, uint64_t* size, uint64_t* hash,
                     uint32_t* attributes);

// 64-bit FNV-1a, fed in pieces: start with kFnvOffsetBasis.
constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
uint64_t Fnv1a64(uint64_t hash, const void* data, size_t length);

}  // namespace trace
