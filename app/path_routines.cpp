#include "app/path_routines.h"

#include "app/application_state.h"
#include "platform/platform.h"

int ByteKindAt(const char* text, int index) {
  if (index < 0 || index > 32767) return 0;
  int state = 0;
  for (int position = 0; position <= index; ++position) {
    if (state == 1) {
      state = 2;
    } else {
      state = plat::IsDBCSLeadByte(static_cast<BYTE>(text[position])) ? 1 : 0;
    }
  }
  return state;
}

// Length of a terminated text, stopping at `stop` so that a long source is
// never read further than a bounded copy needs.
static int LengthUpTo(const char* text, int stop) {
  int n = 0;
  while (n < stop && text[n] != '\0') ++n;
  return n;
}

// How many bytes of `source` fit into `room`: all of it, or `room` cut back
// by one when the first byte left out is the trail byte of a character.
static int FittingBytes(const char* source, int room, int* whole) {
  int n = LengthUpTo(source, room + 1);
  *whole = 1;
  if (n > room) {
    n = room;
    if (ByteKindAt(source, room) == 2) --n;
    *whole = 0;
  }
  return n;
}

int CopyBounded(char* destination, const char* source, int limit, int* lengthOut) {
  if (limit < 0) limit = 0;
  int whole = 1;
  int n = FittingBytes(source, limit, &whole);
  for (int i = 0; i < n; ++i) destination[i] = source[i];
  destination[n] = '\0';
  if (lengthOut) *lengthOut = n;
  return whole;
}

int AppendBounded(char* destination, const char* source, int limit, int* lengthOut) {
  int p = plat::lstrlenA(destination);
  if (p > limit) {
    if (lengthOut) *lengthOut = p;
    return 1;
  }
  int whole = 1;
  int n = FittingBytes(source, limit - p, &whole);
  for (int i = 0; i < n; ++i) destination[p + i] = source[i];
  destination[p + n] = '\0';
  if (lengthOut) *lengthOut = p + n;
  return whole;
}

int AppendBackslash(char* path, int capacity) {
  int n = plat::lstrlenA(path);
  if (n >= capacity - 1 || n < 1) return 0;
  // A 0x5C that is the trail byte of a double-byte character (Shift-JIS
  // "\x95\x5C") is no separator: the path still needs one.
  if (path[n - 1] == '\\' && ByteKindAt(path, n - 1) != 2) return 0;
  path[n] = '\\';
  path[n + 1] = '\0';
  return 1;
}

int StripTrailingBackslash(char* path) {
  int n = plat::lstrlenA(path);
  if (n < 2 || ByteKindAt(path, n - 1) != 0 || path[n - 1] != '\\') return 0;
  if (ByteKindAt(path, n - 2) == 0 && path[n - 2] != ':') path[n - 1] = '\0';
  return 1;
}

int ReplaceExtension(char* path, const char* extension, int limit) {
  int n = plat::lstrlenA(path);
  if (n == 0) return 0;
  for (int i = n - 1; i >= 0;) {
    if (ByteKindAt(path, i) == 2) {
      i -= 2;
    } else if (path[i] == '.') {
      path[i] = '\0';
      AppendBounded(path, extension, limit, nullptr);
      return 1;
    } else {
      --i;
    }
  }
  AppendBounded(path, extension, limit, nullptr);
  return 1;
}

int GetProgramFolder(char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  DWORD length = plat::GetModuleFileNameA(App().instance, buffer, static_cast<DWORD>(capacity));
  if (length == 0 || length >= static_cast<DWORD>(capacity)) {
    // Nothing, or a path cut at the buffer's end: neither names our folder.
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  for (int i = static_cast<int>(length) - 1; i >= 0; --i) {
    if (buffer[i] == '\\' && ByteKindAt(buffer, i) == 0) {
      buffer[i + 1] = '\0';
      return 1;
    }
  }
  buffer[0] = '\0';
  return 0;
}
