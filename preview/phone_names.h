// What names the phone, taken from the program's own string table: its
// hardware ID, its services, its driver and INF file names, its maker's key,
// its port enumerator and its modem's settings key. A support engineer looks
// at what survives a removal and still carries one of them.
//
// Every match is narrow: a name must be a whole key, value or file name
// ("KV6bus" is not "KV6bus0"), and the hardware ID must stand on its own
// within a text, the next character being no letter or digit, so that
// "VID_1F3C&PID_6B07&MI_03" is the phone's and "VID_1F3C&PID_6B070" or
// "VID_1F3C&PID_6B08" are not. Letters are compared in either case.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tests/trace/snapshot_entry.h"

namespace preview {

// The UTF-8 text of a string table entry; empty for an unknown id.
std::string StringTableText(int id);

class PhoneNames {
 public:
  PhoneNames();
  // Whether the entry's path (a key, value or file name in it) or a value's
  // text data names the phone.
  bool Names(const trace::Entry& entry) const;
  bool TextHoldsHardwareId(std::string_view text) const;
  bool IsPhoneName(std::string_view name) const;

 private:
  std::string hardwareId_;                 // upper case
  std::unordered_set<std::string> names_;  // upper case
  std::unordered_set<size_t> lengths_;
};

}  // namespace preview
