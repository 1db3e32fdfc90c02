// Messages to the windows of other programs: a CD launcher, or the wizard of
// an earlier instance of this program.
#pragma once
#include "platform/win_types.h"

// Sends `message` and waits a few seconds at most for the answer, and not at
// all for a window whose thread Windows already counts as hung. 1 when the
// window answered, 0 when it did not in time or is gone.
int SendToOtherProgram(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
