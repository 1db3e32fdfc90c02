// The installation run after the earlier installation has been removed:
// the driver-signing notice, the package install, and the one-page modal
// wizard that waits for the phone's four USB functions.
#pragma once
#include "platform/win_types.h"

enum WizardState : int {
  kNotReady = 0,         // constructed, or the install failed
  kInstalling = 1,       // the driver package is being placed
  kWaitingForPhone = 2,  // package placed, the dialog waits for the phone
  kPhoneReady = 3,       // all four functions present
};

class SetupWizard {
 public:
  SetupWizard(int kind, int withMode)
      : osKind(kind), state(kNotReady), launchedWithMode(withMode) {}
  ~SetupWizard() = default;
  SetupWizard(const SetupWizard&) = delete;
  SetupWizard& operator=(const SetupWizard&) = delete;

  // Warns about unsigned drivers on Windows 2000/XP, then places the driver
  // package. 1 on success; 0 when the install failed or the user declined.
  int PrepareInstall();
  // Shows the modal wizard; returns the value it ended with (1 after
  // Next/Finish with the phone ready, 0 otherwise; -1 when it could not open).
  INT_PTR RunDialog(HWND owner);

  int osKind;
  WizardState state;
  int launchedWithMode;  // 1 when a run-mode switch was given
  // 1 when PrepareInstall failed because Windows refused the package for
  // its signature.
  int signatureRefused = 0;

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnInitDialog(HWND window);
  INT_PTR OnCommand(HWND window, WPARAM wParam);
  INT_PTR OnClose(HWND window);
  INT_PTR OnDeviceChange(HWND window);
  int CheckAllFunctions(HWND window);
};
