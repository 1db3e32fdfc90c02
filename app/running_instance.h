#pragma once
#include "platform/win_types.h"

enum InstanceAction : int {
  kActivate = 1,
  kCloseRunning = 2,
};

// When an earlier instance was running at start-up, finds its wizard (the
// top-level window that carries the program's mark and its title), brings it
// to the front (kActivate) or sends it WM_CLOSE (kCloseRunning), waiting a
// few seconds at most for it to handle the message and not at all when its
// thread hangs. Another program's window is never touched, whatever its
// title. Returns 1 when an earlier instance was running.
int HandleRunningInstance(int action);

// The wizard marks its window while it is open, so that a later instance can
// find it: a property named as the program's window class ("USBDriverInstall").
// Mark returns 1 when the property was set; Unmark takes it off again before
// the window is destroyed, as Windows asks of every property.
int MarkWizardWindow(HWND window);
void UnmarkWizardWindow(HWND window);
