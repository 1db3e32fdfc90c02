#include "preview/removal_run.h"

#include <optional>

#include "app/entry_point.h"
#include "platform/sim/machine.h"
#include "preview/sim_snapshot.h"
#include "uninstall/removal_steps.h"

namespace preview {
namespace {

using States = std::vector<std::optional<trace::Entry>>;

// The second run: the states of the changed entries at each step's start.
struct StepWatch {
  const std::vector<std::string>* paths = nullptr;
  std::vector<std::string> names;
  std::vector<States> states;  // at the start of each step, and at the end
  std::vector<size_t> firstBox;
};
StepWatch* g_watch = nullptr;

void Look(const char* name) {
  sim::Machine& machine = sim::CurrentMachine();
  States now;
  now.reserve(g_watch->paths->size());
  for (const std::string& path : *g_watch->paths) now.push_back(SimEntry(machine, path));
  g_watch->states.push_back(std::move(now));
  g_watch->firstBox.push_back(machine.windows.messageBoxes.size());
  if (name) g_watch->names.push_back(name);
}

// Clears the observer on every path out of the run.
class StepObservation {
 public:
  explicit StepObservation(StepWatch* watch) {
    g_watch = watch;
    SetRemovalStepObserver(Look);
  }
  ~StepObservation() {
    SetRemovalStepObserver(nullptr);
    g_watch = nullptr;
  }
  StepObservation(const StepObservation&) = delete;
  StepObservation& operator=(const StepObservation&) = delete;
};

// Runs "/r" as a user starts it; true when the launcher heard of it.
bool RunAsUser() {
  sim::Machine& machine = sim::CurrentMachine();
  HWND launcher = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
  size_t messages = machine.windows.Find(launcher)->messages.size();
  RunInstaller(nullptr, "/r");
  return machine.windows.Find(launcher)->messages.size() > messages;
}

std::optional<trace::Difference> Compare(const std::string& path,
                                         const std::optional<trace::Entry>& was,
                                         const std::optional<trace::Entry>& is) {
  if (!was && !is) return std::nullopt;
  if (was && is && was->kind == is->kind && was->detail == is->detail) return std::nullopt;
  trace::Difference difference;
  difference.path = path;
  difference.change = !was  ? trace::Change::kAdded
                      : !is ? trace::Change::kRemoved
                            : trace::Change::kChanged;
  if (was) {
    difference.kindBefore = was->kind;
    difference.detailBefore = was->detail;
  }
  if (is) {
    difference.kindAfter = is->kind;
    difference.detailAfter = is->detail;
  }
  return difference;
}

}  // namespace

void RunRemoval(const std::function<void()>& makeImage, RemovalRecord* record) {
  makeImage();
  sim::Machine* machine = &sim::CurrentMachine();
  record->before = SnapshotOfSim(*machine);
  size_t infsBefore = machine->infs.opened.size();
  record->launcherNotified = RunAsUser();
  record->after = SnapshotOfSim(*machine);
  record->infsOpened.assign(machine->infs.opened.begin() + static_cast<std::ptrdiff_t>(infsBefore),
                            machine->infs.opened.end());
  std::vector<std::string> paths;
  for (const trace::Difference& difference : trace::DiffSnapshots(record->before, record->after)) {
    paths.push_back(difference.path);
  }

  makeImage();
  machine = &sim::CurrentMachine();
  StepWatch watch;
  watch.paths = &paths;
  watch.names.push_back("start");
  {
    StepObservation observation(&watch);
    Look(nullptr);
    RunAsUser();
    Look(nullptr);
  }
  const auto& boxes = machine->windows.messageBoxes;
  record->steps.clear();
  for (size_t step = 0; step + 1 < watch.states.size(); ++step) {
    StepRecord stepRecord{watch.names[step], {}, {}};
    for (size_t i = 0; i < paths.size(); ++i) {
      auto difference = Compare(paths[i], watch.states[step][i], watch.states[step + 1][i]);
      if (difference) stepRecord.differences.push_back(std::move(*difference));
    }
    stepRecord.messageBoxes.assign(
        boxes.begin() + static_cast<std::ptrdiff_t>(watch.firstBox[step]),
        boxes.begin() + static_cast<std::ptrdiff_t>(watch.firstBox[step + 1]));
    record->steps.push_back(std::move(stepRecord));
  }
  for (size_t i = 0; i < paths.size(); ++i) {
    auto after = record->after.find(paths[i]);
    const std::optional<trace::Entry>& last = watch.states.back()[i];
    bool inAfter = after != record->after.end();
    if (inAfter != last.has_value() || (last && last->detail != after->second.detail)) {
      record->runsAgree = false;
    }
  }
}

}  // namespace preview
