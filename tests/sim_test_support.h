// Shared set-up of the unit tests: a fresh simulated machine with the
// process-wide state of the program emptied, and the checks every test of
// the logic makes at its end.
#pragma once
#include <string>

#include "platform/sim/machine.h"

// A Windows version image and the OsKind the program classifies it as, for
// tests that run on each of the six.
struct Kind {
  sim::WindowsVersion version;
  int osKind;
};
inline constexpr Kind kKinds[] = {
    {sim::WindowsVersion::Windows95, 0},    {sim::WindowsVersion::Windows98, 1},
    {sim::WindowsVersion::WindowsMe, 2},    {sim::WindowsVersion::WindowsNT4, 10},
    {sim::WindowsVersion::Windows2000, 11}, {sim::WindowsVersion::WindowsXPSP3, 12}};

// A new machine image; ApplicationState and the placeholder table start empty.
sim::Machine& FreshMachine(const sim::MachineOptions& options = sim::MachineOptions());

// Options for a version image with everything else at its default.
sim::MachineOptions OptionsFor(sim::WindowsVersion version, bool administrator = true);

// "" when every handle the program opened has been released, else a list.
std::string OpenHandles();

// The texts of the message boxes shown so far, one per line.
std::string MessageBoxTexts();
