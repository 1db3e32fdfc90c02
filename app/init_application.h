// Start-up and shut-down of the process-wide state.
#pragma once
#include "platform/win_types.h"

// Fills ApplicationState: instance, program folder, own version, title,
// window class and mutex names, common controls, the single-instance mutex.
// Returns 1 when this process created the mutex as a new object.
int InitApplication(HINSTANCE instance, int titleId, int classNameId, int mutexNameId);

// InitApplication in its two halves: everything but the mutex, then the
// mutex. The 32-bit program on 64-bit Windows runs only the first: it hands
// the run to the 64-bit program, which claims the mutex itself.
void LoadApplicationState(HINSTANCE instance, int titleId, int classNameId, int mutexNameId);
// Creates the single-instance mutex, initially owned, and sets alreadyRunning
// when it existed before. Returns 1 when this process created it.
int ClaimSingleInstance();

// Releases the mutex and the common-controls library.
void ShutdownApplication();
