#pragma once
#include "platform/win_types.h"

// Centres the window on its parent, or on the screen when it has none, and
// keeps it inside the screen.
void CenterWindow(HWND window);
