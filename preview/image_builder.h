// Builds the simulated machine a preview runs the removal on: the standard
// image of the Windows version (platform/sim/machine_image.cpp) with every
// registry tree and folder the input holds put in place of the image's own.
//
//  - Registry: each tree of the input (a key whose parent the input does not
//    hold) replaces the image's key at that path, with everything below it;
//    values get their type and data from the detail; link keys become links.
//    Devices, services and the COM port database live in the registry on the
//    simulated machine as on Windows, so they come with it.
//  - Key security: a key whose detail gives "sddl ..." gets that owner and
//    DACL on the NT family; any other key (a registry export's) gets what the
//    version's image gives a key there.
//  - Files: each folder the input lists replaces the image's folder of that
//    path; a file gets the contents the input holds, or none when the input
//    knows it by name only. The image's Windows folder is the input's
//    (SystemRoot of the version's CurrentVersion key, else the folder that
//    holds "inf").
#pragma once

#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "preview/input_paths.h"
#include "preview/machine_input.h"

namespace preview {

struct ImageOptions {
  sim::WindowsVersion version = sim::WindowsVersion::WindowsXPSP3;
  bool administrator = true;
  // The running program's full path; empty for the simulated machine's
  // usual one. A test that installs from a driver CD on the image names
  // the CD's program.
  std::string programPath;
  // 64-bit Windows: the removal there is the 64-bit program's (the 32-bit
  // one hands every run to it), which keeps InstallFlag in the 32-bit view
  // of HKLM\SOFTWARE, SOFTWARE\Wow6432Node, as the calling installer does.
  bool windows64 = false;
};

struct BuiltImage {
  // One line each: trees and folders of the removal's that the input does
  // not hold (the image's own were used), and what of the input the image
  // could not take.
  std::vector<std::string> notes;
  // Escaped paths (as the input spells them) of the INF files the input
  // knows by name only.
  std::vector<std::string> nameOnlyInfs;
};

// Replaces the current simulated machine with the image of the input.
// `index` is the input's (input_paths.h).
void BuildImage(const MachineInput& input, const InputIndex& index, const ImageOptions& options,
                BuiltImage* built);

// The Windows folder the image takes for the input ("C:\WINNT"); empty when
// the input does not say, and the version's own is used.
std::string InputWindowsFolder(const MachineInput& input, sim::WindowsVersion version);

}  // namespace preview
