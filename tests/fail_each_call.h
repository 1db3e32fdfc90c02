// Runs one operation of the program once per platform call it makes, with
// that call failing, on a machine made afresh for each case. Whatever fails,
// the operation must end with 0 or 1, release every handle it took, and
// leave every registry entry and file that is not the phone's.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

struct FailureStep {
  const char* name;
  sim::MachineOptions options;
  // What is not the phone's; recorded before the phone's part is planted.
  std::function<void(sim::Machine&)> plantNeighbours;
  std::function<void(sim::Machine&)> plantPhone;
  // The operation; 1 when it succeeds without a fault.
  std::function<int()> run;
};

// The failure codes a call of this name is made to fail with: one that any
// call can meet (ERROR_ACCESS_DENIED), and for reads and enumerations the
// codes that tell of a change under the walk.
std::vector<unsigned long> FailureCodesFor(const std::string& operation);

// Every call fails in turn (in the sanitizer build every third call and the
// first of each operation). Returns the number of cases run; each problem is a test failure naming
// the step, the call and the code.
int FailEachCall(const FailureStep& step);
