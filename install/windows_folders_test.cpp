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

// Where GetSystemWindowsDirectoryA exists, its failure fails the builder:
// GetWindowsDirectoryA could give a Terminal Server user's private folder.
TEST(WindowsFolders, AFailingWindowsDirectoryCallFails) {
  struct Case {
    sim::WindowsVersion version;
    const char* call;
  };
  for (Case c : {Case{sim::WindowsVersion::WindowsXPSP3, "GetSystemWindowsDirectoryA"},
                 Case{sim::WindowsVersion::Windows98, "GetWindowsDirectoryA"}}) {
    sim::MachineOptions options = OptionsFor(c.version);
    options.terminalServerUserWindowsFolder = "C:\\Users\\anna\\WINDOWS";
    sim::Machine& machine = FreshMachine(options);
    DriverInstaller installer(12);
    machine.faults.FailOn(c.call, 1, ERROR_NOT_ENOUGH_MEMORY);
    char folder[261] = "old";
    EXPECT_EQ(installer.GetDriversFolder(folder), 0) << c.call;
    EXPECT_STREQ(folder, "") << c.call;
  }
}

// On a Terminal Server in application mode a program that is not marked
// Terminal Server aware gets a private Windows folder of the user from
// GetWindowsDirectoryA; the phone's INF and driver files are in the shared
// one, where Plug and Play put them. The folders come from the shared one
// wherever Windows has GetSystemWindowsDirectoryA (Windows 2000 Server, NT 4
// Terminal Server Edition, later versions), whatever the program's mark.
TEST(WindowsFolders, AreTheSharedOnesOnATerminalServer) {
  const std::string user = "C:\\Documents and Settings\\anna\\WINDOWS";
  for (auto version : {sim::WindowsVersion::WindowsNT4, sim::WindowsVersion::Windows2000,
                       sim::WindowsVersion::WindowsXPSP3, sim::WindowsVersion::Windows7}) {
    sim::MachineOptions options = OptionsFor(version);
    options.terminalServerUserWindowsFolder = user;
    sim::Machine& machine = FreshMachine(options);
    DriverInstaller installer(version == sim::WindowsVersion::WindowsNT4 ? 10 : 12);
    for (const Row& row : kRows) {
      char folder[261] = "old";
      ASSERT_EQ((installer.*row.build)(folder), 1);
      EXPECT_EQ(std::string(folder), machine.files.WindowsDirectory() + row.suffix)
          << static_cast<int>(version);
    }
  }
}

// Windows 98 and plain NT 4 have neither Terminal Services nor the call: the
// one Windows folder comes from GetWindowsDirectoryA.
TEST(WindowsFolders, ComeFromGetWindowsDirectoryWhereTheSharedCallIsMissing) {
  for (auto version : {sim::WindowsVersion::Windows98, sim::WindowsVersion::WindowsNT4}) {
    sim::Machine& machine = FreshMachine(OptionsFor(version));
    machine.files.SetWindowsFolders("D:\\WIN", "D:\\WIN\\SYSTEM");
    DriverInstaller installer(version == sim::WindowsVersion::WindowsNT4 ? 10 : 1);
    char folder[261] = "old";
    ASSERT_EQ(installer.GetInfFolder(folder), 1);
    EXPECT_STREQ(folder, "D:\\WIN\\INF");
  }
}

}  // namespace
