// Runs the removal on the current simulated machine as a user starts it
// ("/r" through the program's entry point, with a CD launcher window open
// that hears of the change) and records what each step of it changed: the
// machine is taken as a snapshot before the run, at the start of every step
// the removal announces, and at its end.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/window_manager.h"
#include "tests/trace/snapshot_diff.h"
#include "tests/trace/snapshot_entry.h"

namespace preview {

struct StepRecord {
  std::string name;  // "start" for what happens before the first step
  std::vector<trace::Difference> differences;
  std::vector<sim::MessageBoxRecord> messageBoxes;
};

struct RemovalRecord {
  trace::Snapshot before;
  trace::Snapshot after;
  std::vector<StepRecord> steps;  // in the order they ran
  // The INF files the run opened to read them, as it named them.
  std::vector<std::string> infsOpened;
  bool launcherNotified = false;
};

void RunRemoval(RemovalRecord* record);

}  // namespace preview
