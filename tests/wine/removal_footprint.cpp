// Test tool of the removal run under Wine: plants what an installation of the
// phone leaves on a Windows 2000/XP machine, next to another maker's device,
// service and files, checks afterwards what is left, and plays the CD
// launcher's window.
//
//   removal_footprint.exe plant       the phone's footprint and the neighbours
//   removal_footprint.exe check       exit 0 when the phone's footprint is gone
//                                     and the neighbours are intact
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

void PlantDeviceKeys() {
  std::string classes = std::string(kCcs) + "Control\\Class\\";
  bool ok = SetText(classes + kModemClass, "Class", "Modem") &&
            SetText(classes + kUsbClass, "Class", "USB") &&
            SetText(classes + kUsbClass + "\\0100", "InfPath", "oem5.inf") &&
            SetText(classes + kModemClass + "\\0101", "InfPath", "oem5.inf");
  std::string enumUsb = std::string(kCcs) + "Enum\\USB\\";
  std::string phone = enumUsb + "VID_1F3C&PID_6B07\\5&1&0&1";
  ok = ok && SetText(phone, "ClassGUID", kUsbClass) &&
       SetText(phone, "DeviceDesc", "USB Composite Device") &&
       SetText(phone, "Driver", std::string(kUsbClass) + "\\0100") &&
       SetMulti(phone, "HardwareID", "USB\\Vid_1f3c&Pid_6b07&Rev_0100", "USB\\Vid_1f3c&Pid_6b07");
  std::string modem = enumUsb + "VID_1F3C&PID_6B07&Mi_03\\6&1&0&0003";
  ok = ok && SetText(modem, "ClassGUID", kModemClass) &&
       SetText(modem, "DeviceDesc", "ORVEX 3G GSM USB Modem") &&
       SetText(modem, "Driver", std::string(kModemClass) + "\\0101") &&
       SetMulti(modem, "HardwareID", "USB\\Vid_1f3c&Pid_6b07&Rev_0100&Mi_03",
                "USB\\Vid_1f3c&Pid_6b07&Mi_03");
  // Another product whose ID extends the phone's, with the same description.
  std::string neighbour = enumUsb + "VID_1F3C&PID_6B070\\1";
  ok = ok && SetText(neighbour, "ClassGUID", kModemClass) &&
       SetText(neighbour, "DeviceDesc", "ORVEX 3G GSM USB Modem") &&
       SetMulti(neighbour, "HardwareID", "USB\\VID_1F3C&PID_6B070", "USB\\VID_1F3C&PID_6B070");
  Report(ok, "device keys of the phone's USB device and modem, and of the neighbour");
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
  ok = WriteFileText(windows + "\\inf\\oem5.inf",
                     "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
                     "[Manufacturer]\r\n%Orvex%=ORVEX\r\n[ORVEX]\r\n"
                     "%Modem%=Modem,USB\\VID_1F3C&PID_6B07&MI_07\r\n"
                     "[Strings]\r\nOrvex=\"ORVEX\"\r\nModem=\"ORVEX 3G GSM USB Modem\"\r\n") &&
       ok;
  ok = WriteFileText(windows + "\\inf\\oem5.PNF", "PNF") && ok;
  ok = WriteFileText(windows + "\\inf\\oem6.inf",
                     "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n"
                     "[Manufacturer]\r\n%Acme%=Acme,NTamd64\r\n[Acme.NTamd64]\r\n"
                     "%Port%=Port,USB\\VID_1F3C&PID_6B070\r\n"
                     "[Strings]\r\nAcme=\"Acme\"\r\nPort=\"Acme USB Port\"\r\n") &&
       ok;
  Report(ok, "driver files, oem5.inf/.PNF of the phone, oem6.inf and KV6bus0.sys of the neighbour");
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

int Check() {
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
  Report(!FileExists(windows + "\\inf\\oem5.inf") && !FileExists(windows + "\\inf\\oem5.PNF"),
         "oem5.inf and oem5.PNF are gone");
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
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "plant") {
    LinkControlSet001();
    PlantDeviceKeys();
    PlantSetupApiDevice();
    PlantServices();
    PlantFiles();
    return failures == 0 ? 0 : 1;
  }
  if (mode == "check") return Check();
  if (mode == "props") return EnumWindows(PrintProperties, 0) ? 0 : 1;
  if (mode == "launcher" && argc > 2) return Launcher(argv[2]);
  if (mode == "hung-launcher" && argc > 3) return HungLauncher(argv[2], std::atoi(argv[3]));
  if (mode == "foreign-window" && argc > 3) return ForeignWindow(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr,
               "usage: removal_footprint.exe plant | check | launcher FILE | "
               "hung-launcher FILE SECONDS | foreign-window FILE SECONDS\n");
  return 2;
}
