// Before the wizard opens: on Windows 2000/XP the user is warned that the
// system will ask about unsigned drivers, then the package is placed.
#include "app/application_state.h"
#include "app/message_boxes.h"
#include "app/os_kind.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "platform/platform.h"
#include "resources/string_table.h"
#include "wizard/setup_wizard.h"

namespace {

constexpr int kNoticeCapacity = 1024;

// 1 when the user answered OK. A notice whose text did not load is not
// shown: an empty OK/Cancel box would ask the user to agree to nothing. The
// user learns why instead, as of any other failed call, and the run ends as
// if the notice had been declined.
int AcceptSigningNotice() {
  char notice[kNoticeCapacity];
  notice[0] = '\0';
  if (LoadText(IDS_SIGNING_NOTICE, notice, kNoticeCapacity) <= 0) {
    DWORD loadError = plat::GetLastError();
    if (loadError != ERROR_SUCCESS) ShowSystemError(loadError);
    return 0;
  }
  return plat::MessageBoxA(nullptr, notice, App().title, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

}  // namespace

int SetupWizard::PrepareInstall() {
  DriverInstaller installer(osKind);
  if (IsNt5Family(osKind) && !AcceptSigningNotice()) return 0;
  state = kInstalling;
  int result = installer.Install();
  signatureRefused = result != 1 && installer.SignatureRefused();
  state = result == 1 ? kWaitingForPhone : kNotReady;
  return result;
}
