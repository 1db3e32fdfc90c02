// The classification of the running Windows version that decides which
// steps every run takes.
#pragma once

enum OsKind : int {
  kOsWindows95 = 0,
  kOsWindows98 = 1,
  kOsWindowsMe = 2,
  kOsWindowsNT4 = 10,
  kOsWindows2000 = 11,
  kOsWindowsXP = 12,
};

// From GetVersionExA: 9x by minor version, NT by major and minor version.
// NT 6.0 counts as Windows 2000 and 6.1 as XP.
int GetOsKind();

// Windows 2000, XP and later: the systems with Plug and Play device setup,
// services and the INF store.
inline bool IsNt5Family(int osKind) { return osKind == kOsWindows2000 || osKind == kOsWindowsXP; }
