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

void RemovalRun(int osKind) {
  HandleRunningInstance(kCloseRunning);
  DriverRemover(osKind);
}

void InstallationRun(int osKind, int launchedWithMode) {
  if (HandleRunningInstance(kActivate)) return;
  // Every installation starts from a clean system.
  DriverRemover(osKind);
  RunInstallationWizard(osKind, launchedWithMode);
}

}  // namespace

int RunInstaller(HINSTANCE instance, LPCSTR commandLine) {
  SettingsKey settings;
  InitApplication(instance, IDS_APP_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
  ReadBranding();
  App().ShowVersionLabel = 1;
  CommandLineChoice choice = ScanCommandLine(commandLine);
  if (!choice.showVersionLabel) App().ShowVersionLabel = 0;
  int osKind = GetOsKind();

  if (RunsUnderWow64()) {
    // The 64-bit program does the whole run, as if started directly: this one
    // lets go of the single-instance mutex first so that it is not taken for
    // a second instance.
    ShutdownApplication();
    RunSixtyFourBitProgram(commandLine);
    return 0;
  }

  if (osKind >= kOsWindows2000 && !IsUserAdministrator()) {
    RefuseNonAdministrator(settings);
  } else if (choice.runMode == kRunRemove) {
    RemovalRun(osKind);
  } else {
    InstallationRun(osKind, choice.runMode != kRunNone ? 1 : 0);
  }

  ShutdownApplication();
  return 0;
}
