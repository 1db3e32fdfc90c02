// The one persistent fact the program keeps: the REG_DWORD "InstallFlag" in
// the settings key. SettingsKey holds at most one open key and reads and
// writes 4-byte values whose names are string-table texts. The key is only
// ever opened, never created.
#pragma once
#include "platform/win_types.h"

class SettingsKey {
 public:
  SettingsKey() = default;
  ~SettingsKey();
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  // Opens root\<text of pathId>; closes any key held before. 1 when open.
  int Open(HKEY root, int pathId, REGSAM access);
  // 1 when a key was held and has been closed.
  int Close();
  // 1 and the value's 4 bytes, or 0 and nothing stored.
  int ReadDword(int nameId, DWORD* value);
  // 1 when the value was written as REG_DWORD.
  int WriteDword(int nameId, DWORD value);

 private:
  HKEY key_ = nullptr;
};

// Every writer opens the settings key the same way.
int OpenSettingsKey(SettingsKey* settings);
