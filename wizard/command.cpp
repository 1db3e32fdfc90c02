// The wizard's two buttons. Cancel ends the dialog in every state (also
// when WM_CLOSE arrives as the Cancel command); Next/Finish ends it with 1
// once the phone is ready, and then tells an install-switch caller so.
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
