#include "uninstall/device_removal.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/platform.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kEnum[] = "SYSTEM\\CurrentControlSet\\Enum\\";
const char kPhoneModem[] = "ORVEX 3G GSM USB Modem";

sim::DeviceManager::DeviceSpec Modem(const std::string& path, const std::string& description,
                                     std::vector<std::string> ids, bool present = true) {
  sim::DeviceManager::DeviceSpec traits;
  traits.instancePath = path;
  traits.classGuid = kModemClass;
  traits.className = "Modem";
  traits.description = description;
  traits.hardwareIds = std::move(ids);
  traits.present = present;
  return traits;
}

sim::DeviceManager::DeviceSpec UsbDevice(const std::string& path, std::vector<std::string> ids,
                                         bool present = true) {
  sim::DeviceManager::DeviceSpec traits;
  traits.instancePath = path;
  traits.classGuid = kUsbClass;
  traits.className = "USB";
  traits.description = "USB Composite Device";
  traits.hardwareIds = std::move(ids);
  traits.present = present;
  return traits;
}

bool DeviceExists(const std::string& path) {
  return sim::CurrentMachine().registry.KeyExists(kLm, kEnum + path);
}

int RemovePhoneModems() { return RemoveModemDevices(IDS_MODEM_DESCRIPTION, IDS_HWID_FUNCTION0); }
int RemovePhoneUsbDevice() { return RemoveUsbDevices(IDS_HWID_FUNCTION0); }

TEST(DeviceIdOccursIn, WholeIdsOnly) {
  const char* id = "VID_1F3C&PID_6B07";
  EXPECT_TRUE(DeviceIdOccursIn("USB\\VID_1F3C&PID_6B07", id));
  EXPECT_TRUE(DeviceIdOccursIn("USB\\VID_1F3C&PID_6B07&REV_0100&MI_03", id));
  EXPECT_TRUE(DeviceIdOccursIn("VID_1F3C&PID_6B07&MI_03", id));
  // Another product whose number extends the phone's, and IDs that only contain it.
  EXPECT_FALSE(DeviceIdOccursIn("USB\\VID_1F3C&PID_6B070", id));
  EXPECT_FALSE(DeviceIdOccursIn("USB\\VID_1F3C&PID_6B070&MI_00", id));
  EXPECT_FALSE(DeviceIdOccursIn("USB\\XVID_1F3C&PID_6B07", id));
  EXPECT_FALSE(DeviceIdOccursIn("USB\\VID_1F3C&PID_6B07X&MI_00", id));
  // A later whole occurrence still counts.
  EXPECT_TRUE(DeviceIdOccursIn("USB\\VID_1F3C&PID_6B070\\VID_1F3C&PID_6B07&MI_01", id));
  EXPECT_FALSE(DeviceIdOccursIn("USB\\ANYTHING", ""));
}

TEST(RemoveModemDevices, RemovesThePhonesModemsAttachedOrNotAndNothingElse) {
  sim::Machine& machine = FreshMachine();
  auto& devices = machine.devices;
  // The phone's modem, attached, its first ID in lower case with an interface suffix.
  devices.AddDevice(machine, Modem("USB\\VID_1F3C&PID_6B07&MI_03\\6&1&0&0003", kPhoneModem,
                                   {"usb\\vid_1f3c&pid_6b07&rev_0100&mi_03", "USB\\X"}));
  // The same modem from another port, not attached.
  devices.AddDevice(machine, Modem("USB\\VID_1F3C&PID_6B07&MI_03\\6&2&0&0003", kPhoneModem,
                                   {"USB\\VID_1F3C&PID_6B07&MI_03"}, false));
  // Description differing only in case.
  devices.AddDevice(machine, Modem("USB\\VID_1F3C&PID_6B07&MI_03\\6&3&0&0003",
                                   "ORVEX 3G GSM USB MODEM", {"USB\\VID_1F3C&PID_6B07&MI_03"}));
  // The phone's ID only in the second string.
  devices.AddDevice(machine, Modem("USB\\VID_0ACE&PID_0001\\1", kPhoneModem,
                                   {"USB\\VID_0ACE&PID_0001", "USB\\VID_1F3C&PID_6B07&MI_03"}));
  // Another product whose ID extends the phone's, with the same description.
  devices.AddDevice(machine, Modem("USB\\VID_1F3C&PID_6B070&MI_00\\7&1&0&0000", kPhoneModem,
                                   {"USB\\VID_1F3C&PID_6B070&MI_00"}));
  // No description, and no hardware IDs.
  devices.AddDevice(machine, Modem("ROOT\\MODEM\\0000", "", {"USB\\VID_1F3C&PID_6B07"}));
  devices.AddDevice(machine, Modem("ROOT\\MODEM\\0001", kPhoneModem, {}));

  EXPECT_EQ(RemovePhoneModems(), 1);
  EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07&MI_03\\6&1&0&0003"));
  EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07&MI_03\\6&2&0&0003"));
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07&MI_03\\6&3&0&0003"));
  EXPECT_TRUE(DeviceExists("USB\\VID_0ACE&PID_0001\\1"));
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B070&MI_00\\7&1&0&0000"));
  EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0000"));
  EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0001"));
  EXPECT_EQ(machine.devices.removals, 2);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

TEST(RemoveModemDevices, ClassLookupOutcomes) {
  {
    // No class named "Modem": nothing to do, success.
    sim::Machine& machine = FreshMachine();
    machine.registry.DeleteTree(kLm, std::string("SYSTEM\\ControlSet001\\Control\\Class\\") +
                                         kModemClass);
    machine.devices.AddDevice(
        machine, Modem("ROOT\\MODEM\\0000", kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
    EXPECT_EQ(RemovePhoneModems(), 1);
    EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0000"));
    EXPECT_EQ(machine.faults.Calls("SetupDiGetClassDevsA"), 0u);
  }
  {
    // Ten more classes named "modem" (eleven in all): more than the room, failure.
    sim::Machine& machine = FreshMachine();
    for (int i = 0; i < 10; ++i) {
      char guid[40];
      std::snprintf(guid, sizeof guid, "{0000000%d-0000-0000-0000-000000000000}", i);
      machine.registry.SetString(
          kLm, std::string("SYSTEM\\ControlSet001\\Control\\Class\\") + guid, "Class", "modem");
    }
    machine.devices.AddDevice(
        machine, Modem("ROOT\\MODEM\\0000", kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
    EXPECT_EQ(RemovePhoneModems(), 0);
    EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0000"));
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
  {
    // Exactly ten: each pass runs; the second finds the modem already gone.
    sim::Machine& machine = FreshMachine();
    for (int i = 0; i < 9; ++i) {
      char guid[40];
      std::snprintf(guid, sizeof guid, "{0000000%d-0000-0000-0000-000000000000}", i);
      machine.registry.SetString(
          kLm, std::string("SYSTEM\\ControlSet001\\Control\\Class\\") + guid, "Class", "Modem");
    }
    machine.devices.AddDevice(
        machine, Modem("ROOT\\MODEM\\0000", kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
    EXPECT_EQ(RemovePhoneModems(), 1);
    EXPECT_FALSE(DeviceExists("ROOT\\MODEM\\0000"));
    EXPECT_EQ(machine.faults.Calls("SetupDiGetClassDevsA"), 10u);
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(RemoveModemDevices, FailuresEndThePassSilentlyAndReleaseTheSet) {
  sim::Machine& machine = FreshMachine();
  machine.devices.AddDevice(
      machine, Modem("ROOT\\MODEM\\0000", kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
  machine.devices.AddDevice(
      machine, Modem("ROOT\\MODEM\\0001", kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
  machine.faults.FailOn("SetupDiCallClassInstaller", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(RemovePhoneModems(), 0);
  EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0000"));
  EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0001"));  // not visited
  // A description longer than the buffer is a failure too.
  machine.registry.SetString(kLm, std::string(kEnum) + "ROOT\\MODEM\\0000", "DeviceDesc",
                             std::string(1100, 'M'));
  EXPECT_EQ(RemovePhoneModems(), 0);
  EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0001"));
  machine.faults.FailOn("SetupDiGetClassDevsA", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(RemovePhoneModems(), 0);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

// A device removed after the set was made (Windows: ERROR_NO_SUCH_DEVINST) or
// whose key was written again meanwhile (Wine: ERROR_KEY_DELETED) is skipped;
// the pass goes on to the phone's modem.
TEST(RemoveModemDevices, AMemberThatWentAwayIsSkippedAndThePassGoesOn) {
  for (DWORD error : {DWORD(ERROR_NO_SUCH_DEVINST), DWORD(ERROR_KEY_DELETED)}) {
    SCOPED_TRACE(error);
    sim::Machine& machine = FreshMachine();
    machine.devices.AddDevice(machine, Modem("ROOT\\MODEM\\0000", "Standard 56000 bps Modem",
                                             {"MDMGEN56"}));
    machine.devices.AddDevice(machine, Modem("USB\\VID_1F3C&PID_6B07&MI_03\\6&1&0&0003",
                                             kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
    // The first member's description cannot be read any more.
    machine.faults.FailOn("SetupDiGetDeviceRegistryPropertyA", 1, error);
    EXPECT_EQ(RemovePhoneModems(), 1);
    EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07&MI_03\\6&1&0&0003"));
    EXPECT_TRUE(DeviceExists("ROOT\\MODEM\\0000"));
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
  // Any other failure of the read still ends the pass.
  sim::Machine& machine = FreshMachine();
  machine.devices.AddDevice(
      machine, Modem("ROOT\\MODEM\\0000", "Standard 56000 bps Modem", {"MDMGEN56"}));
  machine.devices.AddDevice(machine, Modem("USB\\VID_1F3C&PID_6B07&MI_03\\6&1&0&0003",
                                           kPhoneModem, {"USB\\VID_1F3C&PID_6B07&MI_03"}));
  machine.faults.FailOn("SetupDiGetDeviceRegistryPropertyA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(RemovePhoneModems(), 0);
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07&MI_03\\6&1&0&0003"));
  EXPECT_EQ(OpenHandles(), "");
}

TEST(RemoveUsbDevices, RemovesTheAttachedPhoneByAnyEqualHardwareId) {
  sim::Machine& machine = FreshMachine();
  auto& devices = machine.devices;
  // The phone as the USB hub reports it, in Windows' mixed case only.
  devices.AddDevice(machine, UsbDevice("USB\\VID_1F3C&PID_6B07\\5&1&0&1",
                                       {"USB\\Vid_1f3c&Pid_6b07&Rev_0100", "USB\\Vid_1f3c&Pid_6b07"}));
  // On another port, with the target three times in three letter cases.
  devices.AddDevice(machine, UsbDevice("USB\\VID_1F3C&PID_6B07\\5&2&0&2",
                                       {"usb\\vid_1f3c&pid_6b07", "USB\\VID_1F3C&PID_6B07",
                                        "USB\\Vid_1f3c&Pid_6b07"}));
  // An interface function (suffix), a product extending the number, an ID
  // only beginning with the target, and a device without hardware IDs.
  devices.AddDevice(machine, UsbDevice("USB\\VID_1F3C&PID_6B07&MI_05\\6&1&0&0005",
                                       {"USB\\VID_1F3C&PID_6B07&MI_05"}));
  devices.AddDevice(machine, UsbDevice("USB\\VID_1F3C&PID_6B070\\1", {"USB\\VID_1F3C&PID_6B070"}));
  devices.AddDevice(machine,
                    UsbDevice("USB\\VID_1F3C&PID_6B07&REV_1\\1", {"USB\\VID_1F3C&PID_6B07&REV_1"}));
  devices.AddDevice(machine, UsbDevice("USB\\NOIDS\\1", {}));

  EXPECT_EQ(RemovePhoneUsbDevice(), 1);
  EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07\\5&1&0&1"));
  EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07\\5&2&0&2"));
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07&MI_05\\6&1&0&0005"));
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B070\\1"));
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07&REV_1\\1"));
  EXPECT_TRUE(DeviceExists("USB\\NOIDS\\1"));
  // Each removed once, although the second has two more IDs equal to the target.
  EXPECT_EQ(machine.devices.removals, 2);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

TEST(RemoveUsbDevices, UnpluggedPhoneStaysWithoutMessage) {
  sim::Machine& machine = FreshMachine();
  machine.devices.AddDevice(
      machine, UsbDevice("USB\\VID_1F3C&PID_6B07\\5&1&0&1", {"USB\\VID_1F3C&PID_6B07"}, false));
  EXPECT_EQ(RemovePhoneUsbDevice(), 0);
  EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07\\5&1&0&1"));
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

TEST(RemoveUsbDevices, GrowsTheBufferForLongHardwareIdLists) {
  sim::Machine& machine = FreshMachine();
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) ids.push_back("USB\\VID_0ACE&PID_" + std::to_string(1000 + i));
  ids.push_back("USB\\VID_1F3C&PID_6B07");
  machine.devices.AddDevice(machine, UsbDevice("USB\\VID_1F3C&PID_6B07\\1", ids));
  EXPECT_EQ(RemovePhoneUsbDevice(), 1);
  EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07\\1"));
  EXPECT_EQ(machine.system.OpenBlocks(sim::HandleKind::LocalMemory), 0u);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(RemoveUsbDevices, AFailureIsShownOnceAndEndsTheWalk) {
  {
    sim::Machine& machine = FreshMachine();
    machine.devices.AddDevice(machine,
                              UsbDevice("USB\\VID_1F3C&PID_6B07\\1", {"USB\\VID_1F3C&PID_6B07"}));
    machine.devices.AddDevice(machine,
                              UsbDevice("USB\\VID_1F3C&PID_6B07\\2", {"USB\\VID_1F3C&PID_6B07"}));
    machine.faults.FailOn("SetupDiCallClassInstaller", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RemovePhoneUsbDevice(), 0);
    EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07\\1"));
    EXPECT_TRUE(DeviceExists("USB\\VID_1F3C&PID_6B07\\2"));
    EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
    EXPECT_EQ(machine.windows.messageBoxes[0].caption, "Error");
    EXPECT_EQ(OpenHandles(), "");
  }
  {
    // A removal before the failure counts.
    sim::Machine& machine = FreshMachine();
    machine.devices.AddDevice(machine,
                              UsbDevice("USB\\VID_1F3C&PID_6B07\\1", {"USB\\VID_1F3C&PID_6B07"}));
    machine.devices.AddDevice(machine,
                              UsbDevice("USB\\VID_1F3C&PID_6B07\\2", {"USB\\VID_1F3C&PID_6B07"}));
    machine.faults.FailOn("SetupDiCallClassInstaller", 2, ERROR_NO_SUCH_DEVINST);
    EXPECT_EQ(RemovePhoneUsbDevice(), 1);
    EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07\\1"));
    EXPECT_EQ(MessageBoxTexts(), "The device instance does not exist in the hardware tree.\r\n\n");
  }
  {
    sim::Machine& machine = FreshMachine();
    machine.faults.FailOn("SetupDiGetClassDevsA", 1, ERROR_INVALID_DATA);
    EXPECT_EQ(RemovePhoneUsbDevice(), 0);
    EXPECT_EQ(MessageBoxTexts(), "The data is invalid.\r\n\n");
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST(RemoveUsbDevices, ADeviceAskingForNoBufferIsSkippedNotAFailure) {
  sim::Machine& machine = FreshMachine();
  machine.devices.AddDevice(machine, UsbDevice("USB\\VID_0ACE&PID_0001\\1", {"USB\\VID_0ACE"}));
  machine.devices.AddDevice(machine,
                            UsbDevice("USB\\VID_1F3C&PID_6B07\\1", {"USB\\VID_1F3C&PID_6B07"}));
  // The first device's size query fails with "insufficient buffer" and a
  // required size of 0: it has no IDs, and the walk goes on to the phone.
  machine.faults.FailOn("SetupDiGetDeviceRegistryPropertyA", 1, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(RemovePhoneUsbDevice(), 1);
  EXPECT_TRUE(DeviceExists("USB\\VID_0ACE&PID_0001\\1"));
  EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07\\1"));
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(machine.system.OpenBlocks(sim::HandleKind::LocalMemory), 0u);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(RemoveUsbDevices, ADeviceThatWentAwayIsSkippedWithoutMessage) {
  for (DWORD error : {DWORD(ERROR_NO_SUCH_DEVINST), DWORD(ERROR_KEY_DELETED)}) {
    SCOPED_TRACE(error);
    sim::Machine& machine = FreshMachine();
    machine.devices.AddDevice(machine,
                              UsbDevice("USB\\VID_0ACE&PID_0001\\1", {"USB\\VID_0ACE&PID_0001"}));
    machine.devices.AddDevice(machine,
                              UsbDevice("USB\\VID_1F3C&PID_6B07\\1", {"USB\\VID_1F3C&PID_6B07"}));
    machine.faults.FailOn("SetupDiGetDeviceRegistryPropertyA", 1, error);
    EXPECT_EQ(RemovePhoneUsbDevice(), 1);
    EXPECT_TRUE(DeviceExists("USB\\VID_0ACE&PID_0001\\1"));
    EXPECT_FALSE(DeviceExists("USB\\VID_1F3C&PID_6B07\\1"));
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(machine.system.OpenBlocks(sim::HandleKind::LocalMemory), 0u);
    EXPECT_EQ(OpenHandles(), "");
  }
}

// Plants a service as the service control manager keeps it.
void PlantService(sim::Machine& machine, const std::string& name) {
  std::string key = "SYSTEM\\ControlSet001\\Services\\" + name;
  machine.registry.SetDword(kLm, key, "Type", SERVICE_KERNEL_DRIVER);
  machine.registry.SetDword(kLm, key, "Start", SERVICE_DEMAND_START);
  machine.registry.SetString(kLm, key + "\\Enum", "Count", "0");
}

bool ServiceKeyExists(const std::string& name) {
  return sim::CurrentMachine().registry.KeyExists(kLm,
                                                  "SYSTEM\\ControlSet001\\Services\\" + name);
}

TEST(DeleteDriverService, DeletesTheServiceWithItsKeyAndSkipsMissingOnesSilently) {
  sim::Machine& machine = FreshMachine();
  PlantService(machine, "KV6bus");
  PlantService(machine, "KV6bus0");  // another driver whose name extends the phone's
  for (int id = IDS_SERVICE_BUS; id <= IDS_SERVICE_OBEX; ++id) EXPECT_EQ(DeleteDriverService(id), 1);
  EXPECT_FALSE(ServiceKeyExists("KV6bus"));
  EXPECT_TRUE(ServiceKeyExists("KV6bus0"));
  EXPECT_TRUE(ServiceKeyExists("Serial"));
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
  EXPECT_EQ(machine.faults.Calls("OpenSCManagerA"), 5u);
}

// A service marked for deletion already (an earlier removal, or someone
// else, deleted it while its driver or a handle keeps it) is not an error to
// show: its key goes later, at the latest when Windows restarts, and until
// then the same services cannot be installed again, so a restart is asked
// for. The next service still goes.
TEST(DeleteDriverService, AServiceMarkedForDeletionAsksForARestartAndTheNextStillGoes) {
  sim::Machine& machine = FreshMachine();
  PlantService(machine, "KV6mdfl");
  PlantService(machine, "KV6mdm");
  // Someone else deleted KV6mdfl and still holds a handle to it.
  SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE held = plat::OpenServiceA(manager, "kv6MDFL", SERVICE_ALL_ACCESS);
  ASSERT_NE(held, nullptr);
  ASSERT_TRUE(plat::DeleteService(held));

  int restartNeeded = 0;
  for (int id = IDS_SERVICE_BUS; id <= IDS_SERVICE_OBEX; ++id) {
    EXPECT_EQ(DeleteDriverService(id, &restartNeeded), 1);
  }
  EXPECT_EQ(restartNeeded, 1);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_FALSE(ServiceKeyExists("KV6mdm"));
  EXPECT_TRUE(ServiceKeyExists("KV6mdfl"));  // until the other handle closes
  EXPECT_TRUE(plat::CloseServiceHandle(held));
  EXPECT_FALSE(ServiceKeyExists("KV6mdfl"));
  EXPECT_TRUE(plat::CloseServiceHandle(manager));
  EXPECT_EQ(OpenHandles(), "");
}

TEST(DeleteDriverService, ManagerFailuresAreShown) {
  sim::Machine& machine = FreshMachine();
  PlantService(machine, "KV6bus");
  machine.faults.FailOn("OpenSCManagerA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteDriverService(IDS_SERVICE_BUS), 0);
  EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
  EXPECT_TRUE(ServiceKeyExists("KV6bus"));

  // The service's handle fails to close: shown, and the result still 1.
  FreshMachine();
  PlantService(sim::CurrentMachine(), "KV6bus");
  sim::CurrentMachine().faults.FailOn("CloseServiceHandle", 1, ERROR_INVALID_HANDLE);
  EXPECT_EQ(DeleteDriverService(IDS_SERVICE_BUS), 1);
  EXPECT_EQ(MessageBoxTexts(), "The handle is invalid.\r\n\n");

  // The manager's handle fails to close: shown, result 0.
  FreshMachine();
  sim::CurrentMachine().faults.FailOn("CloseServiceHandle", 1, ERROR_INVALID_HANDLE);
  EXPECT_EQ(DeleteDriverService(IDS_SERVICE_BUS), 0);
  EXPECT_EQ(MessageBoxTexts(), "The handle is invalid.\r\n\n");
}

}  // namespace
