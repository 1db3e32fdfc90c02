#include "uninstall/launcher_notification.h"

#include "app/send_to_other_program.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

constexpr int kPropertyNameCapacity = 32;

// Property names below 0xC000 are integer atoms, not string pointers.
bool IsIntegerAtom(LPCSTR name) { return reinterpret_cast<ULONG_PTR>(name) < 0xC000; }

// EnumPropsA passes no parameter to its callback, so the window's callback
// reaches the name through this buffer, filled before every enumeration.
char g_launcherProperty[kPropertyNameCapacity];

// The name is compared exactly, case included: the launcher sets its
// property as "CDROMLauncher", and a property spelt otherwise is not its mark.
// (Property names are global atoms on Windows, so the spelling EnumPropsA
// reports is the one the atom was first made with.)
BOOL CALLBACK NotifyIfLauncherProperty(HWND window, LPCSTR name, HANDLE) {
  if (!IsIntegerAtom(name) && plat::lstrcmpA(name, g_launcherProperty) == 0) {
    // A launcher that hangs, or waits for the installer it started to end,
    // must not keep the removal run (and the installation run that removes
    // first) waiting for ever.
    SendToOtherProgram(window, WM_DEVICECHANGE, 0, 0);
  }
  return TRUE;
}

BOOL CALLBACK VisitTopLevelWindow(HWND window, LPARAM) {
  plat::EnumPropsA(window, NotifyIfLauncherProperty);
  return TRUE;
}

}  // namespace

void NotifyLauncherWindows() {
  g_launcherProperty[0] = '\0';
  if (LoadText(IDS_LAUNCHER_PROPERTY, g_launcherProperty, kPropertyNameCapacity) == 0) return;
  plat::EnumWindows(VisitTopLevelWindow, 0);
}
