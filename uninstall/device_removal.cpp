// Device removal in the manner of devcon: the device information set comes
// from SetupDiGetClassDevsA, each device goes through its class installer
// with DIF_REMOVE (never the CM_ functions, which bypass class installers),
// and the set is destroyed on every path by its owner. An error code is read
// at the failing call, before any cleanup can overwrite it.
#include <cstring>

#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "uninstall/device_removal.h"
#include "uninstall/removal_handles.h"

namespace {

constexpr DWORD kModemClassRoom = 10;
constexpr DWORD kPropertyBufferSize = 1024;
const char kModemClassName[] = "Modem";
const char kUsbBusPrefix[] = "USB\\";

// Outcome of one member of a device walk.
enum class Step { kNext, kStop };

// After a removal that succeeded: whether the class installer could not stop
// the device (DI_NEEDREBOOT, or DI_NEEDRESTART, which devcon reads alike), so
// that the old driver stays loaded until Windows restarts. Parameters that
// cannot be read tell nothing.
void NoteRestartIfNeeded(HDEVINFO set, SP_DEVINFO_DATA* device, int* restartNeeded) {
  if (restartNeeded == nullptr) return;
  SP_DEVINSTALL_PARAMS_A params{};
  params.cbSize = sizeof params;
  if (!plat::SetupDiGetDeviceInstallParamsA(set, device, &params)) return;
  if (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) *restartNeeded = 1;
}

// A member whose device went away after the set was made has no properties to
// compare, and is skipped like one without the property: Windows answers
// ERROR_NO_SUCH_DEVINST for a device removed meanwhile (another device
// unplugged during the removal run), Wine ERROR_KEY_DELETED (its display
// driver writes its monitor's device key again when a window opens, which
// happened during removal runs under Wine). Ending the pass there would leave
// the phone's devices behind.
bool DeviceWentAway(DWORD error) {
  return error == ERROR_NO_SUCH_DEVINST || error == ERROR_KEY_DELETED;
}

bool IsIdBoundaryBefore(const char* text, const char* at) { return at == text || at[-1] == '\\'; }
bool IsIdBoundaryAfter(char c) { return c == '\0' || c == '&'; }

// ---- RemoveModemDevices ------------------------------------------------------

// Reads one text property into `buffer` (kPropertyBufferSize bytes, followed
// by two spare zero bytes so that the text always ends inside the array).
// ERROR_SUCCESS, or the error of the read; ERROR_INVALID_DATA also for a
// device that went away.
DWORD ReadTextProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, BYTE* buffer) {
  std::memset(buffer, 0, kPropertyBufferSize + 2);
  if (plat::SetupDiGetDeviceRegistryPropertyA(set, device, property, nullptr, buffer,
                                              kPropertyBufferSize, nullptr)) {
    return ERROR_SUCCESS;
  }
  DWORD error = plat::GetLastError();
  return error == ERROR_SUCCESS || DeviceWentAway(error) ? ERROR_INVALID_DATA : error;
}

// One member of a modem pass. kStop means the pass fails.
Step RemoveModemIfMatching(HDEVINFO set, SP_DEVINFO_DATA* device, const char* description,
                           const char* deviceId, int* restartNeeded) {
  BYTE buffer[kPropertyBufferSize + 2];
  DWORD error = ReadTextProperty(set, device, SPDRP_DEVICEDESC, buffer);
  if (error == ERROR_INVALID_DATA) return Step::kNext;
  if (error != ERROR_SUCCESS) return Step::kStop;

  char* text = reinterpret_cast<char*>(buffer);
  if (plat::lstrcmpA(text, description) == 0) {
    error = ReadTextProperty(set, device, SPDRP_HARDWAREID, buffer);
    if (error == ERROR_INVALID_DATA) return Step::kNext;
    if (error != ERROR_SUCCESS) return Step::kStop;
    // Only the first string of the multi-string: the most specific ID.
    UpperCaseLetters(text);
    if (DeviceIdOccursIn(text, deviceId)) {
      if (!plat::SetupDiCallClassInstaller(DIF_REMOVE, set, device)) return Step::kStop;
      NoteRestartIfNeeded(set, device, restartNeeded);
    }
  }
  plat::SetupDiDestroyDriverInfoList(set, device, SPDIT_CLASSDRIVER);
  return Step::kNext;
}

// One pass over every device, installed or not: DIGCF_ALLCLASSES without
// DIGCF_PRESENT lists every class, whatever GUID is passed.
int RemoveModemsInPass(const GUID& classGuid, const char* description, const char* deviceId,
                       int* restartNeeded) {
  ScopedDeviceInfoSet set(plat::SetupDiGetClassDevsA(&classGuid, nullptr, nullptr,
                                                      DIGCF_ALLCLASSES));
  if (!set.IsValid()) return 0;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!plat::SetupDiEnumDeviceInfo(set.Get(), index, &device)) return 1;
    if (RemoveModemIfMatching(set.Get(), &device, description, deviceId, restartNeeded) ==
        Step::kStop) {
      return 0;
    }
  }
}

// ---- RemoveUsbDevices --------------------------------------------------------

// Reads the hardware IDs into a zero-filled block that grows to the size the
// platform asks for. The block holds one zero byte more than the size passed,
// so the last string always ends inside it. ERROR_SUCCESS with *size set, or
// the error of the read (ERROR_INVALID_DATA for a device that went away).
DWORD ReadHardwareIds(HDEVINFO set, SP_DEVINFO_DATA* device, ScopedLocalBlock* block,
                      DWORD* size) {
  *size = 0;
  block->Reset(nullptr);
  for (;;) {
    DWORD required = 0;
    if (plat::SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                                block->Get(), *size, &required)) {
      return ERROR_SUCCESS;
    }
    DWORD error = plat::GetLastError();
    if (DeviceWentAway(error)) return ERROR_INVALID_DATA;
    if (error != ERROR_INSUFFICIENT_BUFFER) return error;
    // Asked for nothing: the device has no hardware IDs to compare (Wine's
    // Setup API answers a size query so for a device whose ID list is empty
    // at that moment, as a display device is while Wine registers it again).
    if (required == 0) return ERROR_INVALID_DATA;
    // A platform that asks for no more than it had would loop forever.
    if (required <= *size) return ERROR_INSUFFICIENT_BUFFER;
    block->Reset(nullptr);
    block->Reset(plat::LocalAlloc(LPTR, SIZE_T(required) + 1));
    if (block->Get() == nullptr) {
      DWORD allocError = plat::GetLastError();
      *size = 0;
      return allocError != ERROR_SUCCESS ? allocError : DWORD(ERROR_NOT_ENOUGH_MEMORY);
    }
    *size = required;
  }
}

// One attached device: removes it when one of its hardware IDs equals the
// target. *error keeps the code of a failure that ends the walk.
Step RemoveUsbDeviceIfMatching(HDEVINFO set, SP_DEVINFO_DATA* device, const char* target,
                               int* removed, DWORD* error, int* restartNeeded) {
  ScopedLocalBlock block;
  DWORD size = 0;
  DWORD readError = ReadHardwareIds(set, device, &block, &size);
  if (readError == ERROR_INVALID_DATA) return Step::kNext;
  if (readError != ERROR_SUCCESS) {
    *error = readError;
    return Step::kStop;
  }
  const char* ids = reinterpret_cast<const char*>(block.Get());
  for (DWORD offset = 0; ids != nullptr && offset < size && ids[offset] != '\0';) {
    const char* id = ids + offset;
    if (plat::lstrcmpiA(id, target) == 0) {
      if (!plat::SetupDiCallClassInstaller(DIF_REMOVE, set, device)) {
        *error = plat::GetLastError();
        return Step::kStop;
      }
      NoteRestartIfNeeded(set, device, restartNeeded);
      *removed = 1;
      // The device is gone: a second equal ID must not remove it again.
      return Step::kNext;
    }
    offset += DWORD(std::strlen(id)) + 1;
  }
  return Step::kNext;
}

// ---- DeleteDriverService -----------------------------------------------------

void DeleteNamedService(SC_HANDLE manager, const char* name, int* restartNeeded) {
  ScopedServiceHandle service(plat::OpenServiceA(manager, name, SERVICE_ALL_ACCESS));
  // A service that does not exist (or cannot be opened) has nothing to delete.
  if (service.Get() == nullptr) return;
  if (!plat::DeleteService(service.Get())) {
    DWORD error = plat::GetLastError();
    // An earlier removal deleted it already, and its driver still runs for a
    // device that could not be stopped: the service goes when Windows
    // restarts. Nothing to tell but that, and until then no installation of
    // the same services can succeed.
    if (error == ERROR_SERVICE_MARKED_FOR_DELETE) {
      if (restartNeeded != nullptr) *restartNeeded = 1;
    } else {
      ShowSystemError(error);
    }
  }
  DWORD closeError = 0;
  if (!service.Close(&closeError)) ShowSystemError(closeError);
}

}  // namespace

void UpperCaseLetters(char* text) {
  for (; *text; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = char(*text - 'a' + 'A');
  }
}

bool DeviceIdOccursIn(const char* hardwareIdUpper, const char* deviceIdUpper) {
  size_t length = std::strlen(deviceIdUpper);
  if (length == 0) return false;
  for (const char* at = std::strstr(hardwareIdUpper, deviceIdUpper); at != nullptr;
       at = std::strstr(at + 1, deviceIdUpper)) {
    if (IsIdBoundaryBefore(hardwareIdUpper, at) && IsIdBoundaryAfter(at[length])) return true;
  }
  return false;
}

int RemoveModemDevices(int descriptionId, int hardwareId, int* restartNeeded) {
  char description[kPathCapacity] = {};
  char deviceId[kPathCapacity] = {};
  if (LoadText(descriptionId, description, kPathCapacity) == 0) return 0;
  if (LoadText(hardwareId, deviceId, kPathCapacity) == 0) return 0;
  UpperCaseLetters(deviceId);

  GUID classGuids[kModemClassRoom] = {};
  DWORD count = 0;
  if (!plat::SetupDiClassGuidsFromNameA(kModemClassName, classGuids, kModemClassRoom, &count)) {
    return 0;
  }
  for (DWORD i = 0; i < count && i < kModemClassRoom; ++i) {
    if (!RemoveModemsInPass(classGuids[i], description, deviceId, restartNeeded)) return 0;
  }
  return 1;
}

int RemoveUsbDevices(int hardwareId, int* restartNeeded) {
  char target[kPathCapacity] = {};
  CopyBounded(target, kUsbBusPrefix, kPathLimit, nullptr);
  int prefixLength = plat::lstrlenA(target);
  // Without the device ID the target would be the bare bus prefix.
  if (AppendText(hardwareId, target, kPathCapacity) <= prefixLength) return 0;

  int removed = 0;
  DWORD error = ERROR_SUCCESS;
  {
    ScopedDeviceInfoSet set(plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr,
                                                        DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!set.IsValid()) {
      ShowSystemError(plat::GetLastError());
      return 0;
    }
    for (DWORD index = 0;; ++index) {
      SP_DEVINFO_DATA device{};
      device.cbSize = sizeof device;
      if (!plat::SetupDiEnumDeviceInfo(set.Get(), index, &device)) {
        error = plat::GetLastError();
        break;
      }
      if (RemoveUsbDeviceIfMatching(set.Get(), &device, target, &removed, &error,
                                    restartNeeded) == Step::kStop) {
        break;
      }
    }
  }  // the set is destroyed before the error is shown
  if (error != ERROR_SUCCESS && error != ERROR_NO_MORE_ITEMS) ShowSystemError(error);
  return removed;
}

int DeleteDriverService(int serviceNameId, int* restartNeeded) {
  ScopedServiceHandle manager(plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (manager.Get() == nullptr) {
    ShowSystemError(plat::GetLastError());
    return 0;
  }
  char name[kPathCapacity] = {};
  if (LoadText(serviceNameId, name, kPathCapacity) != 0) {
    DeleteNamedService(manager.Get(), name, restartNeeded);
  }
  DWORD closeError = 0;
  if (manager.Close(&closeError)) return 1;
  ShowSystemError(closeError);
  return 0;
}
