#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/driver_installer.h"
#include "tests/sim_test_support.h"

namespace {

using Builder = int (DriverInstaller::*)(char*);

struct Row {
  Builder build;
  const char* suffix;
  bool emptiesOnFailure;
};

const Row kRows[] = {
    {&DriverInstaller::GetInfFolder, "\\INF", false},
    {&DriverInstaller::GetLastGoodInfFolder, "\\LastGood\\INF", false},
    {&DriverInstaller::GetDriversFolder, "\\SYSTEM32\\DRIVERS", true},
    {&DriverInstaller::GetLastGoodDriversFolder, "\\LastGood\\SYSTEM32\\DRIVERS", true},
};

TEST(WindowsFolders, AreBuiltFromTheWindowsFolderOnEveryVersion) {
  for (auto version : {sim::WindowsVersion::Windows98, sim::WindowsVersion::WindowsNT4,
                       sim::WindowsVersion::WindowsXPSP2}) {
    sim::Machine& machine = FreshMachine(OptionsFor(version));
    DriverInstaller installer(12);
    for (const Row& row : kRows) {
      char folder[261] = "old";
      ASSERT_EQ((installer.*row.build)(folder), 1);
      EXPECT_EQ(std::string(folder), machine.files.WindowsDirectory() + row.suffix);
    }
    EXPECT_EQ(OpenHandles(), "");
  }
}

// A Windows folder that leaves no room, or room for only part of a
// fragment, fails every builder: a cut folder must never reach a delete.
TEST(WindowsFolders, ALongWindowsFolderFailsInsteadOfBeingCut) {
  for (size_t length : {260u, 259u, 257u, 250u, 246u}) {
    sim::Machine& machine = FreshMachine();
    std::string windows = "C:\\" + std::string(length - 3, 'w');
    machine.files.SetWindowsFolders(windows, windows + "\\system32");
    DriverInstaller installer(12);
    for (const Row& row : kRows) {
      char folder[261 + 8];
      std::memset(folder, '#', sizeof folder);
      std::strcpy(folder, "old");
      int result = (installer.*row.build)(folder);
      bool fits = length + std::strlen(row.suffix) <= 260;
      EXPECT_EQ(result, fits ? 1 : 0) << length << row.suffix;
      if (fits) {
        EXPECT_EQ(std::string(folder), windows + row.suffix);
      } else {
        EXPECT_STREQ(folder, row.emptiesOnFailure ? "" : "old") << length << row.suffix;
      }
      EXPECT_EQ(folder[261], '#');
    }
  }
}

TEST(WindowsFolders, AFailingWindowsDirectoryCallFails) {
  sim::Machine& machine = FreshMachine();
  DriverInstaller installer(12);
  machine.faults.FailOn("GetWindowsDirectoryA", 1, ERROR_NOT_ENOUGH_MEMORY);
  char folder[261] = "old";
  EXPECT_EQ(installer.GetDriversFolder(folder), 0);
  EXPECT_STREQ(folder, "");
}

}  // namespace
