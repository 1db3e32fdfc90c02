// The wizard's start: caption, instructions for the Windows version and run
// mode, icon, button labels, version label and the empty progress bar. The
// phone is not looked for here; the first device notification does that.
#include "app/application_state.h"
#include "app/center_window.h"
#include "app/file_version.h"
#include "app/os_kind.h"
#include "app/running_instance.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "wizard/setup_wizard.h"

namespace {

constexpr int kLabelCapacity = 64;
constexpr int kProgressSteps = 4;

// Windows XP from service pack 2 on shows the Found New Hardware wizard's
// Windows Update question first, so its users get their own instructions.
int ChooseInstructions(int osKind, int withMode) {
  if (osKind == kOsWindows2000) return withMode ? IDS_WIZARD_2000_NEXT : IDS_WIZARD_2000_FINISH;
  if (osKind == kOsWindowsXP) {
    WORD servicePack = 0;  // a failed query counts as an early service pack
    GetServicePackMajor(&servicePack, nullptr);
    if (servicePack >= 2) return withMode ? IDS_WIZARD_XPSP2_NEXT : IDS_WIZARD_XPSP2_FINISH;
    return withMode ? IDS_WIZARD_XP_NEXT : IDS_WIZARD_XP_FINISH;
  }
  return withMode ? IDS_WIZARD_LEGACY_NEXT : IDS_WIZARD_LEGACY_FINISH;
}

// The branding's icon replaces the built-in one when it loads.
void ShowBrandingIcon(HWND window) {
  if (App().iconPath[0] == '\0') return;
  HANDLE icon = plat::LoadImageA(nullptr, App().iconPath, IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
  if (icon == nullptr) return;
  plat::SendMessageA(plat::GetDlgItem(window, IDC_WIZARD_ICON), STM_SETIMAGE, IMAGE_ICON,
                     reinterpret_cast<LPARAM>(icon));
}

void SetButtonLabel(HWND window, int control, int textId) {
  char label[kLabelCapacity];
  label[0] = '\0';
  LoadText(textId, label, kLabelCapacity);
  plat::SetWindowTextA(plat::GetDlgItem(window, control), label);
}

void SetStyleBits(HWND control, LONG_PTR bits) {
  plat::SetWindowLongPtrA(control, GWL_STYLE, plat::GetWindowLongPtrA(control, GWL_STYLE) | bits);
}

void SetVersionLabel(HWND window) {
  if (App().ShowVersionLabel != 1) return;
  char label[kLabelCapacity];
  plat::wsprintfA(label, "Ver. %d.%d.%d", static_cast<int>(App().versionMajor),
                  static_cast<int>(App().versionMinor), static_cast<int>(App().versionBuild));
  plat::SetWindowTextA(plat::GetDlgItem(window, IDC_WIZARD_VERSION), label);
}

}  // namespace

INT_PTR SetupWizard::OnInitDialog(HWND window) {
  plat::SetWindowTextA(window, App().title);
  // A later instance finds this wizard by the mark and the title.
  MarkWizardWindow(window);

  char instructions[kFormatCapacity];
  FormatText(ChooseInstructions(osKind, launchedWithMode == 1), instructions);
  plat::SetWindowTextA(plat::GetDlgItem(window, IDC_WIZARD_INSTRUCTIONS), instructions);

  ShowBrandingIcon(window);
  SetButtonLabel(window, IDCANCEL, IDS_BUTTON_CANCEL);
  SetButtonLabel(window, IDC_WIZARD_NEXT,
                 launchedWithMode == 1 ? IDS_BUTTON_NEXT : IDS_BUTTON_FINISH);

  // Next/Finish waits for the phone; until then Cancel is the default button.
  plat::EnableWindow(plat::GetDlgItem(window, IDC_WIZARD_NEXT), FALSE);
  HWND cancel = plat::GetDlgItem(window, IDCANCEL);
  SetStyleBits(cancel, BS_DEFPUSHBUTTON);
  plat::SetFocus(cancel);

  SetVersionLabel(window);

  HWND progress = plat::GetDlgItem(window, IDC_WIZARD_PROGRESS);
  plat::SendMessageA(progress, PBM_SETRANGE, 0, MAKELONG(0, kProgressSteps));
  plat::SendMessageA(progress, PBM_SETSTEP, 1, 0);

  CenterWindow(window);
  return 0;  // the focus stays on Cancel
}
