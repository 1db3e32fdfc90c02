#include "app/os_kind.h"

#include <gtest/gtest.h>

#include "tests/sim_test_support.h"

namespace {

TEST(GetOsKind, ClassifiesEveryVersionImage) {
  const std::pair<sim::WindowsVersion, int> cases[] = {
      {sim::WindowsVersion::Windows95, kOsWindows95},
      {sim::WindowsVersion::Windows98, kOsWindows98},
      {sim::WindowsVersion::WindowsMe, kOsWindowsMe},
      {sim::WindowsVersion::WindowsNT4, kOsWindowsNT4},
      {sim::WindowsVersion::Windows2000, kOsWindows2000},
      {sim::WindowsVersion::WindowsXPSP1, kOsWindowsXP},
      {sim::WindowsVersion::WindowsXPSP3, kOsWindowsXP},
      // NT 6.0 has minor version 0 and takes the Windows 2000 behaviour.
      {sim::WindowsVersion::WindowsVista, kOsWindows2000},
      {sim::WindowsVersion::Windows7, kOsWindowsXP},
      {sim::WindowsVersion::Windows81, kOsWindowsXP},
      // 10.0: minor version 0 too, but later than 6.1.
      {sim::WindowsVersion::Windows10, kOsWindowsXP},
      {sim::WindowsVersion::Windows11, kOsWindowsXP},
  };
  for (const auto& [version, kind] : cases) {
    for (bool manifest : {true, false}) {
      sim::MachineOptions options = OptionsFor(version);
      options.manifestNamesWindows10 = manifest;
      FreshMachine(options);
      EXPECT_EQ(GetOsKind(), kind) << static_cast<int>(version) << " manifest " << manifest;
    }
  }
}

TEST(GetOsKind, AFailedVersionQueryReadsAsWindows95) {
  sim::Machine& machine = FreshMachine();
  machine.faults.FailOn("GetVersionExA", 1, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetOsKind(), kOsWindows95);
}

}  // namespace
