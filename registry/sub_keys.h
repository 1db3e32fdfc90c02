// Counting a key's sub-keys, as every cleanup walk starts.
#pragma once
#include "registry/registry_walker.h"

// The number of sub-keys; false after an error, which is shown.
bool CountSubKeys(HKEY key, DWORD* count);

// The sub-key name at `index` into a buffer of kRegTextCapacity characters; false after
// any error, the end of the list included, which is shown.
bool ReadSubKeyName(HKEY key, DWORD index, char* name);
