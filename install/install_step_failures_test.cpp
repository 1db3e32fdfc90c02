// The package install and the stale INF scan with each of their platform
// calls failing in turn (tests/fail_each_call.h): the install stops where the
// failure is, releases its search and INF handles, and deletes nothing but
// the phone's stale INF files.
#include <gtest/gtest.h>

#include <string>

#include "app/application_state.h"
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "tests/driver_cd.h"
#include "tests/fail_each_call.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

// Another maker's INF-store copies. The driver database of Windows 98 and Me
// is deleted by design before the copy, so it does not count here.
void InfNeighbours(sim::Machine& machine) {
  machine.files.Remove("C:\\WINDOWS\\INF\\DRVDATA.BIN");
  machine.files.Remove("C:\\WINDOWS\\INF\\DRVIDX.BIN");
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem20.inf", FixtureText("infs/other_maker.inf"));
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem20.PNF", "PNF");
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem21.inf", FixtureText("infs/orvex_neighbour.inf"));
}

// The driver CD in D:\, the program in D:\Setup, and (2000/XP) a stale INF
// of the phone in the INF store.
void CdAndStaleInf(sim::Machine& machine) {
  LoadDriverCd(machine, "D:\\");
  App().programFolder[0] = '\0';
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem22.inf", FixtureText("infs/stale_phone.inf"));
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem22.PNF", "PNF");
}

TEST(InstallStepFailures, EveryFailedCallStopsTheInstallCleanly) {
  sim::MachineOptions xp = OptionsFor(WindowsVersion::WindowsXPSP3);
  xp.programPath = "D:\\Setup\\USBINST.EXE";
  sim::MachineOptions me = OptionsFor(WindowsVersion::WindowsMe);
  me.programPath = "D:\\Setup\\USBINST.EXE";
  const FailureStep steps[] = {
      {"INF store", xp, InfNeighbours, CdAndStaleInf, [] { return DriverInstaller(12).Install(); }},
      {"file copy", me, InfNeighbours, CdAndStaleInf, [] { return DriverInstaller(2).Install(); }},
  };
  int cases = 0;
  for (const FailureStep& step : steps) cases += FailEachCall(step);
  std::printf("[ failures ] %d cases over %zu install steps\n", cases, std::size(steps));
}

}  // namespace
