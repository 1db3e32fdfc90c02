// The machine this program runs on, read for the preview (Windows build
// only): the registry trees and folders trace_snapshot.exe takes by default,
// the values of Windows NT's CurrentVersion key (the version the preview
// assumes by default), and the contents of every *.inf in the INF folder and
// in LastGood\INF.
//
// The machine is only read. Registry keys are read in the 64-bit view and
// folders without the redirection of system32 under WOW64, so that a 32-bit
// preview on 64-bit Windows sees what the 64-bit removal program works on;
// the input then says 64-bit Windows, and the preview runs the removal as
// that program does, with InstallFlag in the 32-bit view of HKLM\SOFTWARE.
// These are direct Windows calls: in the preview's build plat:: is the
// simulated machine the removal runs on.
#pragma once

#include <string>

#include "preview/machine_input.h"

namespace preview {

// INF files larger than this are listed by name only, with a note.
constexpr unsigned long kLiveInfLimit = 4ul << 20;

// Adds the live machine to *input. False, with the reason in *error, when
// Windows names no Windows folder or no registry tree can be read at all;
// keys, folders and files that cannot be read are recorded as such, or noted.
bool ReadLiveMachine(MachineInput* input, std::string* error);

}  // namespace preview
