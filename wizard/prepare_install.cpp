// Before the wizard opens: on Windows 2000/XP the user is warned that the
// system will ask about unsigned drivers, then the package is placed.
#include "app/application_state.h"
#include "app/os_kind.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "platform/platform.h"
#include "resources/string_table.h"
#include "wizard/setup_wizard.h"

namespace {

constexpr int kNoticeCapacity = 1024;

// 1 when the user answered OK.
int AcceptSigningNotice() {
  char notice[kNoticeCapacity];
  notice[0] = '\0';
  LoadText(IDS_SIGNING_NOTICE, notice, kNoticeCapacity);
  return plat::MessageBoxA(nullptr, notice, App().title, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

}  // namespace

int SetupWizard::PrepareInstall() {
  DriverInstaller installer(osKind);
  if (IsNt5Family(osKind) && !AcceptSigningNotice()) return 0;
  state = kInstalling;
  int result = installer.Install();
  state = result == 1 ? kWaitingForPhone : kNotReady;
  return result;
}
