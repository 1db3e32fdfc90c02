// What a simulated machine image is: the Windows version, the user's rights,
// the ANSI code page and where the program runs from.
#pragma once
#include <cstdint>
#include <string>

namespace sim {

// The Windows versions the machine can present.
enum class WindowsVersion {
  Windows95,
  Windows98,
  WindowsMe,
  WindowsNT4,
  Windows2000,
  WindowsXPSP1,
  WindowsXPSP2,
  WindowsXPSP3,
  WindowsVista,
  Windows7,
  Windows81,
  Windows10,  // 22H2, build 19045
  Windows11,  // 23H2, build 22631; 64-bit only
};

bool IsNtFamily(WindowsVersion version);
// Windows XP keeps copies of what a driver install replaced in %windir%\LastGood
// with entries under HKLM\SYSTEM\LastKnownGoodRecovery\LastGood; 2000 has no
// such folder, and neither do Vista and later (the real Windows 7 and 10
// SYSTEM hives of the real-world corpus have no LastKnownGoodRecovery key,
// the XP one has).
bool KeepsLastGood(WindowsVersion version);

struct MachineOptions {
  WindowsVersion version = WindowsVersion::WindowsXPSP3;
  bool administrator = true;
  uint32_t codePage = 1250;
  // The language of the thread locale (a LANGID), which picks an INF's
  // [Strings.LanguageID] section: Hungarian, as the program's users run it.
  uint16_t languageId = 0x040E;
  // Full path of the running program; its folder holds the branding INI and
  // its parent the "Drivers" folder.
  std::string programPath = "D:\\USBINST\\USBINST.EXE";
  // 64-bit Windows (with Windows XP or a later NT version): the running program
  // is the 32-bit build under WOW64 unless SystemModel::process64Bit says
  // otherwise, and HKLM\SOFTWARE has a separate 32-bit view.
  bool windows64 = false;
  // The Windows folder ("C:\WINNT"); empty for the version's usual one. The
  // system folder is its "system32" (NT family) or "SYSTEM" (95/98/Me).
  std::string windowsFolder;
  // Vista or 7 with update KB2533623: kernel32 has SetDefaultDllDirectories
  // (Windows 8 and later have it built in).
  bool dllDirectoriesUpdate = false;
  // A Terminal Server in application mode (NT 4 Terminal Server Edition,
  // Windows 2000 Server and later), as a program that is not marked Terminal
  // Server aware sees it: GetWindowsDirectoryA gives this private Windows
  // folder of the user ("C:\Documents and Settings\anna\WINDOWS"), while
  // GetSystemWindowsDirectoryA gives the shared one. Empty: a one-user machine.
  // On NT 4 it also makes GetSystemWindowsDirectoryA exist (Terminal Server
  // Edition has it; plain NT 4 does not).
  std::string terminalServerUserWindowsFolder;
  // The running program's manifest names Windows 8.1 and 10 in its
  // compatibility section (supportedOS), as the shipped program's does. From
  // Windows 8.1 on, GetVersionExA tells a program without those entries
  // 6.2, Windows 8 ("Operating system version changes in Windows 8.1 and
  // Windows Server 2012 R2", Microsoft; the GetVersionEx remarks).
  bool manifestNamesWindows10 = true;
};

}  // namespace sim
