#include "platform/sim/machine.h"

#include <memory>

#include "platform/sim/machine_image.h"

namespace sim {

bool IsNtFamily(WindowsVersion version) {
  switch (version) {
    case WindowsVersion::Windows95:
    case WindowsVersion::Windows98:
    case WindowsVersion::WindowsMe:
      return false;
    default:
      return true;
  }
}

bool KeepsLastGood(WindowsVersion version) {
  return version >= WindowsVersion::WindowsXPSP1 && version <= WindowsVersion::WindowsXPSP3;
}

Machine::Machine(const MachineOptions& options) : options_(options) { SeedImage(*this); }

void Machine::Restart() {
  devices.FinishRemovalsAtRestart(*this);
  services.DeleteMarkedAtRestart(*this);
}

namespace {
std::unique_ptr<Machine>& Slot() {
  static std::unique_ptr<Machine> machine;
  return machine;
}
}  // namespace

Machine& CurrentMachine() {
  if (!Slot()) Slot() = std::make_unique<Machine>(MachineOptions());
  return *Slot();
}

Machine& ResetMachine(const MachineOptions& options) {
  Slot().reset();
  Slot() = std::make_unique<Machine>(options);
  return *Slot();
}

bool EnterCall(const char* operation, uint32_t* error) {
  Machine& machine = CurrentMachine();
  if (!machine.faults.Enter(operation, error)) return false;
  machine.lastError = *error;
  return true;
}

}  // namespace sim
