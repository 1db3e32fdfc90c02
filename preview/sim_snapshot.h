// The simulated machine as a snapshot, in the entries trace_snapshot.exe
// writes on Windows: every key, link key and value below HKLM, HKCU and HKU
// (key security as SDDL on the NT family), and every folder and file of
// drive C:. The preview compares two of these around each step of the
// removal, and a test describes a simulated machine to the preview with it.
#pragma once

#include <optional>
#include <string>

#include "platform/sim/machine.h"
#include "preview/machine_input.h"
#include "tests/trace/snapshot_entry.h"

namespace preview {

trace::Snapshot SnapshotOfSim(const sim::Machine& machine);

// The one entry a snapshot would give for the path (as a snapshot spells it,
// letters in any case); none when the machine has no such entry.
std::optional<trace::Entry> SimEntry(const sim::Machine& machine, const std::string& path);

// The snapshot with the contents of every INF file (a name ending in
// ".inf"), as a support engineer's input holds them.
MachineInput MachineInputOfSim(const sim::Machine& machine);

// The key security text of a snapshot line: "sddl O:...D:..." on the NT
// family, "" where keys have no security (Windows 95/98/Me).
std::string KeySecurityDetail(const sim::Machine& machine, const sim::RegKey& key);

}  // namespace preview
