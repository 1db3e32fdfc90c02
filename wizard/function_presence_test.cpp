#include "wizard/function_presence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/sim_test_support.h"
#include "wizard/test_phone.h"

namespace {

using sim::WindowsVersion;
using test_phone::HardwareId;

std::vector<int> PresentFunctions() {
  std::vector<int> present;
  for (int function = 0; function < 4; ++function) {
    if (IsFunctionPresent(function)) present.push_back(function);
  }
  return present;
}

TEST(FunctionPresenceNt, AFunctionCountsOnlyOnceConfigured) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::WindowsXPSP3));
  EXPECT_EQ(PresentFunctions(), std::vector<int>{});

  // The hardware ID's key without an instance, and an instance without a class.
  machine.registry.CreateKey(HKEY_LOCAL_MACHINE, test_phone::NtDeviceKey(0));
  EXPECT_EQ(IsFunctionPresent(0), 0);
  machine.registry.CreateKey(HKEY_LOCAL_MACHINE, test_phone::NtDeviceKey(0) + "\\6&2c5f&0");
  EXPECT_EQ(IsFunctionPresent(0), 0);

  // The composite device needs the class "USB", in any case, and no port.
  for (const char* usb : {"usb", "Usb", "USB"}) {
    machine.registry.SetString(HKEY_LOCAL_MACHINE, test_phone::NtDeviceKey(0) + "\\6&2c5f&0",
                               "Class", usb);
    EXPECT_EQ(IsFunctionPresent(0), 1) << usb;
  }
  machine.registry.SetString(HKEY_LOCAL_MACHINE, test_phone::NtDeviceKey(0) + "\\6&2c5f&0", "Class",
                             "USBX");
  EXPECT_EQ(IsFunctionPresent(0), 0);

  // An interface function whose modem driver has not assigned a port yet.
  test_phone::PlugNt(machine, 2, "7&1&0", false);
  EXPECT_EQ(IsFunctionPresent(2), 0);
  test_phone::PlugNt(machine, 2, "7&1&0", true);
  EXPECT_EQ(IsFunctionPresent(2), 1);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(FunctionPresenceNt, OnlyTheFirstInstanceDecides) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::Windows2000));
  // The phone was once plugged into another port: "A..." enumerates first.
  test_phone::PlugNt(machine, 1, "A&0", false);
  test_phone::PlugNt(machine, 1, "B&0", true);
  EXPECT_EQ(IsFunctionPresent(1), 0);
  test_phone::PlugNt(machine, 3, "A&0", true);
  test_phone::PlugNt(machine, 3, "B&0", false);
  EXPECT_EQ(IsFunctionPresent(3), 1);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(FunctionPresenceNt, RegistryFailuresCountAsAbsentAndCloseEveryKey) {
  for (const char* operation :
       {"RegOpenKeyExA", "RegQueryInfoKeyA", "RegEnumKeyExA", "RegQueryValueExA"}) {
    for (uint64_t nth = 1; nth <= 3; ++nth) {
      sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::WindowsXPSP2));
      test_phone::PlugNt(machine, 1);
      machine.faults.FailOn(operation, nth, ERROR_ACCESS_DENIED);
      int present = IsFunctionPresent(1);
      if (machine.faults.Fired()) {
        EXPECT_EQ(present, 0) << operation << " " << nth;
      }
      EXPECT_EQ(OpenHandles(), "") << operation << " " << nth;
    }
  }
}

TEST(FunctionPresenceNt, AHardwareIdThatMakesThePathTooLongIsAbsent) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::WindowsXPSP3));
  // 34 characters of base path and a backslash leave room for 225.
  std::string id(226, 'A');
  machine.registry.SetString(HKEY_LOCAL_MACHINE,
                             "SYSTEM\\CurrentControlSet\\Enum\\USB\\" + id.substr(0, 225) + "\\1",
                             "Class", "USB");
  EXPECT_EQ(IsFunctionPresentNt(id.substr(0, 225).c_str()), 1);
  EXPECT_EQ(IsFunctionPresentNt(id.c_str()), 0);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(FunctionPresence, TheRunningVersionChoosesTheMethod) {
  // The Windows 2000/XP footprint means nothing to Windows 98, and the other way round.
  sim::Machine& xp = FreshMachine(OptionsFor(WindowsVersion::WindowsXPSP3));
  for (int function = 0; function < 4; ++function) test_phone::PlugLegacy(xp, function);
  EXPECT_EQ(PresentFunctions(), std::vector<int>{});
  for (int function = 0; function < 4; ++function) test_phone::PlugNt(xp, function);
  EXPECT_EQ(PresentFunctions(), (std::vector<int>{0, 1, 2, 3}));

  for (auto version : {WindowsVersion::Windows98, WindowsVersion::WindowsNT4}) {
    sim::Machine& legacy = FreshMachine(OptionsFor(version));
    for (int function = 0; function < 4; ++function) test_phone::PlugNt(legacy, function);
    EXPECT_EQ(PresentFunctions(), std::vector<int>{});
    for (int function = 0; function < 4; ++function) test_phone::PlugLegacy(legacy, function);
    EXPECT_EQ(PresentFunctions(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(OpenHandles(), "");
  }
  EXPECT_EQ(IsFunctionPresent(4), 0);
  EXPECT_EQ(IsFunctionPresent(-1), 0);
}

TEST(FunctionPresenceLegacy, ThePhonesFirstInstanceMustNameItInAnyCase) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::Windows95));
  std::string phone = test_phone::kLegacyPhoneKey;
  machine.registry.SetString(HKEY_LOCAL_MACHINE, phone + "\\0000", "HardwareID",
                             "usb\\vid_1f3c&pid_6b07&rev_0100");
  EXPECT_EQ(IsFunctionPresent(0), 1);

  // Only the first instance is looked at, even when a later one would match.
  machine.registry.DeleteTree(HKEY_LOCAL_MACHINE, phone);
  machine.registry.SetString(HKEY_LOCAL_MACHINE, phone + "\\0000", "HardwareID", "USB\\OTHER");
  machine.registry.SetString(HKEY_LOCAL_MACHINE, phone + "\\0001", "HardwareID",
                             "USB\\VID_1F3C&PID_6B07");
  EXPECT_EQ(IsFunctionPresent(0), 0);
  machine.registry.DeleteValue(HKEY_LOCAL_MACHINE, phone + "\\0000", "HardwareID");
  EXPECT_EQ(IsFunctionPresent(0), 0);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(FunctionPresenceLegacy, ThePortDevicesInstancesAreSearchedForOneWithAPort) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::WindowsMe));
  std::string ports = test_phone::kLegacyPortKey;
  // An instance without a lower device, one of another function, one of this
  // function still without a port: none counts.
  machine.registry.SetString(HKEY_LOCAL_MACHINE, ports + "\\0000", "PortName", "COM1");
  test_phone::PlugLegacy(machine, 2, "0001");
  test_phone::PlugLegacy(machine, 1, "0002", false);
  EXPECT_EQ(IsFunctionPresent(1), 0);
  EXPECT_EQ(IsFunctionPresent(2), 1);
  // A later instance with a port decides; the lower device is compared in upper case.
  machine.registry.SetString(HKEY_LOCAL_MACHINE, ports + "\\0003", "CRLowerDeviceId",
                             "usb\\vid_1f3c&pid_6b07&mi_03\\6&2c5f&0");
  machine.registry.SetString(HKEY_LOCAL_MACHINE, ports + "\\0003", "PortName", "COM4");
  EXPECT_EQ(IsFunctionPresent(1), 1);
  EXPECT_EQ(IsFunctionPresent(3), 0);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(FunctionPresenceLegacy, LongPathsAndFailuresAreAbsent) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::Windows98));
  test_phone::PlugLegacy(machine, 1);
  EXPECT_EQ(IsFunctionPresentLegacy(test_phone::kLegacyPortKey, HardwareId(1), 0), 1);
  EXPECT_EQ(IsFunctionPresentLegacy(std::string(261, 'E').c_str(), HardwareId(1), 0), 0);
  EXPECT_EQ(IsFunctionPresentLegacy(test_phone::kLegacyPortKey, std::string(261, 'V').c_str(), 0),
            0);
  machine.faults.FailOn("RegEnumKeyExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(IsFunctionPresentLegacy(test_phone::kLegacyPortKey, HardwareId(1), 0), 0);
  EXPECT_EQ(OpenHandles(), "");
}

// A stored text need not end in a terminator; the buffer always gets one,
// and nothing is written past it.
TEST(ReadRegString, AlwaysTerminatesInsideTheBuffer) {
  for (auto version : {WindowsVersion::Windows98, WindowsVersion::WindowsXPSP3}) {
    sim::Machine& machine = FreshMachine(OptionsFor(version));
    const char key[] = "Enum\\Test";
    auto store = [&](const char* name, const std::string& bytes) {
      machine.registry.SetValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ,
                                std::vector<uint8_t>(bytes.begin(), bytes.end()));
    };
    store("Short", "USB");                 // no terminator
    store("Full", std::string(261, 'F'));  // fills the buffer, no terminator
    store("Fits", std::string(260, 'G') + '\0');
    store("Long", std::string(262, 'L'));
    machine.registry.SetDword(HKEY_LOCAL_MACHINE, key, "Number", 0x42535500);

    char buffer[262];
    auto read = [&](const char* name) {
      std::memset(buffer, 'x', sizeof(buffer));
      int result = ReadRegString(HKEY_LOCAL_MACHINE, key, name, buffer, 261);
      EXPECT_EQ(buffer[261], 'x') << name;  // never past the given size
      return result;
    };
    EXPECT_EQ(read("Short"), 1);
    EXPECT_STREQ(buffer, "USB");
    EXPECT_EQ(read("Full"), 1);
    EXPECT_EQ(std::string(buffer), std::string(260, 'F'));
    EXPECT_EQ(read("Fits"), 1);
    EXPECT_EQ(std::string(buffer), std::string(260, 'G'));
    EXPECT_EQ(read("Long"), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(read("Number"), 1);  // the type is not looked at
    EXPECT_STREQ(buffer, "");      // little-endian 0x42535500 starts with a zero byte
    EXPECT_EQ(read("Missing"), 0);
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, "Enum\\Nothing", "Short", buffer, 261), 0);
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
