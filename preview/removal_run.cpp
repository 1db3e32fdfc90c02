#include "preview/removal_run.h"

#include "app/entry_point.h"
#include "platform/sim/machine.h"
#include "preview/sim_snapshot.h"
#include "uninstall/removal_steps.h"

namespace preview {
namespace {

// The run being recorded; the step observer is a plain function.
RemovalRecord* g_record = nullptr;
trace::Snapshot* g_last = nullptr;
size_t g_boxesSeen = 0;

// Closes the step that ran last: what changed since it started, and the
// message boxes it showed.
void CloseStep() {
  sim::Machine& machine = sim::CurrentMachine();
  trace::Snapshot now = SnapshotOfSim(machine);
  StepRecord& step = g_record->steps.back();
  step.differences = trace::DiffSnapshots(*g_last, now);
  const auto& boxes = machine.windows.messageBoxes;
  step.messageBoxes.assign(boxes.begin() + static_cast<std::ptrdiff_t>(g_boxesSeen), boxes.end());
  g_boxesSeen = boxes.size();
  *g_last = std::move(now);
}

void OnStep(const char* name) {
  CloseStep();
  g_record->steps.push_back(StepRecord{name, {}, {}});
}

// Clears the observer on every path out of the run.
class StepObservation {
 public:
  StepObservation(RemovalRecord* record, trace::Snapshot* last) {
    g_record = record;
    g_last = last;
    SetRemovalStepObserver(OnStep);
  }
  ~StepObservation() {
    SetRemovalStepObserver(nullptr);
    g_record = nullptr;
    g_last = nullptr;
  }
  StepObservation(const StepObservation&) = delete;
  StepObservation& operator=(const StepObservation&) = delete;
};

}  // namespace

void RunRemoval(RemovalRecord* record) {
  sim::Machine& machine = sim::CurrentMachine();
  HWND launcher = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
  size_t launcherMessages = machine.windows.Find(launcher)->messages.size();
  record->before = SnapshotOfSim(machine);
  trace::Snapshot last = record->before;
  g_boxesSeen = machine.windows.messageBoxes.size();
  size_t infsBefore = machine.infs.opened.size();
  record->steps.assign(1, StepRecord{"start", {}, {}});
  {
    StepObservation observation(record, &last);
    RunInstaller(nullptr, "/r");
    CloseStep();
  }
  record->after = std::move(last);
  record->infsOpened.assign(machine.infs.opened.begin() + static_cast<std::ptrdiff_t>(infsBefore),
                            machine.infs.opened.end());
  record->launcherNotified = machine.windows.Find(launcher)->messages.size() > launcherMessages;
}

}  // namespace preview
