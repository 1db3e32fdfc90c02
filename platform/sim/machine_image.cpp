// PLACEHOLDER: being written (registry and folders of each Windows version).
#include "platform/sim/machine_image.h"

#include "platform/sim/machine.h"

namespace sim {

void SeedImage(Machine&) {}

}  // namespace sim
