#include "app/os_kind.h"

#include "platform/platform.h"

int GetOsKind() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  plat::GetVersionExA(&info);
  if (info.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    if (info.dwMinorVersion == 10) return kOsWindows98;
    if (info.dwMinorVersion == 90) return kOsWindowsMe;
    return kOsWindows95;
  }
  if (info.dwMajorVersion < 5) return kOsWindowsNT4;
  // Windows 10 and 11 report 10.0 to a program whose manifest names them:
  // later than 6.1, so XP's behaviour, whatever the minor number.
  if (info.dwMajorVersion > 6) return kOsWindowsXP;
  return info.dwMinorVersion == 0 ? kOsWindows2000 : kOsWindowsXP;
}
