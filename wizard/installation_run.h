#pragma once

// The installation run after the uninstall sequence: the driver package is
// placed (after the driver-signing notice on Windows 2000/XP) and the wizard
// waits for the phone; when the package cannot be placed, or the user
// declines the notice, message 15100 ends the run instead.
void RunInstallationWizard(int osKind, int launchedWithMode);
