// Devices of other makers, installed long ago (so present in both control sets):
// a USB serial device and a USB modem, with everything Plug and Play left for them.
// NT 4 has no USB: there they are a serial card and a modem on its port, set up
// by their makers' installers as NT 4 keeps such devices. Removal tests plant them
// to show that nothing of them goes with the phone.
#include <algorithm>

#include "platform/sim/plug_and_play.h"
#include "platform/sim/plug_and_play_internal.h"
#include "platform/sim/sim_util.h"

namespace sim {

namespace {

using namespace pnp;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kInstance[] = "5&7E8F9A01&0&2";

struct Neighbour {
  std::string deviceId;
  std::string className;
  std::string classGuid;
  std::string interfaceGuid;
  std::string description;
  std::string maker;
  std::string service;
  std::string infName;  // its INF as installed (2000/XP: oemN.inf)
  int comNumber;
};

std::string InfText(const Neighbour& device) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=" + device.className +
         "\r\nClassGuid=" + device.classGuid +
         "\r\nProvider=%Maker%\r\n\r\n"
         "[Manufacturer]\r\n%Maker%=Models\r\n\r\n[Models]\r\n%Device%=Install, USB\\" +
         device.deviceId + "\r\n\r\n[Strings]\r\nMaker=\"" + device.maker + "\"\r\nDevice=\"" +
         device.description + "\"\r\n";
}

void SetComBit(RegistryModel& reg, const std::string& controlSet, int number) {
  if (number < 1 || number > 256) return;
  std::string arbiter = controlSet + "\\Control\\COM Name Arbiter";
  std::optional<RegValue> comDb = reg.GetValue(kLm, arbiter, "ComDB");
  std::vector<uint8_t> bits = comDb ? comDb->data : std::vector<uint8_t>(32, 0);
  size_t byte = static_cast<size_t>(number - 1) / 8;
  if (byte >= bits.size()) bits.resize(byte + 1, 0);
  bits[byte] |= static_cast<uint8_t>(1u << ((number - 1) % 8));
  reg.SetValue(kLm, arbiter, "ComDB", comDb ? comDb->type : REG_BINARY, bits);
}

void PlantNt(Machine& machine, const Neighbour& device) {
  RegistryModel& reg = machine.registry;
  FileSystem& files = machine.files;
  std::string windows = files.WindowsDirectory();
  std::string stem = device.infName.substr(0, device.infName.find('.'));
  std::string inf = InfText(device);
  files.WriteFile(windows + "\\INF\\" + device.infName, inf);
  files.WriteFile(windows + "\\INF\\" + stem + ".PNF", "PNF " + device.infName);
  files.WriteFile(files.SystemDirectory() + "\\drivers\\" + device.service + ".sys",
                  "MZ " + device.service);
  bool lastGood = KeepsLastGood(machine.options().version);
  if (lastGood) {
    files.WriteFile(windows + "\\LastGood\\INF\\" + device.infName, inf);
    files.WriteFile(windows + "\\LastGood\\INF\\" + stem + ".PNF", "PNF " + device.infName);
    files.WriteFile(windows + "\\LastGood\\system32\\DRIVERS\\" + device.service + ".sys",
                    "MZ " + device.service);
    reg.SetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", "inf\\" + device.infName, 1);
    reg.SetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", "inf\\" + stem + ".PNF", 1);
    reg.SetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood",
                 "system32\\DRIVERS\\" + device.service + ".sys", 1);
  }
  std::string instancePath = "USB\\" + device.deviceId + "\\" + kInstance;
  std::string portName = "COM" + std::to_string(device.comNumber);
  std::string driverValue;
  for (const char* set : {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002"}) {
    std::string base = set;
    if (driverValue.empty()) {
      driverValue = device.classGuid + "\\" +
                    NextFreeNumber(reg, base + "\\Control\\Class\\" + device.classGuid);
    }
    std::string deviceKey = base + "\\Enum\\" + instancePath;
    reg.SetString(kLm, deviceKey, "Class", device.className);
    reg.SetString(kLm, deviceKey, "ClassGUID", device.classGuid);
    reg.SetMultiString(kLm, deviceKey, "HardwareID", {"USB\\" + device.deviceId});
    reg.SetString(kLm, deviceKey, "Driver", driverValue);
    reg.SetString(kLm, deviceKey, "Mfg", device.maker);
    reg.SetString(kLm, deviceKey, "DeviceDesc", device.description);
    reg.SetString(kLm, deviceKey, "Service", device.service);
    reg.SetString(kLm, deviceKey + "\\Device Parameters", "PortName", portName);
    std::string driverKey = base + "\\Control\\Class\\" + driverValue;
    reg.SetString(kLm, driverKey, "DriverDesc", device.description);
    reg.SetString(kLm, driverKey, "ProviderName", device.maker);
    reg.SetString(kLm, driverKey, "InfPath", device.infName);
    reg.SetString(kLm, driverKey, "InfSection", "Install");
    std::string service = base + "\\Services\\" + device.service;
    reg.SetDword(kLm, service, "Type", 1);
    reg.SetDword(kLm, service, "Start", 3);
    reg.SetDword(kLm, service, "ErrorControl", 1);
    std::string image = "system32\\DRIVERS\\" + device.service + ".sys";
    reg.SetValue(kLm, service, "ImagePath", REG_EXPAND_SZ, TextBytes(image));
    if (machine.options().version == WindowsVersion::Windows2000) {
      reg.SetString(kLm, base + "\\Enum\\Root\\LEGACY_" + UpperAscii(device.service) + "\\0000",
                    "Service", device.service);
    }
    std::string mangled = instancePath;
    std::replace(mangled.begin(), mangled.end(), '\\', '#');
    std::string link = base + "\\Control\\DeviceClasses\\" + device.interfaceGuid + "\\##?#" +
                       mangled + "#" + device.interfaceGuid;
    reg.SetString(kLm, link, "DeviceInstance", instancePath);
    reg.SetString(kLm, link + "\\#", "SymbolicLink",
                  "\\\\?\\" + mangled + "#" + device.interfaceGuid);
    SetComBit(reg, base, device.comNumber);
  }
  reg.SetString(kLm, kPortsKey, portName + ":", "9600,n,8,1");
  reg.SetString(kLm, kNtSerialMap, "\\Device\\" + device.service + "0", portName);
  if (device.className == "Modem") {
    reg.SetString(kLm,
                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\" +
                      device.description + "::" + device.maker + "::" + device.maker,
                  "Properties", device.description);
  }
}

// NT 4: a legacy driver service of each control set with its serial map entry,
// its port in the Ports list, the modem's driver key (Unimodem's) on that port,
// and the maker's INF and driver file.
void PlantNt4(Machine& machine, const Neighbour& device) {
  RegistryModel& reg = machine.registry;
  FileSystem& files = machine.files;
  files.WriteFile(files.WindowsDirectory() + "\\INF\\" + device.infName, InfText(device));
  files.WriteFile(files.SystemDirectory() + "\\drivers\\" + device.service + ".sys",
                  "MZ " + device.service);
  std::string portName = "COM" + std::to_string(device.comNumber);
  std::string driverNumber;
  for (const char* set : {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002"}) {
    std::string base = set;
    std::string service = base + "\\Services\\" + device.service;
    reg.SetDword(kLm, service, "Type", 1);
    reg.SetDword(kLm, service, "Start", 1);
    reg.SetDword(kLm, service, "ErrorControl", 1);
    std::string image = "System32\\DRIVERS\\" + device.service + ".sys";
    reg.SetValue(kLm, service, "ImagePath", REG_EXPAND_SZ, TextBytes(image));
    reg.SetString(kLm, base + "\\Enum\\Root\\LEGACY_" + UpperAscii(device.service) + "\\0000",
                  "Service", device.service);
    if (device.className != "Modem") continue;
    std::string classKey = base + "\\Control\\Class\\" + device.classGuid;
    if (driverNumber.empty()) driverNumber = NextFreeNumber(reg, classKey);
    std::string driverKey = classKey + "\\" + driverNumber;
    reg.SetString(kLm, driverKey, "DriverDesc", device.description);
    reg.SetString(kLm, driverKey, "AttachedTo", portName);
    reg.SetString(kLm, driverKey, "InfPath", device.infName);
    reg.SetString(kLm, driverKey, "Manufacturer", device.maker);
  }
  reg.SetString(kLm, kPortsKey, portName + ":", "9600,n,8,1");
  reg.SetString(kLm, kNtSerialMap, "\\Device\\" + device.service + "0", portName);
}

void PlantLegacy(Machine& machine, const Neighbour& device) {
  RegistryModel& reg = machine.registry;
  std::string windows = machine.files.WindowsDirectory();
  std::string infName = device.service + ".inf";
  machine.files.WriteFile(windows + "\\INF\\OTHER\\" + device.maker + infName, InfText(device));
  machine.files.WriteFile(machine.files.SystemDirectory() + "\\" + device.service + ".sys",
                          "MZ " + device.service);
  std::string instancePath = "USB\\" + device.deviceId + "\\" + kInstance;
  std::string key = "Enum\\" + instancePath;
  std::string portName = "COM" + std::to_string(device.comNumber);
  std::string driverValue =
      device.className + "\\" +
      NextFreeNumber(reg, std::string(kLegacyClassTree) + "\\" + device.className);
  reg.SetString(kLm, key, "Class", device.className);
  reg.SetString(kLm, key, "HardwareID", "USB\\" + device.deviceId);
  reg.SetString(kLm, key, "DeviceDesc", device.description);
  reg.SetString(kLm, key, "Mfg", device.maker);
  reg.SetString(kLm, key, "Driver", driverValue);
  reg.SetString(kLm, key, "PortName", portName);
  std::string driverKey = std::string(kLegacyClassTree) + "\\" + driverValue;
  reg.SetString(kLm, driverKey, "DriverDesc", device.description);
  reg.SetString(kLm, driverKey, "InfPath", UpperAscii(device.maker + infName));
  reg.SetString(kLm, driverKey, "ProviderName", device.maker);
  if (device.className == "Modem") reg.SetString(kLm, driverKey, "AttachedTo", portName);
  reg.SetString(kLm, kLegacySerialMap, portName, portName);
  reg.SetString(kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name",
                windows + "\\INF\\OTHER\\" + UpperAscii(device.maker + infName), infName);
  // Plugged out once: the configuration manager keeps a phantom of it.
  std::string phantoms = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
  reg.SetString(kLm, phantoms + "\\" + NextFreeNumber(reg, phantoms), "HardWareKey", instancePath);
  WindowsVersion version = machine.options().version;
  if (version == WindowsVersion::Windows98 || version == WindowsVersion::WindowsMe) {
    reg.SetValue(kLm,
                 "System\\CurrentControlSet\\Control\\ASD\\Prob\\"
                 "{9B4E7760-3196-11CF-97EA-00AA0034319D}",
                 UpperAscii(instancePath), REG_BINARY, {0x01, 0, 0, 0});
    std::string mangled = instancePath;
    std::replace(mangled.begin(), mangled.end(), '\\', '#');
    reg.SetString(kLm,
                  "System\\CurrentControlSet\\Control\\DeviceClasses\\" + device.interfaceGuid +
                      "\\##?#" + mangled + "#" + device.interfaceGuid,
                  "DeviceInstance", instancePath);
  }
}

}  // namespace

void PlantNeighbourDevice(Machine& machine, const NeighbourOptions& options) {
  Neighbour serial{options.hardwareId,     "Ports",
                   kPortsClassGuid,        kComPortInterface,
                   "Acme USB Serial Port", "Acme",
                   options.service,        "oem" + std::to_string(options.oemInfNumber) + ".inf",
                   options.comNumber};
  Neighbour modem{
      options.modemHardwareId,  "Modem",
      kModemClassGuid,          kModemInterface,
      options.modemDescription, "Acme",
      options.service + "m",    "oem" + std::to_string(options.oemInfNumber + 1) + ".inf",
      options.modemComNumber};
  WindowsVersion version = machine.options().version;
  for (const Neighbour& device : {serial, modem}) {
    if (version == WindowsVersion::WindowsNT4) {
      PlantNt4(machine, device);
    } else if (!IsNtFamily(version)) {
      PlantLegacy(machine, device);
    } else {
      PlantNt(machine, device);
    }
  }
}

}  // namespace sim
