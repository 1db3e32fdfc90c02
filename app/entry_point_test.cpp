#include "app/entry_point.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/init_application.h"
#include "app/running_instance.h"
#include "platform/sim/key_security.h"
#include "platform/sim/token_groups.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"

namespace {

const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";
const char kTitle[] = "ORVEX 3G/GSM USB Driver Installer";

class EntryPoint : public ::testing::Test {
 protected:
  sim::Machine& Start(sim::WindowsVersion version, bool administrator = true) {
    machine_ = &FreshMachine(OptionsFor(version, administrator));
    machine_->registry.CreateKey(HKEY_LOCAL_MACHINE, kSettingsPath);
    machine_->registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 1);
    launcher_ = machine_->windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
    machine_->windows.AddProperty(launcher_, "CDROMLauncher", nullptr);
    return *machine_;
  }

  // An earlier instance whose wizard is open, with the program's mark on it.
  HWND StartEarlierInstance(bool iconic = false) {
    machine_->system.PretendOtherInstanceHoldsMutex("USBDriverInstall");
    sim::TopLevelWindowSpec shape;
    shape.title = kTitle;
    shape.process = "earlier";
    shape.iconic = iconic;
    HWND wizard = machine_->windows.CreateTopLevel(shape);
    machine_->windows.AddProperty(wizard, "USBDriverInstall", reinterpret_cast<HANDLE>(1));
    return wizard;
  }
  // Another program's dialog that happens to carry the program's title, in
  // front of every other window; its thread takes no messages when `hung`.
  HWND StartForeignWindow(bool hung) {
    sim::TopLevelWindowSpec shape;
    shape.title = kTitle;
    shape.process = "other";
    HWND window = machine_->windows.CreateTopLevel(shape);
    machine_->windows.Find(window)->answersMessages = !hung;
    return window;
  }

  std::vector<UINT> MessagesTo(HWND window) {
    std::vector<UINT> messages;
    for (const auto& m : machine_->windows.Find(window)->messages) messages.push_back(m.message);
    return messages;
  }
  std::optional<uint32_t> InstallFlag() {
    return machine_->registry.GetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag");
  }

  sim::Machine* machine_ = nullptr;
  HWND launcher_ = nullptr;
};

TEST_F(EntryPoint, RefusesANonAdministratorOnWindows2000AndXPInEveryRunMode) {
  for (auto version : {sim::WindowsVersion::Windows2000, sim::WindowsVersion::WindowsXPSP3,
                       sim::WindowsVersion::Windows7}) {
    for (const char* commandLine : {"/r", "/i", ""}) {
      Start(version, false);
      EXPECT_EQ(RunInstaller(nullptr, commandLine), 0);
      // A standard user may only read the keys below HKLM\SOFTWARE: the reset
      // is refused and the flag keeps what the last installation left.
      EXPECT_EQ(InstallFlag(), 1u) << commandLine;
      ASSERT_EQ(machine_->windows.messageBoxes.size(), 1u);
      const auto& box = machine_->windows.messageBoxes[0];
      EXPECT_EQ(box.caption, kTitle);
      EXPECT_EQ(box.style, UINT(MB_OK | MB_ICONINFORMATION));
      EXPECT_EQ(box.text.rfind("A ORVEX 3G/GSM USB Driver  futtat\xE1s\xE1hoz", 0), 0u);
      // No removal ran: the launcher heard nothing.
      EXPECT_TRUE(MessagesTo(launcher_).empty()) << commandLine;
      EXPECT_EQ(OpenHandles(), "");
    }
  }
}

TEST_F(EntryPoint, TheRefusalResetsTheFlagWhereTheCallerLetsUsersWriteIt) {
  sim::Machine& machine = Start(sim::WindowsVersion::WindowsXPSP3, false);
  // The calling installer gave its key a DACL of its own that lets Users write.
  sim::KeySecurity open = sim::SoftwareTreeSecurity();
  open.dacl.push_back(sim::Ace{ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, sim::UsersSid()});
  sim::KeyRef key;
  ASSERT_EQ(machine.registry.Find(machine.registry.PredefinedRoot(HKEY_LOCAL_MACHINE),
                                  kSettingsPath, &key),
            ERROR_SUCCESS);
  sim::SetSecurityOfKey(*key, open);
  RunInstaller(nullptr, "/i");
  EXPECT_EQ(InstallFlag(), 0u);
  EXPECT_EQ(machine.windows.messageBoxes.size(), 1u);
}

TEST_F(EntryPoint, TheRefusalNeverCreatesTheSettingsKey) {
  Start(sim::WindowsVersion::WindowsXPSP2, false);
  machine_->registry.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORVEX");
  RunInstaller(nullptr, "/i");
  EXPECT_FALSE(machine_->registry.KeyExists(HKEY_LOCAL_MACHINE, kSettingsPath));
  EXPECT_EQ(machine_->windows.messageBoxes.size(), 1u);
}

TEST_F(EntryPoint, Windows9xAndNT4HaveNoAdministratorCheck) {
  for (auto version : {sim::WindowsVersion::Windows98, sim::WindowsVersion::WindowsNT4}) {
    Start(version, false);
    RunInstaller(nullptr, "/r");
    EXPECT_TRUE(machine_->windows.messageBoxes.empty());
    EXPECT_EQ(InstallFlag(), 0u);  // the uninstall sequence reset it
    EXPECT_EQ(MessagesTo(launcher_), std::vector<UINT>{WM_DEVICECHANGE});
  }
}

TEST_F(EntryPoint, ARemovalRunClosesTheEarlierInstanceAndRemovesAnyway) {
  Start(sim::WindowsVersion::WindowsXPSP3);
  HWND wizard = StartEarlierInstance();
  RunInstaller(nullptr, "-R");
  EXPECT_EQ(MessagesTo(wizard), std::vector<UINT>{WM_CLOSE});
  EXPECT_EQ(InstallFlag(), 0u);
  EXPECT_EQ(MessagesTo(launcher_), std::vector<UINT>{WM_DEVICECHANGE});
  EXPECT_EQ(OpenHandles(), "");
}

// Another program's window with the program's title, even one whose thread
// hangs, is neither sent WM_CLOSE nor waited for: the removal run closes the
// earlier instance's wizard behind it and removes. With no wizard open (the
// earlier instance still starting) the foreign window is left alone too. An
// earlier instance whose own thread hangs does not hold the removal up.
TEST_F(EntryPoint, ARemovalRunClosesOnlyTheProgramsOwnWizardAndNeverWaitsForAHungWindow) {
  for (bool hung : {true, false}) {
    SCOPED_TRACE(hung ? "hung foreign window" : "foreign window");
    Start(sim::WindowsVersion::WindowsXPSP3);
    HWND wizard = StartEarlierInstance();
    HWND foreign = StartForeignWindow(hung);
    RunInstaller(nullptr, "/r");
    EXPECT_TRUE(MessagesTo(foreign).empty());
    EXPECT_TRUE(machine_->windows.sendsNeverAnswered.empty());
    EXPECT_EQ(machine_->windows.sendTimeoutWaitMs, 0u);
    EXPECT_EQ(MessagesTo(wizard), std::vector<UINT>{WM_CLOSE});
    EXPECT_EQ(InstallFlag(), 0u);
    EXPECT_EQ(MessagesTo(launcher_), std::vector<UINT>{WM_DEVICECHANGE});
    EXPECT_EQ(OpenHandles(), "");
  }

  Start(sim::WindowsVersion::WindowsXPSP3);
  machine_->system.PretendOtherInstanceHoldsMutex("USBDriverInstall");
  HWND foreign = StartForeignWindow(true);
  RunInstaller(nullptr, "/r");
  EXPECT_TRUE(MessagesTo(foreign).empty());
  EXPECT_TRUE(machine_->windows.sendsNeverAnswered.empty());
  EXPECT_EQ(MessagesTo(launcher_), std::vector<UINT>{WM_DEVICECHANGE});

  Start(sim::WindowsVersion::WindowsXPSP3);
  HWND hungWizard = StartEarlierInstance();
  machine_->windows.Find(hungWizard)->answersMessages = false;
  RunInstaller(nullptr, "/r");
  EXPECT_TRUE(machine_->windows.sendsNeverAnswered.empty());
  EXPECT_EQ(InstallFlag(), 0u);
  EXPECT_EQ(MessagesTo(launcher_), std::vector<UINT>{WM_DEVICECHANGE});
}

// A second installation run brings the earlier wizard forward, never a
// foreign window of the same title that stands in front of it.
TEST_F(EntryPoint, ASecondInstallationRunActivatesOnlyTheProgramsOwnWizard) {
  Start(sim::WindowsVersion::WindowsXPSP3);
  HWND wizard = StartEarlierInstance();
  StartForeignWindow(false);
  RunInstaller(nullptr, "/i");
  ASSERT_FALSE(machine_->windows.activations.empty());
  for (const auto& activation : machine_->windows.activations) {
    EXPECT_EQ(activation.window, wizard) << activation.call;
  }
  EXPECT_EQ(machine_->windows.foreground, wizard);
}

// A title or class name that failed to load is empty; searching with it
// would find another program's untitled window and close or raise it.
TEST_F(EntryPoint, AnEmptyTitleOrClassNameFindsNoOtherProgramsWindow) {
  for (int action : {kCloseRunning, kActivate}) {
    Start(sim::WindowsVersion::WindowsXPSP3);
    HWND untitled = machine_->windows.CreateTopLevel({"", "", "other"});
    InitApplication(nullptr, IDS_APP_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
    App().title[0] = '\0';
    App().windowClassName[0] = '\0';
    App().alreadyRunning = 1;
    EXPECT_EQ(HandleRunningInstance(action), 1);
    EXPECT_TRUE(MessagesTo(untitled).empty());
    EXPECT_TRUE(machine_->windows.activations.empty());
    ShutdownApplication();
  }
}

TEST_F(EntryPoint, ASecondInstallationRunActivatesTheFirstAndDoesNothingElse) {
  Start(sim::WindowsVersion::WindowsXPSP3);
  HWND wizard = StartEarlierInstance();
  RunInstaller(nullptr, "/i");
  ASSERT_EQ(machine_->windows.activations.size(), 2u);
  EXPECT_EQ(machine_->windows.activations[0].call, "BringWindowToTop");
  EXPECT_EQ(machine_->windows.activations[1].call, "SetForegroundWindow");
  EXPECT_EQ(machine_->windows.activations[1].window, wizard);
  EXPECT_EQ(InstallFlag(), 1u);  // no uninstall sequence ran
  EXPECT_TRUE(MessagesTo(launcher_).empty());
  EXPECT_TRUE(machine_->windows.messageBoxes.empty());

  // A minimised wizard is restored instead of raised.
  Start(sim::WindowsVersion::WindowsXPSP3);
  StartEarlierInstance(true);
  RunInstaller(nullptr, "");
  ASSERT_EQ(machine_->windows.activations.size(), 2u);
  EXPECT_EQ(machine_->windows.activations[0].call, "ShowWindow 9");

  // The earlier instance's window is gone: this one ends all the same.
  Start(sim::WindowsVersion::WindowsXPSP3);
  machine_->system.PretendOtherInstanceHoldsMutex("USBDriverInstall");
  RunInstaller(nullptr, "/i");
  EXPECT_TRUE(machine_->windows.activations.empty());
  EXPECT_EQ(InstallFlag(), 1u);
}

TEST_F(EntryPoint, AnInstallationRunStartsWithTheUninstallSequence) {
  Start(sim::WindowsVersion::Windows2000);
  RunInstaller(nullptr, "/i");
  EXPECT_EQ(InstallFlag(), 0u);
  EXPECT_EQ(MessagesTo(launcher_), std::vector<UINT>{WM_DEVICECHANGE});
}

TEST_F(EntryPoint, StartUpFillsTheStateAndShutDownReleasesEverything) {
  sim::Machine& machine = Start(sim::WindowsVersion::WindowsXPSP3);
  RunInstaller(nullptr, "/v /r");
  const ApplicationState& state = App();
  EXPECT_STREQ(state.title, kTitle);
  EXPECT_STREQ(state.windowClassName, "USBDriverInstall");
  EXPECT_STREQ(state.mutexName, "USBDriverInstall");
  EXPECT_STREQ(state.programFolder, "D:\\USBINST\\");
  EXPECT_EQ(state.versionMajor, 6u);
  EXPECT_EQ(state.versionMinor, 0u);
  EXPECT_EQ(state.versionBuild, 12u);
  EXPECT_EQ(state.ShowVersionLabel, 0);
  EXPECT_EQ(state.alreadyRunning, 0);
  EXPECT_EQ(state.mutex, nullptr);
  EXPECT_EQ(state.commonControls, nullptr);
  EXPECT_EQ(machine.system.LoadCount("COMCTL32.DLL"), 0);
  ASSERT_EQ(machine.system.initCommonControlsExCalls.size(), 1u);
  EXPECT_EQ(machine.system.initCommonControlsExCalls[0].dwSize, 8u);
  EXPECT_EQ(machine.system.initCommonControlsExCalls[0].dwICC,
            DWORD(ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS));
  EXPECT_EQ(machine.system.initCommonControlsCalls, 0);
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(EntryPoint, AnOldCommonControlsLibraryGetsThePlainInitialisation) {
  sim::Machine& machine = Start(sim::WindowsVersion::Windows95);
  machine.system.SetFileVersion("COMCTL32.DLL", {4, 0, 950, 0});
  RunInstaller(nullptr, "/r");
  EXPECT_EQ(machine.system.initCommonControlsCalls, 1);
  EXPECT_TRUE(machine.system.initCommonControlsExCalls.empty());
}

TEST_F(EntryPoint, AProgramWithoutVersionInformationRunsAsVersionZero) {
  sim::Machine& machine = Start(sim::WindowsVersion::WindowsXPSP3);
  machine.system.RemoveVersionInfo(machine.options().programPath);
  RunInstaller(nullptr, "/r");
  EXPECT_EQ(App().versionMajor, 0u);
  EXPECT_EQ(App().versionBuild, 0u);
}

}  // namespace
