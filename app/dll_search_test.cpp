#include "app/dll_search.h"

#include <gtest/gtest.h>

#include <string>

#include "app/entry_point.h"
#include "platform/platform.h"
#include "tests/sim_test_support.h"

namespace {

// DLLs of a stranger's, laid beside the program under the names of the
// system libraries the program uses; each exports nothing the program knows.
void PlantLibraries(sim::Machine& machine) {
  for (const char* name : {"COMCTL32.DLL", "SETUPAPI.DLL", "VERSION.DLL"}) {
    machine.files.WriteFile(std::string("D:\\USBINST\\") + name, "MZ planted");
  }
}

// Every library the program asked for is named by its full path in the
// system folder, and none came from anywhere else.
void ExpectOnlySystemLibraries(const sim::Machine& machine, const char* run) {
  std::string system = machine.files.SystemDirectory() + "\\";
  EXPECT_FALSE(machine.system.libraryRequests.empty()) << run;
  for (const std::string& name : machine.system.libraryRequests) {
    EXPECT_EQ(name.rfind(system, 0), 0u) << run << ": LoadLibraryA(\"" << name << "\")";
  }
  for (const std::string& path : machine.system.foreignLibraryLoads) {
    ADD_FAILURE() << run << " loaded " << path;
  }
}

// A removal and an installation run on each version, with the DLLs planted:
// nothing is loaded from the program's folder, and the common controls are
// still initialised from the system's comctl32.
TEST(DllSearch, NoLibraryComesFromTheProgramsFolderInAnyRun) {
  for (auto version : {sim::WindowsVersion::Windows95, sim::WindowsVersion::WindowsNT4,
                       sim::WindowsVersion::Windows2000, sim::WindowsVersion::WindowsXPSP3,
                       sim::WindowsVersion::Windows7}) {
    for (const char* commandLine : {"/r", "/i"}) {
      sim::Machine& machine = FreshMachine(OptionsFor(version));
      PlantLibraries(machine);
      RunInstaller(nullptr, commandLine);
      std::string run = std::string(commandLine) + " on " + std::to_string(int(version));
      ExpectOnlySystemLibraries(machine, run.c_str());
      EXPECT_EQ(machine.system.initCommonControlsCalls +
                    int(machine.system.initCommonControlsExCalls.size()),
                1)
          << run;
      EXPECT_EQ(OpenHandles(), "") << run;
    }
  }
}

// The search that is left for bare names (a system DLL's own imports,
// whatever Windows loads for the program) loses the program's folder where
// SetDefaultDllDirectories exists and the current folder where
// SetDllDirectoryA does; before XP SP1 neither exists, and the run goes on.
TEST(DllSearch, TheSearchIsNarrowedWhereWindowsHasTheCalls) {
  struct Case {
    sim::WindowsVersion version;
    bool update;  // KB2533623
    DWORD defaultDirectories;
    bool directorySet;
  };
  const Case cases[] = {
      {sim::WindowsVersion::Windows98, false, 0, false},
      {sim::WindowsVersion::Windows2000, false, 0, false},
      {sim::WindowsVersion::WindowsXPSP1, false, 0, true},
      {sim::WindowsVersion::Windows7, false, 0, true},
      {sim::WindowsVersion::Windows7, true, LOAD_LIBRARY_SEARCH_SYSTEM32, true},
  };
  for (const Case& c : cases) {
    sim::MachineOptions options = OptionsFor(c.version);
    options.dllDirectoriesUpdate = c.update;
    sim::Machine& machine = FreshMachine(options);
    RestrictDllSearch();
    EXPECT_EQ(machine.system.defaultDllDirectories, c.defaultDirectories) << int(c.version);
    EXPECT_EQ(machine.system.dllDirectorySet, c.directorySet) << int(c.version);
    EXPECT_EQ(machine.system.dllDirectory, "") << int(c.version);
    // Once only the system folder is searched, a bare name no longer finds
    // a DLL beside the program; before that it does, as on Windows.
    machine.files.WriteFile("D:\\USBINST\\SETUPAPI.DLL", "MZ planted");
    HMODULE module = plat::LoadLibraryA("setupapi.dll");
    EXPECT_EQ(machine.system.foreignLibraryLoads.empty(), c.update) << int(c.version);
    if (module) plat::FreeLibrary(module);
  }
}

TEST(DllSearch, ASystemLibraryPathIsTheSystemFolderAndTheName) {
  sim::Machine& machine = FreshMachine(OptionsFor(sim::WindowsVersion::Windows98));
  char path[261];
  ASSERT_EQ(SystemLibraryPath("comctl32.dll", path), 1);
  EXPECT_EQ(std::string(path), machine.files.SystemDirectory() + "\\comctl32.dll");
  // A system folder at a drive's root keeps its one backslash.
  machine.files.SetWindowsFolders("C:\\", "C:\\");
  ASSERT_EQ(SystemLibraryPath("comctl32.dll", path), 1);
  EXPECT_STREQ(path, "C:\\comctl32.dll");
  // A path that would not fit is refused, not cut.
  std::string deep = "C:\\" + std::string(250, 's');
  machine.files.SetWindowsFolders("C:\\W", deep);
  EXPECT_EQ(SystemLibraryPath("comctl32.dll", path), 0);
  EXPECT_STREQ(path, "");
}

}  // namespace
