// Checks made after a whole run of the program on the simulated machine: what
// must have come through unchanged, which message boxes the program may show,
// whether the launcher heard of the removal. The fault sweep and the removal
// fuzzer share them.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace runcheck {

// The registry lines and files of a machine that are not the phone's, and the
// COM port numbers held by others: a removal run must leave all of them as
// they are, whatever failed on the way.
class Survivors {
 public:
  // Takes every registry line, every file and every port bit in the
  // COM Name Arbiter's "ComDB" of the machine as it is now.
  void CaptureAll(const sim::Machine& machine);
  // Keeps only what is still there, unchanged: called after the phone's
  // installation, whose new and changed entries are the phone's.
  void KeepUnchanged(const sim::Machine& machine);
  // Forgets the registry lines and file lines for which `isPhones` is true.
  void Forget(const std::function<bool(const std::string& line)>& isPhones);
  // Adds single lines (as the snapshots spell them) or port numbers.
  void AddRegistryLine(const std::string& line) { registry_.insert(line); }
  void AddFileLine(const std::string& line) { files_.insert(line); }
  void AddComPort(int number) { comPorts_.insert(number); }
  void ForgetComPort(int number) { comPorts_.erase(number); }

  // "" when everything is still there; otherwise one line per loss.
  std::string Losses(const sim::Machine& machine) const;

  size_t Size() const { return registry_.size() + files_.size() + comPorts_.size(); }

 private:
  std::set<std::string> registry_;
  std::set<std::string> files_;
  std::set<int> comPorts_;
};

// Every registry key of the machine with the security descriptor line the
// snapshot writes for it ("" for a key with the machine's default one).
using KeySecurityMap = std::map<std::string, std::string>;
KeySecurityMap KeySecurity(const sim::Machine& machine);

// "" when every key of `before` that still exists has the descriptor it had;
// otherwise one line per key whose security changed. A removal gives a key
// full control for Administrators only right before deleting it, so a key
// that stays must keep what it had, whatever failed.
std::string SecurityChanges(const KeySecurityMap& before, const sim::Machine& machine);

// The COM port numbers whose bit is set in "ComDB" of the current control
// set (an empty set on versions without the COM Name Arbiter).
std::set<int> ComDbPorts(const sim::Machine& machine);

// The registry line of a value as the registry snapshot writes it, "" when
// the value is missing.
std::string ValueLine(const sim::Machine& machine, HKEY root, const std::string& path,
                      const std::string& name);

// "" when every message box from index `first` on shows a text the program
// has a reason to show: an entry of its string table with the branding words
// filled in (caption = the program's title), a system error text or the
// "Error <n> (0x<n>)" form of a code without one (caption "Error");
// otherwise one line per other box. Loads the texts through the platform, so
// call it after the run, with no failure armed.
std::string UnexpectedMessageBoxes(const sim::Machine& machine, size_t first);

// True when the window received WM_DEVICECHANGE (sent, not posted).
bool HeardDeviceChange(const sim::Machine& machine, HWND window);

}  // namespace runcheck
