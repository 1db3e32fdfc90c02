// 64-bit Windows: the 32-bit program cannot remove devices there (the class
// installers refuse a WOW64 caller) and sees the 32-bit system folder, so it
// hands the whole run to the 64-bit build shipped beside it.
#pragma once
#include "platform/win_types.h"

// 1 when this is the 32-bit program running on 64-bit Windows. Windows
// before XP SP2 has no IsWow64Process and is never 64-bit: 0 there.
int RunsUnderWow64();

// Starts "usbinst64.exe" from the program's folder with the same command line
// and waits for it to end. When it cannot be started, or ends with an exit
// code other than 0 (it did not run to its end), "InstallFlag" is set to 0 (a
// calling installer learns that nothing was installed) and the user is told
// why. Returns 1 when the 64-bit program ran to its end.
int RunSixtyFourBitProgram(LPCSTR commandLine);
