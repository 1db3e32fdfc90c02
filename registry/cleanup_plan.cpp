// The cleanup plan: a fixed list of steps by Windows version. Every step
// finds its own keys and shows its own errors; the plan goes on past any
// failure, and a missing key or value is simply nothing to delete. The XP
// LastKnownGoodRecovery entries of the phone's INF files are not among its
// steps: they go with the files they name, in the driver file cleanup, which
// alone can tell from a file's contents whether an INF is the phone's.
#include "app/os_kind.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "resources/string_table.h"
#include "uninstall/removal_steps.h"

namespace {

// The three control sets, in the order the plan takes them; entry k of one
// row belongs with entry k of every other row.
constexpr int kEnumUsb[] = {IDS_REG_ENUM_USB_CS001, IDS_REG_ENUM_USB_CS002,
                            IDS_REG_ENUM_USB_CURRENT};
constexpr int kEnumRoot[] = {IDS_REG_ENUM_ROOT_CS001, IDS_REG_ENUM_ROOT_CS002,
                             IDS_REG_ENUM_ROOT_CURRENT};
constexpr int kClassTree[] = {IDS_REG_CLASS_CS001, IDS_REG_CLASS_CS002, IDS_REG_CLASS_CURRENT};
constexpr int kControl[] = {IDS_REG_CONTROL_CS001, IDS_REG_CONTROL_CS002,
                            IDS_REG_CONTROL_CURRENT};
constexpr int kDeviceClasses[] = {IDS_REG_DEVICE_CLASSES_CS001, IDS_REG_DEVICE_CLASSES_CS002,
                                  IDS_REG_DEVICE_CLASSES_CURRENT};
constexpr int kControlSets = 3;

constexpr int kPhoneIds[] = {IDS_HWID_FUNCTION0, IDS_HWID_FUNCTION1, IDS_HWID_FUNCTION2,
                             IDS_HWID_FUNCTION3};
constexpr int kInterfaceIds[] = {IDS_HWID_FUNCTION1, IDS_HWID_FUNCTION2, IDS_HWID_FUNCTION3};
constexpr int kServices[] = {IDS_SERVICE_BUS, IDS_SERVICE_MDFL, IDS_SERVICE_MDM,
                             IDS_SERVICE_MGMT, IDS_SERVICE_OBEX};
constexpr int kLegacyInfs[] = {IDS_LEGACY_INF_BUS,  IDS_LEGACY_INF_MDMV, IDS_LEGACY_INF_MDMW,
                               IDS_LEGACY_INF_OBXV, IDS_LEGACY_INF_OBXW, IDS_LEGACY_INF_SDMV,
                               IDS_LEGACY_INF_SDMW};

// first + "\" + second in a 261-byte buffer; false when it cannot be composed.
bool ComposePath(int firstId, int secondId, char* path) {
  path[0] = '\0';
  return LoadText(firstId, path, kRegTextCapacity) != 0 &&
         AppendBackslash(path, kRegTextCapacity) &&
         AppendText(secondId, path, kRegTextCapacity) != 0;
}

bool LoadPath(int id, char* path) {
  path[0] = '\0';
  return LoadText(id, path, kRegTextCapacity) != 0;
}

}  // namespace

int RegistryCleaner::Clean() {
  if (IsNt5Family(osKind_)) {
    CleanNt5();
  } else {
    CleanLegacy();
  }
  return 1;
}

void RegistryCleaner::ReleasePhoneComPorts() {
  for (int id : kInterfaceIds) {
    for (int set = 0; set < kControlSets; ++set) {
      ReleaseComPorts(HKEY_LOCAL_MACHINE, kEnumUsb[set], id, kControl[set]);
    }
  }
}

void RegistryCleaner::CleanNt5() {
  const HKEY lm = HKEY_LOCAL_MACHINE;
  char path[kRegTextCapacity];
  char other[kRegTextCapacity];

  // 1. COM numbers and "Ports" values, each control set from its own device records.
  AnnounceRemovalStep("registry: COM ports");
  ReleasePhoneComPorts();
  // 2. The services of the backup control set.
  AnnounceRemovalStep("registry: backup services");
  for (int service : kServices) DeleteTreeAt(lm, IDS_REG_SERVICES_CS002, service);
  // 3. Windows 2000: the legacy enumeration keys of the services.
  if (osKind_ == kOsWindows2000) {
    AnnounceRemovalStep("registry: legacy service keys");
    for (int set = 0; set < kControlSets; ++set) {
      for (int service : kServices) {
        if (!LoadPath(IDS_LEGACY_SERVICE_PREFIX, other) ||
            AppendText(service, other, kRegTextCapacity) == 0) {
          continue;
        }
        DeleteTreeAt(lm, kEnumRoot[set], other);
      }
    }
  }
  // 4. Device interfaces.
  AnnounceRemovalStep("registry: device interfaces");
  for (int id : kPhoneIds) {
    for (int set = 0; set < kControlSets; ++set) DeleteInterfaceKeys(kDeviceClasses[set], id);
  }
  // 5. Driver keys in the class tree, through the devices' "Driver" values.
  AnnounceRemovalStep("registry: driver keys");
  for (int id : kPhoneIds) {
    for (int set = 0; set < kControlSets; ++set) {
      if (!ComposePath(kEnumUsb[set], id, path) || !LoadPath(kClassTree[set], other)) continue;
      DeleteDriverKeys(path, other);
    }
  }
  // 6. The device keys with all their instances.
  AnnounceRemovalStep("registry: device keys");
  for (int id : kPhoneIds) {
    for (int set = 0; set < kControlSets; ++set) DeleteTreeAt(lm, kEnumUsb[set], id);
  }
  // 7. The modem's settings.
  AnnounceRemovalStep("registry: modem settings");
  DeleteTreeAt(lm, IDS_REG_UNIMODEM_DEVICE_SPECIFIC, IDS_MODEM_DESCRIPTION_MAKER);
}

void RegistryCleaner::CleanLegacy() {
  const HKEY lm = HKEY_LOCAL_MACHINE;
  char path[kRegTextCapacity];
  char classTree[kRegTextCapacity];

  AnnounceRemovalStep("registry: serial port map");
  RemoveSerialCommEntries();
  AnnounceRemovalStep("registry: problem lists");
  RemoveProblemEntries();
  AnnounceRemovalStep("registry: OEM INF names");
  RemoveOemNameEntries();
  AnnounceRemovalStep("registry: phantom devices");
  DeletePhantomKeys(IDS_REG9X_PHANTOM, IDS_HWID_FUNCTION0);
  AnnounceRemovalStep("registry: device interfaces");
  DeleteInterfaceKeys(IDS_REG9X_DEVICE_CLASSES, IDS_HWID_FUNCTION0);
  AnnounceRemovalStep("registry: driver and device keys");
  bool haveClassTree = LoadPath(IDS_REG9X_SERVICES_CLASS, classTree);
  for (int id : kPhoneIds) {
    if (haveClassTree && ComposePath(IDS_REG9X_ENUM_USB, id, path)) {
      DeleteDriverKeys(path, classTree);
    }
  }
  if (haveClassTree && LoadPath(IDS_LEGACY_PORT_ENUM_KEY, path)) DeleteDriverKeys(path, classTree);
  for (int id : kPhoneIds) {
    if (ComposePath(IDS_REG9X_ENUM_USB, id, path)) DeleteSubkeyById(lm, IDS_REG9X_ENUM_USB, id);
  }
  DeleteSubkeyById(lm, IDS_REG9X_ENUM, IDS_PORT_DEVICE);
  if (haveClassTree && ComposePath(IDS_REG9X_ENUM_ROOT, IDS_PORT_DEVICE, path)) {
    DeleteDriverKeys(path, classTree);
  }
  DeleteSubkeyById(lm, IDS_REG9X_ENUM_ROOT, IDS_PORT_DEVICE);
}

int RegistryCleaner::RemoveProblemEntries() {
  const HKEY lm = HKEY_LOCAL_MACHINE;
  DeleteValuesContaining(lm, IDS_REG9X_PROBLEM_1, IDS_HWID_FUNCTION0, MatchRule::kDeviceId);
  DeleteValuesContaining(lm, IDS_REG9X_PROBLEM_1, IDS_PORT_DEVICE_ROOT_PATH, MatchRule::kDeviceId);
  DeleteValuesContaining(lm, IDS_REG9X_PROBLEM_2, IDS_HWID_FUNCTION0, MatchRule::kDeviceId);
  DeleteValuesContaining(lm, IDS_REG9X_PROBLEM_2, IDS_PORT_DEVICE_ROOT_PATH, MatchRule::kDeviceId);
  return DeleteValuesContaining(lm, IDS_REG9X_PROBLEM_2, IDS_PORT_DEVICE_INSTANCES,
                                MatchRule::kDeviceId);
}

int RegistryCleaner::RemoveOemNameEntries() {
  int result = 1;
  for (int inf : kLegacyInfs) {
    char name[kRegTextCapacity] = {};
    if (LoadText(inf, name, kRegTextCapacity) == 0) return 0;
    result = DeleteValuesContaining(HKEY_LOCAL_MACHINE, IDS_REG9X_OEM_NAME, name,
                                    MatchRule::kFileNameAtEnd);
  }
  return result;
}
