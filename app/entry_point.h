// The installer's entry point, called by WinMain on Windows and by tests on
// the simulated machine. Always returns 0, the process exit code.
#pragma once
#include "platform/win_types.h"

int RunInstaller(HINSTANCE instance, LPCSTR commandLine);
