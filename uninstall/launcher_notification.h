#pragma once

// Sends WM_DEVICECHANGE (wParam 0, lParam 0) to every top-level window that
// carries the property "CDROMLauncher" (in any letter case, as property
// names are atoms), in EnumWindows order. Integer-atom properties never match.
void NotifyLauncherWindows();
