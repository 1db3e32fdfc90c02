// Plays the phone under Wine: writes what Plug and Play would leave in the
// registry when the phone's USB functions arrive, for the Windows version the
// prefix reports, and tells the wizard after each step with WM_DEVICECHANGE.
//
//   phone_simulator.exe [--package FOLDER] [--no-port] [--quiet] COMMAND...
//     plug N      install function N (0 to 3) and notify the wizard
//     plug-all    functions 0 to 3, notifying after each
//     unplug      the phone goes: the running state of its devices is dropped
//                 (2000/XP) and the wizard is notified; the device keys stay
//     remove N    deletes function N's device key, as an uninstall in Device Manager
//     notify      sends WM_DEVICECHANGE to the wizard only
//
// Windows 2000/XP: the device instance below SYSTEM\CurrentControlSet\Enum\USB
// (Class, ClassGUID, HardwareID, CompatibleIDs, Driver, Mfg, DeviceDesc,
// Service), the driver key in Control\Class with InfPath naming the INF of the
// INF folder that names the function's hardware ID, Device Parameters\PortName
// and the port's ComDB bit, "Ports" value and SERIALCOMM entry for the interface
// functions, the interface key in DeviceClasses, the driver services (made with
// CreateServiceA: the service manager of Wine does not see services written
// into the registry), the driver files in system32\drivers, the Unimodem entry
// of the modem, and on XP the LastGood copies and entries.
//
// Wine's CurrentControlSet is a real key and ControlSet001 does not exist, while
// the program reads ControlSet001 in its removal: before its first write the
// simulator makes SYSTEM\ControlSet001 a registry link to CurrentControlSet, as
// Windows' own layout has it, so both names reach the same keys. Wine has no
// "COM Name Arbiter" and no Modem, Ports or USB setup class keys; the simulator
// creates them as Windows has them. Wine's INF store keeps an INF's own name
// (KV6bus.inf) where Windows names it oemN.inf; InfPath names what is there.
//
// Windows 95/98/Me: HKLM\Enum\USB\<id>\<instance> with HardwareID, the
// package's port device Enum\KV6CR\guid\NNNN with CRLowerDeviceID and PortName,
// Services\Class driver keys, and the Hardware\DeviceMap\SerialComm entry.
//
// Windows NT 4 has no USB support: a phone plugged in is never seen, nothing is
// written and the wizard hears nothing ("plug" says so and succeeds).
//
// Exit code 0, or 2 for a wrong command line, 3 when a step failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sim/phone_functions.h"
#include "tests/wine/native_view.h"

namespace {

const char kWizardTitle[] = "ORVEX 3G/GSM USB Driver Installer";
const int kProgressId = 1003;
const char kCurrentSet[] = "SYSTEM\\CurrentControlSet\\";

struct Settings {
  std::string package;
  bool assignPorts = true;
  bool quiet = false;
};
Settings settings;

void Say(const std::string& text) {
  if (!settings.quiet) std::printf("phone_simulator: %s\n", text.c_str());
  std::fflush(stdout);
}

// --- Registry -------------------------------------------------------------------

bool WriteValue(const std::string& path, const char* name, DWORD type, const void* data,
                DWORD size) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | NativeView(), nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status = ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteText(const std::string& path, const char* name, const std::string& text) {
  return WriteValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool WriteDword(const std::string& path, const char* name, DWORD number) {
  return WriteValue(path, name, REG_DWORD, &number, sizeof number);
}

bool WriteMulti(const std::string& path, const char* name, const std::vector<std::string>& texts) {
  std::string data;
  for (const std::string& text : texts) data += text + '\0';
  data += '\0';
  return WriteValue(path, name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
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

std::string ReadText(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | NativeView(), &key) !=
      ERROR_SUCCESS) {
    return "";
  }
  char data[1024] = {};
  DWORD size = sizeof data - 1;
  LSTATUS status =
      ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(data) : std::string();
}

std::vector<std::string> SubKeys(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | NativeView(), &key) !=
      ERROR_SUCCESS) {
    return names;
  }
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  ::RegCloseKey(key);
  return names;
}

std::string NextFreeNumber(const std::string& path) {
  std::vector<std::string> taken = SubKeys(path);
  for (int n = 0;; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", n);
    bool used = false;
    for (const std::string& existing : taken)
      used = used || ::lstrcmpiA(existing.c_str(), name) == 0;
    if (!used) return name;
  }
}

bool DeleteTree(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS | NativeView(), &key) !=
      ERROR_SUCCESS)
    return false;
  char child[256];
  DWORD length = sizeof child;
  while (::RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS) {
    if (!DeleteTree(key, child)) break;
    length = sizeof child;
  }
  ::RegCloseKey(key);
  return ::RegDeleteKeyA(parent, name.c_str()) == ERROR_SUCCESS;
}

// --- Windows version ---------------------------------------------------------------

bool UsesNtLayout() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ::GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

bool HasNoUsb() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ::GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion < 5;
}

bool KeepsLastGood() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ::GetVersionExA(&version);
  return version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
}

std::string WindowsFolder() {
  char folder[MAX_PATH + 1] = {};
  ::GetWindowsDirectoryA(folder, MAX_PATH);
  return folder;
}

// --- Windows' layout under Wine ------------------------------------------------------

// ControlSet001 as a link to CurrentControlSet, as on Windows (where the link goes
// the other way round, which the program cannot tell).
void LinkControlSet001() {
  if (KeyExists("SYSTEM\\ControlSet001")) return;
  HKEY link = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001", 0, nullptr,
                        REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | NativeView(),
                        nullptr, &link, nullptr) != ERROR_SUCCESS) {
    Say("cannot make SYSTEM\\ControlSet001 a link");
    return;
  }
  const wchar_t target[] = L"\\Registry\\Machine\\System\\CurrentControlSet";
  ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                   sizeof target - sizeof(wchar_t));
  ::RegCloseKey(link);
  Say("SYSTEM\\ControlSet001 now links to SYSTEM\\CurrentControlSet");
}

void EnsureNtSetupKeys() {
  LinkControlSet001();
  std::string control = std::string(kCurrentSet) + "Control\\";
  if (ReadText(control + "COM Name Arbiter", "ComDB").empty() &&
      !KeyExists(control + "COM Name Arbiter")) {
    std::vector<BYTE> bits(32, 0);
    WriteValue(control + "COM Name Arbiter", "ComDB", REG_BINARY, bits.data(), 32);
  }
  const char* const classes[][2] = {{phone::kUsbClassGuid, "USB"},
                                    {phone::kModemClassGuid, "Modem"},
                                    {phone::kPortsClassGuid, "Ports"}};
  for (const auto& entry : classes) {
    std::string key = control + "Class\\" + entry[0];
    if (ReadText(key, "Class").empty()) WriteText(key, "Class", entry[1]);
  }
}

// --- The driver's INF ----------------------------------------------------------------

std::string ReadFileText(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  ::CloseHandle(file);
  return text;
}

bool ContinuesId(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '&' || c == '_';
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool NamesHardwareId(const std::string& text, const std::string& id) {
  std::string upper = Upper(text);
  std::string wanted = Upper(id);
  for (size_t at = upper.find(wanted); at != std::string::npos; at = upper.find(wanted, at + 1)) {
    size_t after = at + wanted.size();
    bool startsClean = at == 0 || !ContinuesId(upper[at - 1]);
    if (startsClean && (after == upper.size() || !ContinuesId(upper[after]))) return true;
  }
  return false;
}

// The INF of the INF folder that names the hardware ID, oem*.inf first.
std::string FindInf(const std::string& hardwareId) {
  std::string folder = WindowsFolder() + "\\inf\\";
  std::vector<std::string> names;
  WIN32_FIND_DATAA found = {};
  HANDLE search = ::FindFirstFileA((folder + "*.inf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return "";
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& name : names) {
      bool oem = Upper(name).rfind("OEM", 0) == 0;
      if (oem != (pass == 0)) continue;
      if (NamesHardwareId(ReadFileText(folder + name), hardwareId)) return name;
    }
  }
  return "";
}

void CopyDriverFile(const char* name, const std::string& folder) {
  ::CreateDirectoryA(folder.c_str(), nullptr);
  std::string target = folder + "\\" + name;
  if (!settings.package.empty() &&
      ::CopyFileA((settings.package + "\\" + name).c_str(), target.c_str(), FALSE)) {
    return;
  }
  HANDLE file = ::CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string contents = std::string("MZ ") + name + " (phone simulator)";
  DWORD written = 0;
  ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
  ::CloseHandle(file);
}

// --- COM numbers ----------------------------------------------------------------------

// The lowest number free in ComDB and not named in the serial map; its bit is set.
int ClaimComNumber() {
  std::string arbiter = std::string(kCurrentSet) + "Control\\COM Name Arbiter";
  BYTE bits[32] = {};
  DWORD size = sizeof bits;
  DWORD type = REG_BINARY;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, arbiter.c_str(), 0, KEY_READ | NativeView(), &key) ==
      ERROR_SUCCESS) {
    if (::RegQueryValueExA(key, "ComDB", nullptr, &type, bits, &size) != ERROR_SUCCESS) size = 32;
    ::RegCloseKey(key);
  }
  std::vector<std::string> used;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                      KEY_READ | NativeView(), &key) == ERROR_SUCCESS) {
    char name[256];
    BYTE data[64];
    for (DWORD index = 0;; ++index) {
      DWORD nameLength = sizeof name;
      DWORD dataLength = sizeof data - 1;
      if (::RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, data, &dataLength) !=
          ERROR_SUCCESS) {
        break;
      }
      data[dataLength] = 0;
      used.push_back(Upper(reinterpret_cast<char*>(data)));
    }
    ::RegCloseKey(key);
  }
  for (DWORD n = 1; n <= size * 8; ++n) {
    BYTE mask = static_cast<BYTE>(1u << ((n - 1) % 8));
    if (bits[(n - 1) / 8] & mask) continue;
    bool named = false;
    for (const std::string& port : used) named = named || port == "COM" + std::to_string(n);
    if (named) continue;
    bits[(n - 1) / 8] |= mask;
    WriteValue(arbiter, "ComDB", type, bits, size);
    return static_cast<int>(n);
  }
  return 0;
}

// --- Windows 2000/XP --------------------------------------------------------------------

std::string InstanceName(int function) {
  if (function == 0) return "5&1A2B3C01&0&1";
  char name[32];
  std::snprintf(name, sizeof name, "6&2C3D4E01&0&%04d",
                phone::kFunctions[function].interfaceNumber);
  return name;
}

std::string InstancePath(int function) {
  return std::string("USB\\") + phone::kFunctions[function].deviceId + "\\" +
         InstanceName(function);
}

void CreateDriverService(const char* name, const char* description) {
  SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return;
  std::string image = std::string("system32\\DRIVERS\\") + name + ".sys";
  SC_HANDLE service = ::OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
  if (!service) {
    service = ::CreateServiceA(manager, name, description, SERVICE_ALL_ACCESS,
                               SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                               image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  if (service) ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
}

void WriteLastGood(const std::string& infName, const phone::Function& traits) {
  std::string windows = WindowsFolder();
  std::string stem = infName.substr(0, infName.find('.'));
  ::CreateDirectoryA((windows + "\\LastGood").c_str(), nullptr);
  ::CreateDirectoryA((windows + "\\LastGood\\INF").c_str(), nullptr);
  for (const std::string& name : {stem + ".inf", stem + ".PNF"}) {
    if (::CopyFileA((windows + "\\inf\\" + name).c_str(),
                    (windows + "\\LastGood\\INF\\" + name).c_str(), FALSE)) {
      WriteDword("SYSTEM\\LastKnownGoodRecovery\\LastGood", ("inf\\" + name).c_str(), 1);
    }
  }
  ::CreateDirectoryA((windows + "\\LastGood\\system32").c_str(), nullptr);
  for (const char* const* file = traits.driverFiles; *file; ++file) {
    CopyDriverFile(*file, windows + "\\LastGood\\system32\\DRIVERS");
  }
}

bool PlugNt(int function) {
  const phone::Function& traits = phone::kFunctions[function];
  EnsureNtSetupKeys();
  std::string device = std::string(kCurrentSet) + "Enum\\" + InstancePath(function);
  std::string id = std::string("USB\\") + traits.deviceId;
  WriteMulti(device, "HardwareID", {traits.hardwareIds[0], traits.hardwareIds[1]});
  WriteText(device, "DeviceDesc", traits.description);
  std::string infName = FindInf(id);
  if (infName.empty()) {
    WriteDword(device, "ConfigFlags", 0x40);
    Say("function " + std::to_string(function) + ": no INF in the INF folder names " + id);
    return false;
  }
  std::string driver = ReadText(device, "Driver");
  if (driver.empty()) {
    driver = std::string(traits.ntClassGuid) + "\\" +
             NextFreeNumber(std::string(kCurrentSet) + "Control\\Class\\" + traits.ntClassGuid);
  }
  std::string driverKey = std::string(kCurrentSet) + "Control\\Class\\" + driver;
  WriteText(driverKey, "DriverDesc", traits.description);
  WriteText(driverKey, "ProviderName", phone::kMaker);
  WriteText(driverKey, "InfPath", infName);
  WriteText(driverKey, "InfSection", traits.defaultSection);
  WriteText(driverKey, "MatchingDeviceId", Upper(id));

  WriteText(device, "Class", traits.ntClass);
  WriteText(device, "ClassGUID", traits.ntClassGuid);
  WriteMulti(device, "CompatibleIDs", {function == 0 ? "USB\\COMPOSITE" : "USB\\Class_02"});
  WriteText(device, "Driver", driver);
  WriteText(device, "Mfg", phone::kMaker);
  WriteText(device, "Service", traits.service);
  WriteDword(device, "ConfigFlags", 0);
  if (traits.lowerFilter) WriteMulti(device, "LowerFilters", {traits.lowerFilter});

  std::string drivers = WindowsFolder() + "\\system32\\drivers";
  for (const char* const* file = traits.driverFiles; *file; ++file) CopyDriverFile(*file, drivers);
  CreateDriverService(traits.service, traits.description);
  if (traits.lowerFilter) CreateDriverService(traits.lowerFilter, "ORVEX 3G GSM USB Modem Filter");

  std::string mangled = InstancePath(function);
  for (char& c : mangled) c = c == '\\' ? '#' : c;
  std::string link = std::string(kCurrentSet) + "Control\\DeviceClasses\\" + traits.interfaceGuid +
                     "\\##?#" + mangled + "#" + traits.interfaceGuid;
  WriteText(link, "DeviceInstance", InstancePath(function));
  WriteText(link + "\\#", "SymbolicLink", "\\\\?\\" + mangled + "#" + traits.interfaceGuid);

  std::string port;
  if (function > 0 && settings.assignPorts) {
    port = ReadText(device + "\\Device Parameters", "PortName");
    int number = port.empty() ? ClaimComNumber() : 0;
    if (number > 0) port = "COM" + std::to_string(number);
    if (!port.empty()) {
      WriteText(device + "\\Device Parameters", "PortName", port);
      WriteText("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", (port + ":").c_str(),
                "9600,n,8,1");
      WriteText("HARDWARE\\DEVICEMAP\\SERIALCOMM",
                ("\\Device\\" + std::string(traits.service) + "0").c_str(), port);
    }
  } else {
    WriteText(device + "\\Device Parameters", "SymbolicName", "\\??\\" + mangled);
  }
  if (function == phone::kModemFunction) {
    WriteText(driverKey, "AttachedTo", port);
    WriteText(
        std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\") +
            phone::kModemDescription + "::" + phone::kMaker + "::" + phone::kMaker,
        "Properties", phone::kModemDescription);
  }
  if (KeepsLastGood()) WriteLastGood(infName, traits);
  Say("function " + std::to_string(function) + " installed: " + InstancePath(function) + ", " +
      infName + (port.empty() ? "" : ", " + port));
  return true;
}

void UnplugNt() {
  for (int function = 0; function < phone::kFunctionCount; ++function) {
    std::string service = phone::kFunctions[function].service;
    HKEY map = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                        KEY_ALL_ACCESS | NativeView(), &map) == ERROR_SUCCESS) {
      ::RegDeleteValueA(map, ("\\Device\\" + service + "0").c_str());
      ::RegCloseKey(map);
    }
  }
  Say("unplugged: the serial ports are gone, the device keys stay");
}

// --- Windows 95/98/Me and NT 4 -----------------------------------------------------------

bool PlugLegacy(int function) {
  const phone::Function& traits = phone::kFunctions[function];
  std::string device = "Enum\\" + InstancePath(function);
  std::string id = std::string("USB\\") + traits.deviceId;
  std::string infName = FindInf(id);
  WriteText(device, "HardwareID",
            "USB\\VID_1F3C&PID_6B07&REV_0100" +
                id.substr(std::string("USB\\VID_1F3C&PID_6B07").size()) + "," + id);
  WriteText(device, "DeviceDesc", traits.description);
  if (infName.empty()) {
    Say("function " + std::to_string(function) + ": no INF in the INF folder names " + id);
    return false;
  }
  const std::string classTree = "System\\CurrentControlSet\\Services\\Class\\";
  auto driverKeyFor = [&](const std::string& key, const std::string& className) {
    std::string driver = ReadText(key, "Driver");
    if (driver.empty()) driver = className + "\\" + NextFreeNumber(classTree + className);
    WriteText(key, "Driver", driver);
    WriteText(classTree + driver, "DriverDesc", traits.description);
    WriteText(classTree + driver, "InfPath", Upper(infName));
    WriteText(classTree + driver, "ProviderName", phone::kMaker);
    return classTree + driver;
  };
  WriteText(device, "Class", "USB");
  WriteText(device, "Mfg", phone::kMaker);
  driverKeyFor(device, "USB");
  std::string port;
  if (function > 0) {
    std::string portDevice;
    for (const std::string& instance : SubKeys("Enum\\KV6CR\\guid")) {
      std::string key = "Enum\\KV6CR\\guid\\" + instance;
      if (Upper(ReadText(key, "CRLowerDeviceID")) == Upper(InstancePath(function)))
        portDevice = key;
    }
    if (portDevice.empty())
      portDevice = "Enum\\KV6CR\\guid\\" + NextFreeNumber("Enum\\KV6CR\\guid");
    WriteText(portDevice, "HardwareID", "KV6CR\\GUID");
    WriteText(portDevice, "Class", traits.legacyClass);
    WriteText(portDevice, "DeviceDesc", traits.description);
    WriteText(portDevice, "CRLowerDeviceID", InstancePath(function));
    std::string driverKey = driverKeyFor(portDevice, traits.legacyClass);
    port = ReadText(portDevice, "PortName");
    if (port.empty() && settings.assignPorts) {
      for (int n = 2; n < 256 && port.empty(); ++n) {
        std::string name = "COM" + std::to_string(n);
        if (ReadText("Hardware\\DeviceMap\\SerialComm", name.c_str()).empty()) port = name;
      }
      WriteText(portDevice, "PortName", port);
    }
    if (!port.empty()) {
      WriteText("Hardware\\DeviceMap\\SerialComm", port.c_str(), port);
      if (function == phone::kModemFunction) WriteText(driverKey, "AttachedTo", port);
    }
  }
  Say("function " + std::to_string(function) + " installed: " + InstancePath(function) + ", " +
      infName + (port.empty() ? "" : ", " + port));
  return true;
}

// --- The wizard -----------------------------------------------------------------------

struct WizardSearch {
  HWND found;
};

BOOL CALLBACK FindWizard(HWND window, LPARAM parameter) {
  char title[256] = {};
  ::GetWindowTextA(window, title, sizeof title);
  if (std::string(title) == kWizardTitle && ::GetDlgItem(window, kProgressId)) {
    reinterpret_cast<WizardSearch*>(parameter)->found = window;
    return FALSE;
  }
  return TRUE;
}

void NotifyWizard(WPARAM event) {
  WizardSearch search = {nullptr};
  ::EnumWindows(FindWizard, reinterpret_cast<LPARAM>(&search));
  if (!search.found) {
    Say("no wizard window to notify");
    return;
  }
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(search.found, WM_DEVICECHANGE, event, 0, SMTO_ABORTIFHUNG, 5000, &result);
  Say("WM_DEVICECHANGE sent to the wizard");
}

}  // namespace

int main(int argc, char** argv) {
  native_view::UseNativeFileSystem();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  bool failed = false;
  bool nt = UsesNtLayout();
  bool noUsb = HasNoUsb();
  const WPARAM kArrival = 0x8000;  // DBT_DEVICEARRIVAL
  const WPARAM kRemoved = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    auto number = [&]() -> int {
      if (i + 1 >= arguments.size()) return -1;
      int value = std::atoi(arguments[++i].c_str());
      return value >= 0 && value < phone::kFunctionCount ? value : -1;
    };
    if (word == "--package" && i + 1 < arguments.size()) {
      settings.package = arguments[++i];
    } else if (word == "--no-port") {
      settings.assignPorts = false;
    } else if (word == "--quiet") {
      settings.quiet = true;
    } else if (word == "plug" || word == "plug-all") {
      int first = word == "plug" ? number() : 0;
      int last = word == "plug" ? first : phone::kFunctionCount - 1;
      if (first < 0) {
        std::fprintf(stderr, "phone_simulator: plug needs a function number 0 to 3\n");
        return 2;
      }
      for (int function = first; function <= last; ++function) {
        if (noUsb) {
          Say("function " + std::to_string(function) +
              " not seen: Windows NT 4 has no USB support");
          continue;
        }
        failed = !(nt ? PlugNt(function) : PlugLegacy(function)) || failed;
        NotifyWizard(kArrival);
      }
    } else if (word == "unplug") {
      if (noUsb) continue;
      if (nt) UnplugNt();
      NotifyWizard(kRemoved);
    } else if (word == "remove") {
      int function = number();
      if (function < 0) return 2;
      std::string base = nt ? std::string(kCurrentSet) + "Enum\\USB" : std::string("Enum\\USB");
      HKEY key = nullptr;
      if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, KEY_ALL_ACCESS | NativeView(),
                          &key) == ERROR_SUCCESS) {
        DeleteTree(key, phone::kFunctions[function].deviceId);
        ::RegCloseKey(key);
      }
      Say("function " + std::to_string(function) + " removed");
      NotifyWizard(kRemoved);
    } else if (word == "notify") {
      NotifyWizard(0x0007);  // DBT_DEVNODES_CHANGED
    } else {
      std::fprintf(stderr, "phone_simulator: unknown argument %s\n", word.c_str());
      return 2;
    }
  }
  return failed ? 3 : 0;
}
