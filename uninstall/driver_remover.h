// The uninstall sequence: removes every trace of an installation of the
// phone's driver package, then tells a running CD launcher.
#pragma once

// Runs every step for the OsKind; a step's failure never stops the next.
// *restartNeeded (when given) becomes 1 when a device of the phone could not
// be stopped (a program holds its port open): its driver stays loaded and
// Windows finishes the removal when it restarts. Otherwise it is left as it was.
int DriverRemover(int osKind, int* restartNeeded = nullptr);
