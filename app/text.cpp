#include "app/text.h"

#include "app/application_state.h"
#include "platform/platform.h"
#include "text/text_template.h"

int LoadText(int id, char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  int count = plat::LoadStringA(App().instance, static_cast<UINT>(id), buffer, capacity);
  if (count > 0) Placeholders().Substitute(buffer, capacity);
  return count;
}

int AppendText(int id, char* buffer, int capacity) {
  int length = plat::lstrlenA(buffer);
  if (length + 1 >= capacity) return 0;
  char* tail = buffer + length;
  int room = capacity - length - 1;
  if (plat::LoadStringA(App().instance, static_cast<UINT>(id), tail, room) > 0) {
    Placeholders().Substitute(tail, room);
  } else {
    *tail = '\0';
  }
  return plat::lstrlenA(buffer);
}

int FormatTextV(int id, char* output, va_list arguments) {
  char format[kFormatCapacity];
  format[0] = '\0';
  if (plat::LoadStringA(App().instance, static_cast<UINT>(id), format, kFormatCapacity) > 0) {
    Placeholders().SubstituteForFormat(format, kFormatCapacity);
  }
  plat::wvsprintfA(output, format, arguments);
  return plat::lstrlenA(output);
}

int FormatText(int id, char* output, ...) {
  va_list arguments;
  va_start(arguments, output);
  int length = FormatTextV(id, output, arguments);
  va_end(arguments);
  return length;
}
