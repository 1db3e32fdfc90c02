// The Windows version a preview assumes: by name on the command line, or as
// the input says it.
#pragma once

#include <string>
#include <string_view>

#include "platform/sim/machine_options.h"
#include "preview/machine_input.h"

namespace preview {

// "win95 win98 winme nt40 win2k winxp-sp1 winxp-sp2 winxp-sp3 win7".
const char* VersionNames();
bool VersionFromName(std::string_view name, sim::WindowsVersion* version);
const char* NameOfVersion(sim::WindowsVersion version);

// The version the input says: "CurrentVersion" (with "CSDVersion" for XP's
// service pack) of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion on the
// NT family, "VersionNumber" of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion
// on Windows 95/98/Me. False with the reason when the input does not say, or
// says something no image of the preview stands for; nothing else is guessed.
bool VersionFromInput(const MachineInput& input, sim::WindowsVersion* version, std::string* reason);

// The text data of a REG_SZ or REG_EXPAND_SZ value of the input (its path as
// "HKLM\...|Name", found without regard to case); false when there is none.
bool InputString(const MachineInput& input, std::string_view valuePath, std::string* text);

}  // namespace preview
