// Start-up and shut-down of the process-wide state.
#pragma once
#include "platform/win_types.h"

// Fills ApplicationState: instance, program folder, own version, title,
// window class and mutex names, common controls, the single-instance mutex.
// Returns 1 when this process created the mutex as a new object.
int InitApplication(HINSTANCE instance, int titleId, int classNameId, int mutexNameId);

// Releases the mutex and the common-controls library.
void ShutdownApplication();
