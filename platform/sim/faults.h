// Call counting and the failure switch of the simulated machine.
//
// Every platform operation calls Enter with its Windows name on entry. The
// count per name is kept (tests and benchmarks read it), and a test can make
// the n-th call of a name fail with a chosen error code; the operation then
// returns its failure value with that code, as Windows would.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

class Faults {
 public:
  // Makes the n-th call (1-based, counted from now) of `operation` fail with `error`.
  void FailOn(const std::string& operation, uint64_t nth, uint32_t error);
  // Makes the n-th call of any operation, counted over all operations from now, fail.
  void FailOnAnyCall(uint64_t nth, uint32_t error);
  void Clear();

  // Counts the call; returns true and sets *error when this call must fail.
  bool Enter(const char* operation, uint32_t* error);

  uint64_t Calls(const std::string& operation) const;
  uint64_t TotalCalls() const { return total_; }
  const std::map<std::string, uint64_t>& AllCalls() const { return calls_; }
  void ResetCounts();
  // True once an armed failure has been delivered.
  bool Fired() const { return fired_; }
  // Records the name of every call from now on, in order (for tests of the
  // order of a sequence's steps).
  void StartCallLog() { logging_ = true; }
  const std::vector<std::string>& CallLog() const { return log_; }

 private:
  struct Pending {
    uint64_t atCall;
    uint32_t error;
  };
  std::map<std::string, uint64_t> calls_;
  std::map<std::string, Pending> pending_;
  uint64_t total_ = 0;
  uint64_t anyAt_ = 0;
  uint32_t anyError_ = 0;
  bool fired_ = false;
  bool logging_ = false;
  std::vector<std::string> log_;
};

}  // namespace sim
