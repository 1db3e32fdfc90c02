#include "install/path_building.h"

#include "app/path_routines.h"
#include "app/text.h"

int AppendTextWhole(int id, char* path) {
  char name[kPathCapacity];
  name[0] = '\0';
  if (LoadText(id, name, kPathCapacity) == 0) return 0;
  return AppendBounded(path, name, kPathLimit, nullptr);
}

int JoinPath(char* path, const char* folder, const char* name) {
  int whole = CopyBounded(path, folder, kPathLimit, nullptr);
  if (whole) AppendBackslash(path, kPathCapacity);
  if (whole) whole = AppendBounded(path, name, kPathLimit, nullptr);
  if (!whole) path[0] = '\0';
  return whole;
}

int BoundedLength(const char* text, int stop) {
  int n = 0;
  while (n < stop && text[n] != '\0') ++n;
  return n;
}
