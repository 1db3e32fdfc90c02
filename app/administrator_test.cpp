#include "app/administrator.h"

#include <gtest/gtest.h>

#include "tests/sim_test_support.h"

namespace {

TEST(IsUserAdministrator, MembershipAloneCounts) {
  FreshMachine(OptionsFor(sim::WindowsVersion::WindowsXPSP3, true));
  EXPECT_EQ(IsUserAdministrator(), 1);
  EXPECT_EQ(OpenHandles(), "");

  FreshMachine(OptionsFor(sim::WindowsVersion::WindowsXPSP3, false));
  EXPECT_EQ(IsUserAdministrator(), 0);
  EXPECT_EQ(OpenHandles(), "");

  // Deny-only membership (a filtered token) still counts.
  sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::Windows7, true));
  machine.system.administratorsDenyOnly = true;
  EXPECT_EQ(IsUserAdministrator(), 1);
}

TEST(IsUserAdministrator, EveryFailureAnswersNoAndReleasesWhatWasTaken) {
  const std::pair<const char*, DWORD> failures[] = {
      {"OpenProcessToken", ERROR_ACCESS_DENIED},
      {"GetTokenInformation", ERROR_ACCESS_DENIED},
      {"AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY},
      {"OpenThreadToken", ERROR_ACCESS_DENIED},  // not ERROR_NO_TOKEN: no process token either
  };
  for (const auto& [operation, error] : failures) {
    sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::WindowsXPSP3, true));
    machine.faults.FailOn(operation, 1, error);
    EXPECT_EQ(IsUserAdministrator(), 0) << operation;
    EXPECT_EQ(OpenHandles(), "") << operation;
  }
  // The second GetTokenInformation (the real query) failing.
  sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::WindowsXPSP3, true));
  machine.faults.FailOn("GetTokenInformation", 2, ERROR_ACCESS_DENIED);
  EXPECT_EQ(IsUserAdministrator(), 0);
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
