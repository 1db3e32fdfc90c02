// GetPrivateProfileStringA and WritePrivateProfileStringA on the simulated file
// system, with Windows' INI rules: section and key names compare without regard
// to case, blanks around names and values are dropped, a value's surrounding
// quotes are stripped, lines that start with ';' are comments, and the first of
// two equal sections or keys is the one that counts.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sim/machine.h"

namespace plat {

namespace {

sim::Machine& Machine() { return sim::CurrentMachine(); }

struct IniLine {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string name;   // section or key name, trimmed
  std::string value;  // trimmed value of an entry
  bool hasValue = false;
  std::string text;  // the line as it stands in the file
};

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<IniLine> ParseIni(const std::string& contents) {
  std::vector<IniLine> lines;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    IniLine line;
    line.text = contents.substr(start, end - start);
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    std::string trimmed = Trim(line.text);
    if (!trimmed.empty() && trimmed[0] == '[') {
      size_t close = trimmed.find(']');
      line.kind = IniLine::Section;
      line.name =
          Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else if (!trimmed.empty() && trimmed[0] != ';') {
      line.kind = IniLine::Entry;
      size_t equals = trimmed.find('=');
      line.name = Trim(trimmed.substr(0, equals));
      if (equals != std::string::npos) {
        line.hasValue = true;
        line.value = Trim(trimmed.substr(equals + 1));
      }
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool SameName(const std::string& a, const char* b) {
  return sim::UpperName(a) == sim::UpperName(b);
}

// The index of the first section header with the name; lines.size() if none.
size_t FindSection(const std::vector<IniLine>& lines, const char* section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == IniLine::Section && SameName(lines[i].name, section)) return i;
  }
  return lines.size();
}

// The end of the section that starts at `header`: the next header or the end.
size_t SectionEnd(const std::vector<IniLine>& lines, size_t header) {
  size_t i = header + 1;
  while (i < lines.size() && lines[i].kind != IniLine::Section) ++i;
  return i;
}

size_t FindEntry(const std::vector<IniLine>& lines, size_t header, const char* key) {
  size_t end = SectionEnd(lines, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (lines[i].kind == IniLine::Entry && SameName(lines[i].name, key)) return i;
  }
  return end;
}

std::string StripQuotes(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// A file name without a folder names a file in the Windows folder.
std::string ProfilePath(const char* fileName) {
  std::string name = fileName;
  if (name.find_first_of("\\/") == std::string::npos && name.find(':') == std::string::npos) {
    return Machine().files.WindowsDirectory() + "\\" + name;
  }
  return name;
}

// Copies text cut to size - 1 characters and terminated; returns the characters
// copied.
DWORD CopyText(const std::string& text, LPSTR buffer, DWORD size) {
  DWORD count = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return count;
}

// Copies a list of names, each terminated, with a closing terminator. A list that
// does not fit is cut: the last name that fits in part is kept in part, and the
// result is size - 2, as Windows reports it.
DWORD CopyNameList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  DWORD used = 0;
  for (const std::string& name : names) {
    if (used + name.size() + 1 > size - 1) {
      DWORD room = size - 1 - used;  // at least 1: the list is still open
      if (room > 1) std::memcpy(buffer + used, name.data(), room - 1);
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buffer + used, name.c_str(), name.size() + 1);
    used += static_cast<DWORD>(name.size()) + 1;
  }
  buffer[used] = '\0';
  return used;
}

std::string JoinIni(const std::vector<IniLine>& lines) {
  std::string text;
  for (const IniLine& line : lines) text += line.text + "\r\n";
  return text;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
  uint32_t error = 0;
  if (sim::EnterCall("GetPrivateProfileStringA", &error)) return 0;
  if (!buffer || size == 0 || !fileName) return 0;
  // Windows drops the trailing blanks of the default text.
  std::string fallback = defaultValue ? defaultValue : "";
  fallback.erase(fallback.find_last_not_of(' ') + 1);
  std::optional<std::string> contents = Machine().files.ReadFile(ProfilePath(fileName));
  if (!contents) {
    Machine().lastError = ERROR_FILE_NOT_FOUND;
    if (!section || !key) return CopyNameList({}, buffer, size);
    return CopyText(fallback, buffer, size);
  }
  std::vector<IniLine> lines = ParseIni(*contents);
  if (!section) {
    std::vector<std::string> names;
    for (const IniLine& line : lines) {
      if (line.kind == IniLine::Section) names.push_back(line.name);
    }
    return CopyNameList(names, buffer, size);
  }
  size_t header = FindSection(lines, section);
  if (!key) {
    std::vector<std::string> names;
    if (header < lines.size()) {
      for (size_t i = header + 1; i < SectionEnd(lines, header); ++i) {
        if (lines[i].kind == IniLine::Entry) names.push_back(lines[i].name);
      }
    }
    return CopyNameList(names, buffer, size);
  }
  if (header == lines.size()) return CopyText(fallback, buffer, size);
  size_t entry = FindEntry(lines, header, key);
  if (entry == SectionEnd(lines, header) || !lines[entry].hasValue) {
    return CopyText(fallback, buffer, size);
  }
  return CopyText(StripQuotes(lines[entry].value), buffer, size);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  uint32_t error = 0;
  if (sim::EnterCall("WritePrivateProfileStringA", &error)) return FALSE;
  if (!section && !key && !value) return TRUE;  // flushes the cache: nothing to do here
  if (!section || !fileName) {
    Machine().lastError = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  std::string path = ProfilePath(fileName);
  sim::FsLookup lookup = Machine().files.Lookup(path);
  DWORD failure = lookup.error;
  if (failure == ERROR_SUCCESS && lookup.node) {
    const sim::FsNode& node = *lookup.node;
    if (node.directory || (node.attributes & FILE_ATTRIBUTE_READONLY)) {
      failure = ERROR_ACCESS_DENIED;
    } else if (!sim::FileSystem::SharingAllows(node, GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ)) {
      failure = ERROR_SHARING_VIOLATION;
    }
  }
  if (failure != ERROR_SUCCESS) {
    Machine().lastError = failure;
    return FALSE;
  }
  std::string contents = lookup.node ? Machine().files.ReadFile(path).value_or("") : "";
  std::vector<IniLine> lines = ParseIni(contents);
  size_t header = FindSection(lines, section);
  if (!key) {
    if (header < lines.size()) {
      lines.erase(lines.begin() + header, lines.begin() + SectionEnd(lines, header));
    }
  } else if (header == lines.size()) {
    if (value) {
      lines.push_back(
          IniLine{IniLine::Section, section, "", false, std::string("[") + section + "]"});
      lines.push_back(IniLine{IniLine::Entry, key, value, true, std::string(key) + "=" + value});
    }
  } else {
    size_t entry = FindEntry(lines, header, key);
    size_t end = SectionEnd(lines, header);
    if (!value) {
      if (entry < end) lines.erase(lines.begin() + entry);
    } else if (entry < end) {
      lines[entry].text = lines[entry].name + "=" + value;
    } else {
      // After the section's last entry, before the blank lines that close it.
      size_t at = end;
      while (at > header + 1 && lines[at - 1].kind == IniLine::Other &&
             Trim(lines[at - 1].text).empty()) {
        --at;
      }
      lines.insert(lines.begin() + at,
                   IniLine{IniLine::Entry, key, value, true, std::string(key) + "=" + value});
    }
  }
  DWORD attributes = lookup.node ? lookup.node->attributes : FILE_ATTRIBUTE_ARCHIVE;
  Machine().files.WriteFile(path, JoinIni(lines), attributes);
  return TRUE;
}

}  // namespace plat
