#include "uninstall/driver_remover.h"

#include "app/os_kind.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "resources/string_table.h"
#include "uninstall/device_removal.h"
#include "uninstall/driver_file_cleaner.h"
#include "uninstall/launcher_notification.h"
#include "uninstall/reset_install_flag.h"

namespace {

constexpr int kDriverServices[] = {IDS_SERVICE_BUS, IDS_SERVICE_MDFL, IDS_SERVICE_MDM,
                                   IDS_SERVICE_MGMT, IDS_SERVICE_OBEX};

// Windows 2000/XP: the modem devices before the phone's USB device, and the
// devices before the services their drivers run as.
void RemoveDevicesAndServices(int* restartNeeded) {
  RemoveModemDevices(IDS_MODEM_DESCRIPTION, IDS_HWID_FUNCTION0, restartNeeded);
  RemoveUsbDevices(IDS_HWID_FUNCTION0, restartNeeded);
  for (int service : kDriverServices) DeleteDriverService(service);
}

constexpr int kPhoneHardwareIds[] = {IDS_HWID_FUNCTION0, IDS_HWID_FUNCTION1, IDS_HWID_FUNCTION2,
                                     IDS_HWID_FUNCTION3};
constexpr int kFunctionCount = 4;

// The INF stems of the phone's functions on XP, read while the device keys
// still exist. The registry cleanup looks them up again for the LastGood
// entries, but by then the device removal has taken the keys of the modem
// and of the USB device, so their entries would stay behind.
struct InfStems {
  char stem[kFunctionCount][kPathCapacity] = {};
};

void FindPhoneInfStems(int osKind, InfStems* stems) {
  RegistryWalker walker(osKind);
  for (int i = 0; i < kFunctionCount; ++i) {
    char path[kPathCapacity] = {};
    if (LoadText(IDS_REG_ENUM_USB_CS001, path, kPathCapacity) == 0 ||
        !AppendBackslash(path, kPathCapacity) || !AppendTextWhole(kPhoneHardwareIds[i], path)) {
      continue;
    }
    walker.FindDriverInfStem(HKEY_LOCAL_MACHINE, path, stems->stem[i]);
  }
}

void RemoveLastGoodEntries(RegistryCleaner& registry, const InfStems& stems) {
  for (const auto& stem : stems.stem) {
    if (stem[0] == '\0') continue;
    registry.DeleteValuesContaining(HKEY_LOCAL_MACHINE, IDS_REG_LASTGOOD, stem,
                                    MatchRule::kFileStem);
  }
}

void RemoveStaleOemInfs(int osKind) {
  DriverInstaller installer(osKind);
  installer.RemoveStaleOemInfs();
}

}  // namespace

// The steps in their fixed order; each is best-effort and none stops the
// next. The file cleanup comes first because on 2000/XP it finds the INF
// names through the device keys that the later steps delete; the stale INF
// scan reads file contents, so it can come after the registry cleanup; the
// launcher hears of the change when everything is done.
int DriverRemover(int osKind, int* restartNeeded) {
  DriverFileCleaner files(osKind);
  ResetInstallFlag();
  InfStems stems;
  if (osKind == kOsWindowsXP) FindPhoneInfStems(osKind, &stems);
  files.Clean();
  RegistryCleaner registry(osKind);
  if (IsNt5Family(osKind)) {
    // The ports are released while the device keys that name them exist:
    // the device removal takes the keys of present devices, and the
    // cleanup's own release would then find no port to release.
    registry.ReleasePhoneComPorts();
    RemoveDevicesAndServices(restartNeeded);
  }
  int result = registry.Clean();
  if (osKind == kOsWindowsXP) RemoveLastGoodEntries(registry, stems);
  if (IsNt5Family(osKind)) RemoveStaleOemInfs(osKind);
  NotifyLauncherWindows();
  return result;
}
