// The wizard's two buttons and its close request. Cancel ends the dialog in
// every state; Next/Finish ends it with 1 once the phone is ready, and then
// tells an install-switch caller so. WM_CLOSE (the close box, or a removal
// run closing this wizard) ends it with 0 in every state, without the flag.
#include "app/settings_key.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "wizard/setup_wizard.h"

INT_PTR SetupWizard::OnCommand(HWND window, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDCANCEL:
      plat::EndDialog(window, 0);
      return 1;
    case IDC_WIZARD_NEXT: {
      INT_PTR result = 0;
      if (state == kPhoneReady) {
        result = 1;
        if (launchedWithMode == 1) {
          SettingsKey settings;
          if (OpenSettingsKey(&settings)) settings.WriteDword(IDS_INSTALL_FLAG, 1);
        }
      }
      plat::EndDialog(window, result);
      return 1;
    }
    default:
      return 0;
  }
}

// Not left to the dialog default: Windows turns WM_CLOSE into the Cancel
// command only while Cancel is enabled, and once the phone is ready it is
// not. A removal run must still close the wizard then, or the user's later
// click on Next/Finish would report drivers as installed that it removed.
INT_PTR SetupWizard::OnClose(HWND window) {
  plat::EndDialog(window, 0);
  return 1;
}
