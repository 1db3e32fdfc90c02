// A stand-in for Windows' Plug and Play on the simulated machine: plugging the
// phone in installs its four USB functions from the driver package that the
// installer placed, and leaves in the registry and the Windows folders what
// Plug and Play leaves on the image's Windows version. Tests of the wizard
// plug the phone in function by function; the install and removal round trips
// plug it in and check that the removal takes every trace away again.
//
// The phone's functions, counted as the wizard counts them:
//
//   0  USB\VID_1F3C&PID_6B07        composite device   class USB    service KV6bus
//   1  USB\VID_1F3C&PID_6B07&MI_03  OBEX port          class Ports  service KV6obex
//   2  USB\VID_1F3C&PID_6B07&MI_05  diagnostic port    class Ports  service KV6mgmt
//   3  USB\VID_1F3C&PID_6B07&MI_07  modem              class Modem  service KV6mdm,
//                                                                   lower filter KV6mdfl
// (platform/sim/phone_functions.h, shared with the phone simulator under Wine).
//
// Finding the driver, as Plug and Play searches the INF folder for the function's
// hardware ID (a whole ID: "...&MI_03" does not name function 0):
//   1. the INF-store copy (oem*.inf) whose contents equal the package INF that
//      names the ID (the package is the "Drivers" folder beside the program's);
//   2. otherwise any INF of the INF folder that names the ID, oem*.inf first;
//   3. otherwise the package INF that names the ID, which the Found New Hardware
//      wizard copies into the INF folder: on 2000/XP as the next free oemN.inf with
//      an oemN.PNF beside it, on the other versions under its own name;
//   4. otherwise no driver: the device instance is recorded with the failed-install
//      flag (ConfigFlags 0x40) and no class or driver, and the function is absent.
//
// What a function's install writes. CCS = SYSTEM\CurrentControlSet, written through
// the link, so it lands in ControlSet001; with PlugOptions::rebootCopy the
// non-volatile part goes into ControlSet002 as well, as the copy a real machine
// holds after a reboot. The right column names the removal step that takes it away
// again ("plan" = the registry cleanup of the removal run, "files" = the driver file
// cleanup, "devices" = the device and service removal).
//
// Windows 2000 and XP (and later):
//   CCS\Enum\USB\<id>\<instance>: Class, ClassGUID, HardwareID (REG_MULTI_SZ),
//     CompatibleIDs, Driver "{class guid}\NNNN", Mfg, DeviceDesc, Service,
//     ConfigFlags, LowerFilters (modem); Device Parameters\PortName "COMn" for
//     functions 1 to 3; function 0 also ParentIdPrefix   .. plan, device keys (both sets)
//   CCS\Control\Class\{guid}\NNNN: DriverDesc, ProviderName, InfPath "oemN.inf",
//     InfSection, MatchingDeviceId, DriverDate, DriverVersion; the modem also
//     AttachedTo and the Init, Responses and Settings sub-keys ... plan, driver keys;
//     InfPath is also what the file cleanup looks up
//   CCS\Control\COM Name Arbiter "ComDB": the port's bit, the lowest number free
//     in ComDB and not named in HARDWARE\DEVICEMAP\SERIALCOMM ... plan, COM ports
//   SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports "COMn:"  .. plan, COM ports
//   CCS\Control\DeviceClasses\{interface guid}\##?#USB#<id>#<instance>#{guid}
//     with DeviceInstance, and "#" with SymbolicLink             .. plan, interfaces
//   CCS\Services\KV6bus, KV6mdfl, KV6mdm, KV6mgmt, KV6obex: Type, Start,
//     ErrorControl, ImagePath, DisplayName ... devices (ControlSet001, through the
//     service manager), plan (ControlSet002)
//   <system32>\drivers\KV6*.sys, from the package (a file the package lacks is
//     written as a stand-in, so the file cleanup finds its whole list) ....... files
//   <INF folder>\oemN.inf and oemN.PNF, when step 3 above copied them ..... files
//   SOFTWARE\Microsoft\Windows\CurrentVersion\Unimodem\DeviceSpecific
//     \ORVEX 3G GSM USB Modem::ORVEX::ORVEX (function 3) ............ plan, modem
//   XP only: <windows>\LastGood\INF\oemN.inf and .PNF, <windows>\LastGood
//     \system32\DRIVERS\KV6*.sys ................................................... files
//   XP only: SYSTEM\LastKnownGoodRecovery\LastGood "inf\oemN.inf", "inf\oemN.PNF"
//     = 1 ........................................................... files
//   2000 only: CCS\Enum\Root\LEGACY_KV6BUS (and the other four)\0000, the
//     services' legacy device records .................................. plan
//   Volatile, present only while the phone is plugged in (Windows keeps them in
//   memory; unplugging or stopping the device takes them away): the instance's
//   Control sub-key, the interface's "#\Control" and "Control" sub-keys, the
//   services' Enum sub-keys, and HARDWARE\DEVICEMAP\SERIALCOMM
//   "\Device\KV6mdm0" (and so on) = "COMn". StopDevice drops them for one device.
//
// Windows NT 4 has no USB support and no HKLM\Enum (its device tree is the
// control sets' Enum, holding legacy drivers): plugging the phone in writes
// nothing there, and the wizard never sees it.
//
// Windows 95, 98 and Me:
//   Enum\USB\<id>\<instance>: Class, HardwareID (REG_SZ, comma-separated),
//     CompatibleIDs, Driver "<class>\NNNN", Mfg, DeviceDesc, ConfigFlags
//                                              .. plan, USB device and driver keys
//   Enum\KV6CR\guid\NNNN for functions 1 to 3, the package's port device on the
//     interface: HardwareID "KV6CR\GUID", CRLowerDeviceID = the interface's
//     instance path, PortName "COMn", Class, Driver, DeviceDesc ... plan, KV6CR keys
//   Enum\Root\KV6CR\0000 (with function 0): the root-enumerated port enumerator,
//     class System, Driver "System\NNNN" ................. plan, root device keys
//   System\CurrentControlSet\Services\Class\<class>\NNNN: DriverDesc, InfPath,
//     InfSection, ProviderName, DevLoader; the modem's AttachedTo  .. plan, driver keys
//   Hardware\DeviceMap\SerialComm "COMn" = "COMn" (kept after unplugging) .. plan
//   Software\Microsoft\Windows\CurrentVersion\Setup\SetupX\INF\OEM Name
//     "<INF folder>\<name>.inf" = "<name>.inf" for each INF used ... plan, OEM names
//   98 and Me only: System\CurrentControlSet\Control\ASD\Prob\{9B4E7760-...}
//     "USB\<id>\<instance>" and "ROOT\KV6CR\0000", and ASD\Prob\{CF2524C0-...}
//     "KV6CR\GUID\NNNN", the problem lists of the driver load ....... plan, problems
//   98 and Me only: System\CurrentControlSet\Control\DeviceClasses\{guid}
//     \##?#USB#<id>#<instance>#{guid} with DeviceInstance ........... plan, interfaces
//   On unplugging: Software\Microsoft\Windows\CurrentVersion\cfgmgr32\Phantom\NNNN
//     "HardWareKey" = the USB instance path, one per installed USB function .. plan
//
// A second plug into the same port finds the instance keys and keeps their driver
// keys and COM ports; a plug into another port (PlugOptions::usbPort) makes new
// instances with new COM numbers, as Windows does.
#pragma once
#include <string>
#include <vector>

#include "platform/sim/machine_options.h"

namespace sim {

class Machine;

inline constexpr int kPhoneFunctionCount = 4;

struct PlugOptions {
  // The USB port the phone is plugged into; each port gives its own instances.
  int usbPort = 1;
  // Also write the non-volatile keys into ControlSet002 (2000/XP), as a reboot does.
  bool rebootCopy = false;
  // False: the interface functions get no COM port yet (no PortName, no ComDB bit).
  bool assignComPorts = true;
};

// Installs one function (0 to 3) as Plug and Play would when it appears. True when
// a driver was found and the function is configured. Functions may be installed
// in any order (a test can leave a gap); a real phone presents them in order.
bool PlugInFunction(Machine& machine, int function, const PlugOptions& options = {});

// Plugs the phone in: functions 0 to lastFunction in order. True when all of them
// were configured.
bool PlugInPhone(Machine& machine, int lastFunction = kPhoneFunctionCount - 1,
                 const PlugOptions& options = {});

// Unplugs the phone: the volatile state goes (2000/XP), the phantom entries appear
// (the other versions); the device and driver keys stay, as on Windows.
void UnplugPhone(Machine& machine, const PlugOptions& options = {});

// Drops the volatile state of one running device (its instance path, such as
// "USB\VID_1F3C&PID_6B07&MI_03\6&2C3D4E01&0&0003"), as stopping its driver does on
// 2000/XP. The device removal of the simulated setup API calls it for a device it
// removes; nothing happens on the other versions.
void StopDevice(Machine& machine, const std::string& instancePath);
// The two parts of StopDevice that outlive a device's keys: the services that
// drive the device (its "Service" and its first lower filter), and stopping
// them for it (their Enum lists and SERIALCOMM entries go). A device removed
// while in use keeps running without keys until the restart, which then
// stops its drivers.
std::vector<std::string> DeviceServices(const Machine& machine, const std::string& instancePath);
void StopDriversOf(Machine& machine, const std::string& instancePath,
                   const std::vector<std::string>& services);

// The instance path of a function plugged into a port, as Windows names it
// ("USB\VID_1F3C&PID_6B07\5&1A2B3C01&0&1").
std::string PhoneInstancePath(int function, int usbPort = 1);

// The COM port names that the interface functions 1 to 3 hold now ("" for one
// without a port), read back from the registry.
std::vector<std::string> PhoneComPorts(Machine& machine, int usbPort = 1);

// Keys the phone's install may create that are Windows' own containers, not the
// phone's (HKLM-relative): Windows makes them with the first device that needs them
// and keeps them when that device goes, so a removal leaves them, empty of the
// phone's entries. Round-trip tests compare the registry without them.
std::vector<std::string> WindowsContainerKeys(WindowsVersion version);

// Another vendor's USB serial device and another maker's modem, installed as Plug
// and Play would have installed them, for tests that must show the removal
// leaves them alone. The defaults make their numbers extend the phone's, so that
// a match by prefix or substring would catch them.
struct NeighbourOptions {
  std::string hardwareId = "VID_1F3C&PID_6B070";  // the serial device's ID under Enum\USB
  int comNumber = 10;                             // its port
  int oemInfNumber = 10;                          // its INF-store copy, oem10.inf (2000/XP)
  std::string service = "KV6bus0";                // its driver service and file name stem
  std::string modemHardwareId = "VID_0ACE&PID_1F3C&MI_00";
  std::string modemDescription = "Acme 3G GSM USB Modem";
  int modemComNumber = 11;
};
void PlantNeighbourDevice(Machine& machine, const NeighbourOptions& options = {});

}  // namespace sim
