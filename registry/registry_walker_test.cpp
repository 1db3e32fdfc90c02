#include "registry/registry_walker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "registry/scoped_owners.h"
#include "tests/sim_test_support.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kUsb[] = "SYSTEM\\ControlSet001\\Enum\\USB";
const char kClass[] = "SYSTEM\\ControlSet001\\Control\\Class";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

class Walker : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  void TearDown() override { EXPECT_EQ(OpenHandles(), ""); }
  sim::RegistryModel& reg() { return machine_->registry; }
  // The name of the key behind an open handle.
  std::string NameOf(HKEY key) {
    sim::KeyRef ref = reg().ResolveHandle(key, nullptr);
    return ref ? ref->name : "";
  }
  sim::Machine* machine_ = nullptr;
  RegistryWalker walker_{12};
};

TEST_F(Walker, OpenKeyPathForms) {
  reg().CreateKey(kLm, "SYSTEM\\X");
  reg().CreateKey(kLm, "A\\B");
  ScopedKey key;
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "HKEY_LOCAL_MACHINE\\SYSTEM\\X", KEY_READ, key.Receive()), 1);
  EXPECT_EQ(NameOf(key.Get()), "X");
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "A\\B\\", KEY_READ, key.Receive()), 1);
  EXPECT_EQ(NameOf(key.Get()), "B");
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "", KEY_READ, key.Receive()), 1);
  EXPECT_EQ(key.Get(), nullptr);
  // A missing middle component: success, no handle, no message.
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "A\\Missing\\C", KEY_READ, key.Receive()), 1);
  EXPECT_EQ(key.Get(), nullptr);
  // The root's name counts only when spelled exactly.
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "hkey_local_machine\\SYSTEM\\X", KEY_READ, key.Receive()), 1);
  EXPECT_EQ(key.Get(), nullptr);
  key.Reset();
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Walker, OpenKeyPathRefusesAnOverLongComponentBeforeOpeningAnything) {
  reg().CreateKey(kLm, "SYSTEM\\X");
  std::string longName(261, 'k');
  machine_->faults.ResetCounts();
  ScopedKey key;
  EXPECT_EQ(walker_.OpenKeyPath(kLm, ("SYSTEM\\" + longName + "\\X").c_str(), KEY_READ,
                                key.Receive()),
            0);
  EXPECT_EQ(walker_.OpenKeyPath(kLm, ("SYSTEM\\" + longName).c_str(), KEY_READ, key.Receive()), 0);
  EXPECT_EQ(key.Get(), nullptr);
  EXPECT_EQ(machine_->faults.Calls("RegOpenKeyExA"), 0u);
  // 260 characters is still a name the walk tries.
  EXPECT_EQ(walker_.OpenKeyPath(kLm, ("SYSTEM\\" + std::string(260, 'k')).c_str(), KEY_READ,
                                key.Receive()),
            1);  // no such key
  EXPECT_EQ(key.Get(), nullptr);
  EXPECT_GT(machine_->faults.Calls("RegOpenKeyExA"), 0u);
}

TEST_F(Walker, AFailedOpenIsShownAndClosesTheWalk) {
  reg().CreateKey(kLm, "A\\B\\C");
  machine_->faults.FailOn("RegOpenKeyExA", 2, ERROR_ACCESS_DENIED);
  ScopedKey key;
  EXPECT_EQ(walker_.OpenKeyPath(kLm, "A\\B\\C", KEY_READ, key.Receive()), 0);
  EXPECT_EQ(key.Get(), nullptr);
  EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
}

TEST_F(Walker, ReadValueOfAMissingValueLeavesTheBuffer) {
  reg().SetString(kLm, "A", "Here", "text");
  ScopedKey key;
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "A", KEY_READ, key.Receive()), 1);
  char buffer[kRegTextCapacity] = {};
  DWORD size = kRegTextCapacity;
  DWORD type = 77;
  EXPECT_EQ(walker_.ReadValue(key.Get(), "Missing", buffer, &size, &type), 1);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\0'));
  EXPECT_EQ(size, DWORD(kRegTextCapacity));
  EXPECT_EQ(type, 77u);
  EXPECT_EQ(walker_.ReadValue(nullptr, "Here", buffer, &size, &type), 1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(walker_.ReadValue(key.Get(), "Here", buffer, &size, &type), 1);
  EXPECT_STREQ(buffer, "text");
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, DWORD(REG_SZ));
}

// Text data of other types, without a terminator, of 261 and 262 bytes.
TEST_F(Walker, TextReadsAreAlwaysTerminatedAndLongDataFails) {
  const char path[] = "A\\Inst";
  auto bytes = [](size_t n, char c) { return std::vector<uint8_t>(n, uint8_t(c)); };
  std::vector<uint8_t> full = bytes(260, 'x');
  full.push_back(0);
  reg().SetValue(kLm, path, "Exact", REG_SZ, full);                    // 260 + terminator
  reg().SetValue(kLm, path, "NoEnd", REG_BINARY, bytes(261, 'y'));     // wrong type
  reg().SetValue(kLm, path, "NoEndSz", REG_SZ, bytes(261, 'z'));       // 261, no terminator
  reg().SetValue(kLm, path, "TooLong", REG_SZ, bytes(262, 'w'));
  reg().SetDword(kLm, path, "Number", 0x5C5C5C5C);
  ScopedKey key;
  ASSERT_EQ(walker_.OpenKeyPath(kLm, "A", KEY_READ, key.Receive()), 1);
  char text[kRegTextCapacity + 8];
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(walker_.ReadSubkeyText(key.Get(), "Inst", "Exact", text), 1);
  EXPECT_EQ(std::strlen(text), 260u);
  EXPECT_EQ(text[kRegTextCapacity], '#');  // nothing written past the 261 bytes
  for (const char* name : {"NoEnd", "NoEndSz", "Number"}) {
    EXPECT_EQ(walker_.ReadSubkeyText(key.Get(), "Inst", name, text), 1) << name;
    EXPECT_STREQ(text, "") << name;
  }
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(walker_.ReadSubkeyText(key.Get(), "Inst", "TooLong", text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(MessageBoxTexts(), "More data is available.\r\n\n");
  EXPECT_EQ(text[kRegTextCapacity], '#');
}

TEST_F(Walker, DriverKeyAndPortOfAnInstance) {
  std::string device = std::string(kUsb) + "\\VID_1F3C&PID_6B07&Mi_03";
  reg().SetString(kLm, device + "\\1", "Driver", std::string(kModemClass) + "\\0004");
  reg().SetString(kLm, device + "\\1\\Device Parameters", "PortName", "COM10");
  reg().SetString(kLm, device + "\\2", "Driver", "NoBackslashHere");
  reg().SetString(kLm, device + "\\3", "Driver", "{class}\\0004\\..\\0005");
  reg().SetString(kLm, device + "\\4\\Device Parameters", "PortName", "CO");
  reg().SetString(kLm, device + "\\5\\Device Parameters", "PortName", "COM 99999999999999999999");
  ScopedKey key;
  ASSERT_EQ(walker_.OpenKeyPath(kLm, device.c_str(), KEY_READ, key.Receive()), 1);
  ASSERT_TRUE(key);
  char className[kRegTextCapacity] = {};
  char instance[kRegTextCapacity] = {};
  EXPECT_EQ(walker_.ReadDriverKey(key.Get(), "1", className, instance), 1);
  EXPECT_STREQ(className, kModemClass);
  EXPECT_STREQ(instance, "0004");
  for (const char* name : {"2", "3", "4", "Missing"}) {
    char c[kRegTextCapacity] = {};
    char d[kRegTextCapacity] = {};
    EXPECT_EQ(walker_.ReadDriverKey(key.Get(), name, c, d), 1) << name;
    EXPECT_STREQ(c, "") << name;
    EXPECT_STREQ(d, "") << name;
  }
  long number = -1;
  EXPECT_EQ(walker_.ReadPortNumber(key.Get(), "1", &number), 1);
  EXPECT_EQ(number, 10);
  EXPECT_EQ(walker_.ReadPortNumber(key.Get(), "2", &number), 1);  // no "Device Parameters"
  EXPECT_EQ(number, 0);
  EXPECT_EQ(walker_.ReadPortNumber(key.Get(), "4", &number), 1);  // too short
  EXPECT_EQ(number, 0);
  EXPECT_EQ(walker_.ReadPortNumber(key.Get(), "5", &number), 1);  // bounded, no overflow
  EXPECT_GT(number, 2088);
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Walker, TheFirstUsableInstanceDecidesTheInfStem) {
  std::string device = std::string(kUsb) + "\\VID_1F3C&PID_6B07";
  std::string classKey = std::string(kClass) + "\\" + kModemClass;
  reg().SetString(kLm, device + "\\0", "Driver", "nobackslash");       // skipped
  reg().SetString(kLm, device + "\\1", "Driver", "{no-such-class}\\0001");  // skipped
  reg().SetString(kLm, device + "\\2", "Driver", std::string(kModemClass) + "\\0007");
  reg().SetString(kLm, device + "\\3", "Driver", std::string(kModemClass) + "\\0008");
  reg().CreateKey(kLm, classKey + "\\0007");  // no "InfPath"
  reg().SetString(kLm, classKey + "\\0008", "InfPath", "oem12.inf");
  char stem[kRegTextCapacity] = {};
  EXPECT_EQ(walker_.FindDriverInfStem(kLm, device.c_str(), stem), 0);
  EXPECT_STREQ(stem, "");
  reg().SetString(kLm, classKey + "\\0007", "InfPath", "oem7.inf");
  EXPECT_EQ(walker_.FindDriverInfStem(kLm, device.c_str(), stem), 1);
  EXPECT_STREQ(stem, "oem7");
  // An "InfPath" without a stem gives none.
  reg().SetString(kLm, classKey + "\\0007", "InfPath", ".inf");
  char none[kRegTextCapacity] = {};
  EXPECT_EQ(walker_.FindDriverInfStem(kLm, device.c_str(), none), 0);
  EXPECT_STREQ(none, "");
  EXPECT_EQ(walker_.FindDriverInfStem(kLm, "SYSTEM\\Missing", none), 0);
  EXPECT_EQ(MessageBoxTexts(), "");
}

}  // namespace
