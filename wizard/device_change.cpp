// Every device notification while the wizard waits makes it look at the
// phone's four functions again; the notification's own data is not used.
#include "platform/platform.h"
#include "resources/resource.h"
#include "wizard/function_presence.h"
#include "wizard/setup_wizard.h"

namespace {

constexpr int kFunctionCount = 4;

void ClearStyleBits(HWND control, LONG_PTR bits) {
  plat::SetWindowLongPtrA(control, GWL_STYLE, plat::GetWindowLongPtrA(control, GWL_STYLE) & ~bits);
}

void SetStyleBits(HWND control, LONG_PTR bits) {
  plat::SetWindowLongPtrA(control, GWL_STYLE, plat::GetWindowLongPtrA(control, GWL_STYLE) | bits);
}

}  // namespace

INT_PTR SetupWizard::OnDeviceChange(HWND window) {
  if (state != kWaitingForPhone) return 0;
  if (CheckAllFunctions(window) != 1) return 1;
  state = kPhoneReady;

  HWND next = plat::GetDlgItem(window, IDC_WIZARD_NEXT);
  HWND cancel = plat::GetDlgItem(window, IDCANCEL);
  plat::EnableWindow(next, TRUE);
  plat::EnableWindow(cancel, FALSE);
  // Cancel has been the default button since the start; Next/Finish takes
  // over. The bit is cleared rather than flipped, so a Cancel that lost it
  // meanwhile cannot become a disabled default button.
  ClearStyleBits(cancel, BS_DEFPUSHBUTTON);
  plat::SetFocus(next);
  SetStyleBits(next, BS_DEFPUSHBUTTON);
  // Redraw, so that the buttons' frames show the new default.
  plat::InvalidateRect(window, nullptr, TRUE);
  plat::UpdateWindow(window);
  return 1;
}

// The bar shows how many functions, counted from function 0 without a gap,
// are present. A check that stops early sends nothing, so the bar never
// moves back.
int SetupWizard::CheckAllFunctions(HWND window) {
  HWND progress = plat::GetDlgItem(window, IDC_WIZARD_PROGRESS);
  for (int function = 0; function < kFunctionCount; ++function) {
    if (!IsFunctionPresent(function)) return 0;
    plat::SendMessageA(progress, PBM_SETPOS, static_cast<WPARAM>(function + 1), 0);
  }
  return 1;
}
