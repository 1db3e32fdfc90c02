#include "wizard/installation_run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/sim/plug_and_play.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"
#include "wizard/function_presence.h"
#include "wizard/setup_wizard.h"

namespace {

using sim::DialogEvent;
using sim::WindowsVersion;

const char kTitle[] = "ORVEX 3G/GSM USB Driver Installer";
const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";

// A machine of the version with the driver CD in D:\ and the program
// started from D:\Setup.
sim::Machine& CdMachine(WindowsVersion version, bool withCd = true) {
  sim::MachineOptions options = OptionsFor(version);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  sim::Machine& machine = FreshMachine(options);
  if (withCd) LoadDriverCd(machine, "D:\\");
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  std::strcpy(App().title, kTitle);
  return machine;
}

std::string Text(int id) {
  char text[kFormatCapacity];
  text[0] = '\0';
  LoadText(id, text, kFormatCapacity);
  return text;
}

uint64_t InstallCalls(sim::Machine& machine) {
  return machine.faults.Calls("SetupCopyOEMInfA") + machine.faults.Calls("CopyFileA");
}

TEST(PrepareInstall, Windows2000AndXPAskFirstAndStopWhenTheUserDeclines) {
  for (auto [version, osKind] :
       {std::pair{WindowsVersion::Windows2000, 11}, std::pair{WindowsVersion::WindowsXPSP2, 12}}) {
    sim::Machine& machine = CdMachine(version);
    machine.windows.messageBoxAnswers.push_back(IDCANCEL);
    SetupWizard wizard(osKind, 1);
    EXPECT_EQ(wizard.PrepareInstall(), 0);
    EXPECT_EQ(wizard.state, kNotReady);
    EXPECT_EQ(InstallCalls(machine), 0u);
    ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
    const sim::MessageBoxRecord& notice = machine.windows.messageBoxes[0];
    EXPECT_EQ(notice.text, Text(IDS_SIGNING_NOTICE));
    EXPECT_EQ(notice.caption, kTitle);
    EXPECT_EQ(notice.style, UINT(MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_EQ(notice.owner, nullptr);

    // A notice whose text does not load is not shown as an empty box: the
    // failure is reported and nothing is installed.
    sim::Machine& unloaded = CdMachine(version);
    unloaded.faults.FailOn("LoadStringA", 1, ERROR_RESOURCE_NAME_NOT_FOUND);
    SetupWizard silent(osKind, 1);
    EXPECT_EQ(silent.PrepareInstall(), 0);
    EXPECT_EQ(InstallCalls(unloaded), 0u);
    ASSERT_EQ(unloaded.windows.messageBoxes.size(), 1u);
    EXPECT_EQ(unloaded.windows.messageBoxes[0].caption, "Error");
    EXPECT_EQ(unloaded.windows.messageBoxes[0].text.rfind("The specified resource name", 0), 0u);

    // Accepted: the package goes to the INF store and the wizard may wait.
    CdMachine(version);
    SetupWizard accepted(osKind, 0);
    EXPECT_EQ(accepted.PrepareInstall(), 1);
    EXPECT_EQ(accepted.state, kWaitingForPhone);
    EXPECT_GT(sim::CurrentMachine().faults.Calls("SetupCopyOEMInfA"), 0u);
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(PrepareInstall, OtherVersionsInstallWithoutANoticeAndReportFailure) {
  for (auto [version, osKind] :
       {std::pair{WindowsVersion::Windows98, 1}, std::pair{WindowsVersion::WindowsNT4, 10}}) {
    sim::Machine& machine = CdMachine(version);
    SetupWizard wizard(osKind, 0);
    EXPECT_EQ(wizard.PrepareInstall(), 1);
    EXPECT_EQ(wizard.state, kWaitingForPhone);
    EXPECT_TRUE(machine.windows.messageBoxes.empty());
  }
  // Without the "Drivers" folder the install fails and the state goes back.
  CdMachine(WindowsVersion::Windows98, false);
  SetupWizard wizard(1, 0);
  EXPECT_EQ(wizard.PrepareInstall(), 0);
  EXPECT_EQ(wizard.state, kNotReady);
}

TEST(InstallationRun, ADeclinedNoticeOrAFailedInstallEndsWithMessage15100AndNoWizard) {
  sim::Machine& declined = CdMachine(WindowsVersion::WindowsXPSP3);
  declined.windows.messageBoxAnswers.push_back(IDCANCEL);
  RunInstallationWizard(12, 1);
  ASSERT_EQ(declined.windows.messageBoxes.size(), 2u);
  EXPECT_EQ(declined.windows.messageBoxes[1].text, Text(IDS_PREPARE_FAILED));
  EXPECT_EQ(declined.windows.messageBoxes[1].style, UINT(MB_OK | MB_ICONERROR));
  EXPECT_TRUE(declined.dialogs.runs.empty());

  sim::Machine& failed = CdMachine(WindowsVersion::WindowsMe, false);
  RunInstallationWizard(2, 0);
  // The install reports its own failure first.
  ASSERT_FALSE(failed.windows.messageBoxes.empty());
  EXPECT_EQ(failed.windows.messageBoxes.back().text, Text(IDS_PREPARE_FAILED));
  EXPECT_TRUE(failed.dialogs.runs.empty());
}

// Where Windows installs only signed packages (every Windows from 8 on), the
// unsigned CD is refused: the user is told that the signature is the
// reason, in the program's words and without the system's box, and the run
// leaves InstallFlag 0. Where Windows asks its administrator instead (7),
// the same CD installs.
TEST(InstallationRun, APackageWindowsRefusesForItsSignatureIsToldWhy) {
  struct Case {
    WindowsVersion version;
    bool windows64;
    bool refused;
  };
  for (const Case& c : {Case{WindowsVersion::Windows11, true, true},
                        Case{WindowsVersion::Windows10, false, true},
                        Case{WindowsVersion::Windows7, false, false}}) {
    SCOPED_TRACE(static_cast<int>(c.version) * 10 + c.windows64);
    sim::MachineOptions options = OptionsFor(c.version);
    options.programPath = "D:\\Setup\\USBINST.EXE";
    options.windows64 = c.windows64;
    sim::Machine& machine = FreshMachine(options);
    if (c.windows64) machine.system.process64Bit = true;
    LoadDriverCd(machine, "D:\\");
    // An earlier installation's flag (where 32-bit installers read it): the
    // run must not leave it standing.
    std::string settings = kSettingsPath;
    if (c.windows64) settings.insert(std::strlen("SOFTWARE\\"), "Wow6432Node\\");
    machine.registry.SetDword(HKEY_LOCAL_MACHINE, settings, "InstallFlag", 1);
    machine.dialogs.script = {DialogEvent::Click(IDCANCEL)};
    RunInstaller(nullptr, "/i");
    std::vector<std::string> texts;
    for (const auto& box : machine.windows.messageBoxes) texts.push_back(box.text);
    if (c.refused) {
      ASSERT_EQ(texts.size(), 2u);  // the signing notice, then why the run ends
      EXPECT_EQ(texts[1], Text(IDS_PACKAGE_NOT_SIGNED));
      EXPECT_TRUE(machine.dialogs.runs.empty());
    } else {
      EXPECT_EQ(texts.size(), 1u);
      EXPECT_EQ(machine.dialogs.runs.size(), 1u);
    }
    EXPECT_EQ(machine.registry.GetDword(HKEY_LOCAL_MACHINE, settings, "InstallFlag"), 0u);
  }
}

// DialogBoxParamA answers -1 when the wizard cannot open (a template or a
// control class missing): the run says so instead of ending without a word.
TEST(InstallationRun, AWizardThatCannotOpenIsReported) {
  sim::Machine& machine = CdMachine(WindowsVersion::Windows98);
  machine.faults.FailOn("DialogBoxParamA", 1, ERROR_RESOURCE_NAME_NOT_FOUND);
  RunInstallationWizard(1, 0);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
  EXPECT_EQ(machine.windows.messageBoxes[0].caption, "Error");
  EXPECT_EQ(machine.windows.messageBoxes[0].text.rfind("The specified resource name", 0), 0u);
}

// The whole program: /i on the CD, notice accepted, the phone plugged in
// function by function, Next pressed.
TEST(InstallationRun, AnInstallSwitchRunEndsWithTheFlagSetAfterNext) {
  for (const char* commandLine : {"/i", ""}) {
    sim::Machine& machine = CdMachine(WindowsVersion::WindowsXPSP3);
    machine.registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 1);
    std::vector<int> positions;
    auto plug = [&](int function) {
      return DialogEvent::Inspect([&, function](HWND) { sim::PlugInFunction(machine, function); });
    };
    auto position = DialogEvent::Inspect([&](HWND dialog) {
      positions.push_back(machine.windows.FindChild(dialog, IDC_WIZARD_PROGRESS)->position);
    });
    machine.dialogs.script = {plug(0),
                              DialogEvent::DeviceChange(),
                              position,
                              plug(1),
                              DialogEvent::DeviceChange(),
                              position,
                              plug(2),
                              DialogEvent::DeviceChange(),
                              position,
                              plug(3),
                              DialogEvent::DeviceChange(),
                              position,
                              DialogEvent::Click(IDC_WIZARD_NEXT)};
    EXPECT_EQ(RunInstaller(nullptr, commandLine), 0);
    ASSERT_EQ(machine.dialogs.runs.size(), 1u);
    const sim::DialogRun& run = machine.dialogs.runs[0];
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.templateId, IDD_WIZARD_NT);
    EXPECT_EQ(run.finalWindow.text, kTitle);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4}));
    // Only the notice was shown.
    EXPECT_EQ(MessageBoxTexts(), Text(IDS_SIGNING_NOTICE) + "\n");
    // The uninstall sequence reset the flag; only the switch sets it again.
    std::optional<uint32_t> flag =
        machine.registry.GetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag");
    EXPECT_EQ(flag, std::string(commandLine).empty() ? 0u : 1u) << commandLine;
  }
}

// What the Plug and Play stand-in leaves after the package install is what
// the presence check looks for, on every version, function by function. NT 4
// has no USB support: nothing is installed there and no function is ever seen.
TEST(InstallationRun, ThePresenceCheckSeesWhatPlugAndPlayInstalls) {
  const std::pair<WindowsVersion, int> kinds[] = {
      {WindowsVersion::Windows95, 0},    {WindowsVersion::Windows98, 1},
      {WindowsVersion::WindowsMe, 2},    {WindowsVersion::WindowsNT4, 10},
      {WindowsVersion::Windows2000, 11}, {WindowsVersion::WindowsXPSP3, 12}};
  for (auto [version, osKind] : kinds) {
    sim::Machine& machine = CdMachine(version);
    SetupWizard wizard(osKind, 0);
    ASSERT_EQ(wizard.PrepareInstall(), 1) << osKind;
    for (int function = 0; function < 4; ++function) {
      EXPECT_EQ(IsFunctionPresent(function), 0) << osKind << " " << function;
      if (osKind == 10) {
        EXPECT_FALSE(sim::PlugInFunction(machine, function));
        EXPECT_EQ(IsFunctionPresent(function), 0) << function;
        continue;
      }
      // An interface function without its COM port is not ready yet.
      sim::PlugOptions noPort;
      noPort.assignComPorts = false;
      ASSERT_TRUE(sim::PlugInFunction(machine, function, noPort)) << osKind << " " << function;
      EXPECT_EQ(IsFunctionPresent(function), function == 0 ? 1 : 0) << osKind << " " << function;
      ASSERT_TRUE(sim::PlugInFunction(machine, function)) << osKind << " " << function;
      EXPECT_EQ(IsFunctionPresent(function), 1) << osKind << " " << function;
    }
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
