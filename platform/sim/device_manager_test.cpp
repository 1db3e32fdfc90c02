#include "platform/sim/device_manager.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kCs[] = "SYSTEM\\ControlSet001\\";
const char kPorts[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kModem[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kUsb[] = "{36FC9E60-C465-11CF-8056-444553540000}";

// One member of a fresh set over every device, by instance path.
struct Member {
  HDEVINFO set = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device{};
};

Member Find(const std::string& instancePath, DWORD flags = DIGCF_ALLCLASSES) {
  Member member;
  member.set = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, flags);
  const auto* members = sim::CurrentMachine().devices.Members(sim::HandleValue(member.set));
  for (DWORD i = 0; members && i < members->size(); ++i) {
    if (sim::UpperAscii((*members)[i]) == sim::UpperAscii(instancePath)) {
      member.device.cbSize = sizeof member.device;
      EXPECT_TRUE(plat::SetupDiEnumDeviceInfo(member.set, i, &member.device));
    }
  }
  EXPECT_NE(member.device.cbSize, 0u) << instancePath;
  return member;
}

std::vector<std::string> MembersOf(HDEVINFO set) {
  const auto* members = sim::CurrentMachine().devices.Members(sim::HandleValue(set));
  return members ? *members : std::vector<std::string>{};
}

TEST(DeviceManager, GuidTextRoundTrip) {
  GUID guid;
  ASSERT_TRUE(sim::ParseGuid("{4d36e96d-E325-11CE-BFC1-08002BE10318}", &guid));
  EXPECT_EQ(sim::GuidText(guid), kModem);
  EXPECT_FALSE(sim::ParseGuid("4D36E96D-E325-11CE-BFC1-08002BE10318", &guid));
  EXPECT_FALSE(sim::ParseGuid("{4D36E96D-E325-11CE-BFC1-08002BE1031X}", &guid));
}

TEST(DeviceManager, ClassDevsReadsPresentAndAllClassesAsWindows) {
  sim::Machine& machine = sim::ResetMachine();
  auto& devices = machine.devices;
  devices.AddDevice(machine, {"ROOT\\MODEM\\0000", kModem, "Modem A", {"A"}, false});
  devices.AddDevice(machine, {"USB\\VID_1\\1", kUsb, "Usb", {"USB\\VID_1"}, true});
  // The image's devices: the COM1 port, the root hub, a mouse (no "Control" key:
  // the image holds the installed devices only), a legacy driver without class.
  HDEVINFO all = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  EXPECT_EQ(MembersOf(all),
            (std::vector<std::string>{"ACPI\\PNP0501\\1", "Root\\LEGACY_SERIAL\\0000",
                                      "Root\\MODEM\\0000", "USB\\ROOT_HUB\\4&1b9a8c1&0",
                                      "USB\\Vid_045e&Pid_0040\\5&2a3d7d9&0&1", "USB\\VID_1\\1"}));
  // A class GUID is ignored with DIGCF_ALLCLASSES.
  GUID modem;
  sim::ParseGuid(kModem, &modem);
  HDEVINFO allToo = plat::SetupDiGetClassDevsA(&modem, nullptr, nullptr, DIGCF_ALLCLASSES);
  EXPECT_EQ(MembersOf(allToo).size(), 6u);
  HDEVINFO present =
      plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  EXPECT_EQ(MembersOf(present), (std::vector<std::string>{"USB\\VID_1\\1"}));
  HDEVINFO modems = plat::SetupDiGetClassDevsA(&modem, nullptr, nullptr, 0);
  EXPECT_EQ(MembersOf(modems), (std::vector<std::string>{"Root\\MODEM\\0000"}));
  HDEVINFO usb = plat::SetupDiGetClassDevsA(nullptr, "usb", nullptr, DIGCF_ALLCLASSES);
  EXPECT_EQ(MembersOf(usb).size(), 3u);
  EXPECT_EQ(machine.handles.OpenCount(sim::HandleKind::DeviceInfoSet), 5u);

  // No class and no DIGCF_ALLCLASSES; interface lists are not modelled.
  EXPECT_EQ(plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(plat::SetupDiGetClassDevsA(&modem, nullptr, nullptr, DIGCF_DEVICEINTERFACE),
            INVALID_HANDLE_VALUE);

  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  EXPECT_FALSE(plat::SetupDiEnumDeviceInfo(present, 1, &device));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
  for (HDEVINFO set : {all, allToo, present, modems, usb}) {
    EXPECT_TRUE(plat::SetupDiDestroyDeviceInfoList(set));
  }
  EXPECT_FALSE(plat::SetupDiDestroyDeviceInfoList(all));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(machine.handles.OpenCount(), 0u);
}

TEST(DeviceManager, PropertiesMissingTooSmallAndMultiString) {
  sim::Machine& machine = sim::ResetMachine();
  machine.devices.AddDevice(machine, {"USB\\VID_1\\1", kUsb, "", {"USB\\VID_1&REV_1", "USB\\VID_1"}});
  Member m = Find("USB\\VID_1\\1");
  BYTE buffer[64] = {};
  DWORD required = 0;
  DWORD type = 0;
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(m.set, &m.device, SPDRP_DEVICEDESC, &type,
                                                       buffer, sizeof buffer, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_DATA));
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(m.set, &m.device, SPDRP_HARDWAREID, &type,
                                                       nullptr, 0, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, 27u);  // both strings with their terminators and the closing one
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(m.set, &m.device, SPDRP_HARDWAREID, &type,
                                                       buffer, 26, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(buffer[0], 0);  // nothing written
  ASSERT_TRUE(plat::SetupDiGetDeviceRegistryPropertyA(m.set, &m.device, SPDRP_HARDWAREID, &type,
                                                      buffer, 27, &required));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "USB\\VID_1&REV_1");
  EXPECT_STREQ(reinterpret_cast<char*>(buffer) + 16, "USB\\VID_1");
  // A record of another set is refused.
  Member other = Find("USB\\VID_1\\1");
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(m.set, &other.device, SPDRP_HARDWAREID,
                                                       nullptr, buffer, 64, nullptr));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  plat::SetupDiDestroyDeviceInfoList(m.set);
  plat::SetupDiDestroyDeviceInfoList(other.set);
}

TEST(DeviceManager, ClassGuidsFromNameFillsTheRoomAndReportsTheCount) {
  sim::Machine& machine = sim::ResetMachine();
  GUID guids[2] = {};
  DWORD required = 0;
  ASSERT_TRUE(plat::SetupDiClassGuidsFromNameA("modem", guids, 2, &required));
  EXPECT_EQ(required, 1u);
  EXPECT_EQ(sim::GuidText(guids[0]), kModem);
  ASSERT_TRUE(plat::SetupDiClassGuidsFromNameA("NoSuchClass", guids, 2, &required));
  EXPECT_EQ(required, 0u);
  machine.registry.SetString(kLm, std::string(kCs) + "Control\\Class\\{00000001-0000-0000-0000-"
                                                     "000000000000}", "Class", "Modem");
  machine.registry.SetString(kLm, std::string(kCs) + "Control\\Class\\{00000002-0000-0000-0000-"
                                                     "000000000000}", "Class", "Modem");
  machine.registry.SetString(kLm, std::string(kCs) + "Control\\Class\\NotAGuid", "Class", "Modem");
  EXPECT_FALSE(plat::SetupDiClassGuidsFromNameA("Modem", guids, 2, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, 3u);
  EXPECT_EQ(guids[0].Data1, 1u);
  EXPECT_EQ(guids[1].Data1, 2u);
}

TEST(DeviceManager, RemovalTakesTheDeviceItsDriverKeyInterfacesAndPortAndStopsChildren) {
  sim::Machine& machine = sim::ResetMachine();
  auto& reg = machine.registry;
  std::string cs = kCs;
  // A composite parent and two children named with its ParentIdPrefix.
  machine.devices.AddDevice(
      machine, {"USB\\VID_1F3C&PID_6B07\\5&1", kUsb, "Phone", {"USB\\VID_1F3C&PID_6B07"}, true,
                "USB", std::string(kUsb) + "\\0007", "KV6bus"});
  reg.SetString(kLm, cs + "Enum\\USB\\VID_1F3C&PID_6B07\\5&1", "ParentIdPrefix", "6&AB");
  machine.devices.AddDevice(
      machine, {"USB\\VID_1F3C&PID_6B07&MI_03\\6&AB&0&0003", kModem, "Modem", {"M"}, true,
                "Modem", std::string(kModem) + "\\0001", "KV6mdm"});
  machine.devices.AddDevice(
      machine, {"USB\\VID_1F3C&PID_6B07&MI_05\\6&AB&0&0005", kPorts, "Port", {"P"}, true,
                "Ports", std::string(kPorts) + "\\0004", "KV6obex"});
  reg.SetString(kLm, cs + "Control\\Class\\" + kUsb + "\\0007", "InfPath", "oem7.inf");
  reg.SetString(kLm, cs + "Control\\Class\\" + kModem + "\\0001", "InfPath", "oem7.inf");
  reg.SetString(kLm, cs + "Enum\\USB\\VID_1F3C&PID_6B07&MI_03\\6&AB&0&0003\\Device Parameters",
                "PortName", "COM3");
  reg.SetValue(kLm, cs + "Control\\COM Name Arbiter", "ComDB", REG_BINARY,
               {0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::string interfaces = cs + "Control\\DeviceClasses\\{86E0D1E0-8089-11D0-9CE4-08003E301F73}\\";
  reg.SetString(kLm, interfaces + "##?#USB#VID_1F3C&PID_6B07&MI_03#6&AB&0&0003#{x}",
                "DeviceInstance", "usb\\vid_1f3c&pid_6b07&mi_03\\6&ab&0&0003");

  // The modem: its key, driver key, interface and COM3 go; the port device stays.
  Member modem = Find("USB\\VID_1F3C&PID_6B07&MI_03\\6&AB&0&0003");
  ASSERT_TRUE(plat::SetupDiCallClassInstaller(DIF_REMOVE, modem.set, &modem.device));
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Enum\\USB\\VID_1F3C&PID_6B07&MI_03"));
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Control\\Class\\" + kModem + "\\0001"));
  EXPECT_TRUE(reg.KeyExists(kLm, cs + "Control\\Class\\" + kModem));
  // The phone's interface goes; COM1's, of the same interface class, stays.
  EXPECT_EQ(reg.SubKeyNames(kLm, interfaces).size(), 1u);
  EXPECT_EQ(reg.GetValue(kLm, cs + "Control\\COM Name Arbiter", "ComDB")->data[0], 0x03);
  // The set still lists it; a second removal finds no device.
  EXPECT_FALSE(plat::SetupDiCallClassInstaller(DIF_REMOVE, modem.set, &modem.device));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_SUCH_DEVINST));
  BYTE buffer[8];
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(modem.set, &modem.device, SPDRP_HARDWAREID,
                                                       nullptr, buffer, 8, nullptr));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_SUCH_DEVINST));
  plat::SetupDiDestroyDeviceInfoList(modem.set);

  // The parent: its child port stops (no longer attached) but stays installed.
  Member parent = Find("USB\\VID_1F3C&PID_6B07\\5&1");
  ASSERT_TRUE(plat::SetupDiCallClassInstaller(DIF_REMOVE, parent.set, &parent.device));
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Enum\\USB\\VID_1F3C&PID_6B07"));
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Control\\Class\\" + kUsb + "\\0007"));
  EXPECT_TRUE(machine.devices.Exists(machine, "USB\\VID_1F3C&PID_6B07&MI_05\\6&AB&0&0005"));
  EXPECT_FALSE(machine.devices.IsPresent(machine, "USB\\VID_1F3C&PID_6B07&MI_05\\6&AB&0&0005"));
  // Services are never touched.
  EXPECT_TRUE(reg.KeyExists(kLm, cs + "Services\\Serial"));
  plat::SetupDiDestroyDeviceInfoList(parent.set);

  // Only administrators remove devices.
  sim::MachineOptions user;
  user.administrator = false;
  sim::Machine& limited = sim::ResetMachine(user);
  limited.devices.AddDevice(limited, {"ROOT\\X\\0", kModem, "X", {"X"}});
  Member x = Find("ROOT\\X\\0");
  EXPECT_FALSE(plat::SetupDiCallClassInstaller(DIF_REMOVE, x.set, &x.device));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(limited.devices.Exists(limited, "ROOT\\X\\0"));
  plat::SetupDiDestroyDeviceInfoList(x.set);
}

DWORD RestartFlags(Member& member) {
  SP_DEVINSTALL_PARAMS_A params{};
  params.cbSize = sizeof params;
  EXPECT_TRUE(plat::SetupDiGetDeviceInstallParamsA(member.set, &member.device, &params));
  return params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART);
}

// A program holds the modem's port open: neither the modem nor the composite
// device above it can be stopped. As SetupDiRemoveDevice does then, each
// removal succeeds, deletes the device's keys at once (instance key, driver
// key; another maker's device stays), and asks for a restart in the member's
// install parameters. The devices keep running until the restart: the modem
// driver's Enum list and SERIALCOMM entry stay, and its service, although
// deleted, keeps its key. The restart stops them for good.
TEST(DeviceManager, ADeviceInUseLosesItsKeysAtOnceAndStopsAtTheRestart) {
  sim::Machine& machine = sim::ResetMachine();
  auto& reg = machine.registry;
  std::string cs = kCs;
  const std::string modem = "USB\\VID_1F3C&PID_6B07&MI_07\\6&AB&0&0007";
  const std::string phone = "USB\\VID_1F3C&PID_6B07\\5&1";
  machine.devices.AddDevice(machine, {phone, kUsb, "Phone", {"USB\\VID_1F3C&PID_6B07"}, true,
                                      "USB", std::string(kUsb) + "\\0007", "KV6bus"});
  reg.SetString(kLm, cs + "Enum\\" + phone, "ParentIdPrefix", "6&AB");
  machine.devices.AddDevice(machine, {modem, kModem, "Modem", {"M"}, true, "Modem",
                                      std::string(kModem) + "\\0001", "KV6mdm"});
  machine.devices.AddDevice(machine, {"ROOT\\OTHER\\0000", kPorts, "Other", {"O"}, true,
                                      "Ports", std::string(kPorts) + "\\0009", "Other"});
  for (const std::string& key : {std::string(kUsb) + "\\0007", std::string(kModem) + "\\0001",
                                 std::string(kPorts) + "\\0009"}) {
    reg.SetString(kLm, cs + "Control\\Class\\" + key, "DriverDesc", "x");
  }
  // The modem's driver runs for it.
  const std::string service = cs + "Services\\KV6mdm";
  const char kSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
  reg.SetDword(kLm, service, "Type", SERVICE_KERNEL_DRIVER);
  reg.SetString(kLm, service + "\\Enum", "0", modem);
  reg.SetString(kLm, kSerialMap, "\\Device\\KV6mdm0", "COM5");
  machine.devices.SetInUse(modem, true);

  for (const std::string& path : {modem, phone}) {
    SCOPED_TRACE(path);
    Member held = Find(path);
    EXPECT_EQ(RestartFlags(held), 0u);
    EXPECT_TRUE(plat::SetupDiCallClassInstaller(DIF_REMOVE, held.set, &held.device));
    EXPECT_EQ(RestartFlags(held), DWORD(DI_NEEDREBOOT));
    EXPECT_FALSE(machine.devices.Exists(machine, path));
    EXPECT_TRUE(machine.devices.RunsUntilRestart(path));
    plat::SetupDiDestroyDeviceInfoList(held.set);
  }
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Enum\\USB\\VID_1F3C&PID_6B07"));
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Control\\Class\\" + kUsb + "\\0007"));
  EXPECT_FALSE(reg.KeyExists(kLm, cs + "Control\\Class\\" + kModem + "\\0001"));
  EXPECT_TRUE(machine.devices.Exists(machine, "ROOT\\OTHER\\0000"));
  EXPECT_TRUE(reg.KeyExists(kLm, cs + "Control\\Class\\" + kPorts + "\\0009"));
  // Still running: the driver's state for the modem stays, and its service
  // outlives DeleteService.
  EXPECT_EQ(reg.GetString(kLm, service + "\\Enum", "0"), modem);
  EXPECT_EQ(reg.GetString(kLm, kSerialMap, "\\Device\\KV6mdm0"), "COM5");
  SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE driver = plat::OpenServiceA(manager, "KV6mdm", DELETE);
  EXPECT_TRUE(plat::DeleteService(driver));
  plat::CloseServiceHandle(driver);
  plat::CloseServiceHandle(manager);
  EXPECT_TRUE(reg.KeyExists(kLm, service));

  machine.Restart();
  EXPECT_FALSE(machine.devices.RunsUntilRestart(modem));
  EXPECT_FALSE(machine.devices.IsInUse(machine, modem));
  EXPECT_FALSE(reg.KeyExists(kLm, service));
  EXPECT_FALSE(reg.GetString(kLm, kSerialMap, "\\Device\\KV6mdm0").has_value());
  EXPECT_TRUE(machine.devices.Exists(machine, "ROOT\\OTHER\\0000"));

  // A composite device whose port is free stops with its children and asks
  // for no restart.
  sim::Machine& fresh = sim::ResetMachine();
  fresh.devices.AddDevice(fresh, {phone, kUsb, "Phone", {"USB\\VID_1F3C&PID_6B07"}, true,
                                  "USB", std::string(kUsb) + "\\0007", "KV6bus"});
  Member parent = Find(phone);
  EXPECT_TRUE(plat::SetupDiCallClassInstaller(DIF_REMOVE, parent.set, &parent.device));
  EXPECT_EQ(RestartFlags(parent), 0u);
  EXPECT_FALSE(fresh.devices.Exists(fresh, phone));
  EXPECT_FALSE(fresh.devices.RunsUntilRestart(phone));

  // The parameters of a record that is not of the set, or of no set, are refused.
  SP_DEVINSTALL_PARAMS_A params{};
  params.cbSize = sizeof params;
  SP_DEVINFO_DATA stranger = parent.device;
  stranger.DevInst = 99;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetupDiGetDeviceInstallParamsA(parent.set, &stranger, &params));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  plat::SetupDiDestroyDeviceInfoList(parent.set);
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetupDiGetDeviceInstallParamsA(parent.set, nullptr, &params));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(DeviceManager, NoDeviceTreeOnWindows9x) {
  sim::MachineOptions options;
  options.version = sim::WindowsVersion::Windows98;
  sim::ResetMachine(options);
  HDEVINFO set = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  EXPECT_TRUE(MembersOf(set).empty());
  plat::SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
