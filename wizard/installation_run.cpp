#include "wizard/installation_run.h"

#include "app/message_boxes.h"
#include "platform/platform.h"
#include "resources/string_table.h"
#include "wizard/setup_wizard.h"

void RunInstallationWizard(int osKind, int launchedWithMode) {
  SetupWizard wizard(osKind, launchedWithMode);
  if (wizard.PrepareInstall() != 1) {
    ShowErrorText(nullptr, wizard.signatureRefused ? IDS_PACKAGE_NOT_SIGNED : IDS_PREPARE_FAILED);
    return;
  }
  // How the wizard ended is its own business, but a wizard that could not
  // open (-1) would end the run without a word: the failure is reported as
  // that of any other system call, or, without an error code, as a run whose
  // drivers could not be set up.
  if (wizard.RunDialog(nullptr) != -1) return;
  DWORD dialogError = plat::GetLastError();
  if (dialogError != ERROR_SUCCESS) {
    ShowSystemError(dialogError);
  } else {
    ShowErrorText(nullptr, IDS_PREPARE_FAILED);
  }
}
