#include "wizard/setup_wizard.h"

#include "app/application_state.h"
#include "app/os_kind.h"
#include "app/running_instance.h"
#include "platform/platform.h"
#include "resources/resource.h"

INT_PTR SetupWizard::RunDialog(HWND owner) {
  int templateId = IsNt5Family(osKind) ? IDD_WIZARD_NT : IDD_WIZARD_LEGACY;
  return plat::DialogBoxParamA(App().instance, MAKEINTRESOURCEA(templateId), owner,
                               &SetupWizard::DialogProcedure, reinterpret_cast<LPARAM>(this));
}

// The wizard object travels in the window's user data as a full pointer
// (GWLP_USERDATA through SetWindowLongPtrA), so it survives on 64-bit Windows.
INT_PTR CALLBACK SetupWizard::DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* wizard = reinterpret_cast<SetupWizard*>(plat::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (wizard == nullptr) {
    if (message != WM_INITDIALOG || lParam == 0) return 0;
    wizard = reinterpret_cast<SetupWizard*>(lParam);
    plat::SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
  }
  switch (message) {
    case WM_INITDIALOG:
      return wizard->OnInitDialog(window);
    case WM_COMMAND:
      return wizard->OnCommand(window, wParam);
    case WM_DEVICECHANGE:
      return wizard->OnDeviceChange(window);
    case WM_CLOSE:
      return wizard->OnClose(window);
    case WM_DESTROY:
      UnmarkWizardWindow(window);
      return 0;
    default:
      return 0;  // left to the platform's dialog default
  }
}
