// How the cleanup recognises the phone's entries among other drivers'
// entries when it matches names or data against a pattern. A bare substring
// test would also hit other entries (oem1 inside oem10.inf, COM1 inside
// COM12:, VID_1F3C&PID_6B07 inside VID_1F3C&PID_6B070), so every match is
// tied to the boundaries the pattern has in the text it is looked for in.
#pragma once

enum class MatchRule {
  // A device or hardware ID: neither preceded nor followed by a letter, a
  // digit or '_' (USB\VID_1F3C&PID_6B07&MI_03 holds VID_1F3C&PID_6B07,
  // VID_1F3C&PID_6B070 does not).
  kDeviceId,
  // A file name's stem: at the start or after a backslash, followed by '.'
  // or the end (inf\oem1.inf holds oem1; inf\oem10.inf and myoem1.sys do not).
  kFileStem,
  // A port's name: the start of the text, followed by ':' or the end
  // (COM1: and COM1 hold COM1; COM10: does not).
  kPortName,
  // A file name at the end of a path (C:\WINDOWS\INF\OTHER\ORVEXKV6bus.INF
  // ends with KV6bus.INF).
  kFileNameAtEnd,
};

// Whether `pattern` occurs in `text` as the rule asks; an empty pattern
// never matches. Case counts: callers upper-case both sides where they
// compare without regard to case.
bool MatchesNarrowly(const char* text, const char* pattern, MatchRule rule);

// Upper-cases the letters a to z in place, as the run-time library does in
// its default locale.
void UpperCaseAscii(char* text);
