// Test tool of the removal run under Wine: plants what an installation of the
// phone leaves on a Windows 2000/XP machine, next to another maker's device,
// service and files, checks afterwards what is left, and plays the CD
// launcher's window.
//
//   removal_footprint.exe [--inf NAME] plant
//                                     the phone's footprint and the neighbours;
//                                     NAME is the phone's OEM INF (oem5.inf)
//   removal_footprint.exe [--inf NAME] [--set SET]... check
//                                     exit 0 when the phone's footprint is gone
//                                     and the neighbours are intact, also in
//                                     each control set SET planted with plant-set
//   removal_footprint.exe [--inf NAME] plant-set SET
//                                     the phone's devices as Plug and Play left
//                                     them in control set SET (a path below HKLM)
//                                     of a real machine: device, driver and
//                                     interface keys beside the machine's own,
//                                     the modem's COM number taken in its ComDB,
//                                     in a backup set (not ControlSet001) the
//                                     service keys; and the neighbour device
//   removal_footprint.exe stale SET INF
//                                     a stale instance of the phone's function 3
//                                     in SET whose driver key names INF, another
//                                     maker's
//   removal_footprint.exe launcher F  a window with the "CDROMLauncher" property
//                                     (and one with an integer-atom property);
//                                     writes to file F what each received, ends
//                                     when the launcher was notified or after 120 s
//   removal_footprint.exe hung-launcher F S
//                                     a launcher window whose thread takes no
//                                     messages for S seconds, then logs to F
//   removal_footprint.exe foreign-window F S
//                                     another program's window titled as the
//                                     installer's wizard, in front of it, whose
//                                     thread takes no messages for S seconds;
//                                     then it logs to F what it was sent
//
// Devices are planted two ways: as registry keys (what Plug and Play leaves),
// and, where Wine allows it, through SetupDiCreateDeviceInfoA and
// SetupDiRegisterDeviceInfo. Each step prints what it did and whether Wine
// allowed it.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kCcs[] = "SYSTEM\\CurrentControlSet\\";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const GUID kModemGuid = {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const char* const kPhoneServices[] = {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex"};
const char* const kPhoneDrivers[] = {"KV6bus.sys", "KV6cm.sys", "KV6mdfl.sys", "KV6mdm.sys",
                                     "KV6mgmt.sys", "KV6obex.sys", "KV6wh.sys", "KV6whnt.sys"};
const char kSettings[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";
constexpr int kDeviceIdCapacity = 200;
const char kCreatedIdFile[] = "C:\\removal_footprint_device.txt";
// The keys plant-set and stale made, one a line, for check.
const char kSetKeysFile[] = "C:\\removal_footprint_sets.txt";
const char kModemInterface[] = "{2C7089AA-2E0E-11D1-B114-00C04FC2AAE4}";
const char kModemInstance[] = "VID_1F3C&PID_6B07&Mi_03\\6&1&0&0003";
std::string g_phoneInf = "oem5.inf";
int failures = 0;

void Report(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

bool SetValue(const std::string& path, const char* name, DWORD type, const void* data,
              DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}
bool SetText(const std::string& path, const char* name, const std::string& text) {
  return SetValue(path, name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}
bool SetMulti(const std::string& path, const char* name, const std::string& first,
              const std::string& second) {
  std::string data = first + '\0' + second + '\0' + '\0';
  return SetValue(path, name, REG_MULTI_SZ, data.data(), DWORD(data.size()));
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WindowsFolder() {
  char folder[MAX_PATH + 1] = {};
  GetWindowsDirectoryA(folder, MAX_PATH);
  return folder;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(file);
  return true;
}

// Windows has ControlSet001 with CurrentControlSet a link to it; Wine has only
// CurrentControlSet. The program reads ControlSet001, so make the link.
void LinkControlSet001() {
  if (KeyExists("SYSTEM\\ControlSet001")) return;
  HKEY link = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001", 0, nullptr,
                                REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                                nullptr, &link, nullptr);
  if (status == ERROR_SUCCESS) {
    const wchar_t target[] = L"\\Registry\\Machine\\System\\CurrentControlSet";
    status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(target), sizeof target - sizeof(wchar_t));
    RegCloseKey(link);
  }
  Report(status == ERROR_SUCCESS, "ControlSet001 linked to CurrentControlSet");
}

bool ValueExists(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

// A class key's "Class" value, unless the machine has one.
bool ClassName(const std::string& classKey, const char* name) {
  return ValueExists(classKey, "Class") || SetText(classKey, "Class", name);
}

std::string FreeDriverNumber(const std::string& classKey, int from) {
  for (int n = from; n < 10000; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", n);
    if (!KeyExists(classKey + "\\" + name)) return name;
  }
  return "9999";
}

// The device keys of the phone's USB device and modem with their driver keys
// in control set `set` (its path and a backslash), and the neighbour's.
// Returns the driver keys' paths, empty when a step failed.
std::vector<std::string> PlantDeviceKeys(const std::string& set, const std::string& usbNumber,
                                         const std::string& modemNumber,
                                         const std::string& portName) {
  std::string classes = set + "Control\\Class\\";
  std::string usbDriver = std::string(kUsbClass) + "\\" + usbNumber;
  std::string modemDriver = std::string(kModemClass) + "\\" + modemNumber;
  bool ok = !KeyExists(classes + usbDriver) && !KeyExists(classes + modemDriver) &&
            ClassName(classes + kModemClass, "Modem") && ClassName(classes + kUsbClass, "USB") &&
            SetText(classes + usbDriver, "InfPath", g_phoneInf) &&
            SetText(classes + modemDriver, "InfPath", g_phoneInf);
  std::string enumUsb = set + "Enum\\USB\\";
  std::string phone = enumUsb + "VID_1F3C&PID_6B07\\5&1&0&1";
  ok = ok && SetText(phone, "ClassGUID", kUsbClass) &&
       SetText(phone, "DeviceDesc", "USB Composite Device") &&
       SetText(phone, "Driver", usbDriver) &&
       SetMulti(phone, "HardwareID", "USB\\Vid_1f3c&Pid_6b07&Rev_0100", "USB\\Vid_1f3c&Pid_6b07");
  std::string modem = enumUsb + kModemInstance;
  ok = ok && SetText(modem, "ClassGUID", kModemClass) &&
       SetText(modem, "DeviceDesc", "ORVEX 3G GSM USB Modem") &&
       SetText(modem, "Driver", modemDriver) &&
       SetMulti(modem, "HardwareID", "USB\\Vid_1f3c&Pid_6b07&Rev_0100&Mi_03",
                "USB\\Vid_1f3c&Pid_6b07&Mi_03");
  if (!portName.empty()) {
    ok = ok && SetText(modem + "\\Device Parameters", "PortName", portName);
  }
  // Another product whose ID extends the phone's, with the same description.
  std::string neighbour = enumUsb + "VID_1F3C&PID_6B070\\1";
  ok = ok && SetText(neighbour, "ClassGUID", kModemClass) &&
       SetText(neighbour, "DeviceDesc", "ORVEX 3G GSM USB Modem") &&
       SetMulti(neighbour, "HardwareID", "USB\\VID_1F3C&PID_6B070", "USB\\VID_1F3C&PID_6B070");
  Report(ok, "device keys of the phone's USB device and modem (driver keys " + usbNumber + ", " +
                 modemNumber + (portName.empty() ? "" : ", " + portName) +
                 "), and of the neighbour, in " + set);
  if (!ok) return {};
  return {classes + usbDriver, classes + modemDriver};
}

// The first COM number free in the set's ComDB, taken there; 0 when the set
// has no ComDB or no free number in it.
int TakeComNumber(const std::string& set) {
  std::string arbiter = set + "Control\\COM Name Arbiter";
  BYTE bits[261] = {};
  DWORD size = sizeof bits, type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, arbiter.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return 0;
  }
  LONG status = RegQueryValueExA(key, "ComDB", nullptr, &type, bits, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 0;
  for (DWORD n = 1; n <= size * 8; ++n) {
    BYTE mask = static_cast<BYTE>(1u << ((n - 1) % 8));
    if (bits[(n - 1) / 8] & mask) continue;
    bits[(n - 1) / 8] |= mask;
    return SetValue(arbiter, "ComDB", type, bits, size) ? static_cast<int>(n) : 0;
  }
  return 0;
}

// The whole file, empty when there is none.
std::string ReadFileText(const char* path) {
  std::string text;
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

void AppendLines(const std::vector<std::string>& lines) {
  std::string text = ReadFileText(kSetKeysFile);
  for (const std::string& line : lines) text += line + "\n";
  WriteFileText(kSetKeysFile, text);
}

// The phone as Plug and Play left it in a control set of a real machine.
void PlantSet(const std::string& setPath) {
  std::string set = setPath + "\\";
  int port = TakeComNumber(set);
  std::string portName = port ? "COM" + std::to_string(port) : std::string();
  Report(port != 0, "COM number taken in the ComDB of " + setPath + ": " +
                        (port ? portName : std::string("none")));
  std::string classes = set + "Control\\Class\\";
  std::vector<std::string> keys =
      PlantDeviceKeys(set, FreeDriverNumber(classes + kUsbClass, 0),
                      FreeDriverNumber(classes + kModemClass, 0), portName);
  std::string mangled = std::string("USB#") + kModemInstance;
  for (char& c : mangled) c = c == '\\' ? '#' : c;
  std::string link = set + "Control\\DeviceClasses\\" + kModemInterface + "\\##?#" + mangled +
                     "#" + kModemInterface;
  bool ok = SetText(link, "DeviceInstance", std::string("USB\\") + kModemInstance) &&
            SetText(link + "\\#", "SymbolicLink", "\\\\?\\" + mangled + "#" + kModemInterface);
  Report(ok, "the modem's interface key in " + setPath);
  keys.push_back(link);
  keys.push_back(set + "Enum\\USB\\VID_1F3C&PID_6B07");
  keys.push_back(set + "Enum\\USB\\VID_1F3C&PID_6B07&Mi_03");
  // A backup set holds copies of the services, written as keys.
  if (_stricmp(setPath.c_str(), "SYSTEM\\ControlSet001") != 0) {
    std::string names[6] = {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex", "KV6bus0"};
    ok = true;
    for (const std::string& name : names) {
      std::string key = set + "Services\\" + name;
      std::string image = "System32\\DRIVERS\\" + name + ".sys";
      DWORD type = SERVICE_KERNEL_DRIVER, start = SERVICE_DEMAND_START;
      ok = ok && !KeyExists(key) && SetValue(key, "Type", REG_DWORD, &type, sizeof type) &&
           SetValue(key, "Start", REG_DWORD, &start, sizeof start) &&
           SetValue(key, "ImagePath", REG_EXPAND_SZ, image.c_str(), DWORD(image.size() + 1));
      if (name != "KV6bus0") keys.push_back(key);
    }
    Report(ok, "service keys KV6bus, KV6mdfl, KV6mdm, KV6mgmt, KV6obex and the neighbour "
               "KV6bus0 in " + setPath);
  }
  AppendLines(keys);
}

// A stale instance of the phone's function 3 (left from an earlier
// installation) whose driver key names another maker's INF.
void PlantStale(const std::string& setPath, const std::string& inf) {
  std::string set = setPath + "\\";
  std::string classKey = set + "Control\\Class\\" + kModemClass;
  std::string number = FreeDriverNumber(classKey, 90);
  std::string device = set + "Enum\\USB\\VID_1F3C&PID_6B07&Mi_07";
  bool ok = !KeyExists(device) &&
            SetText(device + "\\0000", "Driver", std::string(kModemClass) + "\\" + number) &&
            SetText(classKey + "\\" + number, "InfPath", inf);
  Report(ok, "a stale instance of the phone's function 3 in " + setPath + ", driver key " +
                 number + " naming " + inf);
  AppendLines({device, classKey + "\\" + number});
}

// A root-enumerated modem with the phone's description and hardware ID,
// through the Setup API as a device installer would make it.
void PlantSetupApiDevice() {
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kModemGuid, nullptr);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  const char ids[] = "USB\\VID_1F3C&PID_6B07&MI_03\0";
  const char description[] = "ORVEX 3G GSM USB Modem";
  bool created =
      set != INVALID_HANDLE_VALUE &&
      SetupDiCreateDeviceInfoA(set, "MODEM", &kModemGuid, nullptr, nullptr, DICD_GENERATE_ID,
                               &device) &&
      SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                        reinterpret_cast<const BYTE*>(ids), sizeof ids) &&
      SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_DEVICEDESC,
                                        reinterpret_cast<const BYTE*>(description),
                                        sizeof description) &&
      SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
  DWORD error = created ? 0 : GetLastError();
  char id[kDeviceIdCapacity] = {};
  if (created) SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr);
  if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
  WriteFileText(kCreatedIdFile, id);
  std::printf("%s Setup API device %s (error %lu)\n", created ? "ok  " : "note",
              created ? id : "not created", static_cast<unsigned long>(error));
}

void PlantServices() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  bool ok = manager != nullptr;
  std::string names[6] = {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex", "KV6bus0"};
  for (const std::string& name : names) {
    std::string image = "System32\\DRIVERS\\" + name + ".sys";
    SC_HANDLE service = manager ? CreateServiceA(manager, name.c_str(), name.c_str(),
                                                 SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                                 image.c_str(), nullptr, nullptr, nullptr,
                                                 nullptr, nullptr)
                                : nullptr;
    ok = ok && service != nullptr;
    if (service) CloseServiceHandle(service);
  }
  if (manager) CloseServiceHandle(manager);
  Report(ok, "services KV6bus, KV6mdfl, KV6mdm, KV6mgmt, KV6obex and the neighbour KV6bus0");
}

void PlantFiles() {
  std::string windows = WindowsFolder();
  std::string drivers = windows + "\\system32\\drivers\\";
  bool ok = true;
  for (const char* name : kPhoneDrivers) ok = WriteFileText(drivers + name, "MZ phone") && ok;
  ok = WriteFileText(drivers + "KV6bus0.sys", "MZ neighbour") && ok;
  std::string stem = g_phoneInf.substr(0, g_phoneInf.rfind('.'));
  Report(!FileExists(windows + "\\inf\\" + g_phoneInf), "the name " + g_phoneInf + " is free");
  ok = WriteFileText(windows + "\\inf\\" + g_phoneInf,
                     "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
                     "[Manufacturer]\r\n%Orvex%=ORVEX\r\n[ORVEX]\r\n"
                     "%Modem%=Modem,USB\\VID_1F3C&PID_6B07&MI_07\r\n"
                     "[Strings]\r\nOrvex=\"ORVEX\"\r\nModem=\"ORVEX 3G GSM USB Modem\"\r\n") &&
       ok;
  ok = WriteFileText(windows + "\\inf\\" + stem + ".PNF", "PNF") && ok;
  ok = WriteFileText(windows + "\\inf\\oem6.inf",
                     "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n"
                     "[Manufacturer]\r\n%Acme%=Acme,NTamd64\r\n[Acme.NTamd64]\r\n"
                     "%Port%=Port,USB\\VID_1F3C&PID_6B070\r\n"
                     "[Strings]\r\nAcme=\"Acme\"\r\nPort=\"Acme USB Port\"\r\n") &&
       ok;
  Report(ok, "driver files, " + stem + ".inf/.PNF of the phone, oem6.inf and KV6bus0.sys of the "
             "neighbour");
  DWORD flag = 1;
  Report(SetValue(kSettings, "InstallFlag", REG_DWORD, &flag, sizeof flag), "InstallFlag = 1");
}

// Prints the values and sub-keys of a key below HKLM, for a failure's log.
void DescribeKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char name[256];
  BYTE data[512];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) {
      break;
    }
    data[dataSize] = 0;
    std::printf("      value %s type %lu: %s\n", name, static_cast<unsigned long>(type),
                type == REG_SZ ? reinterpret_cast<char*>(data) : "(not text)");
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    std::printf("      sub-key %s\n", name);
  }
  RegCloseKey(key);
}

bool ServiceExists(SC_HANDLE manager, const char* name) {
  SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
  if (service) CloseServiceHandle(service);
  return service != nullptr;
}

// What plant-set and stale left in the real machine's control sets: every
// key they made is gone, the neighbour device stays, and in a backup set the
// neighbour's service key stays.
void CheckSet(const std::string& setPath) {
  std::string set = setPath + "\\";
  Report(KeyExists(set + "Enum\\USB\\VID_1F3C&PID_6B070\\1"),
         "the neighbour device stays in " + setPath);
  if (_stricmp(setPath.c_str(), "SYSTEM\\ControlSet001") != 0) {
    Report(KeyExists(set + "Services\\KV6bus0"), "the neighbour's service key stays in " + setPath);
  }
  std::string text = ReadFileText(kSetKeysFile);
  size_t keys = 0, left = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string key = text.substr(at, end - at);
    at = end + 1;
    if (_strnicmp(key.c_str(), set.c_str(), set.size()) != 0) continue;
    ++keys;
    if (KeyExists(key)) {
      ++left;
      std::printf("      left: %s\n", key.c_str());
      DescribeKey(key);
    }
  }
  Report(keys > 0 && left == 0,
         "the " + std::to_string(keys) + " keys of the phone planted in " + setPath + " are gone");
}

int Check(const std::vector<std::string>& sets) {
  for (const std::string& set : sets) CheckSet(set);
  std::string enumUsb = std::string(kCcs) + "Enum\\USB\\";
  Report(!KeyExists(enumUsb + "VID_1F3C&PID_6B07"), "the phone's USB device key is gone");
  Report(!KeyExists(enumUsb + "VID_1F3C&PID_6B07&Mi_03"), "the phone's modem key is gone");
  Report(KeyExists(enumUsb + "VID_1F3C&PID_6B070\\1"), "the neighbour device stays");
  char created[kDeviceIdCapacity] = {};
  HANDLE file = CreateFileA(kCreatedIdFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD read = 0;
    ReadFile(file, created, sizeof created - 1, &read, nullptr);
    CloseHandle(file);
  }
  if (created[0] != '\0') {
    std::string key = std::string(kCcs) + "Enum\\" + created;
    bool gone = !KeyExists(key);
    Report(gone, std::string("the Setup API modem ") + created + " is gone");
    // If the device stays, what its key holds tells whether it was never
    // removed (all its values) or written again afterwards (ClassGUID and
    // Class only, as Wine's Setup API writes them when it lists a device).
    if (!gone) DescribeKey(key);
  }
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  for (const char* name : kPhoneServices) {
    Report(!ServiceExists(manager, name) && !KeyExists(std::string(kCcs) + "Services\\" + name),
           std::string("service ") + name + " is gone");
  }
  Report(ServiceExists(manager, "KV6bus0"), "the neighbour service KV6bus0 stays");
  if (manager) CloseServiceHandle(manager);
  std::string windows = WindowsFolder();
  for (const char* name : kPhoneDrivers) {
    Report(!FileExists(windows + "\\system32\\drivers\\" + name), std::string(name) + " is gone");
  }
  std::string stem = g_phoneInf.substr(0, g_phoneInf.rfind('.'));
  Report(!FileExists(windows + "\\inf\\" + g_phoneInf) &&
             !FileExists(windows + "\\inf\\" + stem + ".PNF"),
         g_phoneInf + " and " + stem + ".PNF are gone");
  Report(FileExists(windows + "\\inf\\oem6.inf"), "the neighbour's oem6.inf stays");
  Report(FileExists(windows + "\\system32\\drivers\\KV6bus0.sys"), "KV6bus0.sys stays");
  HKEY key = nullptr;
  DWORD flag = 99;
  DWORD size = sizeof flag;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    RegQueryValueExA(key, "InstallFlag", nullptr, nullptr, reinterpret_cast<BYTE*>(&flag), &size);
    RegCloseKey(key);
  }
  Report(flag == 0, "InstallFlag = 0");
  return failures == 0 ? 0 : 1;
}

// ---- The launcher's windows.
std::string g_log;
const char* g_logPath = nullptr;

int g_notified = 0;

LRESULT CALLBACK LauncherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE) {
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    char line[160];
    std::snprintf(line, sizeof line, "%s: WM_DEVICECHANGE %lu %ld\n", title,
                  static_cast<unsigned long>(wParam), static_cast<long>(lParam));
    g_log += line;
    WriteFileText(g_logPath, g_log);
    if (++g_notified == 1) PostQuitMessage(0);
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Launcher(const char* logPath) {
  g_logPath = logPath;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = LauncherProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "UsbInstTestLauncher";
  RegisterClassA(&windowClass);
  // A window whose only property is an integer atom is not a launcher.
  HWND other = CreateWindowA("UsbInstTestLauncher", "Atom window", WS_OVERLAPPEDWINDOW, 0, 0,
                             200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetPropA(other, MAKEINTATOM(0x1234), reinterpret_cast<HANDLE>(1));
  HWND launcher = CreateWindowA("UsbInstTestLauncher", "CD launcher", WS_OVERLAPPEDWINDOW, 0, 0,
                                200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetPropA(launcher, "CDROMLauncher", reinterpret_cast<HANDLE>(1));
  WriteFileText(logPath, "ready\n");
  g_log = "ready\n";
  SetTimer(nullptr, 0, 120000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) break;
    DispatchMessageA(&message);
  }
  DestroyWindow(launcher);
  DestroyWindow(other);
  return 0;
}

// A CD launcher whose window thread takes no messages for `seconds` (as a
// launcher that waits on its window thread for the installer it started):
// writes "ready" once its window carries the property, then sleeps without
// pumping, then takes what was sent meanwhile and logs it.
int HungLauncher(const char* logPath, int seconds) {
  g_logPath = logPath;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = LauncherProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "UsbInstTestHungLauncher";
  RegisterClassA(&windowClass);
  HWND launcher = CreateWindowA("UsbInstTestHungLauncher", "Hung launcher", WS_OVERLAPPEDWINDOW,
                                0, 0, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetPropA(launcher, "CDROMLauncher", reinterpret_cast<HANDLE>(1));
  WriteFileText(logPath, "ready\n");
  g_log = "ready\n";
  Sleep(static_cast<DWORD>(seconds) * 1000);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  DestroyWindow(launcher);
  return 0;
}

LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    g_log += "foreign window: WM_CLOSE\n";
    WriteFileText(g_logPath, g_log);
    return 0;  // another program decides for itself whether to close
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Another program's window that carries the installer's title, put in front
// of every other window, whose thread sleeps for `seconds` without taking
// messages (hung). Writes "ready", then "awake" when it takes messages again,
// each message that matters as it handles it, and "done" at the end.
int ForeignWindow(const char* logPath, int seconds) {
  g_logPath = logPath;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ForeignProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "UsbInstTestForeignWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("UsbInstTestForeignWindow", "ORVEX 3G/GSM USB Driver Installer",
                              WS_OVERLAPPEDWINDOW, 50, 50, 300, 150, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  g_log = "ready\n";
  WriteFileText(logPath, g_log);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  g_log += "awake\n";
  WriteFileText(logPath, g_log);
  // Whatever was sent meanwhile is handled now; a sender still waiting for
  // the answer gets it here.
  DWORD until = GetTickCount() + 2000;
  MSG message;
  while (GetTickCount() < until) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(50);
  }
  DestroyWindow(window);
  g_log += "done\n";
  WriteFileText(logPath, g_log);
  return 0;
}

BOOL CALLBACK PrintProperty(HWND window, LPCSTR name, HANDLE) {
  if (reinterpret_cast<ULONG_PTR>(name) < 0xC000) {
    std::printf("  %p atom %lu\n", static_cast<void*>(window),
                static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(name)));
  } else {
    std::printf("  %p \"%s\"\n", static_cast<void*>(window), name);
  }
  return TRUE;
}
BOOL CALLBACK PrintProperties(HWND window, LPARAM) {
  EnumPropsA(window, PrintProperty);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> sets;
  int first = 1;
  for (; first + 1 < argc; first += 2) {
    std::string option = argv[first];
    if (option == "--inf") {
      g_phoneInf = argv[first + 1];
    } else if (option == "--set") {
      sets.push_back(argv[first + 1]);
    } else {
      break;
    }
  }
  std::string mode = first < argc ? argv[first] : "";
  argc -= first - 1;
  argv += first - 1;
  if (mode == "plant") {
    LinkControlSet001();
    PlantDeviceKeys(kCcs, "0100", "0101", "");
    PlantSetupApiDevice();
    PlantServices();
    PlantFiles();
    return failures == 0 ? 0 : 1;
  }
  if (mode == "plant-set" && argc > 2) {
    PlantSet(argv[2]);
    return failures == 0 ? 0 : 1;
  }
  if (mode == "stale" && argc > 3) {
    PlantStale(argv[2], argv[3]);
    return failures == 0 ? 0 : 1;
  }
  if (mode == "check") return Check(sets);
  if (mode == "props") return EnumWindows(PrintProperties, 0) ? 0 : 1;
  if (mode == "launcher" && argc > 2) return Launcher(argv[2]);
  if (mode == "hung-launcher" && argc > 3) return HungLauncher(argv[2], std::atoi(argv[3]));
  if (mode == "foreign-window" && argc > 3) return ForeignWindow(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr,
               "usage: removal_footprint.exe [--inf NAME] [--set SET]... plant | check | "
               "plant-set SET | stale SET INF | launcher FILE | "
               "hung-launcher FILE SECONDS | foreign-window FILE SECONDS\n");
  return 2;
}
