#include "install/stale_oem_match.h"

#include "app/path_routines.h"
#include "install/path_building.h"

namespace {

constexpr int kFieldLimit = 1023;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsSingleByte(const char* text, int index) { return ByteKindAt(text, index) == 0; }

bool MatchesAt(const char* field, int at, const char* id, int idLength) {
  for (int i = 0; i < idLength; ++i) {
    if (!IsSingleByte(field, at + i) || UpperAscii(field[at + i]) != id[i]) return false;
  }
  return true;
}

bool StartsPart(const char* field, int at) {
  if (at == 0) return true;
  char before = field[at - 1];
  return (before == '\\' || before == '&') && IsSingleByte(field, at - 1);
}

bool EndsPart(const char* field, int end, int length) {
  return end == length || (field[end] == '&' && IsSingleByte(field, end));
}

}  // namespace

int NamesHardwareId(const char* field, const char* hardwareId) {
  int length = BoundedLength(field, kFieldLimit);
  int idLength = BoundedLength(hardwareId, kFieldLimit);
  if (idLength == 0) return 0;
  for (int at = 0; at + idLength <= length; ++at) {
    if (!IsSingleByte(field, at)) continue;
    if (!MatchesAt(field, at, hardwareId, idLength)) continue;
    if (StartsPart(field, at) && EndsPart(field, at + idLength, length)) return 1;
  }
  return 0;
}
