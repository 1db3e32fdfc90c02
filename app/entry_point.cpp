#include "app/entry_point.h"

#include "app/administrator.h"
#include "app/application_state.h"
#include "app/branding.h"
#include "app/command_line.h"
#include "app/init_application.h"
#include "app/message_boxes.h"
#include "app/os_kind.h"
#include "app/running_instance.h"
#include "app/settings_key.h"
#include "app/wow64_handover.h"
#include "resources/string_table.h"
#include "uninstall/driver_remover.h"
#include "wizard/installation_run.h"

namespace {

// A user without administrator rights on Windows 2000/XP can neither
// install nor remove drivers: tell the caller through the flag, then the user.
void RefuseNonAdministrator(SettingsKey& settings) {
  if (OpenSettingsKey(&settings)) settings.WriteDword(IDS_INSTALL_FLAG, 0);
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
}

// A removal that could not stop a device of the phone (a program holds its
// port open) is finished by Windows when it restarts: the user hears it once.
void RemovalRun(int osKind) {
  HandleRunningInstance(kCloseRunning);
  int restartNeeded = 0;
  DriverRemover(osKind, &restartNeeded);
  if (restartNeeded) ShowInfoText(nullptr, IDS_REMOVAL_AFTER_RESTART);
}

// Every installation starts from a clean system. While the old drivers stay
// loaded until a restart, the phone cannot be installed: the wizard would wait
// for it in vain, so the caller learns of the failure through the flag and the
// user is asked to restart Windows and run the installer again.
void InstallationRun(SettingsKey& settings, int osKind, int launchedWithMode) {
  if (HandleRunningInstance(kActivate)) return;
  int restartNeeded = 0;
  DriverRemover(osKind, &restartNeeded);
  if (restartNeeded) {
    if (OpenSettingsKey(&settings)) settings.WriteDword(IDS_INSTALL_FLAG, 0);
    settings.Close();
    ShowInfoText(nullptr, IDS_INSTALL_AFTER_RESTART);
    return;
  }
  RunInstallationWizard(osKind, launchedWithMode);
}

}  // namespace

int RunInstaller(HINSTANCE instance, LPCSTR commandLine) {
  SettingsKey settings;
  LoadApplicationState(instance, IDS_APP_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
  ReadBranding();
  App().ShowVersionLabel = 1;
  CommandLineChoice choice = ScanCommandLine(commandLine);
  if (!choice.showVersionLabel) App().ShowVersionLabel = 0;
  int osKind = GetOsKind();

  if (RunsUnderWow64()) {
    // The 64-bit program does the whole run, as if started directly, and
    // claims the single-instance mutex itself. This one never takes it. Had
    // it taken the mutex and let go of it before starting the 64-bit program,
    // a second start in that gap could have taken it, and the 64-bit program
    // would have found it and ended as a second instance of a run that has
    // no wizard. Without it, two starts race only as two starts of the 64-bit
    // program would: the first to create the mutex is the first instance (a
    // second 32-bit start hands over as well, and its 64-bit program finds
    // the first one's mutex). Shut down before the start: the common
    // controls are not needed for the messages shown after it.
    ShutdownApplication();
    RunSixtyFourBitProgram(commandLine);
    return 0;
  }
  ClaimSingleInstance();

  if (osKind >= kOsWindows2000 && !IsUserAdministrator()) {
    RefuseNonAdministrator(settings);
  } else if (choice.runMode == kRunRemove) {
    RemovalRun(osKind);
  } else {
    InstallationRun(settings, osKind, choice.runMode != kRunNone ? 1 : 0);
  }

  ShutdownApplication();
  return 0;
}
