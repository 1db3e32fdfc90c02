// Shared parts of the Plug and Play stand-in: the phone's functions, the driver
// search in the INF folder, COM number choice and small registry writers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/sim/phone_functions.h"

namespace sim::pnp {

using phone::kComPortInterface;
using phone::kLegacyDriverClassGuid;
using phone::kMaker;
using phone::kModemClassGuid;
using phone::kModemDescription;
using phone::kModemInterface;
using phone::kPortsClassGuid;
using phone::kUsbClassGuid;
using phone::kUsbDeviceInterface;
inline constexpr char kServicesKey[] = "Services";
inline constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
inline constexpr char kNtSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr char kLegacySerialMap[] = "Hardware\\DeviceMap\\SerialComm";
inline constexpr char kLegacyClassTree[] = "System\\CurrentControlSet\\Services\\Class";

using FunctionSpec = phone::Function;
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
  std::string infName;  // as InfPath records it: "oem4.inf", "KV6MDMW.INF"
  std::string infPath;  // full path in the INF folder
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

// Windows 95/98/Me half of the stand-in (plug_and_play_legacy.cpp).
bool PlugInFunctionLegacy(Machine& machine, int function, int usbPort, bool assignComPorts);
void UnplugLegacy(Machine& machine, int usbPort);

}  // namespace sim::pnp
