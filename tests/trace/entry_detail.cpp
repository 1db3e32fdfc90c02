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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "0x" and 1 to `maxDigits` hex digits, the whole text.
bool ParseHexNumber(std::string_view text, size_t maxDigits, uint64_t* number) {
  if (text.size() < 3 || text.size() > maxDigits + 2 || text.substr(0, 2) != "0x") return false;
  *number = 0;
  for (char c : text.substr(2)) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    *number = (*number << 4) | static_cast<uint64_t>(digit);
  }
  return true;
}

bool ParseHexBytes(std::string_view text, std::string* data) {
  if (text.substr(0, 4) != "hex:" || text.size() % 2 != 0) return false;
  data->clear();
  for (size_t i = 4; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    data->push_back(static_cast<char>(high << 4 | low));
  }
  return true;
}

// The type named at the start of the detail; *rest receives what follows the space.
bool ParseTypeName(std::string_view detail, uint32_t* type, std::string_view* rest) {
  if (detail.substr(0, 5) == "type ") {
    size_t space = detail.find(' ', 5);
    uint64_t number = 0;
    if (space == std::string_view::npos || !ParseHexNumber(detail.substr(5, space - 5), 8, &number))
      return false;
    *type = static_cast<uint32_t>(number);
    *rest = detail.substr(space + 1);
    return true;
  }
  size_t space = detail.find(' ');
  if (space == std::string_view::npos) return false;
  for (uint32_t candidate = 0; const char* name = TypeName(candidate); ++candidate) {
    if (detail.substr(0, space) == name) {
      *type = candidate;
      *rest = detail.substr(space + 1);
      return true;
    }
  }
  return false;
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

bool ParseValueDetail(std::string_view detail, uint32_t* type, std::string* data) {
  std::string_view rest;
  if (!ParseTypeName(detail, type, &rest)) return false;
  if (IsStringType(*type)) {
    bool terminated = true;
    constexpr std::string_view kUnterminated = " unterminated";
    if (rest.size() > kUnterminated.size() &&
        rest.substr(rest.size() - kUnterminated.size()) == kUnterminated) {
      terminated = false;
      rest.remove_suffix(kUnterminated.size());
    }
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') return false;
    if (!UnescapeBytes(rest.substr(1, rest.size() - 2), data)) return false;
    if (terminated) data->push_back('\0');
    return true;
  }
  if (rest.substr(0, 2) == "0x") {
    size_t width = *type == 4 ? 4 : *type == 11 ? 8 : 0;
    uint64_t number = 0;
    if (width == 0 || rest.size() != 2 + 2 * width || !ParseHexNumber(rest, 2 * width, &number))
      return false;
    data->clear();
    for (size_t i = 0; i < width; ++i) data->push_back(static_cast<char>(number >> (8 * i)));
    return true;
  }
  // A DWORD or QWORD of its own length is always written as a number.
  if (!ParseHexBytes(rest, data)) return false;
  return !((*type == 4 && data->size() == 4) || (*type == 11 && data->size() == 8));
}

std::string FormatUnreadable(uint32_t error) { return "unreadable " + std::to_string(error); }

std::string FormatFileDetail(uint64_t size, uint64_t hash, uint32_t attributes) {
  char text[80];
  std::snprintf(text, sizeof text, "size=%llu fnv=%016llx attr=0x%08lx",
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(hash),
                static_cast<unsigned long>(attributes));
  return text;
}

bool ParseFileDetail(std::string_view detail, uint64_t* size, uint64_t* hash,
                     uint32_t* attributes) {
  unsigned long long sizeValue = 0, hashValue = 0;
  unsigned long attributeValue = 0;
  int consumed = 0;
  std::string text(detail);
  if (std::sscanf(text.c_str(), "size=%llu fnv=%16llx attr=0x%8lx%n", &sizeValue, &hashValue,
                  &attributeValue, &consumed) != 3 ||
      static_cast<size_t>(consumed) != text.size() ||
      FormatFileDetail(sizeValue, hashValue, static_cast<uint32_t>(attributeValue)) != text) {
    return false;
  }
  *size = sizeValue;
  *hash = hashValue;
  *attributes = static_cast<uint32_t>(attributeValue);
  return true;
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
