// The contents of a machine's INF files, from a copy of its INF folder
// (`xcopy C:\Windows\INF\oem*.inf DIR\` on the customer's PC). A registry
// export and a folder listing name the INF files but hold none of their
// text, while the removal decides by that text which INF files are the
// phone's; each file of the copy gives its contents to the listed INF file
// of the same name.
#pragma once

#include <string>

#include "preview/machine_input.h"

namespace preview {

// Reads every file of `folder` (not its subfolders) and gives its bytes to
// each file the input lists in a folder named "inf" under the same name (any
// case). A file of the copy that the input does not list is noted, not
// added: the listing says what the PC holds. False with the reason when the
// folder cannot be read.
bool ReadInfFolderCopy(const std::string& folder, MachineInput* input, std::string* error);

}  // namespace preview
