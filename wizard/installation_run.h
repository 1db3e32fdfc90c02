#pragma once

// The installation run after the uninstall sequence: the driver package is
// placed and the wizard waits for the phone. Until the package install and
// the wizard exist, an installation run ends after the uninstall sequence.
void RunInstallationWizard(int osKind, int launchedWithMode);
