#include "uninstall/driver_remover.h"

#include "uninstall/launcher_notification.h"
#include "uninstall/reset_install_flag.h"

int DriverRemover(int osKind) {
  (void)osKind;
  ResetInstallFlag();
  NotifyLauncherWindows();
  return 1;
}
