#include "app/message_boxes.h"

#include <cstdarg>

#include "app/application_state.h"
#include "platform/platform.h"
#include "text/text_template.h"

namespace {

constexpr int kWorkCapacity = 2048;
constexpr int kMessageCapacity = 4096;

// The code under which Windows' message table holds the text of an error.
// The Setup API's own codes (0xE0000xxx: customer bit and error severity
// set) are there only in their HRESULT form 0x800Fxxxx, converted as the
// SDK's HRESULT_FROM_SETUPAPI does; every other code stands for itself.
DWORD MessageTableCode(DWORD error) {
  constexpr DWORD kSetupApiBits = 0xE0000000;  // APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR
  constexpr DWORD kFacilitySetupApi = 15;
  if ((error & kSetupApiBits) != kSetupApiBits) return error;
  return (error & 0x0000FFFF) | (kFacilitySetupApi << 16) | 0x80000000;
}

void ShowText(HWND owner, int id, UINT icon, va_list arguments) {
  char format[kWorkCapacity];
  format[0] = '\0';
  if (plat::LoadStringA(App().instance, static_cast<UINT>(id), format, kWorkCapacity) <= 0) {
    // Without its text the box would be empty; the user learns instead why
    // the text is missing, as of any other failure of the system.
    DWORD loadError = plat::GetLastError();
    if (loadError != ERROR_SUCCESS) ShowSystemError(loadError);
    return;
  }
  Placeholders().SubstituteForFormat(format, kWorkCapacity);
  // wvsprintfA writes at most 1024 characters, well inside the message buffer.
  char message[kMessageCapacity];
  message[0] = '\0';
  plat::wvsprintfA(message, format, arguments);
  plat::MessageBoxA(owner, message, App().title, MB_OK | icon);
}

}  // namespace

void ShowErrorText(HWND owner, int id, ...) {
  va_list arguments;
  va_start(arguments, id);
  ShowText(owner, id, MB_ICONERROR, arguments);
  va_end(arguments);
}

void ShowInfoText(HWND owner, int id, ...) {
  va_list arguments;
  va_start(arguments, id);
  ShowText(owner, id, MB_ICONINFORMATION, arguments);
  va_end(arguments);
}

void ShowSystemError(DWORD error) {
  char* text = nullptr;
  DWORD length = plat::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, MessageTableCode(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
      nullptr);
  if (length != 0 && text != nullptr) {
    plat::MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
    plat::LocalFree(text);
    return;
  }
  // The system has no text for this code: name the code the call set itself,
  // in decimal and in the hexadecimal form the Setup API codes are known by.
  char fallback[64];
  plat::wsprintfA(fallback, "Error %u (0x%08X)", static_cast<unsigned int>(error),
                  static_cast<unsigned int>(error));
  plat::MessageBoxA(nullptr, fallback, "Error", MB_ICONERROR);
}
