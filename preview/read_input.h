// Reads the inputs of a preview into one machine description, each file
// recognised by its content:
//  - a snapshot as trace_snapshot.exe writes it (first line "# trace snapshot 1");
//  - a registry export (a UTF-16 LE byte-order mark, or a first line
//    "Windows Registry Editor Version 5.00" or "REGEDIT4");
//  - a folder listing (a full path "X:\..." a line): folder_listing_reader.h.
#pragma once

#include <string>
#include <string_view>

#include "preview/machine_input.h"

namespace preview {

// Adds the input's entries; false with a message naming the problem.
bool ReadInputBytes(std::string_view bytes, MachineInput* input, std::string* error);

// Reads the file and adds it; the message names the file.
bool ReadInputFile(const std::string& path, MachineInput* input, std::string* error);

}  // namespace preview
