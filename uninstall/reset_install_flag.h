#pragma once

// Sets an existing "InstallFlag" back to 0; a missing key or value stays
// missing. 1 when the settings key was open and has been closed.
int ResetInstallFlag();
