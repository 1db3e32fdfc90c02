#include "uninstall/removal_steps.h"

namespace {
RemovalStepObserver& Observer() {
  static RemovalStepObserver observer = nullptr;
  return observer;
}
}  // namespace

void SetRemovalStepObserver(RemovalStepObserver observer) { Observer() = observer; }

void AnnounceRemovalStep(const char* step) {
  if (RemovalStepObserver observer = Observer()) observer(step);
}
