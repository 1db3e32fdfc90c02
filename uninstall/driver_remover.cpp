#include "uninstall/driver_remover.h"

#include "app/os_kind.h"
#include "install/driver_installer.h"
#include "registry/registry_cleaner.h"
#include "resources/string_table.h"
#include "uninstall/device_removal.h"
#include "uninstall/driver_file_cleaner.h"
#include "uninstall/launcher_notification.h"
#include "uninstall/removal_steps.h"
#include "uninstall/reset_install_flag.h"

namespace {

constexpr int kDriverServices[] = {IDS_SERVICE_BUS, IDS_SERVICE_MDFL, IDS_SERVICE_MDM,
                                   IDS_SERVICE_MGMT, IDS_SERVICE_OBEX};

// Windows 2000/XP: the modem devices before the phone's USB device, and the
// devices before the services their drivers run as.
void RemoveDevicesAndServices(int* restartNeeded) {
  AnnounceRemovalStep("modem devices");
  RemoveModemDevices(IDS_MODEM_DESCRIPTION, IDS_HWID_FUNCTION0, restartNeeded);
  AnnounceRemovalStep("USB devices");
  RemoveUsbDevices(IDS_HWID_FUNCTION0, restartNeeded);
  AnnounceRemovalStep("driver services");
  for (int service : kDriverServices) DeleteDriverService(service, restartNeeded);
}

void RemoveStaleOemInfs(int osKind) {
  DriverInstaller installer(osKind);
  installer.RemoveStaleOemInfs();
}

}  // namespace

// The steps in their fixed order; each is best-effort and none stops the
// next. The file cleanup comes first because on 2000/XP it finds the INF
// names through the device keys that the later steps delete (and on XP it
// takes the LastGood entries of the INF files it deletes); the stale INF
// scan reads file contents, so it can come after the registry cleanup, and
// it must: it uninstalls the phone's INF-store copies through the system,
// which refuses an INF that a device still uses, so the devices and their
// keys go first; the launcher hears of the change when everything is done.
int DriverRemover(int osKind, int* restartNeeded) {
  DriverFileCleaner files(osKind);
  AnnounceRemovalStep("install flag");
  ResetInstallFlag();
  AnnounceRemovalStep("driver files");
  files.Clean();
  RegistryCleaner registry(osKind);
  if (IsNt5Family(osKind)) {
    // The ports are released while the device keys that name them exist:
    // the device removal takes the keys of present devices, and the
    // cleanup's own release would then find no port to release.
    AnnounceRemovalStep("COM ports");
    registry.ReleasePhoneComPorts();
    RemoveDevicesAndServices(restartNeeded);
  }
  int result = registry.Clean();
  if (IsNt5Family(osKind)) {
    AnnounceRemovalStep("stale OEM INF files");
    RemoveStaleOemInfs(osKind);
  }
  AnnounceRemovalStep("launcher notification");
  NotifyLauncherWindows();
  return result;
}
