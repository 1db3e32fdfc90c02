// Shared parts of the Plug and Play stand-in: the phone's functions, the driver
// search in the INF folder, COM number choice and small registry writers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/machine.h"

namespace sim::pnp {

inline constexpr char kUsbClassGuid[] = "{36FC9E60-C465-11CF-8056-444553540000}";
inline constexpr char kModemClassGuid[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
inline constexpr char kPortsClassGuid[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
inline constexpr char kLegacyDriverClassGuid[] = "{8ECC055D-047F-11D1-A537-0000F8753ED1}";
inline constexpr char kUsbDeviceInterface[] = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr char kModemInterface[] = "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
inline constexpr char kComPortInterface[] = "{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
inline constexpr char kMaker[] = "ORVEX";
inline constexpr char kModemDescription[] = "ORVEX 3G GSM USB Modem";
inline constexpr char kServicesKey[] = "Services";
inline constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
inline constexpr char kNtSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr char kLegacySerialMap[] = "Hardware\\DeviceMap\\SerialComm";
inline constexpr char kLegacyClassTree[] = "System\\CurrentControlSet\\Services\\Class";

struct FunctionSpec {
  const char* deviceId;         // the key name below Enum\USB
  int interfaceNumber;          // -1 for the composite device
  const char* ntClass;
  const char* ntClassGuid;
  const char* legacyClass;      // the port device's class on 9x (functions 1 to 3)
  const char* description;
  const char* service;          // 2000/XP
  const char* lowerFilter;      // 2000/XP, or null
  const char* defaultSection;   // when the INF's model line cannot be read
  const char* interfaceGuid;
  std::vector<const char*> driverFiles;  // 2000/XP, copied into system32\drivers
};
const FunctionSpec& Function(int function);
bool HasPort(int function);

// "5&1A2B3C01&0&1" for the composite device, "6&2C3D4E01&0&0003" for interface 3.
std::string InstanceName(int function, int usbPort);

// Whether text names the hardware ID as a whole ID (case-insensitive; the next
// character may not continue the ID).
bool NamesHardwareId(std::string_view text, std::string_view hardwareId);

// The package folder: "Drivers" beside the program's folder.
std::string PackageFolder(const Machine& machine);

struct DriverChoice {
  bool found = false;
  std::string infName;     // as InfPath records it: "oem4.inf", "KV6MDMW.INF"
  std::string infPath;     // full path in the INF folder
  std::string infSection;
};
// The driver search of plug_and_play.h for one hardware ID ("USB\VID_...").
// ntStore: copies from the package become oemN.inf (2000/XP) rather than keeping
// their name.
DriverChoice FindDriver(Machine& machine, const std::string& hardwareId, int function,
                        bool ntStore);

// The lowest free four-digit sub-key name below a key ("0000", "0001"...).
std::string NextFreeNumber(const RegistryModel& reg, const std::string& path);

// REG_SZ data bytes of a text, with its terminator.
std::vector<uint8_t> TextBytes(std::string_view text);

// The COM names a serial map key's values hold ("COM1"...), upper-cased.
std::vector<std::string> PortsInSerialMap(const RegistryModel& reg, const std::string& path);

// Writes a file of the package into a folder, or a stand-in when the package lacks it.
void CopyPackageFile(Machine& machine, const std::string& name, const std::string& folder);

// Windows 95/98/Me/NT 4 half of the stand-in (plug_and_play_legacy.cpp).
bool PlugInFunctionLegacy(Machine& machine, int function, int usbPort, bool assignComPorts);
void UnplugLegacy(Machine& machine, int usbPort);

}  // namespace sim::pnp
