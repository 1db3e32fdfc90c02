// Version queries: a file's fixed version information and the running
// system's service pack.
#pragma once
#include "platform/win_types.h"

// The file version's most significant double word, 0 without version information.
DWORD GetFileVersionMS(const char* path);

// Major, minor, build and revision of the file version; each written only
// when its pointer is given. 1, or 0 with nothing written.
int GetFileVersionParts(const char* path, WORD* major, WORD* minor, WORD* build, WORD* revision);

// 1 and the service pack numbers, or 0 with nothing written.
int GetServicePackMajor(WORD* major, WORD* minor);
