#pragma once

// Sends WM_DEVICECHANGE (wParam 0, lParam 0) to every top-level window that
// carries a property named exactly "CDROMLauncher", in EnumWindows order,
// waiting a few seconds at most for each (none for a hung window).
// Integer-atom properties and other spellings never match.
void NotifyLauncherWindows();
