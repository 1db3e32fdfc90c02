// Reads a hivexregedit export (see registry_export_file.h).
//
// The export is plain ASCII with one value a line: names in double quotes
// with \\ and \" escaped, data as dword:XXXXXXXX or hex(N):bb,bb,... whatever
// the type (strings are UTF-16 bytes, an odd number of them where the hive
// holds one). A line that ends in a backslash continues on the next, as
// regedit wraps long data. Names are taken as UTF-8.
#include "tests/wine/registry_export_file.h"

#include <cstdio>
#include <fstream>

namespace real_export {
namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "bb,bb,..." into bytes; false on anything else.
bool ParseBytes(const std::string& text, size_t at, std::vector<BYTE>* bytes) {
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at >= text.size()) break;
    if (at + 2 > text.size()) return false;
    int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<BYTE>(high * 16 + low));
    at += 2;
    if (at < text.size()) {
      if (text[at] != ',') return false;
      ++at;
    }
  }
  return true;
}

// One value line into `value`; false when it is not one.
bool ParseValue(const std::string& line, Value* value) {
  size_t at = 0;
  std::string name;
  if (line[0] == '@') {
    at = 1;
  } else {
    for (at = 1; at < line.size() && line[at] != '"'; ++at) {
      if (line[at] == '\\' && at + 1 < line.size()) ++at;
      name += line[at];
    }
    if (at >= line.size()) return false;
    ++at;
  }
  if (at >= line.size() || line[at] != '=') return false;
  ++at;
  value->name = Widen(name);
  value->data.clear();
  if (line.compare(at, 6, "dword:") == 0) {
    unsigned long number = 0;
    if (line.size() != at + 14 || std::sscanf(line.c_str() + at + 6, "%8lx", &number) != 1) {
      return false;
    }
    value->type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) {
      value->data.push_back(static_cast<BYTE>(number >> shift));
    }
    return true;
  }
  if (line.compare(at, 4, "hex:") == 0) {
    value->type = REG_BINARY;
    return ParseBytes(line, at + 4, &value->data);
  }
  if (line.compare(at, 4, "hex(") == 0) {
    size_t close = line.find("):", at);
    if (close == std::string::npos || close == at + 4) return false;
    unsigned long type = 0;
    for (size_t i = at + 4; i < close; ++i) {
      int digit = HexDigit(line[i]);
      if (digit < 0) return false;
      type = type * 16 + static_cast<unsigned long>(digit);
    }
    value->type = type;
    return ParseBytes(line, close + 2, &value->data);
  }
  return false;
}

}  // namespace

bool ReadExportFile(const std::string& file, std::vector<Key>* keys, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot open " + file;
    return false;
  }
  const std::string root = "HKEY_LOCAL_MACHINE\\";
  std::string line, piece;
  size_t number = 0;
  while (std::getline(in, piece)) {
    ++number;
    if (!piece.empty() && piece.back() == '\r') piece.pop_back();
    line += piece;
    if (!line.empty() && line.back() == '\\' && line[0] != '[') {
      line.pop_back();
      continue;
    }
    if (line.empty() || (number == 1 && line.compare(0, 16, "Windows Registry") == 0)) {
      line.clear();
      continue;
    }
    if (line[0] == '[' && line.back() == ']') {
      std::string path = line.substr(1, line.size() - 2);
      if (path.compare(0, root.size(), root) != 0) {
        *error = "line " + std::to_string(number) + ": a key outside HKEY_LOCAL_MACHINE";
        return false;
      }
      path.erase(0, root.size());
      while (!path.empty() && path.back() == '\\') path.pop_back();
      keys->push_back(Key{Widen(path), {}});
    } else {
      Value value;
      if ((line[0] != '"' && line[0] != '@') || keys->empty() || !ParseValue(line, &value)) {
        *error = "line " + std::to_string(number) + ": not a key or value: " + line.substr(0, 80);
        return false;
      }
      keys->back().values.push_back(std::move(value));
    }
    line.clear();
  }
  return true;
}

}  // namespace real_export
