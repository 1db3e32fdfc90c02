// The machine images: what a fresh installation of each Windows version
// holds in its registry and file system before the installer runs.
#pragma once

namespace sim {

class Machine;
void SeedImage(Machine& machine);

}  // namespace sim
