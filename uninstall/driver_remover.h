// The uninstall sequence: removes every trace of an installation of the
// phone's driver package, then tells a running CD launcher.
#pragma once

// Runs every step for the OsKind; a step's failure never stops the next.
int DriverRemover(int osKind);
