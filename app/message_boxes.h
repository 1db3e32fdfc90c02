// The program's three message boxes: a string-table text with the error
// icon or the information icon (caption: the application title), and the
// system's own text for a Win32 error code (caption "Error").
#pragma once
#include "platform/win_types.h"

void ShowErrorText(HWND owner, int id, ...);
void ShowInfoText(HWND owner, int id, ...);
void ShowSystemError(DWORD error);
