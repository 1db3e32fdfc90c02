#include "wizard/installation_run.h"

void RunInstallationWizard(int osKind, int launchedWithMode) {
  (void)osKind;
  (void)launchedWithMode;
}
