// The machine images: the registry and the folders of a fresh installation of
// each Windows version, with the keys and files of other drivers and devices that
// a real machine holds, so that tests see whether the installer touches only what
// is its own.
#include "platform/sim/machine_image.h"

#include <cstring>
#include <string>

#include "platform/sim/driver_store.h"
#include "platform/sim/key_security.h"
#include "platform/sim/machine.h"

namespace sim {

namespace {

const char kPortsClass[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kMouseClass[] = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";
const char kComPortInterface[] = "{86E0D1E0-8089-11D0-9CE4-08003E301F73}";

bool Is9x(WindowsVersion version) { return !IsNtFamily(version); }
bool AtLeast(WindowsVersion version, WindowsVersion floor) { return version >= floor; }

struct Image {
  Machine& machine;
  RegistryModel& reg;
  FileSystem& files;
  WindowsVersion version;
  std::string windows;  // e.g. C:\WINDOWS
  std::string system;   // e.g. C:\WINDOWS\system32
};

// --- NT family ----------------------------------------------------------------------

void SeedControlSet(Image& image, const std::string& set) {
  RegistryModel& reg = image.reg;
  HKEY lm = HKEY_LOCAL_MACHINE;
  bool usb = AtLeast(image.version, WindowsVersion::Windows2000);
  std::string control = set + "\\Control";
  std::string classes = control + "\\Class\\";
  reg.SetString(lm, classes + kPortsClass, "Class", "Ports");
  reg.SetString(lm, classes + kPortsClass, "", "Ports (COM & LPT)");
  reg.SetString(lm, classes + kPortsClass + "\\0000", "DriverDesc", "Communications Port");
  reg.SetString(lm, classes + kPortsClass + "\\0000", "InfPath", "msports.inf");
  reg.SetString(lm, classes + kPortsClass + "\\0000", "InfSection", "ComPort");
  reg.SetString(lm, classes + kModemClass, "Class", "Modem");
  reg.SetString(lm, classes + kModemClass, "", "Modems");
  reg.SetString(lm, classes + kMouseClass, "Class", "Mouse");
  reg.SetString(lm, classes + kMouseClass + "\\0000", "DriverDesc", "HID-compliant mouse");
  reg.SetString(lm, classes + kMouseClass + "\\0000", "InfPath", "msmouse.inf");
  if (usb) {
    reg.SetString(lm, classes + kUsbClass, "Class", "USB");
    reg.SetString(lm, classes + kUsbClass + "\\0000", "DriverDesc", "USB Root Hub");
    reg.SetString(lm, classes + kUsbClass + "\\0000", "InfPath", "usb.inf");
  }

  std::string enumRoot = set + "\\Enum\\Root\\";
  reg.SetString(lm, enumRoot + "LEGACY_SERIAL\\0000", "Service", "Serial");
  reg.SetString(lm, enumRoot + "LEGACY_SERIAL\\0000", "Class", "LegacyDriver");
  // NT 4 has no Plug and Play device tree of its own (its Enum holds the
  // legacy drivers' entries) and no COM port database.
  if (usb) {
    std::string com1 = set + "\\Enum\\ACPI\\PNP0501\\1";
    reg.SetString(lm, com1, "Class", "Ports");
    reg.SetString(lm, com1, "ClassGUID", kPortsClass);
    reg.SetString(lm, com1, "Driver", std::string(kPortsClass) + "\\0000");
    reg.SetString(lm, com1 + "\\Device Parameters", "PortName", "COM1");
    std::string hub = set + "\\Enum\\USB\\ROOT_HUB\\4&1b9a8c1&0";
    reg.SetString(lm, hub, "Class", "USB");
    reg.SetString(lm, hub, "ClassGUID", kUsbClass);
    reg.SetString(lm, hub, "Driver", std::string(kUsbClass) + "\\0000");
    reg.SetMultiString(lm, hub, "HardwareID", {"USB\\ROOT_HUB&VID8086&PID7112", "USB\\ROOT_HUB"});
    std::string mouse = set + "\\Enum\\USB\\Vid_045e&Pid_0040\\5&2a3d7d9&0&1";
    reg.SetString(lm, mouse, "Class", "HIDClass");
    reg.SetString(lm, mouse, "Service", "HidUsb");
    reg.SetMultiString(lm, mouse, "HardwareID", {"USB\\Vid_045e&Pid_0040&Rev_0300"});
    std::string ports = control + "\\DeviceClasses\\" + kComPortInterface;
    std::string link = ports + "\\##?#ACPI#PNP0501#1#" + kComPortInterface;
    reg.SetString(lm, link, "DeviceInstance", "ACPI\\PNP0501\\1");
    reg.CreateKey(lm, link + "\\#");
    std::vector<uint8_t> comDb(32, 0);
    reg.SetValue(lm, control + "\\COM Name Arbiter", "ComDB", REG_BINARY, comDb);
  }

  struct Service {
    const char* name;
    const char* image;
    uint32_t type;
    uint32_t start;
  };
  const Service services[] = {
      {"Serial", "System32\\DRIVERS\\serial.sys", 1, 1},
      {"Modem", "System32\\Drivers\\Modem.SYS", 1, 3},
      {"usbhub", "System32\\DRIVERS\\usbhub.sys", 1, 3},
      {"i8042prt", "System32\\DRIVERS\\i8042prt.sys", 1, 1},
      {"Eventlog", "%SystemRoot%\\system32\\services.exe", 32, 2},
  };
  for (const Service& service : services) {
    if (!usb && std::string(service.name) == "usbhub") continue;
    std::string key = set + "\\Services\\" + service.name;
    reg.SetDword(lm, key, "Type", service.type);
    reg.SetDword(lm, key, "Start", service.start);
    reg.SetDword(lm, key, "ErrorControl", 1);
    reg.SetValue(lm, key, "ImagePath", REG_EXPAND_SZ,
                 std::vector<uint8_t>(service.image, service.image + strlen(service.image) + 1));
  }
  if (image.version >= WindowsVersion::WindowsXPSP1 &&
      image.version <= WindowsVersion::WindowsXPSP3) {
    uint32_t servicePack = image.version == WindowsVersion::WindowsXPSP1   ? 0x100
                           : image.version == WindowsVersion::WindowsXPSP2 ? 0x200
                                                                           : 0x300;
    reg.SetDword(lm, control + "\\Windows", "CSDVersion", servicePack);
  }
}

void SeedNtRegistry(Image& image) {
  RegistryModel& reg = image.reg;
  HKEY lm = HKEY_LOCAL_MACHINE;
  reg.SetDword(lm, "SYSTEM\\Select", "Current", 1);
  reg.SetDword(lm, "SYSTEM\\Select", "Default", 1);
  reg.SetDword(lm, "SYSTEM\\Select", "Failed", 0);
  reg.SetDword(lm, "SYSTEM\\Select", "LastKnownGood", 2);
  SeedControlSet(image, "SYSTEM\\ControlSet001");
  SeedControlSet(image, "SYSTEM\\ControlSet002");
  reg.CreateKey(lm, "SYSTEM\\CurrentControlSet");
  KeyRef system;
  reg.Find(reg.PredefinedRoot(lm), "SYSTEM", &system);
  system->children.at("CURRENTCONTROLSET")->currentControlSetLink = true;
  reg.SetValue(lm, "SYSTEM\\MountedDevices", "\\DosDevices\\C:", REG_BINARY,
               {0x5A, 0x3C, 0x1B, 0x9E, 0x00, 0x7E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  if (KeepsLastGood(image.version)) {
    const char lastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
    reg.SetDword(lm, lastGood, "inf\\oem3.inf", 1);
    reg.SetDword(lm, lastGood, "inf\\oem3.PNF", 1);
    reg.SetDword(lm, lastGood, "system32\\DRIVERS\\prnfilt.sys", 1);
  }

  // Windows 10 and 11 keep "6.3" in CurrentVersion for old programs and give
  // their real version in CurrentMajorVersionNumber and CurrentBuildNumber.
  const char* versionText = image.version == WindowsVersion::WindowsNT4     ? "4.0"
                            : image.version == WindowsVersion::Windows2000  ? "5.0"
                            : image.version == WindowsVersion::WindowsVista ? "6.0"
                            : image.version == WindowsVersion::Windows7     ? "6.1"
                            : image.version >= WindowsVersion::Windows81    ? "6.3"
                                                                            : "5.1";
  std::string nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  reg.SetString(lm, nt, "CurrentVersion", versionText);
  if (image.version >= WindowsVersion::Windows81) {
    const VersionImage& real = VersionImageOf(image.version);
    reg.SetString(lm, nt, "CurrentBuildNumber", std::to_string(real.build));
    reg.SetString(lm, nt, "CurrentBuild", std::to_string(real.build));
  }
  if (image.version >= WindowsVersion::Windows10) {
    reg.SetDword(lm, nt, "CurrentMajorVersionNumber", 10);
    reg.SetDword(lm, nt, "CurrentMinorVersionNumber", 0);
  }
  reg.SetString(lm, nt, "SystemRoot", image.windows);
  // (Windows 11 still names itself "Windows 10" here.)
  reg.SetString(lm, nt, "ProductName",
                image.version >= WindowsVersion::Windows10 ? "Windows 10 Pro" : "Microsoft Windows");
  if (image.version >= WindowsVersion::WindowsXPSP1 &&
      image.version <= WindowsVersion::WindowsXPSP3) {
    int pack = image.version == WindowsVersion::WindowsXPSP1   ? 1
               : image.version == WindowsVersion::WindowsXPSP2 ? 2
                                                               : 3;
    reg.SetString(lm, nt, "CSDVersion", "Service Pack " + std::to_string(pack));
  }
  const char* ports = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
  // Windows' set-up lists COM1: to COM4: whatever ports the machine has.
  for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:"}) {
    reg.SetString(lm, ports, port, "9600,n,8,1");
  }
  reg.SetString(lm, ports, "FILE:", "");
  reg.SetString(lm, ports, "LPT1:", "");
  reg.SetString(lm, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0", "COM1");
  reg.SetString(lm, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "Identifier",
                "x86 Family 6 Model 8 Stepping 3");
  std::string devicePath = "%SystemRoot%\\inf";
  reg.SetValue(
      lm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "DevicePath", REG_EXPAND_SZ,
      std::vector<uint8_t>(devicePath.c_str(), devicePath.c_str() + devicePath.size() + 1));
}

// Windows 2000 and later keep the device tree of every control set writable by
// SYSTEM only; an administrator can read it and change its DACL. Keys created
// below it later (by Plug and Play) inherit that protection.
void ProtectDeviceTrees(Image& image) {
  if (!AtLeast(image.version, WindowsVersion::Windows2000)) return;
  for (const char* set : {"SYSTEM\\ControlSet001\\Enum", "SYSTEM\\ControlSet002\\Enum"}) {
    KeyRef key;
    if (image.reg.Find(image.reg.PredefinedRoot(HKEY_LOCAL_MACHINE), set, &key) == ERROR_SUCCESS) {
      ProtectAsDeviceTree(*key);
    }
  }
}

// Windows 2000 and later let a standard user read HKLM\SOFTWARE but write none
// of it; a key an installer creates below it later inherits that protection.
// (NT 4 keeps the image without it: the program checks no rights there.)
void ProtectSoftwareTree(Image& image) {
  if (!AtLeast(image.version, WindowsVersion::Windows2000)) return;
  KeyRef key;
  if (image.reg.Find(image.reg.PredefinedRoot(HKEY_LOCAL_MACHINE), "SOFTWARE", &key) ==
      ERROR_SUCCESS) {
    ProtectAsSoftwareTree(*key);
  }
}

// --- Windows 95, 98, Me ----------------------------------------------------------

void Seed9xRegistry(Image& image) {
  RegistryModel& reg = image.reg;
  HKEY lm = HKEY_LOCAL_MACHINE;
  std::string classes = "System\\CurrentControlSet\\Services\\Class\\";
  reg.SetString(lm, classes + "Ports", "", "Ports (COM & LPT)");
  reg.SetString(lm, classes + "Ports\\0000", "DriverDesc", "Communications Port");
  reg.SetString(lm, classes + "Ports\\0000", "InfPath", "MSPORTS.INF");
  reg.SetString(lm, classes + "Modem", "", "Modem");
  reg.SetString(lm, classes + "USB", "", "Universal serial bus controller");
  reg.SetString(lm, classes + "USB\\0000", "DriverDesc", "USB Root Hub");
  reg.SetString(lm, classes + "USB\\0000", "InfPath", "USB.INF");
  reg.SetString(lm, "System\\CurrentControlSet\\Services\\VxD\\VCOMM", "StaticVxD", "*vcomm");
  reg.SetString(lm, "System\\CurrentControlSet\\Control\\SessionManager", "GlobalLock", "0");

  reg.SetString(lm, "Enum\\Root\\*PNP0500\\0000", "Class", "Ports");
  reg.SetString(lm, "Enum\\Root\\*PNP0500\\0000", "Driver", "Ports\\0000");
  reg.SetString(lm, "Enum\\Root\\*PNP0500\\0000", "PORTNAME", "COM1");
  reg.SetString(lm, "Enum\\USB\\ROOT_HUB\\PCI&VEN_8086&DEV_7112&SUBSYS_00000000&REV_01", "Class",
                "USB");
  reg.SetString(lm, "Enum\\USB\\ROOT_HUB\\PCI&VEN_8086&DEV_7112&SUBSYS_00000000&REV_01", "Driver",
                "USB\\0000");

  reg.SetString(lm, "Hardware\\DeviceMap\\SerialComm", "COM1", "COM1");
  std::string oemNames =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name";
  reg.SetString(lm, oemNames, image.windows + "\\INF\\OTHER\\ACMEPRN.INF", "ACMEPRN.INF");
  const char* versionText = image.version == WindowsVersion::Windows95   ? "4.00.950"
                            : image.version == WindowsVersion::Windows98 ? "4.10.2222"
                                                                         : "4.90.3000";
  std::string current = "Software\\Microsoft\\Windows\\CurrentVersion";
  reg.SetString(lm, current, "VersionNumber", versionText);
  reg.SetString(lm, current, "DevicePath", image.windows + "\\INF");
  reg.SetString(lm, current, "SystemRoot", image.windows);
}

// --- Shared by every version -------------------------------------------------------

void SeedCommonRegistry(Image& image) {
  RegistryModel& reg = image.reg;
  HKEY lm = HKEY_LOCAL_MACHINE;
  std::string current = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  reg.SetString(lm, current, "ProgramFilesDir", "C:\\Program Files");
  reg.SetString(lm, current + "\\Run", "SystemTray", "SysTray.Exe");
  reg.SetString(lm, "SOFTWARE\\Classes\\.txt", "", "txtfile");
  reg.SetString(lm, "SOFTWARE\\Classes\\txtfile", "", "Text Document");
  reg.SetString(lm, "SOFTWARE\\Acme\\PrinterTools", "Version", "2.1");
  reg.SetString(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", "(None)");
  reg.SetString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                "Logon User Name", "user");
  reg.SetString(HKEY_USERS, ".DEFAULT\\Control Panel\\Desktop", "Wallpaper", "(None)");
}

void SeedFiles(Image& image) {
  FileSystem& files = image.files;
  const std::string& windows = image.windows;
  const std::string& system = image.system;
  bool nt = IsNtFamily(image.version);
  files.CreateFolder("C:\\Program Files");
  files.CreateFolder(windows + "\\INF");
  files.CreateFolder(system);
  files.WriteFile(windows + "\\INF\\machine.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
  files.WriteFile(windows + "\\INF\\usb.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
  files.WriteFile(windows + "\\INF\\mdmgen.inf", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
  files.WriteFile(windows + "\\win.ini", "[windows]\r\nload=\r\nrun=\r\n");
  files.WriteFile(system + "\\kernel32.dll", "MZ kernel32");
  files.WriteFile(system + "\\setupapi.dll", "MZ setupapi");
  if (nt) {
    files.CreateFolder(system + "\\drivers");
    files.WriteFile(system + "\\drivers\\serial.sys", "MZ serial");
    files.WriteFile(system + "\\drivers\\modem.sys", "MZ modem");
    files.WriteFile(windows + "\\INF\\oem3.inf",
                    "[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                    "Provider=%Acme%\r\nClass=Printer\r\n");
    files.WriteFile(windows + "\\INF\\oem3.PNF", "PNF oem3");
    files.WriteFile(windows + "\\INF\\machine.PNF", "PNF machine");
  } else {
    files.CreateFolder(windows + "\\INF\\OTHER");
    files.WriteFile(windows + "\\INF\\OTHER\\ACMEPRN.INF",
                    "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
    files.WriteFile(system + "\\vcomm.vxd", "MZ vcomm");
    files.WriteFile(system + "\\serial.vxd", "MZ serial");
    if (image.version != WindowsVersion::Windows95) {
      files.CreateFolder(windows + "\\SYSTEM32\\DRIVERS");
      files.WriteFile(windows + "\\SYSTEM32\\DRIVERS\\usbhub.sys", "MZ usbhub");
      files.WriteFile(windows + "\\INF\\DRVDATA.BIN", std::string(64, '\x5A'));
      files.WriteFile(windows + "\\INF\\DRVIDX.BIN", std::string(32, '\x17'));
    }
  }
  if (KeepsLastGood(image.version)) {
    files.CreateFolder(windows + "\\LastGood\\INF");
    files.CreateFolder(windows + "\\LastGood\\system32\\DRIVERS");
    files.WriteFile(windows + "\\LastGood\\INF\\oem3.inf", "[Version]\r\n");
    files.WriteFile(windows + "\\LastGood\\system32\\DRIVERS\\prnfilt.sys", "MZ prnfilt");
  }

  // The program, read-only as files on a CD are.
  const std::string& program = image.machine.options().programPath;
  size_t slash = program.find_last_of('\\');
  std::string folder = slash == std::string::npos ? "C:\\" : program.substr(0, slash);
  if (slash != std::string::npos && slash <= 2) folder += "\\";
  files.CreateFolder(folder);
  files.WriteFile(program, "MZ usbinst", FILE_ATTRIBUTE_READONLY);
  files.SetCurrentDirectory(folder);
}

// Vista and later: the printer package published as oem3.inf lies in the
// driver store, and from Windows 8 on in its index, as another maker's
// package that a removal must leave alone.
void SeedDriverStore(Image& image) {
  StoreRules rules = StoreRulesOf(image.machine.options());
  if (!rules.store) return;
  std::string text = image.files.ReadFile(image.windows + "\\INF\\oem3.inf").value_or("");
  std::string id = DriverStore::PackageId("acmeprn.inf", rules.arch, text, "acme catalog");
  std::string package = DriverStore::RepositoryFolder(image.files) + "\\" + id;
  image.files.WriteFile(package + "\\acmeprn.inf", text);
  image.files.WriteFile(package + "\\acmeprn.cat", "acme catalog");
  image.files.WriteFile(package + "\\acmeprn.dll", "MZ acmeprn");
  image.files.WriteFile(InfStore::CatalogFolder(image.files) + "\\oem3.cat", "acme catalog");
  if (!rules.database) return;
  RegistryModel& reg = image.reg;
  HKEY lm = HKEY_LOCAL_MACHINE;
  reg.SetDword(lm, "SYSTEM\\DriverDatabase", "Architecture", rules.arch == "amd64" ? 9 : 0);
  reg.SetDword(lm, "SYSTEM\\DriverDatabase", "SchemaVersion", 0x10000);
  reg.SetDword(lm, "SYSTEM\\DriverDatabase", "Version", 0x0A000000);
  InfFile inf;
  unsigned line = 0;
  inf.Parse(text, &line);
  DriverStore::Index(reg, "oem3.inf", id, "C:\\Drivers\\Acme\\acmeprn.inf", inf, "acmeprn.cat");
  reg.SetValue(lm, "SYSTEM\\DriverDatabase\\DeviceIds\\USBPRINT\\ACMEJET_5100", "oem3.inf",
               REG_BINARY, {0x01, 0xFF, 0x00, 0x00});
  reg.SetValue(lm, "SYSTEM\\DriverDatabase\\DeviceIds\\USB\\VID_045E&PID_0040", "input.inf",
               REG_BINARY, {0x01, 0xFF, 0x00, 0x00});
}

}  // namespace

void SeedImage(Machine& machine) {
  WindowsVersion version = machine.options().version;
  Image image{machine, machine.registry, machine.files, version, "", ""};
  if (Is9x(version)) {
    image.windows = "C:\\WINDOWS";
    image.system = "C:\\WINDOWS\\SYSTEM";
  } else if (version == WindowsVersion::WindowsNT4 || version == WindowsVersion::Windows2000) {
    image.windows = "C:\\WINNT";
    image.system = "C:\\WINNT\\system32";
  } else if (version >= WindowsVersion::WindowsVista) {
    image.windows = "C:\\Windows";
    image.system = "C:\\Windows\\system32";
  } else {
    image.windows = "C:\\WINDOWS";
    image.system = "C:\\WINDOWS\\system32";
  }
  const std::string& folder = machine.options().windowsFolder;
  if (!folder.empty()) {
    image.windows = folder;
    image.system = folder + (Is9x(version) ? "\\SYSTEM" : "\\system32");
  }
  machine.registry.SetDeletesWholeTrees(Is9x(version));
  machine.files.SetWindowsFolders(image.windows, image.system);
  SeedCommonRegistry(image);
  if (Is9x(version)) {
    Seed9xRegistry(image);
  } else {
    SeedNtRegistry(image);
    ProtectDeviceTrees(image);
    ProtectSoftwareTree(image);
  }
  SeedFiles(image);
  SeedDriverStore(image);
  InstallKeySecurity(machine);
}

}  // namespace sim
