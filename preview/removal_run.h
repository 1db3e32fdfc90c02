// Runs the removal on a simulated machine as a user starts it ("/r" through
// the program's entry point, with a CD launcher window open that hears of the
// change) and records what each step of it changed.
//
// The run is made twice on the same image: the first time with a snapshot
// before and after, which gives the whole difference; the second time the
// entries of that difference are looked at whenever the removal announces a
// step, which tells the step that changed each one. (A snapshot at every
// step would cost as much as the whole difference for each of them.)
#pragma once

#include <functional>
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
  // False when the second run did not end as the first (it never should).
  bool runsAgree = true;
};

// `makeImage` makes the current simulated machine the image to run on; it is
// called once for each run.
void RunRemoval(const std::function<void()>& makeImage, RemovalRecord* record);

}  // namespace preview
