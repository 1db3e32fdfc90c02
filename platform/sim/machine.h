// The simulated Windows machine: one process-wide instance that the sim
// implementation of the platform layer works on. Tests build a fresh machine
// for each case with ResetMachine and inspect or script it through the
// models' own interfaces.
#pragma once
#include <cstdint>
#include <string>

#include "platform/sim/device_manager.h"
#include "platform/sim/dialog_manager.h"
#include "platform/sim/faults.h"
#include "platform/sim/file_system.h"
#include "platform/sim/handles.h"
#include "platform/sim/inf_store.h"
#include "platform/sim/machine_options.h"
#include "platform/sim/registry_model.h"
#include "platform/sim/service_manager.h"
#include "platform/sim/system_model.h"
#include "platform/sim/window_manager.h"

namespace sim {

class Machine {
 public:
  explicit Machine(const MachineOptions& options);

  const MachineOptions& options() const { return options_; }

  // What a restart of Windows finishes in this model: the devices removed
  // while in use stop for good (their drivers' running state goes, the port
  // is no longer held), and the services marked for deletion go with their
  // keys. Nothing else of a restart is modelled.
  void Restart();
  bool IsNt() const { return IsNtFamily(options_.version); }

  // The thread's last-error code (GetLastError / SetLastError).
  uint32_t lastError = 0;

  Faults faults;
  Handles handles;
  RegistryModel registry;
  FileSystem files;
  SystemModel system;
  WindowManager windows;
  DialogManager dialogs;
  InfStore infs;
  DeviceManager devices;
  ServiceManager services;

 private:
  MachineOptions options_;
};

// The current machine. ResetMachine replaces it with a fresh image.
Machine& CurrentMachine();
Machine& ResetMachine(const MachineOptions& options = MachineOptions());

// Called first by every simulated operation: counts the call and, when the
// failure switch picks it, stores the error as the last error and returns
// true so that the operation returns its failure value.
bool EnterCall(const char* operation, uint32_t* error);

}  // namespace sim
