#include "platform/sim/plug_and_play.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/sim/machine.h"

namespace sim {
namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kUsb001[] = "SYSTEM\\ControlSet001\\Enum\\USB\\";
const char kClass001[] = "SYSTEM\\ControlSet001\\Control\\Class\\";
const char kModemGuid[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

Machine& Boot(WindowsVersion version) {
  MachineOptions options;
  options.version = version;
  return ResetMachine(options);
}

bool IsLegacy(WindowsVersion version) {
  return !IsNtFamily(version) || version == WindowsVersion::WindowsNT4;
}

std::string Inf(const std::string& section, const std::string& id) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=%ORVEX%\r\n\r\n"
         "[Manufacturer]\r\n%ORVEX%=ORVEX\r\n\r\n[ORVEX]\r\n%Desc%=" +
         section + ", " + id + "\r\n";
}

struct PackageInf {
  const char* name;
  const char* legacyName;
  const char* section;
  const char* id;
};
const PackageInf kPackage[] = {
    {"KV6bus.inf", "KV6bus.inf", "BusInstall", "USB\\VID_1F3C&PID_6B07"},
    {"KV6obx2.inf", "KV6obxw.inf", "ObexInstall", "USB\\VID_1F3C&PID_6B07&MI_03"},
    {"KV6sdm2.inf", "KV6sdmw.inf", "DiagInstall", "USB\\VID_1F3C&PID_6B07&MI_05"},
    {"KV6mdm2.inf", "KV6mdmw.inf", "ModemInstall", "USB\\VID_1F3C&PID_6B07&MI_07"},
};

// The driver package on the CD ("D:\Drivers", beside the program's folder).
void WritePackage(Machine& machine) {
  bool legacy = IsLegacy(machine.options().version);
  for (const PackageInf& inf : kPackage) {
    machine.files.WriteFile(std::string("D:\\Drivers\\") + (legacy ? inf.legacyName : inf.name),
                            Inf(inf.section, inf.id));
  }
  for (const char* file : {"KV6bus.sys", "KV6cm.sys", "KV6cmnt.sys", "KV6mdfl.sys", "KV6mdm.sys",
                           "KV6mgmt.sys", "KV6obex.sys", "KV6wh.sys", "KV6whnt.sys"}) {
    machine.files.WriteFile(std::string("D:\\Drivers\\") + file, std::string("MZ pkg ") + file);
  }
}

// What the installer's package placement leaves: on 2000/XP the INF store's copies
// oem4.inf to oem7.inf, on the other versions the INFs under their own names.
void PlacePackage(Machine& machine) {
  WritePackage(machine);
  std::string inf = machine.files.WindowsDirectory() + "\\INF\\";
  int n = 4;
  for (const PackageInf& entry : kPackage) {
    if (IsLegacy(machine.options().version)) {
      machine.files.WriteFile(inf + entry.legacyName, Inf(entry.section, entry.id));
    } else {
      machine.files.WriteFile(inf + "oem" + std::to_string(n) + ".inf",
                              Inf(entry.section, entry.id));
      machine.files.WriteFile(inf + "oem" + std::to_string(n) + ".PNF", "PNF");
      ++n;
    }
  }
}

std::string Get(Machine& machine, const std::string& path, const char* name) {
  return machine.registry.GetString(kLm, path, name).value_or("<missing>");
}

std::string InstanceKey(int function, int port = 1) {
  return "SYSTEM\\ControlSet001\\Enum\\" + PhoneInstancePath(function, port);
}

std::string DriverKey(Machine& machine, int function, int port = 1) {
  return kClass001 + Get(machine, InstanceKey(function, port), "Driver");
}

TEST(PlugAndPlay, XpInstallLeavesDeviceDriverServiceAndPortEntries) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  PlacePackage(machine);
  ASSERT_TRUE(PlugInPhone(machine));
  RegistryModel& reg = machine.registry;

  EXPECT_EQ(PhoneInstancePath(0), "USB\\VID_1F3C&PID_6B07\\5&1A2B3C01&0&1");
  EXPECT_EQ(PhoneInstancePath(1), "USB\\VID_1F3C&PID_6B07&MI_03\\6&2C3D4E01&0&0003");
  EXPECT_EQ(Get(machine, InstanceKey(0), "Class"), "USB");
  EXPECT_EQ(Get(machine, InstanceKey(1), "Class"), "Ports");
  EXPECT_EQ(Get(machine, InstanceKey(3), "Class"), "Modem");
  EXPECT_EQ(Get(machine, InstanceKey(3), "DeviceDesc"), "ORVEX 3G GSM USB Modem");
  EXPECT_EQ(Get(machine, InstanceKey(3), "Driver").substr(0, 38), kModemGuid);
  std::optional<RegValue> ids = reg.GetValue(kLm, InstanceKey(2), "HardwareID");
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->type, static_cast<uint32_t>(REG_MULTI_SZ));
  // Windows' letter case, as the USB hub reports the IDs, not the key's.
  std::string expected = std::string("USB\\Vid_1f3c&Pid_6b07&Rev_0100&MI_05") + '\0' +
                         "USB\\Vid_1f3c&Pid_6b07&MI_05" + '\0' + '\0';
  EXPECT_EQ(std::string(ids->data.begin(), ids->data.end()), expected);

  // Driver keys name the INF-store copies the package placement made, in order.
  for (int function = 0; function < 4; ++function) {
    EXPECT_EQ(Get(machine, DriverKey(machine, function), "InfPath"),
              "oem" + std::to_string(4 + function) + ".inf");
  }
  EXPECT_EQ(Get(machine, DriverKey(machine, 3), "InfSection"), "ModemInstall");
  EXPECT_EQ(Get(machine, DriverKey(machine, 3), "ProviderName"), "ORVEX");

  // COM1 is the machine's own serial port, so the phone takes COM2 to COM4.
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"COM2", "COM3", "COM4"}));
  EXPECT_EQ(Get(machine, InstanceKey(3) + "\\Device Parameters", "PortName"), "COM4");
  EXPECT_FALSE(reg.ValueExists(kLm, InstanceKey(0) + "\\Device Parameters", "PortName"));
  std::optional<RegValue> comDb =
      reg.GetValue(kLm, "SYSTEM\\ControlSet001\\Control\\COM Name Arbiter", "ComDB");
  ASSERT_TRUE(comDb);
  EXPECT_EQ(comDb->data[0], 0x0E);
  EXPECT_EQ(comDb->data.size(), 32u);
  EXPECT_TRUE(
      reg.ValueExists(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM3:"));
  EXPECT_EQ(Get(machine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KV6mdm0"), "COM4");
  EXPECT_EQ(Get(machine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KV6obex0"), "COM2");
  EXPECT_EQ(Get(machine, DriverKey(machine, 3), "AttachedTo"), "COM4");

  for (const char* service : {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex"}) {
    std::string key = std::string("SYSTEM\\ControlSet001\\Services\\") + service;
    EXPECT_EQ(reg.GetDword(kLm, key, "Type"), 1u) << service;
    EXPECT_EQ(Get(machine, key, "ImagePath"),
              std::string("system32\\DRIVERS\\") + service + ".sys");
    EXPECT_EQ(
        machine.files.ReadFile(std::string("C:\\WINDOWS\\system32\\drivers\\") + service + ".sys"),
        std::string("MZ pkg ") + service + ".sys");
    EXPECT_TRUE(machine.files.FileExists(std::string("C:\\WINDOWS\\LastGood\\system32\\DRIVERS\\") +
                                         service + ".sys"));
  }
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\system32\\drivers\\KV6whnt.sys"));

  std::string modemInterfaces =
      "SYSTEM\\ControlSet001\\Control\\DeviceClasses\\{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
  std::vector<std::string> links = reg.SubKeyNames(kLm, modemInterfaces);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0],
            "##?#USB#VID_1F3C&PID_6B07&MI_07#6&2C3D4E01&0&0007#"
            "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}");
  EXPECT_EQ(Get(machine, modemInterfaces + "\\" + links[0], "DeviceInstance"),
            PhoneInstancePath(3));

  EXPECT_TRUE(reg.KeyExists(kLm,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\"
                            "DeviceSpecific\\ORVEX 3G GSM USB Modem::ORVEX::ORVEX"));
  for (const char* entry : {"inf\\oem4.inf", "inf\\oem4.PNF", "inf\\oem7.inf", "inf\\oem7.PNF"}) {
    EXPECT_EQ(reg.GetDword(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", entry), 1u) << entry;
  }
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\LastGood\\INF\\oem5.inf"));
  // Only a reboot copies the control set; XP keeps no legacy service devices.
  EXPECT_FALSE(reg.KeyExists(kLm, "SYSTEM\\ControlSet002\\Enum\\USB\\VID_1F3C&PID_6B07"));
  EXPECT_FALSE(reg.KeyExists(kLm, "SYSTEM\\ControlSet001\\Enum\\Root\\LEGACY_KV6BUS"));
}

TEST(PlugAndPlay, FunctionsInstallOneByOneAndMayLeaveAGap) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP2);
  PlacePackage(machine);
  EXPECT_TRUE(PlugInPhone(machine, 1));
  EXPECT_TRUE(machine.registry.KeyExists(kLm, InstanceKey(1)));
  EXPECT_FALSE(machine.registry.KeyExists(kLm, kUsb001 + std::string("VID_1F3C&PID_6B07&MI_05")));
  EXPECT_FALSE(machine.registry.KeyExists(kLm, "SYSTEM\\ControlSet001\\Services\\KV6mgmt"));
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"COM2", "", ""}));
  EXPECT_TRUE(PlugInFunction(machine, 3));
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"COM2", "", "COM3"}));
  EXPECT_FALSE(PlugInFunction(machine, 4));
  EXPECT_FALSE(PlugInFunction(machine, -1));
}

TEST(PlugAndPlay, InterfacesWithoutAPortYetHaveNoPortName) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  PlacePackage(machine);
  PlugOptions noPorts;
  noPorts.assignComPorts = false;
  EXPECT_TRUE(PlugInPhone(machine, 3, noPorts));
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"", "", ""}));
  EXPECT_TRUE(machine.registry.KeyExists(kLm, InstanceKey(2) + "\\Device Parameters"));
  // The ports come when the driver assigns them, without new driver keys.
  std::string driver = Get(machine, InstanceKey(1), "Driver");
  EXPECT_TRUE(PlugInPhone(machine));
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"COM2", "COM3", "COM4"}));
  EXPECT_EQ(Get(machine, InstanceKey(1), "Driver"), driver);
}

TEST(PlugAndPlay, DriverSearchPrefersTheStoreCopyOfThePackageThenCopiesThePackage) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  WritePackage(machine);
  // An older INF that names the modem too, and the store copy of the package INF.
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem5.inf",
                          Inf("OldModem", "USB\\VID_1F3C&PID_6B07&MI_03"));
  machine.files.WriteFile("C:\\WINDOWS\\INF\\oem8.inf",
                          Inf("ObexInstall", "USB\\VID_1F3C&PID_6B07&MI_03"));
  EXPECT_TRUE(PlugInFunction(machine, 1));
  EXPECT_EQ(Get(machine, DriverKey(machine, 1), "InfPath"), "oem8.inf");

  // Nothing in the INF folder names function 0 as a whole ID ("&MI_03" continues
  // it): the package INF is copied in as the first free oemN.inf (oem3 is taken).
  EXPECT_TRUE(PlugInFunction(machine, 0));
  EXPECT_EQ(Get(machine, DriverKey(machine, 0), "InfPath"), "oem0.inf");
  EXPECT_EQ(machine.files.ReadFile("C:\\WINDOWS\\INF\\oem0.inf"),
            machine.files.ReadFile("D:\\Drivers\\KV6bus.inf"));
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\oem0.PNF"));
  EXPECT_EQ(Get(machine, DriverKey(machine, 0), "InfSection"), "BusInstall");
}

TEST(PlugAndPlay, WithoutAnyDriverTheDeviceIsRecordedAsFailed) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  EXPECT_FALSE(PlugInPhone(machine));
  EXPECT_EQ(machine.registry.GetDword(kLm, InstanceKey(0), "ConfigFlags"), 0x40u);
  EXPECT_FALSE(machine.registry.ValueExists(kLm, InstanceKey(0), "Class"));
  EXPECT_FALSE(machine.registry.ValueExists(kLm, InstanceKey(0), "Driver"));
  EXPECT_FALSE(machine.registry.KeyExists(kLm, "SYSTEM\\ControlSet001\\Services\\KV6bus"));

  Machine& old = Boot(WindowsVersion::Windows98);
  EXPECT_FALSE(PlugInPhone(old));
  EXPECT_FALSE(old.registry.KeyExists(kLm, "Enum\\KV6CR"));
  EXPECT_TRUE(old.registry.ValueExists(kLm, "Enum\\" + PhoneInstancePath(0), "HardwareID"));
}

TEST(PlugAndPlay, ReplugKeepsEverythingAndUnplugDropsOnlyTheRunningState) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  PlacePackage(machine);
  PlugInPhone(machine);
  std::vector<std::string> plugged = machine.registry.Snapshot();
  PlugInPhone(machine);
  EXPECT_EQ(machine.registry.Snapshot(), plugged);

  UnplugPhone(machine);
  RegistryModel& reg = machine.registry;
  EXPECT_FALSE(reg.KeyExists(kLm, InstanceKey(1) + "\\Control"));
  EXPECT_FALSE(reg.KeyExists(kLm, "SYSTEM\\ControlSet001\\Services\\KV6mdm\\Enum"));
  EXPECT_FALSE(reg.ValueExists(kLm, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KV6mdm0"));
  EXPECT_EQ(Get(machine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0"), "COM1");
  EXPECT_EQ(Get(machine, InstanceKey(1) + "\\Device Parameters", "PortName"), "COM2");
  EXPECT_TRUE(reg.KeyExists(kLm, "SYSTEM\\ControlSet001\\Services\\KV6mdm"));
  PlugInPhone(machine);
  EXPECT_EQ(machine.registry.Snapshot(), plugged);

  // Another port: new instances and new COM numbers; the old ones stay reserved.
  PlugOptions port2;
  port2.usbPort = 2;
  EXPECT_TRUE(PlugInPhone(machine, 3, port2));
  EXPECT_EQ(PhoneComPorts(machine, 2), (std::vector<std::string>{"COM5", "COM6", "COM7"}));
  EXPECT_EQ(reg.SubKeyNames(kLm, kUsb001 + std::string("VID_1F3C&PID_6B07&MI_03")).size(), 2u);
  EXPECT_NE(Get(machine, InstanceKey(1, 2), "Driver"), Get(machine, InstanceKey(1), "Driver"));
}

TEST(PlugAndPlay, RebootCopyFillsControlSet002WithoutTheRunningState) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP1);
  PlacePackage(machine);
  PlugOptions reboot;
  reboot.rebootCopy = true;
  ASSERT_TRUE(PlugInPhone(machine, 3, reboot));
  RegistryModel& reg = machine.registry;
  std::string set2 = "SYSTEM\\ControlSet002\\";
  std::string instance = set2 + "Enum\\" + PhoneInstancePath(2);
  EXPECT_EQ(Get(machine, instance + "\\Device Parameters", "PortName"), "COM3");
  EXPECT_EQ(Get(machine, set2 + "Control\\Class\\" + Get(machine, instance, "Driver"), "InfPath"),
            "oem6.inf");
  EXPECT_TRUE(reg.KeyExists(kLm, set2 + "Services\\KV6mdfl"));
  EXPECT_FALSE(reg.KeyExists(kLm, set2 + "Services\\KV6mdfl\\Enum"));
  EXPECT_FALSE(reg.KeyExists(kLm, instance + "\\Control"));
  std::optional<RegValue> comDb = reg.GetValue(kLm, set2 + "Control\\COM Name Arbiter", "ComDB");
  ASSERT_TRUE(comDb);
  EXPECT_EQ(comDb->data[0], 0x0E);
}

TEST(PlugAndPlay, Windows2000KeepsLegacyServiceDevicesAndNoLastGood) {
  Machine& machine = Boot(WindowsVersion::Windows2000);
  PlacePackage(machine);
  PlugOptions reboot;
  reboot.rebootCopy = true;
  ASSERT_TRUE(PlugInPhone(machine, 3, reboot));
  for (const char* set : {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002"}) {
    for (const char* service : {"KV6BUS", "KV6MDFL", "KV6MDM", "KV6MGMT", "KV6OBEX"}) {
      EXPECT_TRUE(machine.registry.KeyExists(
          kLm, std::string(set) + "\\Enum\\Root\\LEGACY_" + service + "\\0000"))
          << set << " " << service;
    }
  }
  EXPECT_FALSE(machine.files.FolderExists("C:\\WINNT\\LastGood"));
  EXPECT_FALSE(machine.registry.KeyExists(kLm, "SYSTEM\\LastKnownGoodRecovery"));
  EXPECT_TRUE(machine.files.FileExists("C:\\WINNT\\system32\\drivers\\KV6mgmt.sys"));
}

TEST(PlugAndPlay, Windows98LeavesTheFlatEnumTreeAndTheConfigurationManagerLists) {
  Machine& machine = Boot(WindowsVersion::Windows98);
  PlacePackage(machine);
  ASSERT_TRUE(PlugInPhone(machine));
  RegistryModel& reg = machine.registry;
  std::string usb0 = "Enum\\" + PhoneInstancePath(0);
  EXPECT_EQ(Get(machine, usb0, "HardwareID"),
            "USB\\VID_1F3C&PID_6B07&REV_0100,USB\\VID_1F3C&PID_6B07");
  std::string classTree = "System\\CurrentControlSet\\Services\\Class\\";
  EXPECT_EQ(Get(machine, classTree + Get(machine, usb0, "Driver"), "InfPath"), "KV6BUS.INF");

  std::vector<std::string> ports = reg.SubKeyNames(kLm, "Enum\\KV6CR\\guid");
  ASSERT_EQ(ports, (std::vector<std::string>{"0000", "0001", "0002"}));
  std::string modemPort = "Enum\\KV6CR\\guid\\0002";
  EXPECT_EQ(Get(machine, modemPort, "CRLowerDeviceID"), PhoneInstancePath(3));
  EXPECT_EQ(Get(machine, modemPort, "PortName"), "COM4");
  EXPECT_EQ(Get(machine, modemPort, "Class"), "Modem");
  std::string modemDriver = classTree + Get(machine, modemPort, "Driver");
  EXPECT_EQ(Get(machine, modemDriver, "InfPath"), "KV6MDMW.INF");
  EXPECT_EQ(Get(machine, modemDriver, "AttachedTo"), "COM4");
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"COM2", "COM3", "COM4"}));
  EXPECT_EQ(Get(machine, "Hardware\\DeviceMap\\SerialComm", "COM4"), "COM4");
  EXPECT_EQ(Get(machine, "Enum\\Root\\KV6CR\\0000", "HardwareID"), "ROOT\\KV6CR");
  EXPECT_EQ(Get(machine, classTree + Get(machine, "Enum\\Root\\KV6CR\\0000", "Driver"), "InfPath"),
            "KV6BUS.INF");

  std::string oemNames =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name";
  EXPECT_EQ(Get(machine, oemNames, "C:\\WINDOWS\\INF\\KV6obxw.inf"), "KV6obxw.inf");
  std::string asd = "System\\CurrentControlSet\\Control\\ASD\\Prob\\";
  EXPECT_TRUE(reg.ValueExists(kLm, asd + "{9B4E7760-3196-11CF-97EA-00AA0034319D}",
                              "USB\\VID_1F3C&PID_6B07&MI_05\\6&2C3D4E01&0&0005"));
  EXPECT_TRUE(
      reg.ValueExists(kLm, asd + "{9B4E7760-3196-11CF-97EA-00AA0034319D}", "ROOT\\KV6CR\\0000"));
  EXPECT_TRUE(
      reg.ValueExists(kLm, asd + "{CF2524C0-29AE-11CF-97EA-00AA0034319D}", "KV6CR\\GUID\\0002"));
  EXPECT_EQ(reg.SubKeyNames(kLm, "System\\CurrentControlSet\\Control\\DeviceClasses").size(), 3u);

  // No phantom while plugged in; one per USB function after unplugging.
  std::string phantoms = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
  EXPECT_TRUE(reg.SubKeyNames(kLm, phantoms).empty());
  UnplugPhone(machine);
  UnplugPhone(machine);
  ASSERT_EQ(reg.SubKeyNames(kLm, phantoms).size(), 4u);
  EXPECT_EQ(Get(machine, phantoms + "\\0001", "HardWareKey"), PhoneInstancePath(1));
  EXPECT_EQ(Get(machine, "Hardware\\DeviceMap\\SerialComm", "COM2"), "COM2");
}

TEST(PlugAndPlay, Windows95GetsTheFlatLayoutWithoutWdmLists) {
  Machine& machine = Boot(WindowsVersion::Windows95);
  PlacePackage(machine);
  ASSERT_TRUE(PlugInPhone(machine));
  RegistryModel& reg = machine.registry;
  EXPECT_TRUE(reg.KeyExists(kLm, "Enum\\" + PhoneInstancePath(3)));
  EXPECT_EQ(Get(machine, "Enum\\KV6CR\\guid\\0002", "CRLowerDeviceID"), PhoneInstancePath(3));
  EXPECT_FALSE(reg.KeyExists(kLm, "System\\CurrentControlSet\\Control\\ASD"));
  EXPECT_FALSE(reg.KeyExists(kLm, "System\\CurrentControlSet\\Control\\DeviceClasses"));
  EXPECT_FALSE(reg.KeyExists(kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07"));
}

// NT 4 has no USB support and no HKLM\Enum: its device tree is the control
// sets' Enum, holding the legacy drivers. A phone plugged in is never seen.
TEST(PlugAndPlay, Nt4HasNoUsbAndNeverSeesThePhone) {
  Machine& machine = Boot(WindowsVersion::WindowsNT4);
  PlacePackage(machine);
  RegistryModel& reg = machine.registry;
  EXPECT_FALSE(reg.KeyExists(kLm, "Enum"));
  EXPECT_TRUE(reg.KeyExists(kLm, "SYSTEM\\CurrentControlSet\\Enum\\Root\\LEGACY_SERIAL"));
  EXPECT_FALSE(reg.KeyExists(kLm, "SYSTEM\\CurrentControlSet\\Enum\\USB"));
  std::vector<std::string> registryBefore = reg.Snapshot();
  std::vector<std::string> filesBefore = machine.files.Snapshot();
  for (int function = 0; function < kPhoneFunctionCount; ++function) {
    EXPECT_FALSE(PlugInFunction(machine, function)) << function;
  }
  UnplugPhone(machine);
  EXPECT_EQ(reg.Snapshot(), registryBefore);
  EXPECT_EQ(machine.files.Snapshot(), filesBefore);
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"", "", ""}));
  EXPECT_TRUE(WindowsContainerKeys(WindowsVersion::WindowsNT4).empty());
}

// The places a removal run looks at, as key prefixes of snapshot lines, for the
// phone installed on port 1 of a version image. Everything the stand-in writes must
// lie in one of them, or be a container key Windows keeps (WindowsContainerKeys).
std::vector<std::string> RemovalReach(Machine& machine) {
  std::vector<std::string> reach;
  auto add = [&](const std::string& prefix) { reach.push_back(prefix); };
  if (IsLegacy(machine.options().version)) {
    for (int function = 0; function < 4; ++function) {
      std::string id = PhoneInstancePath(function).substr(4);
      add("HKLM\\Enum\\USB\\" + id.substr(0, id.find('\\')) + "\\");
      add("HKLM\\Enum\\USB\\" + id.substr(0, id.find('\\')) + "  ");
      add("HKLM\\Enum\\USB\\" + id.substr(0, id.find('\\')) + "\n");
    }
    add("HKLM\\Enum\\KV6CR");
    add("HKLM\\Enum\\Root\\KV6CR");
    std::string classes = "HKLM\\System\\CurrentControlSet\\Services\\Class\\";
    for (const char* device :
         {"Enum\\USB\\VID_1F3C&PID_6B07\\5&1A2B3C01&0&1", "Enum\\KV6CR\\guid\\0000",
          "Enum\\KV6CR\\guid\\0001", "Enum\\KV6CR\\guid\\0002", "Enum\\Root\\KV6CR\\0000",
          "Enum\\USB\\VID_1F3C&PID_6B07&MI_03\\6&2C3D4E01&0&0003",
          "Enum\\USB\\VID_1F3C&PID_6B07&MI_05\\6&2C3D4E01&0&0005",
          "Enum\\USB\\VID_1F3C&PID_6B07&MI_07\\6&2C3D4E01&0&0007"}) {
      add(classes + Get(machine, device, "Driver"));
    }
    add("HKLM\\Hardware\\DeviceMap\\SerialComm  \"COM");
    add("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name  \"" +
        machine.files.WindowsDirectory() + "\\INF\\KV6");
    add("HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\{");
    add("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom\\");
    add("HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\{");
    return reach;
  }
  for (const char* set : {"HKLM\\SYSTEM\\ControlSet001\\", "HKLM\\SYSTEM\\ControlSet002\\"}) {
    std::string base = set;
    add(base + "Enum\\USB\\VID_1F3C&PID_6B07");
    add(base +
        "Control\\DeviceClasses\\{a5dcbf10-6530-11d2-901f-00c04fb951ed}\\##?#USB#VID_1F3C&PID_"
        "6B07");
    add(base +
        "Control\\DeviceClasses\\{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}\\##?#USB#VID_1F3C&PID_"
        "6B07");
    add(base +
        "Control\\DeviceClasses\\{86e0d1e0-8089-11d0-9ce4-08003e301f73}\\##?#USB#VID_1F3C&PID_"
        "6B07");
    add(base + "Control\\COM Name Arbiter  \"ComDB\"");
    for (int function = 0; function < 4; ++function) {
      std::string driver =
          machine.registry
              .GetString(kLm, "SYSTEM\\ControlSet001\\Enum\\" + PhoneInstancePath(function),
                         "Driver")
              .value_or("?");
      add(base + "Control\\Class\\" + driver);
    }
    for (const char* service : {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex"}) {
      add(base + "Services\\" + service + "\\");
      add(base + "Services\\" + service + "  ");
      add(base + "Services\\" + service + "\n");
      add(base + "Enum\\Root\\LEGACY_" + service);
    }
  }
  add("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports  \"COM");
  add("HKLM\\SYSTEM\\LastKnownGoodRecovery\\LastGood  \"inf\\oem");
  add("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\"
      "ORVEX 3G GSM USB Modem::ORVEX::ORVEX");
  return reach;
}

std::vector<std::string> Added(const std::vector<std::string>& before,
                               const std::vector<std::string>& after) {
  std::set<std::string> old(before.begin(), before.end());
  std::vector<std::string> added;
  for (const std::string& line : after) {
    if (!old.count(line)) added.push_back(line);
  }
  return added;
}

TEST(PlugAndPlay, EverythingWrittenLiesWhereTheRemovalLooks) {
  for (WindowsVersion version :
       {WindowsVersion::Windows95, WindowsVersion::Windows98, WindowsVersion::WindowsMe,
        WindowsVersion::Windows2000, WindowsVersion::WindowsXPSP1, WindowsVersion::WindowsXPSP3}) {
    Machine& machine = Boot(version);
    PlacePackage(machine);
    std::vector<std::string> registryBefore = machine.registry.Snapshot();
    std::vector<std::string> filesBefore = machine.files.Snapshot();
    PlugOptions reboot;
    reboot.rebootCopy = true;
    ASSERT_TRUE(PlugInPhone(machine, 3, reboot));
    UnplugPhone(machine, reboot);
    std::vector<std::string> reach = RemovalReach(machine);
    std::vector<std::string> containers = WindowsContainerKeys(version);
    for (const std::string& line : Added(registryBefore, machine.registry.Snapshot())) {
      std::string probe = UpperName(line.find("  ") == std::string::npos ? line + "\n" : line);
      bool inReach = std::any_of(reach.begin(), reach.end(), [&](const std::string& prefix) {
        return probe.compare(0, prefix.size(), UpperName(prefix)) == 0;
      });
      // A container key's line, or the line of its own security descriptor.
      std::string keyPath = line.substr(5, line.find("  (security) ") - 5);
      bool container = std::any_of(
          containers.begin(), containers.end(),
          [&](const std::string& key) { return UpperName(key) == UpperName(keyPath); });
      EXPECT_TRUE(inReach || container) << static_cast<int>(version) << ": " << line;
    }
    // Files: the driver files of the removal's lists and the phone's INF-store copies.
    for (const std::string& line : Added(filesBefore, machine.files.Snapshot())) {
      std::string upper = line.substr(0, line.find("  "));
      std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
      bool driverFile = upper.find("\\DRIVERS\\KV6") != std::string::npos;
      bool storeCopy = upper.find("\\INF\\OEM") != std::string::npos;
      EXPECT_TRUE(driverFile || storeCopy) << static_cast<int>(version) << ": " << line;
    }
  }
}

TEST(PlugAndPlay, NeighboursAreInstalledInBothControlSetsAndKeepTheirPorts) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  PlantNeighbourDevice(machine);
  PlacePackage(machine);
  RegistryModel& reg = machine.registry;
  for (const char* set : {"SYSTEM\\ControlSet001\\", "SYSTEM\\ControlSet002\\"}) {
    std::string device = std::string(set) + "Enum\\USB\\VID_1F3C&PID_6B070\\5&7E8F9A01&0&2";
    EXPECT_EQ(Get(machine, device + "\\Device Parameters", "PortName"), "COM10");
    EXPECT_EQ(Get(machine, std::string(set) + "Control\\Class\\" + Get(machine, device, "Driver"),
                  "InfPath"),
              "oem10.inf");
    EXPECT_TRUE(reg.KeyExists(kLm, std::string(set) + "Services\\KV6bus0"));
    std::optional<RegValue> comDb =
        reg.GetValue(kLm, std::string(set) + "Control\\COM Name Arbiter", "ComDB");
    ASSERT_TRUE(comDb);
    EXPECT_EQ(comDb->data[1], 0x06);  // COM10 and COM11
  }
  EXPECT_TRUE(
      reg.ValueExists(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM10:"));
  EXPECT_TRUE(reg.ValueExists(kLm, "SYSTEM\\LastKnownGoodRecovery\\LastGood", "inf\\oem10.inf"));
  EXPECT_TRUE(reg.KeyExists(kLm,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\"
                            "DeviceSpecific\\Acme 3G GSM USB Modem::Acme::Acme"));
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\LastGood\\system32\\DRIVERS\\KV6bus0.sys"));
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\oem11.PNF"));

  // The phone's driver search does not take the neighbour's INF for function 0,
  // although its ID begins with the phone's.
  ASSERT_TRUE(PlugInPhone(machine));
  EXPECT_EQ(Get(machine, DriverKey(machine, 0), "InfPath"), "oem4.inf");
  EXPECT_EQ(PhoneComPorts(machine), (std::vector<std::string>{"COM2", "COM3", "COM4"}));

  Machine& old = Boot(WindowsVersion::WindowsMe);
  PlantNeighbourDevice(old);
  EXPECT_EQ(Get(old, "Enum\\USB\\VID_1F3C&PID_6B070\\5&7E8F9A01&0&2", "PortName"), "COM10");
  EXPECT_EQ(Get(old, "Hardware\\DeviceMap\\SerialComm", "COM11"), "COM11");
  EXPECT_EQ(Get(old, "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom\\0000",
                "HardWareKey"),
            "USB\\VID_1F3C&PID_6B070\\5&7E8F9A01&0&2");
  PlacePackage(old);
  ASSERT_TRUE(PlugInPhone(old));
  EXPECT_EQ(PhoneComPorts(old), (std::vector<std::string>{"COM2", "COM3", "COM4"}));
}

TEST(PlugAndPlay, StopDeviceDropsOneDevicesRunningState) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  PlacePackage(machine);
  PlugInPhone(machine);
  StopDevice(machine, PhoneInstancePath(2));
  RegistryModel& reg = machine.registry;
  EXPECT_FALSE(reg.ValueExists(kLm, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KV6mgmt0"));
  EXPECT_TRUE(reg.ValueExists(kLm, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\KV6obex0"));
  EXPECT_FALSE(reg.KeyExists(kLm, InstanceKey(2) + "\\Control"));
  EXPECT_TRUE(reg.KeyExists(kLm, InstanceKey(3) + "\\Control"));
}

}  // namespace
}  // namespace sim
