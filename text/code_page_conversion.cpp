#include "text/code_page_conversion.h"

#include "platform/platform.h"

int ConvertToWideChecked(UINT codePage, LPCSTR text, int length, LPWSTR wide, int wideLength) {
  int converted =
      plat::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, length, wide, wideLength);
  if (converted != 0) return converted;
  DWORD conversionError = plat::GetLastError();
  if (conversionError != ERROR_INVALID_FLAGS && conversionError != ERROR_INVALID_PARAMETER) {
    return 0;
  }
  return plat::MultiByteToWideChar(codePage, 0, text, length, wide, wideLength);
}
