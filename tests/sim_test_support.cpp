#include "tests/sim_test_support.h"

#include <cstring>

#include "app/application_state.h"
#include "text/text_template.h"

sim::Machine& FreshMachine(const sim::MachineOptions& options) {
  sim::Machine& machine = sim::ResetMachine(options);
  std::memset(&App(), 0, sizeof(ApplicationState));
  Placeholders().Clear();
  return machine;
}

sim::MachineOptions OptionsFor(sim::WindowsVersion version, bool administrator) {
  sim::MachineOptions options;
  options.version = version;
  options.administrator = administrator;
  return options;
}

std::string OpenHandles() {
  sim::Machine& machine = sim::CurrentMachine();
  // Icons loaded from files and the program's own mutex live until the
  // process ends on Windows too; everything else must have been released.
  std::string open = machine.handles.Describe();
  return open;
}

std::string MessageBoxTexts() {
  std::string texts;
  for (const auto& box : sim::CurrentMachine().windows.messageBoxes) texts += box.text + "\n";
  return texts;
}
