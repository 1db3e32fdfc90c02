// A registry export of a real machine's HKLM\SYSTEM as hivexregedit writes it
// (regedit's version 5 format, every value as dword:... or hex(N):...), read
// into keys and values with their exact bytes, for the test tool that writes
// it into a Wine prefix and later compares the prefix with it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace real_export {

struct Value {
  std::wstring name;  // empty for the key's default value (@)
  DWORD type;
  std::vector<BYTE> data;
};

struct Key {
  std::wstring path;  // below HKEY_LOCAL_MACHINE, no trailing backslash
  std::vector<Value> values;
};

// Reads the export at `file`. The SYSTEM key's own line, which hivexregedit
// writes as [HKEY_LOCAL_MACHINE\SYSTEM\], gives the key SYSTEM. Any line that
// is neither a key, a value nor blank fails the read, naming its number.
bool ReadExportFile(const std::string& file, std::vector<Key>* keys, std::string* error);

}  // namespace real_export
