// Narrow text to UTF-16 with the check for byte sequences the code page does
// not define, where the running Windows offers that check.
#pragma once
#include "platform/win_types.h"

// MultiByteToWideChar with MB_ERR_INVALID_CHARS. Windows versions older than
// the flag refuse it before looking at the text (NT 4 with
// ERROR_INVALID_FLAGS, NT 3.x with ERROR_INVALID_PARAMETER); there the text
// is converted again without the check, as the MinGW-w64 run-time does, so
// that a valid text is never taken for an invalid one. Returns what
// MultiByteToWideChar returns; 0 with ERROR_NO_UNICODE_TRANSLATION for an
// invalid sequence where the check exists.
int ConvertToWideChecked(UINT codePage, LPCSTR text, int length, LPWSTR wide, int wideLength);
