#include "registry/name_match.h"

#include <cstring>

namespace {

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool BoundariesHold(const char* text, const char* at, size_t length, MatchRule rule) {
  char before = at == text ? '\0' : at[-1];
  char after = at[length];
  switch (rule) {
    case MatchRule::kDeviceId:
      return !IsWordChar(before) && !IsWordChar(after);
    case MatchRule::kFileStem:
      return (at == text || before == '\\' || before == '/') && (after == '.' || after == '\0');
    case MatchRule::kPortName:
      return at == text && (after == ':' || after == '\0');
    case MatchRule::kFileNameAtEnd:
      return after == '\0';
  }
  return false;
}

}  // namespace

bool MatchesNarrowly(const char* text, const char* pattern, MatchRule rule) {
  size_t length = std::strlen(pattern);
  if (length == 0) return false;
  for (const char* at = std::strstr(text, pattern); at != nullptr;
       at = std::strstr(at + 1, pattern)) {
    if (BoundariesHold(text, at, length, rule)) return true;
  }
  return false;
}

void UpperCaseAscii(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}
