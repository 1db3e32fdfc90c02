// The device manager of the simulated machine: the device tree behind the
// Setup API operations (setup_device_ops.cpp).
//
// As on Windows 2000/XP, a device IS its registry instance key
//   HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<device>\<instance>
// and its properties are that key's values: "ClassGUID", "DeviceDesc",
// "HardwareID" (REG_MULTI_SZ), "CompatibleIDs", "Service", "Class", "Driver",
// "Mfg", "FriendlyName". So whatever Plug and Play (or a test) wrote there is a
// device, attached or not. A device is attached (DIGCF_PRESENT) while its
// instance key has the volatile "Control" sub-key that Windows keeps for a
// started device node; unplugging or stopping the device takes it away.
//
// Removing a device (DIF_REMOVE) does what Windows' default removal and the
// class installers of the phone's classes do:
//   - the device node stops (StopDevice of the Plug and Play stand-in: its
//     volatile keys, its services' Enum lists and its SERIALCOMM entry go),
//     and so do its children: the attached children of a
//     composite device (instances named with its "ParentIdPrefix") lose their
//     "Control" key but keep their instance keys, as Windows keeps a phantom;
//   - the instance key goes with everything below it, and the device key above
//     it when no other instance is left;
//   - the driver key that "Driver" names (Control\Class\{guid}\NNNN) goes, as
//     SetupDiRemoveDevice deletes the device's software key;
//   - the device interface keys (Control\DeviceClasses\{guid}\...) whose
//     "DeviceInstance" names the device go;
//   - a Ports or Modem class device gives its COM number back: its PortName's
//     bit is cleared in "COM Name Arbiter" ComDB, as the Ports and Modem class
//     installers release the port (the "Ports" and "SERIALCOMM" entries stay;
//     the SERIALCOMM entry is volatile and belongs to the running driver).
//   - services are never touched.
// A device in use (a program holds one of its ports open, or that of a child
// of a composite device) cannot be stopped. As Microsoft's SetupDiRemoveDevice
// page says, the removal deletes the device's keys all the same (the instance
// key, the driver key, the interface keys, and the COM number goes back), and
// because the device cannot be stopped dynamically it sets DI_NEEDREBOOT in
// the member's install parameters: the device keeps running without keys
// until Windows restarts. Its running state stays (its services' Enum lists,
// its SERIALCOMM entry), the driver that serves it stays loaded (its service
// key stays after DeleteService), and its children are not stopped. The
// restart (Machine::Restart) stops it for good.
// Windows 95/98/Me have no such tree here: the device list is empty.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

class Machine;

// "{4D36E96D-E325-11CE-BFC1-08002BE10318}" <-> GUID. Parsing accepts either
// letter case and refuses anything else than the braced 38-character form.
bool ParseGuid(const std::string& text, GUID* guid);
std::string GuidText(const GUID& guid);
bool SameGuid(const GUID& a, const GUID& b);

class DeviceManager {
 public:
  // HKLM-relative path of the enumeration tree ("SYSTEM\CurrentControlSet\Enum").
  static const char* EnumRoot();
  // HKLM-relative path of the setup classes.
  static const char* ClassRoot();

  // Every device instance path ("USB\VID_045E&PID_0040\5&2A3D7D9&0&1") in the
  // order Windows enumerates them; empty on the versions without the tree.
  std::vector<std::string> InstancePaths(const Machine& machine) const;
  bool Exists(const Machine& machine, const std::string& instancePath) const;
  bool IsPresent(const Machine& machine, const std::string& instancePath) const;
  // The device's class GUID; GUID_NULL (all zero) when it has none or an unreadable one.
  GUID ClassOf(const Machine& machine, const std::string& instancePath) const;
  // The class GUIDs whose class key names `className` (case-insensitive), in
  // enumeration order.
  std::vector<GUID> ClassGuidsNamed(const Machine& machine, const std::string& className) const;

  // ---- Device information sets: a snapshot of members, kept until destroyed.
  uintptr_t OpenSet(Machine& machine, std::vector<std::string> members);
  // Null for a handle that is not an open set.
  const std::vector<std::string>* Members(uintptr_t set) const;
  bool CloseSet(Machine& machine, uintptr_t set);

  // DIF_REMOVE as described above. ERROR_SUCCESS, or ERROR_NO_SUCH_DEVINST for a
  // device that is gone. *needsReboot tells whether the device could not be stopped.
  uint32_t Remove(Machine& machine, const std::string& instancePath, bool* needsReboot);

  // The DI_* flags of a member's install parameters (index into the members),
  // or of the set itself (index -1). 0 until a removal sets them.
  uint32_t InstallFlags(uintptr_t set, int index) const;
  void AddInstallFlags(uintptr_t set, int index, uint32_t flags);

  // ---- Test API.
  struct DeviceSpec {
    std::string instancePath;  // "ROOT\MODEM\0000"
    std::string classGuid;     // braced text; "" for none
    std::string description;   // "" for no DeviceDesc value
    std::vector<std::string> hardwareIds;  // empty for no HardwareID value
    bool present = true;
    std::string className;  // "Class"
    std::string driver;     // "Driver", e.g. "{guid}\0003"
    std::string service;    // "Service"
  };
  // Writes the instance key (and its "Control" key when present) as Plug and Play would.
  void AddDevice(Machine& machine, const DeviceSpec& traits) const;
  // Takes the "Control" key away: the device stays installed but is not attached.
  void Detach(Machine& machine, const std::string& instancePath) const;
  // A program opens the device's port (a PC suite, a dial-up connection), or
  // closes it again.
  void SetInUse(const std::string& instancePath, bool inUse);
  // Whether the device or one of its children is in use.
  bool IsInUse(const Machine& machine, const std::string& instancePath) const;
  // A device whose keys a removal deleted while it was in use: it runs until
  // the restart.
  bool RunsUntilRestart(const std::string& instancePath) const;
  // Whether the service is the active driver of such a device.
  bool DrivesARemovedDevice(const std::string& service) const;
  // What the restart does for the devices removed while in use: their drivers
  // stop for them, and the ports held open are closed.
  void FinishRemovalsAtRestart(Machine& machine);
  // Counts of DIF_REMOVE calls that removed a device, for tests.
  int removals = 0;

 private:
  std::map<uintptr_t, std::vector<std::string>> sets_;
  std::map<std::pair<uintptr_t, int>, uint32_t> installFlags_;
  std::set<std::string> inUse_;  // upper-cased instance paths
  struct RunningDevice {
    std::string upperPath;
    std::vector<std::string> services;  // its driver services, as DeviceServices gives them
    std::string activeService;          // its Control key's ActiveService
  };
  std::vector<RunningDevice> runningUntilRestart_;
};

}  // namespace sim
