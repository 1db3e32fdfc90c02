#include "app/wow64_handover.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/entry_point.h"
#include "tests/sim_test_support.h"

namespace {

const char kSettings32[] = "SOFTWARE\\Wow6432Node\\ORVEX\\ORVEX 3G GSM USB Driver 6";
const char kSettings64[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";
const char kProgram64[] = "D:\\USBINST\\usbinst64.exe";

// Windows 7 x64 with the 32-bit program started from the CD. The calling
// installer, a 32-bit program, made the settings key in the 32-bit view and
// set the flag; a stray key in the 64-bit view must never be touched.
class Wow64Handover : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::MachineOptions options = OptionsFor(sim::WindowsVersion::Windows7);
    options.windows64 = true;
    machine_ = &FreshMachine(options);
    machine_->registry.CreateKey(HKEY_LOCAL_MACHINE, kSettings32);
    machine_->registry.SetDword(HKEY_LOCAL_MACHINE, kSettings32, "InstallFlag", 1);
    machine_->registry.CreateKey(HKEY_LOCAL_MACHINE, kSettings64);
    machine_->registry.SetDword(HKEY_LOCAL_MACHINE, kSettings64, "InstallFlag", 7);
    launcher_ = machine_->windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
    machine_->windows.AddProperty(launcher_, "CDROMLauncher", nullptr);
  }

  // The 64-bit build: the same program, started as Windows starts one (the
  // command line after its quoted name reaches the entry point). With
  // `runs` false it ends before its entry point (the loader gave up); then,
  // or after the run (which then leaves InstallFlag 1, as an installation
  // that found the phone does), the process ends with `exitCode` when that is
  // given (a crash, a loader failure, an end from outside).
  void Install64BitProgram(bool runs = true, std::optional<DWORD> exitCode = std::nullopt) {
    sim::SystemModel::Program program;
    program.is64Bit = true;
    program.run = [this, runs, exitCode](const std::string& commandLine) -> DWORD {
      startedAs64Bit_ = machine_->system.process64Bit;
      mutexHeldAtStart_ = machine_->system.MutexExists("USBDriverInstall");
      mutexRequestsBeforeStart_ = machine_->faults.Calls("CreateMutexA");
      DWORD result = 0;
      if (runs) {
        size_t close = commandLine.find('"', 1);
        std::string arguments = commandLine.substr(close + 2);
        result = static_cast<DWORD>(RunInstaller(nullptr, arguments.c_str()));
        // As a run that ended with the phone detected and Next leaves it.
        if (exitCode) machine_->registry.SetDword(HKEY_LOCAL_MACHINE, kSettings32, "InstallFlag", 1);
      }
      return exitCode ? *exitCode : result;
    };
    machine_->system.InstallProgram(*machine_, kProgram64, program);
  }

  uint32_t Flag(const char* key) {
    return machine_->registry.GetDword(HKEY_LOCAL_MACHINE, key, "InstallFlag").value_or(99);
  }
  size_t LauncherNotifications() {
    return machine_->windows.Find(launcher_)->messages.size();
  }

  sim::Machine* machine_ = nullptr;
  HWND launcher_ = nullptr;
  bool startedAs64Bit_ = false;
  bool mutexHeldAtStart_ = true;
  uint64_t mutexRequestsBeforeStart_ = 99;
};

TEST_F(Wow64Handover, The32BitProgramHandsTheWholeRunToThe64BitOne) {
  Install64BitProgram();
  EXPECT_EQ(RunsUnderWow64(), 1);
  EXPECT_EQ(RunInstaller(nullptr, "/r /v"), 0);

  ASSERT_EQ(machine_->system.processStarts.size(), 1u);
  EXPECT_EQ(machine_->system.processStarts[0].application, kProgram64);
  EXPECT_EQ(machine_->system.processStarts[0].commandLine,
            std::string("\"") + kProgram64 + "\" /r /v");
  EXPECT_TRUE(startedAs64Bit_);
  // The 32-bit program never asked for the single-instance mutex: there was
  // no moment in which it had let go of it and the 64-bit program had not
  // yet taken it, and the 64-bit run is not taken for a second instance.
  EXPECT_FALSE(mutexHeldAtStart_);
  EXPECT_EQ(mutexRequestsBeforeStart_, 0u);
  // The removal ran once, in the 64-bit program, and reset the caller's flag in
  // the 32-bit view where the caller made it.
  EXPECT_EQ(LauncherNotifications(), 1u);
  EXPECT_EQ(Flag(kSettings32), 0u);
  EXPECT_EQ(Flag(kSettings64), 7u);
  EXPECT_TRUE(machine_->windows.messageBoxes.empty());
  EXPECT_EQ(OpenHandles(), "");
}

// A 64-bit program that did not run to its end: the loader could not start
// it (a DLL it imports is missing), it crashed before doing anything, or it
// crashed after an installation that set the flag (what it finished is not
// known). Each is a run that did not happen: the caller reads 0 in the 32-bit
// view, and the user reads the text of a 64-bit program that ended abnormally.
TEST_F(Wow64Handover, A64BitProgramThatEndsAbnormallyIsARunThatDidNotHappen) {
  struct Case {
    const char* what;
    bool runs;
    DWORD exitCode;
  };
  const DWORD kAccessViolation = 0xC0000005;
  const DWORD kDllNotFound = 0xC0000135;
  for (const Case& c : {Case{"loader failure", false, kDllNotFound},
                        Case{"crash at start", false, kAccessViolation},
                        Case{"crash after the run", true, kAccessViolation},
                        Case{"ended from outside", true, 1}}) {
    SCOPED_TRACE(c.what);
    SetUp();
    Install64BitProgram(c.runs, c.exitCode);
    EXPECT_EQ(RunInstaller(nullptr, "/i"), 0);
    EXPECT_EQ(Flag(kSettings32), 0u);
    EXPECT_EQ(Flag(kSettings64), 7u);
    ASSERT_FALSE(machine_->windows.messageBoxes.empty());
    const auto& box = machine_->windows.messageBoxes.back();
    EXPECT_EQ(box.caption, "ORVEX 3G/GSM USB Driver Installer");
    EXPECT_EQ(box.style, UINT(MB_OK | MB_ICONERROR));
    EXPECT_NE(box.text.find("v\xE1ratlanul le\xE1llt"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("usbinst64.exe"), std::string::npos);
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST_F(Wow64Handover, WithoutThe64BitProgramNothingIsDoneAndTheCallerReadsZero) {
  for (const char* commandLine : {"/i", "/r", ""}) {
    SetUp();
    RunInstaller(nullptr, commandLine);
    EXPECT_EQ(Flag(kSettings32), 0u) << commandLine;
    EXPECT_EQ(Flag(kSettings64), 7u);
    ASSERT_EQ(machine_->windows.messageBoxes.size(), 1u);
    const auto& box = machine_->windows.messageBoxes[0];
    EXPECT_EQ(box.caption, "ORVEX 3G/GSM USB Driver Installer");
    EXPECT_EQ(box.style, UINT(MB_OK | MB_ICONERROR));
    EXPECT_NE(box.text.find("64 bites Windows"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("usbinst64.exe"), std::string::npos);
    EXPECT_EQ(LauncherNotifications(), 0u);  // no removal ran
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST_F(Wow64Handover, AFileThatIsNoProgramIsReportedWithTheSystemsText) {
  machine_->files.WriteFile(kProgram64, "not a program");
  RunInstaller(nullptr, "/i");
  EXPECT_EQ(Flag(kSettings32), 0u);
  ASSERT_EQ(machine_->windows.messageBoxes.size(), 1u);
  EXPECT_EQ(machine_->windows.messageBoxes[0].caption, "Error");
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(Wow64Handover, Only32BitProgramsOn64BitWindowsHandOver) {
  EXPECT_EQ(RunsUnderWow64(), 1);
  machine_->system.process64Bit = true;
  EXPECT_EQ(RunsUnderWow64(), 0);
  // 32-bit Windows, with and without IsWow64Process (before XP SP2).
  for (auto version : {sim::WindowsVersion::WindowsXPSP3, sim::WindowsVersion::WindowsXPSP1,
                       sim::WindowsVersion::Windows98}) {
    FreshMachine(OptionsFor(version));
    EXPECT_EQ(RunsUnderWow64(), 0);
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
