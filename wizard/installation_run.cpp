#include "wizard/installation_run.h"

#include "app/message_boxes.h"
#include "resources/string_table.h"
#include "wizard/setup_wizard.h"

void RunInstallationWizard(int osKind, int launchedWithMode) {
  SetupWizard wizard(osKind, launchedWithMode);
  if (wizard.PrepareInstall() == 1) {
    wizard.RunDialog(nullptr);  // how it ended is the wizard's own business
  } else {
    ShowErrorText(nullptr, IDS_PREPARE_FAILED);
  }
}
