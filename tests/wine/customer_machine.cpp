// Makes a fresh Wine prefix look like a customer's PC before the driver CD goes
// in, for the round trips that compare the machine before and after: what
// Windows has and Wine lacks, and the devices of other makers that must
// survive the phone's removal.
//
//   customer_machine.exe [--package FOLDER] COMMAND...
//     layout       Windows' own layout where Wine's differs (see below)
//     neighbours   another vendor's USB serial device and another maker's modem,
//                  installed as Plug and Play would have installed them
//     own-ports N  the PC's own serial ports COM1 to COMN (N at most 8), taken
//                  in ComDB (both control sets) and named in the serial map,
//                  so that the phone's ports get the numbers after them
//
// Windows 2000/XP and later ("layout"):
//   - SYSTEM\ControlSet001 a registry link to CurrentControlSet (on Windows the
//     link goes the other way round, which the program cannot tell), made here
//     so that the link is part of the machine before and not itself a change;
//   - the USB, Modem and Ports setup class keys and the "COM Name Arbiter" with
//     an empty ComDB, as Windows has them;
//   - SYSTEM\ControlSet002, the last-known-good copy, with the same class keys;
//   - a different file under the name of each INF of FOLDER in the INF folder:
//     Wine's INF store keeps an INF's own name when it is free, Windows names
//     every copy oemN.inf; with the name taken Wine uses oemN.inf too.
// Windows 95/98/Me ("layout"): HKLM\Enum with its Root and USB branches, the
// Services\Class keys of the classes the phone uses, and the serial-port map,
// which Wine lacks. NT 4: the serial-port map only (it has no HKLM\Enum and no
// USB).
// Every version ("layout"): the serial-port map emptied of the host's serial
// devices, which Wine maps there (\Device\Serial0 = COM1 and so on): the
// customer's PC has no serial port of its own, so the phone's first port is
// COM1, a prefix of the neighbour's COM10.
//
// The neighbours ("neighbours"), numbered so that a match by prefix would catch
// them: the serial device USB\VID_1F3C&PID_6B070 (the phone is
// USB\VID_1F3C&PID_6B07) on COM10 with oem10.inf and the service KV6bus0
// (KV6bus is the phone's), and the modem USB\VID_0ACE&PID_1F3C&MI_00 on COM11
// with oem0.inf and the service KV6bus0m; oem0.inf being taken, the phone's
// first INF becomes oem1.inf and its first port COM1. 2000/XP: device keys,
// driver keys, interface keys and ComDB bits in both control sets, "Ports" and
// SERIALCOMM values, services (CreateServiceA: Wine's service manager does not
// see services written into the registry; the ControlSet002 copies are
// written as keys), driver files, the modem's Unimodem entry, and from XP on
// the LastGood copies and entries. NT 4: no USB, so a serial card and a modem
// card of the same names: driver file, INF, service with its Enum\Root\LEGACY_
// entry, "Ports" and SERIALCOMM values, the modem's driver key. Windows
// 95/98/Me: device and driver keys, the port's PortName and serial-map entry,
// the INF in INF\OTHER with its "OEM Name" entry, and the driver file.
//
// Each step prints what it did. Exit code 0, 2 for a wrong command line, 3 when
// a step failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sim/phone_functions.h"
#include "tests/wine/native_view.h"

namespace {

const char kCurrentSet[] = "SYSTEM\\CurrentControlSet";
const char kBackupSet[] = "SYSTEM\\ControlSet002";
const char kInstance[] = "5&7E8F9A01&0&2";
const char kMaker[] = "Acme";
const char kLegacyClassTree[] = "System\\CurrentControlSet\\Services\\Class";
int failures = 0;

void Report(bool ok, const std::string& what) {
  std::printf("customer_machine: %s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++failures;
}

// --- Registry and files ------------------------------------------------------------

bool WriteValue(const std::string& path, const std::string& name, DWORD type, const void* data,
                DWORD size) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | NativeView(), nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status =
      ::RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteText(const std::string& path, const std::string& name, const std::string& text) {
  return WriteValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool WriteDword(const std::string& path, const std::string& name, DWORD number) {
  return WriteValue(path, name, REG_DWORD, &number, sizeof number);
}

bool WriteMulti(const std::string& path, const std::string& name, const std::string& text) {
  std::string data = text + '\0' + '\0';
  return WriteValue(path, name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
}

bool MakeKey(const std::string& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | NativeView(), nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | NativeView(), &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

std::string NextFreeNumber(const std::string& path) {
  for (int n = 0; n < 10000; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", n);
    if (!KeyExists(path + "\\" + name)) return name;
  }
  return "9999";
}

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size();
  ::CloseHandle(file);
  return ok;
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsFolder() {
  char folder[MAX_PATH + 1] = {};
  ::GetWindowsDirectoryA(folder, MAX_PATH);
  return folder;
}

std::string SystemFolder() {
  char folder[MAX_PATH + 1] = {};
  ::GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// --- Windows version -----------------------------------------------------------------

OSVERSIONINFOA Version() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ::GetVersionExA(&version);
  return version;
}

// 2000, XP and later keep devices in control sets; 95/98/Me in HKLM\Enum.
bool UsesNtLayout() {
  OSVERSIONINFOA version = Version();
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

// NT 4 has neither: no USB support and no HKLM\Enum; its legacy drivers are
// listed in the control set's Enum\Root.
bool IsNt4() {
  OSVERSIONINFOA version = Version();
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion < 5;
}

bool KeepsLastGood() {
  OSVERSIONINFOA version = Version();
  return version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
}

// --- Windows' layout -----------------------------------------------------------------

bool LinkControlSet001() {
  if (KeyExists("SYSTEM\\ControlSet001")) return true;
  HKEY link = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001", 0, nullptr,
                        REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | NativeView(), nullptr, &link,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const wchar_t target[] = L"\\Registry\\Machine\\System\\CurrentControlSet";
  LSTATUS status =
      ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(target), sizeof target - sizeof(wchar_t));
  ::RegCloseKey(link);
  return status == ERROR_SUCCESS;
}

bool ClassKeys(const std::string& controlSet) {
  const char* const classes[][2] = {{phone::kUsbClassGuid, "USB"},
                                    {phone::kModemClassGuid, "Modem"},
                                    {phone::kPortsClassGuid, "Ports"}};
  bool ok = true;
  for (const auto& entry : classes) {
    std::string key = controlSet + "\\Control\\Class\\" + entry[0];
    ok = WriteText(key, "Class", entry[1]) && ok;
  }
  std::vector<BYTE> bits(32, 0);
  std::string arbiter = controlSet + "\\Control\\COM Name Arbiter";
  HKEY key = nullptr;
  bool haveBits = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, arbiter.c_str(), 0, KEY_READ | NativeView(),
                                  &key) == ERROR_SUCCESS;
  if (haveBits) {
    haveBits = ::RegQueryValueExA(key, "ComDB", nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    ::RegCloseKey(key);
  }
  if (!haveBits) ok = WriteValue(arbiter, "ComDB", REG_BINARY, bits.data(), 32) && ok;
  return ok;
}

// A different INF under each INF name of the package, so that Wine names the
// package's copies oemN.inf.
bool TakeInfNames(const std::string& package) {
  if (package.empty()) return true;
  std::string infFolder = WindowsFolder() + "\\inf\\";
  WIN32_FIND_DATAA found = {};
  HANDLE search = ::FindFirstFileA((package + "\\*.inf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string target = infFolder + found.cFileName;
    if (FileExists(target)) continue;
    ok = WriteFileText(target, std::string("; ") + found.cFileName +
                                   ": another product's INF of the same name\r\n"
                                   "[Version]\r\nSignature=\"$Windows NT$\"\r\n") &&
         ok;
    std::printf("customer_machine: took the INF name %s\n", found.cFileName);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return ok;
}

// Deletes every value of the serial-port map.
bool EmptySerialMap() {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                        KEY_ALL_ACCESS | NativeView(), nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool ok = true;
  char name[256];
  for (;;) {
    DWORD length = sizeof name;
    if (::RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (::RegDeleteValueA(key, name) != ERROR_SUCCESS) {
      ok = false;
      break;
    }
    std::printf("customer_machine: the serial map loses %s\n", name);
  }
  ::RegCloseKey(key);
  return ok;
}

void LayoutCommon() {
  Report(EmptySerialMap(), "no serial port of the PC's own in the serial-port map");
}

void LayoutNt(const std::string& package) {
  Report(LinkControlSet001(), "SYSTEM\\ControlSet001 links to SYSTEM\\CurrentControlSet");
  Report(ClassKeys(kCurrentSet), "USB, Modem and Ports class keys, COM Name Arbiter");
  Report(ClassKeys(kBackupSet) && MakeKey(std::string(kBackupSet) + "\\Enum\\USB") &&
             MakeKey(std::string(kBackupSet) + "\\Services"),
         "SYSTEM\\ControlSet002 with the same class keys");
  Report(TakeInfNames(package), "the package's INF names taken in the INF folder");
}

void LayoutNt4() {
  Report(MakeKey("HARDWARE\\DEVICEMAP\\SERIALCOMM"),
         "the serial-port map (no HKLM\\Enum, no USB: NT 4's own layout)");
}

void LayoutLegacy() {
  bool ok = MakeKey("Enum\\Root") && MakeKey("Enum\\USB");
  for (const char* className : {"USB", "Modem", "Ports", "System"}) {
    ok = WriteText(std::string(kLegacyClassTree) + "\\" + className, "", className) && ok;
  }
  ok = MakeKey("Hardware\\DeviceMap\\SerialComm") && ok;
  Report(ok, "HKLM\\Enum, the Services\\Class keys and the serial-port map");
}

// --- The neighbours -------------------------------------------------------------------

struct Neighbour {
  std::string deviceId;
  std::string className;
  std::string classGuid;
  std::string interfaceGuid;
  std::string description;
  std::string service;
  std::string infName;  // 2000/XP: its INF-store copy
  int comNumber;
};

const Neighbour kNeighbours[] = {
    {"VID_1F3C&PID_6B070", "Ports", phone::kPortsClassGuid, phone::kComPortInterface,
     "Acme USB Serial Port", "KV6bus0", "oem10.inf", 10},
    {"VID_0ACE&PID_1F3C&MI_00", "Modem", phone::kModemClassGuid, phone::kModemInterface,
     "Acme 3G GSM USB Modem", "KV6bus0m", "oem0.inf", 11},
};

std::string InfText(const Neighbour& device) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=" + device.className +
         "\r\nClassGuid=" + device.classGuid +
         "\r\nProvider=%Maker%\r\n\r\n[Manufacturer]\r\n%Maker%=Models\r\n\r\n[Models]\r\n"
         "%Device%=Install, USB\\" +
         device.deviceId + "\r\n\r\n[Strings]\r\nMaker=\"" + kMaker + "\"\r\nDevice=\"" +
         device.description + "\"\r\n";
}

bool SetComBit(const std::string& controlSet, int number) {
  std::string arbiter = controlSet + "\\Control\\COM Name Arbiter";
  BYTE bits[32] = {};
  DWORD size = sizeof bits;
  DWORD type = REG_BINARY;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, arbiter.c_str(), 0, KEY_READ | NativeView(), &key) ==
      ERROR_SUCCESS) {
    if (::RegQueryValueExA(key, "ComDB", nullptr, &type, bits, &size) != ERROR_SUCCESS) size = 32;
    ::RegCloseKey(key);
  }
  if (number < 1 || static_cast<DWORD>(number) > size * 8) return false;
  bits[(number - 1) / 8] |= static_cast<BYTE>(1u << ((number - 1) % 8));
  return WriteValue(arbiter, "ComDB", type, bits, size);
}

bool CreateDriverService(const Neighbour& device) {
  SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return false;
  std::string image = "system32\\DRIVERS\\" + device.service + ".sys";
  SC_HANDLE service = ::OpenServiceA(manager, device.service.c_str(), SERVICE_QUERY_STATUS);
  if (!service) {
    service = ::CreateServiceA(manager, device.service.c_str(), device.description.c_str(),
                               SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                               SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr,
                               nullptr, nullptr);
  }
  bool ok = service != nullptr;
  if (service) ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return ok;
}

bool PlantNtControlSet(const Neighbour& device, const std::string& controlSet,
                       const std::string& driverValue) {
  std::string instancePath = "USB\\" + device.deviceId + "\\" + kInstance;
  std::string deviceKey = controlSet + "\\Enum\\" + instancePath;
  std::string portName = "COM" + std::to_string(device.comNumber);
  bool ok = WriteText(deviceKey, "Class", device.className) &&
            WriteText(deviceKey, "ClassGUID", device.classGuid) &&
            WriteMulti(deviceKey, "HardwareID", "USB\\" + device.deviceId) &&
            WriteText(deviceKey, "Driver", driverValue) && WriteText(deviceKey, "Mfg", kMaker) &&
            WriteText(deviceKey, "DeviceDesc", device.description) &&
            WriteText(deviceKey, "Service", device.service) &&
            WriteDword(deviceKey, "ConfigFlags", 0) &&
            WriteText(deviceKey + "\\Device Parameters", "PortName", portName);
  std::string driverKey = controlSet + "\\Control\\Class\\" + driverValue;
  ok = ok && WriteText(driverKey, "DriverDesc", device.description) &&
       WriteText(driverKey, "ProviderName", kMaker) &&
       WriteText(driverKey, "InfPath", device.infName) &&
       WriteText(driverKey, "InfSection", "Install") &&
       WriteText(driverKey, "MatchingDeviceId", Upper("USB\\" + device.deviceId));
  if (device.className == "Modem") ok = ok && WriteText(driverKey, "AttachedTo", portName);
  std::string mangled = instancePath;
  for (char& c : mangled) c = c == '\\' ? '#' : c;
  std::string link = controlSet + "\\Control\\DeviceClasses\\" + device.interfaceGuid + "\\##?#" +
                     mangled + "#" + device.interfaceGuid;
  ok = ok && WriteText(link, "DeviceInstance", instancePath) &&
       WriteText(link + "\\#", "SymbolicLink", "\\\\?\\" + mangled + "#" + device.interfaceGuid);
  return SetComBit(controlSet, device.comNumber) && ok;
}

// The backup control set's copy of a service, as Windows copies the key.
bool WriteServiceKey(const Neighbour& device, const std::string& controlSet) {
  std::string key = controlSet + "\\Services\\" + device.service;
  std::string image = "system32\\DRIVERS\\" + device.service + ".sys";
  return WriteDword(key, "Type", SERVICE_KERNEL_DRIVER) &&
         WriteDword(key, "Start", SERVICE_DEMAND_START) &&
         WriteDword(key, "ErrorControl", SERVICE_ERROR_NORMAL) &&
         WriteValue(key, "ImagePath", REG_EXPAND_SZ, image.c_str(),
                    static_cast<DWORD>(image.size() + 1)) &&
         WriteText(key, "DisplayName", device.description);
}

void PlantNt(const Neighbour& device) {
  std::string windows = WindowsFolder();
  std::string stem = device.infName.substr(0, device.infName.find('.'));
  std::string inf = InfText(device);
  std::string sys = device.service + ".sys";
  std::string portName = "COM" + std::to_string(device.comNumber);
  bool ok = WriteFileText(windows + "\\inf\\" + device.infName, inf) &&
            WriteFileText(windows + "\\inf\\" + stem + ".PNF", "PNF " + device.infName) &&
            WriteFileText(SystemFolder() + "\\drivers\\" + sys, "MZ " + device.service);
  Report(ok, device.description + ": " + device.infName + ", " + stem + ".PNF, " + sys);
  if (KeepsLastGood()) {
    std::string lastGood = windows + "\\LastGood";
    const char* const entries = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
    ok = MakeKey("SYSTEM\\LastKnownGoodRecovery") &&
         (::CreateDirectoryA(lastGood.c_str(), nullptr), true) &&
         (::CreateDirectoryA((lastGood + "\\INF").c_str(), nullptr), true) &&
         (::CreateDirectoryA((lastGood + "\\system32").c_str(), nullptr), true) &&
         (::CreateDirectoryA((lastGood + "\\system32\\DRIVERS").c_str(), nullptr), true) &&
         WriteFileText(lastGood + "\\INF\\" + device.infName, inf) &&
         WriteFileText(lastGood + "\\INF\\" + stem + ".PNF", "PNF " + device.infName) &&
         WriteFileText(lastGood + "\\system32\\DRIVERS\\" + sys, "MZ " + device.service) &&
         WriteDword(entries, "inf\\" + device.infName, 1) &&
         WriteDword(entries, "inf\\" + stem + ".PNF", 1) &&
         WriteDword(entries, "system32\\DRIVERS\\" + sys, 1);
    Report(ok, device.description + ": LastGood copies and entries");
  }
  std::string driverValue =
      device.classGuid + "\\" +
      NextFreeNumber(std::string(kCurrentSet) + "\\Control\\Class\\" + device.classGuid);
  Report(PlantNtControlSet(device, kCurrentSet, driverValue) &&
             PlantNtControlSet(device, kBackupSet, driverValue),
         device.description + ": USB\\" + device.deviceId + "\\" + kInstance + " on " + portName +
             ", driver key " + driverValue + ", in both control sets");
  Report(CreateDriverService(device) && WriteServiceKey(device, kBackupSet),
         device.description + ": service " + device.service);
  ok = WriteText("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", portName + ":",
                 "9600,n,8,1") &&
       WriteText("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\" + device.service + "0", portName);
  if (device.className == "Modem") {
    ok = WriteText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\" +
                       device.description + "::" + kMaker + "::" + kMaker,
                   "Properties", device.description) &&
         ok;
  }
  Report(ok, device.description + ": \"" + portName + ":\" port settings and serial map" +
                 (device.className == "Modem" ? ", Unimodem entry" : ""));
}

// NT 4: another maker's serial card and a modem on its port, as their own
// installers set them up there: the driver, its service (through the service
// manager) with its legacy device entry, the INF, the serial map entry and the
// port's settings, and the modem's Unimodem driver key on that port.
void PlantNt4(const Neighbour& device) {
  std::string sys = device.service + ".sys";
  std::string portName = "COM" + std::to_string(device.comNumber);
  bool ok = WriteFileText(WindowsFolder() + "\\inf\\" + device.infName, InfText(device)) &&
            WriteFileText(SystemFolder() + "\\drivers\\" + sys, "MZ " + device.service);
  Report(ok, device.description + ": " + device.infName + ", " + sys);
  Report(CreateDriverService(device) &&
             WriteText(std::string(kCurrentSet) + "\\Enum\\Root\\LEGACY_" +
                           Upper(device.service) + "\\0000",
                       "Service", device.service),
         device.description + ": service " + device.service + " and its legacy device entry");
  ok = WriteText("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", portName + ":",
                 "9600,n,8,1") &&
       WriteText("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\" + device.service + "0", portName);
  if (device.className == "Modem") {
    std::string classKey = std::string(kCurrentSet) + "\\Control\\Class\\" + device.classGuid;
    std::string driverKey = classKey + "\\" + NextFreeNumber(classKey);
    ok = WriteText(driverKey, "DriverDesc", device.description) &&
         WriteText(driverKey, "AttachedTo", portName) &&
         WriteText(driverKey, "InfPath", device.infName) &&
         WriteText(driverKey, "Manufacturer", kMaker) && ok;
  }
  Report(ok, device.description + ": \"" + portName + ":\" port settings and serial map" +
                 (device.className == "Modem" ? ", Unimodem driver key" : ""));
}

void PlantLegacy(const Neighbour& device) {
  std::string windows = WindowsFolder();
  std::string infName = std::string(kMaker) + device.service + ".inf";
  ::CreateDirectoryA((windows + "\\inf\\OTHER").c_str(), nullptr);
  std::string sys = device.service + ".sys";
  bool ok = WriteFileText(windows + "\\inf\\OTHER\\" + infName, InfText(device)) &&
            WriteFileText(SystemFolder() + "\\" + sys, "MZ " + device.service) &&
            WriteText("Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name",
                      windows + "\\INF\\OTHER\\" + Upper(infName), device.service + ".inf");
  Report(ok, device.description + ": INF\\OTHER\\" + infName + ", " + sys);
  std::string key = "Enum\\USB\\" + device.deviceId + "\\" + kInstance;
  std::string portName = "COM" + std::to_string(device.comNumber);
  std::string driverValue =
      device.className + "\\" +
      NextFreeNumber(std::string(kLegacyClassTree) + "\\" + device.className);
  std::string driverKey = std::string(kLegacyClassTree) + "\\" + driverValue;
  ok = WriteText(key, "Class", device.className) &&
       WriteText(key, "HardwareID", "USB\\" + device.deviceId) &&
       WriteText(key, "DeviceDesc", device.description) && WriteText(key, "Mfg", kMaker) &&
       WriteText(key, "Driver", driverValue) && WriteText(key, "PortName", portName) &&
       WriteText(driverKey, "DriverDesc", device.description) &&
       WriteText(driverKey, "InfPath", Upper(infName)) &&
       WriteText(driverKey, "ProviderName", kMaker) &&
       WriteText("Hardware\\DeviceMap\\SerialComm", portName, portName);
  if (device.className == "Modem") ok = ok && WriteText(driverKey, "AttachedTo", portName);
  Report(ok, device.description + ": Enum\\USB\\" + device.deviceId + "\\" + kInstance + " on " +
                 portName + ", driver key " + driverValue);
}

// COM1 to COMcount as the serial port driver of a PC with its own ports leaves
// them: the arbiter's bits and the serial map's \Device\SerialN entries.
void PlantOwnPorts(int count) {
  bool ok = true;
  for (int number = 1; number <= count; ++number) {
    std::string port = "COM" + std::to_string(number);
    ok = SetComBit(kCurrentSet, number) && ok;
    if (UsesNtLayout()) ok = SetComBit(kBackupSet, number) && ok;
    // Appended, not "literal + std::to_string": gcc 12's i686 -O3 reports a
    // false overlap (-Wrestrict) in the inlined insert of that form.
    std::string device = "\\Device\\Serial";
    device += std::to_string(number - 1);
    ok = WriteText("HARDWARE\\DEVICEMAP\\SERIALCOMM", device, port) && ok;
  }
  Report(ok, "the PC's own serial ports COM1 to COM" + std::to_string(count));
}

}  // namespace

int main(int argc, char** argv) {
  native_view::UseNativeFileSystem();
  std::string package;
  std::vector<std::string> commands;
  int ownPorts = 0;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--package" && i + 1 < argc) {
      package = argv[++i];
    } else if (word == "layout" || word == "neighbours") {
      commands.push_back(word);
    } else if (word == "own-ports" && i + 1 < argc) {
      ownPorts = std::atoi(argv[++i]);
      if (ownPorts < 1 || ownPorts > 8) return 2;
      commands.push_back(word);
    } else {
      std::fprintf(stderr,
                   "usage: customer_machine.exe [--package FOLDER] layout|neighbours|own-ports N"
                   "...\n");
      return 2;
    }
  }
  bool nt = UsesNtLayout();
  bool nt4 = IsNt4();
  for (const std::string& command : commands) {
    if (command == "layout") {
      LayoutCommon();
      if (nt) {
        LayoutNt(package);
      } else if (nt4) {
        LayoutNt4();
      } else {
        LayoutLegacy();
      }
    } else if (command == "own-ports") {
      PlantOwnPorts(ownPorts);
    } else {
      for (const Neighbour& device : kNeighbours) {
        if (nt) {
          PlantNt(device);
        } else if (nt4) {
          PlantNt4(device);
        } else {
          PlantLegacy(device);
        }
      }
    }
  }
  return failures == 0 ? 0 : 3;
}
