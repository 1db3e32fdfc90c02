// What the removal preview knows of a machine before it builds a simulated
// image of it: the entries of a snapshot (registry keys, link keys and
// values, folders, files: tests/trace/snapshot_entry.h), the contents of the
// files whose contents the removal reads (INF files), and notes on what the
// input did not hold.
//
// Every reader of an input (a snapshot file, a registry export, a folder
// listing, the live machine) adds to one MachineInput, so that several
// inputs describe one machine.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/trace/snapshot_entry.h"

namespace preview {

struct MachineInput {
  // Keys as "HKLM\SYSTEM\Setup", values as "HKLM\SYSTEM\Setup|Name", files as
  // "C:\WINDOWS\inf\oem3.inf", each with the detail the snapshot format gives.
  trace::Snapshot entries;
  // Full path of a file -> its bytes, for the files whose contents the input
  // holds. A file entry without contents here is known by name only.
  std::map<std::string, std::string, trace::PathLess> fileContents;
  // One line each: what the input did not hold or could not give.
  std::vector<std::string> notes;
  // The machine runs 64-bit Windows: the live reader knows it. Any other
  // input shows it by holding keys below HKLM\SOFTWARE\Wow6432Node.
  bool windows64 = false;
};

}  // namespace preview
