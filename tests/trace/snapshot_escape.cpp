#include "tests/trace/snapshot_escape.h"

namespace trace {
namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool MustEscapeInData(unsigned char byte) {
  return byte < 0x20 || byte >= 0x7F || byte == '%' || byte == '"';
}

bool MustEscapeInName(unsigned char byte) {
  return MustEscapeInData(byte) || byte == '*' || byte == '|' || byte == '\\';
}

std::string Escape(std::string_view raw, bool (*mustEscape)(unsigned char)) {
  std::string escaped;
  escaped.reserve(raw.size());
  for (char c : raw) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (mustEscape(byte)) {
      escaped += '%';
      escaped += kHexDigits[byte >> 4];
      escaped += kHexDigits[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

}  // namespace

std::string EscapeName(std::string_view raw) { return Escape(raw, MustEscapeInName); }

std::string EscapeData(std::string_view raw) { return Escape(raw, MustEscapeInData); }

bool UnescapeBytes(std::string_view escaped, std::string* raw) {
  raw->clear();
  for (size_t i = 0; i < escaped.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(escaped[i]);
    if (byte != '%') {
      if (byte < 0x20 || byte >= 0x7F) return false;
      raw->push_back(escaped[i]);
      continue;
    }
    if (i + 2 >= escaped.size()) return false;
    int high = HexValue(escaped[i + 1]);
    int low = HexValue(escaped[i + 2]);
    if (high < 0 || low < 0) return false;
    raw->push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

bool IsAsciiSafe(std::string_view text) {
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E) return false;
  }
  return true;
}

}  // namespace trace
