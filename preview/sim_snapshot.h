// The simulated machine as a snapshot, in the entries trace_snapshot.exe
// writes on Windows: every key, link key and value below HKLM, HKCU and HKU
// (key security as SDDL on the NT family), and every folder and file of
// drive C:. The preview compares two of these around each step of the
// removal, and a test describes a simulated machine to the preview with it.
#pragma once

#include "platform/sim/machine.h"
#include "preview/machine_input.h"
#include "tests/trace/snapshot_entry.h"

namespace preview {

trace::Snapshot SnapshotOfSim(const sim::Machine& machine);

// The snapshot with the contents of every INF file (a name ending in
// ".inf"), as a support engineer's input holds them.
MachineInput MachineInputOfSim(const sim::Machine& machine);

// The key security text of a snapshot line: "sddl O:...D:..." on the NT
// family, "" where keys have no security (Windows 95/98/Me).
std::string KeySecurityDetail(const sim::Machine& machine, const sim::RegKey& key);

}  // namespace preview
