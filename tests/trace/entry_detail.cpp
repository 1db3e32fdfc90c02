#include "tests/trace/entry_detail.h"

#include <cstdio>

#include "tests/trace/snapshot_escape.h"

namespace trace {
namespace {

const char* TypeName(uint32_t type) {
  static const char* const kNames[] = {"REG_NONE",
                                       "REG_SZ",
                                       "REG_EXPAND_SZ",
                                       "REG_BINARY",
                                       "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",
                                       "REG_MULTI_SZ",
                                       "REG_RESOURCE_LIST",
                                       "REG_FULL_RESOURCE_DESCRIPTOR",
                                       "REG_RESOURCE_REQUIREMENTS_LIST",
                                       "REG_QWORD"};
  return type < sizeof kNames / sizeof kNames[0] ? kNames[type] : nullptr;
}

bool IsStringType(uint32_t type) { return type == 1 || type == 2 || type == 6 || type == 7; }

std::string Hex(std::string_view data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text = "hex:";
  for (char c : data) {
    unsigned char byte = static_cast<unsigned char>(c);
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

// A little-endian number of data.size() bytes (4 or 8).
std::string LittleEndianNumber(std::string_view data) {
  uint64_t number = 0;
  for (size_t i = data.size(); i > 0; --i) {
    number = (number << 8) | static_cast<unsigned char>(data[i - 1]);
  }
  char text[24];
  std::snprintf(text, sizeof text, data.size() == 4 ? "0x%08llx" : "0x%016llx",
                static_cast<unsigned long long>(number));
  return text;
}

}  // namespace

std::string FormatValueDetail(uint32_t type, std::string_view data) {
  std::string text;
  if (const char* name = TypeName(type)) {
    text = name;
  } else {
    char number[32];
    std::snprintf(number, sizeof number, "type 0x%08lx", static_cast<unsigned long>(type));
    text = number;
  }
  text += ' ';
  if (IsStringType(type)) {
    bool terminated = !data.empty() && data.back() == '\0';
    if (terminated) data.remove_suffix(1);
    text += '"' + EscapeData(data) + '"';
    if (!terminated) text += " unterminated";
  } else if ((type == 4 && data.size() == 4) || (type == 11 && data.size() == 8)) {
    text += LittleEndianNumber(data);
  } else {
    text += Hex(data);
  }
  return text;
}

std::string FormatUnreadable(uint32_t error) { return "unreadable " + std::to_string(error); }

std::string FormatFileDetail(uint64_t size, uint64_t hash, uint32_t attributes) {
  char text[80];
  std::snprintf(text, sizeof text, "size=%llu fnv=%016llx attr=0x%08lx",
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(hash),
                static_cast<unsigned long>(attributes));
  return text;
}

uint64_t Fnv1a64(uint64_t hash, const void* data, size_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < length; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

}  // namespace trace
