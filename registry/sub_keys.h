// Counting a key's sub-keys, as every cleanup walk starts.
#pragma once
#include "platform/win_types.h"

// The number of sub-keys; false after an error, which is shown.
bool CountSubKeys(HKEY key, DWORD* count);
