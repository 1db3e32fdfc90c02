// What the presence check reads was written by Plug and Play, other drivers
// or anyone with rights on the registry: long instance names, values of the
// wrong type or too long for the buffers. The check answers, without a
// message, and closes every key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim_test_support.h"
#include "wizard/function_presence.h"
#include "wizard/test_phone.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;

// An interface function's port is read at instance\Device Parameters, which
// must fit in 260 characters with the hardware ID's key: instance names of up
// to 242 characters do, longer ones answer absent.
TEST(PresenceInput, InstanceNamesUpToTheLongestThatFits) {
  for (size_t length : {242u, 243u, 255u}) {
    sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::WindowsXPSP3));
    std::string instance(length, 'i');
    test_phone::PlugNt(machine, 2, instance, true);
    EXPECT_EQ(IsFunctionPresent(2), length <= 242 ? 1 : 0) << length;
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

// Windows 95/98/Me: the port device's instances are searched in order; one
// whose lower device cannot be read (too long) or is no text the ID is found
// in is passed over, and a later one still decides.
TEST(PresenceInput, UnreadableLowerDevicesArePassedOver) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::Windows98));
  std::string ports = test_phone::kLegacyPortKey;
  std::string id = "USB\\VID_1F3C&PID_6B07&MI_03\\6&2C5F&0";
  machine.registry.SetValue(kLm, ports + "\\0000", "CRLowerDeviceId", REG_SZ,
                            std::vector<uint8_t>(262, 'U'));
  machine.registry.SetString(kLm, ports + "\\0000", "PortName", "COM1");
  machine.registry.SetDword(kLm, ports + "\\0001", "CRLowerDeviceId", 0x5C425355);
  machine.registry.SetString(kLm, ports + "\\0001", "PortName", "COM2");
  EXPECT_EQ(IsFunctionPresent(1), 0);
  machine.registry.SetString(kLm, ports + "\\0002", "CRLowerDeviceId", id);
  machine.registry.SetString(kLm, ports + "\\0002", "PortName", "COM3");
  EXPECT_EQ(IsFunctionPresent(1), 1);

  // The phone's hardware ID in the second string of a multi-string, or past
  // the 260 characters that are read, is not found.
  std::string phone = test_phone::kLegacyPhoneKey;
  machine.registry.SetMultiString(kLm, phone + "\\0000", "HardwareID",
                                  {"USB\\OTHER", "USB\\VID_1F3C&PID_6B07"});
  EXPECT_EQ(IsFunctionPresent(0), 0);
  machine.registry.SetString(kLm, phone + "\\0000", "HardwareID",
                             std::string(250, ',') + "USB\\VID_1F3C&PID_6B07");
  EXPECT_EQ(IsFunctionPresent(0), 0);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
