#pragma once

enum InstanceAction : int {
  kActivate = 1,
  kCloseRunning = 2,
};

// When an earlier instance was running at start-up, brings its window to
// the front (kActivate) or sends it WM_CLOSE and waits until it has handled
// it (kCloseRunning). Returns 1 when an earlier instance was running.
int HandleRunningInstance(int action);
