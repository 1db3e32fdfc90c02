#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"

namespace {

const std::vector<std::string> kLegacyInfs = {"KV6bus.inf",  "KV6mdmv.inf", "KV6mdmw.inf",
                                              "KV6obxv.inf", "KV6obxw.inf", "KV6sdmv.inf",
                                              "KV6sdmw.inf"};
const std::vector<std::string> kNtInfs = {"KV6bus.inf", "KV6obx2.inf", "KV6sdm2.inf",
                                          "KV6mdm2.inf"};
// Installed driver name and the package file it is copied from.
const std::vector<std::pair<std::string, std::string>> kDrivers = {
    {"KV6bus.sys", "KV6bus.sys"},   {"KV6cm.sys", "KV6cm95.sys"},   {"KV6cm95.sys", "KV6cm95.sys"},
    {"KV6cr.sys", "KV6cr.sys"},     {"KV6mdm.sys", "KV6mdm.sys"},   {"KV6mgmt.sys", "KV6mgmt.sys"},
    {"KV6obex.sys", "KV6obex.sys"}, {"KV6wh.sys", "KV6wh95.sys"},   {"KV6wh95.sys", "KV6wh95.sys"},
    {"KV6cmnt.sys", "KV6cmnt.sys"}, {"KV6whnt.sys", "KV6whnt.sys"}, {"KV6vcd.vxd", "KV6vcd.vxd"},
    {"KV6vcr.vxd", "KV6vcr.vxd"},   {"KV6comm.vxd", "KV6comm.vxd"}};

const char kFileNotFound[] = "The system cannot find the file specified.";

struct Kind {
  int osKind;
  sim::WindowsVersion version;
};

// A machine of the version with the test CD in D:\ and the program started
// from `programPath`.
sim::Machine& CdMachine(sim::WindowsVersion version,
                        const std::string& programPath = "D:\\Setup\\USBINST.EXE") {
  sim::MachineOptions options = OptionsFor(version);
  options.programPath = programPath;
  sim::Machine& machine = FreshMachine(options);
  LoadDriverCd(machine, "D:\\");
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  return machine;
}

std::string Read(sim::Machine& machine, const std::string& path) {
  return machine.files.ReadFile(path).value_or("<missing>");
}

TEST(PackageSourceFolder, IsTheDriversFolderBesideTheProgramFolder) {
  FreshMachine();
  DriverInstaller installer(12);
  const std::pair<const char*, const char*> cases[] = {
      {"E:\\Setup\\", "E:\\Drivers"},
      {"E:\\", "E:\\Drivers"},
      {"E:\\Cd\\Setup\\", "E:\\Cd\\Drivers"},
      // A share's root is a root as a drive's is: "\\server" alone is no folder.
      {"\\\\server\\cd\\", "\\\\server\\cd\\Drivers"},
      {"\\\\server\\cd\\Setup\\", "\\\\server\\cd\\Drivers"},
      {"\\\\server\\cd\\Disk1\\Setup\\", "\\\\server\\cd\\Disk1\\Drivers"},
  };
  for (const auto& [program, package] : cases) {
    std::strcpy(App().programFolder, program);
    char folder[261];
    EXPECT_EQ(installer.GetPackageSourceFolder(folder), 1) << program;
    EXPECT_STREQ(folder, package);
  }
  // Unknown program folder, or a result of more than 260 characters: refused.
  std::string deep = "E:\\" + std::string(250, 'a') + "\\Setup\\";  // 253 + "\Drivers"
  for (const std::string& program : {std::string(), deep}) {
    std::strcpy(App().programFolder, program.c_str());
    char folder[261 + 8];
    std::memset(folder, '#', sizeof folder);
    EXPECT_EQ(installer.GetPackageSourceFolder(folder), 0) << program;
    EXPECT_STREQ(folder, "");
    EXPECT_EQ(folder[261], '#');
  }
  std::string fits = "E:\\" + std::string(249, 'a') + "\\Setup\\";
  std::strcpy(App().programFolder, fits.c_str());
  char folder[261];
  EXPECT_EQ(installer.GetPackageSourceFolder(folder), 1);
  EXPECT_EQ(std::strlen(folder), 260u);
}

TEST(PackageSourceFolder, ATrailByteIsNoBackslash) {
  sim::MachineOptions options;
  options.codePage = 932;
  FreshMachine(options);
  std::strcpy(App().programFolder, "D:\\Cd\\Set\x95\x5C\\");  // the last name ends in 表
  char folder[261];
  ASSERT_EQ(DriverInstaller(12).GetPackageSourceFolder(folder), 1);
  EXPECT_STREQ(folder, "D:\\Cd\\Drivers");
}

TEST(PackageInstall, CopiesThePackageIntoTheWindowsFoldersOn9xAndNt4) {
  for (Kind kind :
       {Kind{0, sim::WindowsVersion::Windows95}, Kind{1, sim::WindowsVersion::Windows98},
        Kind{2, sim::WindowsVersion::WindowsMe}, Kind{10, sim::WindowsVersion::WindowsNT4}}) {
    sim::Machine& machine = CdMachine(kind.version);
    std::string inf = machine.files.WindowsDirectory() + "\\INF\\";
    std::string system = machine.files.SystemDirectory() + "\\";
    EXPECT_EQ(DriverInstaller(kind.osKind).Install(), 1) << kind.osKind;
    for (const std::string& name : kLegacyInfs) {
      EXPECT_EQ(Read(machine, inf + name), Read(machine, "D:\\Drivers\\" + name)) << name;
    }
    for (const auto& [installed, package] : kDrivers) {
      EXPECT_EQ(Read(machine, system + installed), Read(machine, "D:\\Drivers\\" + package))
          << installed;
    }
    EXPECT_FALSE(machine.files.FileExists(inf + "DRVDATA.BIN"));
    EXPECT_FALSE(machine.files.FileExists(inf + "DRVIDX.BIN"));
    EXPECT_EQ(machine.faults.Calls("SetupCopyOEMInfA"), 0u);
    EXPECT_EQ(MessageBoxTexts(), "");
    // The copies are read-only, as on the CD; a second install overwrites them.
    EXPECT_EQ(DriverInstaller(kind.osKind).Install(), 1) << kind.osKind;
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(PackageInstall, HandsTheFourInfsToTheStoreOn2000AndXp) {
  for (Kind kind : {Kind{11, sim::WindowsVersion::Windows2000},
                    Kind{12, sim::WindowsVersion::WindowsXPSP2}}) {
    sim::Machine& machine = CdMachine(kind.version);
    std::string inf = machine.files.WindowsDirectory() + "\\INF\\";
    machine.files.WriteFile(inf + "oem7.inf", FixtureText("infs/stale_phone.inf"));
    machine.files.WriteFile(inf + "oem7.PNF", "PNF");
    std::string before = machine.files.SnapshotText();
    EXPECT_EQ(DriverInstaller(kind.osKind).Install(), 1) << kind.osKind;
    // oem3 is another maker's; the stale oem7 went first, so it is free again.
    const char* stored[] = {"oem0", "oem1", "oem2", "oem4"};
    for (size_t i = 0; i < kNtInfs.size(); ++i) {
      EXPECT_EQ(Read(machine, inf + stored[i] + ".inf"),
                Read(machine, "D:\\Drivers\\" + kNtInfs[i]));
      EXPECT_TRUE(machine.files.FileExists(inf + stored[i] + ".PNF"));
    }
    EXPECT_FALSE(machine.files.FileExists(inf + "oem5.inf"));
    EXPECT_FALSE(machine.files.FileExists(inf + "oem7.inf"));
    EXPECT_FALSE(machine.files.FileExists(inf + "oem7.PNF"));
    EXPECT_TRUE(machine.files.FileExists(inf + "oem3.inf"));
    EXPECT_EQ(machine.faults.Calls("CopyFileA"), 0u);
    EXPECT_EQ(MessageBoxTexts(), "");
    // Again: the store answers with the names it already gave.
    EXPECT_EQ(DriverInstaller(kind.osKind).Install(), 1);
    EXPECT_FALSE(machine.files.FileExists(inf + "oem5.inf"));
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(PackageInstall, AProgramInTheDriveRootTakesTheRootsDriversFolder) {
  sim::Machine& machine = CdMachine(sim::WindowsVersion::Windows98, "D:\\USBINST.EXE");
  EXPECT_STREQ(App().programFolder, "D:\\");
  EXPECT_EQ(DriverInstaller(1).Install(), 1);
  EXPECT_EQ(Read(machine, "C:\\WINDOWS\\INF\\KV6sdmw.inf"),
            Read(machine, "D:\\Drivers\\KV6sdmw.inf"));
  CdMachine(sim::WindowsVersion::WindowsXPSP3, "D:\\USBINST.EXE");
  EXPECT_EQ(DriverInstaller(12).Install(), 1);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(PackageInstall, AMissingSourceFileStopsTheCopyWithOneBox) {
  sim::Machine& machine = CdMachine(sim::WindowsVersion::Windows98);
  machine.files.Remove("D:\\Drivers\\KV6mdmw.inf");
  EXPECT_EQ(DriverInstaller(1).Install(), 0);
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\KV6bus.inf"));
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\KV6mdmv.inf"));
  EXPECT_FALSE(machine.files.FileExists("C:\\WINDOWS\\INF\\KV6obxv.inf"));
  EXPECT_FALSE(machine.files.FileExists("C:\\WINDOWS\\SYSTEM\\KV6bus.sys"));
  ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
  EXPECT_NE(MessageBoxTexts().find(kFileNotFound), std::string::npos);

  // A missing driver file: the INF files and the earlier drivers stay.
  sim::Machine& nt = CdMachine(sim::WindowsVersion::WindowsNT4);
  nt.files.Remove("D:\\Drivers\\KV6wh95.sys");
  EXPECT_EQ(DriverInstaller(10).Install(), 0);
  EXPECT_TRUE(nt.files.FileExists("C:\\WINNT\\INF\\KV6sdmw.inf"));
  EXPECT_TRUE(nt.files.FileExists("C:\\WINNT\\system32\\KV6obex.sys"));
  EXPECT_FALSE(nt.files.FileExists("C:\\WINNT\\system32\\KV6wh.sys"));
  EXPECT_FALSE(nt.files.FileExists("C:\\WINNT\\system32\\KV6cmnt.sys"));
  ASSERT_EQ(nt.windows.messageBoxes.size(), 1u);
  EXPECT_NE(MessageBoxTexts().find(kFileNotFound), std::string::npos);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(PackageInstall, AReadOnlyTargetIsOverwrittenAndAHeldOneIsReported) {
  sim::Machine& machine = CdMachine(sim::WindowsVersion::WindowsMe);
  machine.files.WriteFile("C:\\WINDOWS\\INF\\KV6obxw.inf", "old", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(DriverInstaller(2).Install(), 1);
  EXPECT_EQ(Read(machine, "C:\\WINDOWS\\INF\\KV6obxw.inf"),
            Read(machine, "D:\\Drivers\\KV6obxw.inf"));

  machine.files.HoldOpen("C:\\WINDOWS\\SYSTEM\\KV6mdm.sys");
  EXPECT_EQ(DriverInstaller(2).Install(), 0);
  EXPECT_NE(MessageBoxTexts().find("being used by another process"), std::string::npos);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(PackageInstall, NoCatalogOnTheSecondInfStopsWithoutABox) {
  sim::Machine& machine = CdMachine(sim::WindowsVersion::WindowsXPSP2);
  machine.faults.FailOn("SetupCopyOEMInfA", 2, ERROR_NO_CATALOG_FOR_OEM_INF);
  EXPECT_EQ(DriverInstaller(12).Install(), 0);
  EXPECT_EQ(machine.faults.Calls("SetupCopyOEMInfA"), 2u);
  EXPECT_EQ(Read(machine, "C:\\WINDOWS\\INF\\oem0.inf"),
            Read(machine, "D:\\Drivers\\KV6bus.inf"));
  EXPECT_FALSE(machine.files.FileExists("C:\\WINDOWS\\INF\\oem1.inf"));
  EXPECT_EQ(MessageBoxTexts(), "");

  // Any other code is shown with the system's text.
  sim::Machine& w2k = CdMachine(sim::WindowsVersion::Windows2000);
  w2k.faults.FailOn("SetupCopyOEMInfA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(DriverInstaller(11).Install(), 0);
  EXPECT_EQ(w2k.faults.Calls("SetupCopyOEMInfA"), 1u);
  EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
  EXPECT_EQ(OpenHandles(), "");
}

// Package paths that would not fit in 260 characters are refused before any
// file is copied or handed over, and without a message.
TEST(PackageInstall, PathsLongerThan260CharactersAreRefusedQuietly) {
  // "D:\<a...>\Drivers" is 250 characters: the folder fits, "\KV6bus.inf" does not.
  std::string program = "D:\\" + std::string(239, 'a') + "\\Setup\\";
  for (Kind kind :
       {Kind{12, sim::WindowsVersion::WindowsXPSP2}, Kind{1, sim::WindowsVersion::Windows98}}) {
    sim::Machine& machine = CdMachine(kind.version);
    std::strcpy(App().programFolder, program.c_str());
    char folder[261];
    ASSERT_EQ(DriverInstaller(kind.osKind).GetPackageSourceFolder(folder), 1);
    ASSERT_EQ(std::strlen(folder), 250u);
    EXPECT_EQ(DriverInstaller(kind.osKind).Install(), 0);
    EXPECT_EQ(machine.faults.Calls("SetupCopyOEMInfA"), 0u);
    EXPECT_EQ(machine.faults.Calls("CopyFileA"), 0u);
    EXPECT_EQ(MessageBoxTexts(), "");
  }
  // The system folder is too long for the driver names: the INF files are
  // copied, then the drivers are refused.
  sim::Machine& machine = CdMachine(sim::WindowsVersion::Windows95);
  std::string system = "C:\\" + std::string(248, 's');
  machine.files.SetWindowsFolders("C:\\WINDOWS", system);
  machine.files.CreateFolder(system);
  EXPECT_EQ(DriverInstaller(0).Install(), 0);
  EXPECT_EQ(machine.faults.Calls("CopyFileA"), 7u);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
