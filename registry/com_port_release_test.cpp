#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/registry_cleaner.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kArbiter[] = "SYSTEM\\ControlSet001\\Control\\COM Name Arbiter";
const char kPorts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kModem[] = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03";

class ComPorts : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  void TearDown() override {
    EXPECT_EQ(OpenHandles(), "");
    EXPECT_EQ(MessageBoxTexts(), "");
  }
  sim::RegistryModel& reg() { return machine_->registry; }
  void SetComDb(std::vector<uint8_t> bytes) {
    reg().SetValue(kLm, kArbiter, "ComDB", REG_BINARY, bytes);
  }
  std::vector<uint8_t> ComDb() { return reg().GetValue(kLm, kArbiter, "ComDB")->data; }
  void AddPort(const std::string& instance, const std::string& port) {
    reg().SetString(kLm, std::string(kModem) + "\\" + instance + "\\Device Parameters", "PortName",
                    port);
  }
  sim::Machine* machine_ = nullptr;
  RegistryCleaner cleaner_{12};
};

TEST_F(ComPorts, EachPortClearsItsOwnBit) {
  struct Case {
    long port;
    size_t byte;
    uint8_t mask;
  };
  for (Case c : {Case{1, 0, 0x01}, Case{8, 0, 0x80}, Case{9, 1, 0x01}, Case{12, 1, 0x08},
                 Case{256, 31, 0x80}}) {
    SetComDb(std::vector<uint8_t>(32, 0xFF));
    EXPECT_EQ(cleaner_.ReleaseComDbBit(kLm, IDS_REG_CONTROL_CS001, c.port), 1);
    std::vector<uint8_t> expected(32, 0xFF);
    expected[c.byte] = static_cast<uint8_t>(0xFF & ~c.mask);
    EXPECT_EQ(ComDb(), expected) << c.port;
  }
  // A clear bit stays clear; the bitmap is written back unchanged.
  EXPECT_EQ(cleaner_.ReleaseComDbBit(kLm, IDS_REG_CONTROL_CS001, 256), 1);
  EXPECT_EQ(ComDb()[31], 0x7F);
}

TEST_F(ComPorts, PortsBeyondTheBitmapAndAMissingBitmapWriteNothing) {
  SetComDb(std::vector<uint8_t>(32, 0xFF));
  for (long port : {257L, 2088L, 2089L, 100000L, 0L, -7L}) {
    EXPECT_EQ(cleaner_.ReleaseComDbBit(kLm, IDS_REG_CONTROL_CS001, port), 1) << port;
  }
  EXPECT_EQ(ComDb(), std::vector<uint8_t>(32, 0xFF));
  EXPECT_EQ(machine_->faults.Calls("RegSetValueExA"), 0u);
  // An arbiter key without "ComDB" gets none.
  reg().DeleteValue(kLm, kArbiter, "ComDB");
  EXPECT_EQ(cleaner_.ReleaseComDbBit(kLm, IDS_REG_CONTROL_CS001, 5), 1);
  EXPECT_FALSE(reg().ValueExists(kLm, kArbiter, "ComDB"));
  // No arbiter key: nothing is created either.
  reg().DeleteTree(kLm, kArbiter);
  EXPECT_EQ(cleaner_.ReleaseComDbBit(kLm, IDS_REG_CONTROL_CS001, 5), 1);
  EXPECT_FALSE(reg().KeyExists(kLm, kArbiter));
}

// COM1: to COM4: are listed by Windows' own set-up before any port takes the
// number: the phone's port on COM1 releases its bit but leaves that value.
TEST_F(ComPorts, ReleaseTakesThePortsBitsAndValuesButNotThoseOfSimilarNamesOrWindows) {
  SetComDb({0x31, 0x1E, 0, 0});  // COM1, COM5, COM6 and COM10 to COM13
  AddPort("1", "COM1");
  AddPort("2", "COM5");
  reg().CreateKey(kLm, std::string(kModem) + "\\3");  // no "PortName": contributes nothing
  for (const char* name : {"COM1:", "COM10:", "COM12:", "COM5:", "COM50:", "COM6:"}) {
    reg().SetString(kLm, kPorts, name, "9600,n,8,1");
  }
  EXPECT_EQ(cleaner_.ReleaseComPorts(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION1,
                                     IDS_REG_CONTROL_CS001),
            1);
  EXPECT_EQ(ComDb(), (std::vector<uint8_t>{0x20, 0x1E, 0, 0}));
  std::vector<std::string> names = reg().ValueNames(kLm, kPorts);
  for (const char* kept : {"COM1:", "COM10:", "COM12:", "COM50:", "COM6:"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), kept), names.end()) << kept;
  }
  for (const char* gone : {"COM5:"}) {
    EXPECT_EQ(std::find(names.begin(), names.end(), gone), names.end()) << gone;
  }
}

TEST_F(ComPorts, SerialMapEntriesGoOnlyForInstancesOnThePhone) {
  machine_ = &FreshMachine(OptionsFor(sim::WindowsVersion::Windows98));
  const char map[] = "Hardware\\DeviceMap\\SerialComm";
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0000", "CRLowerDeviceID",
                  "USB\\VID_1F3C&PID_6B07&MI_03\\6&1");
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0000", "Portname", "COM5");
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0001", "CRLowerDeviceID", "USB\\VID_1F3C&PID_6B070\\7");
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0001", "Portname", "COM7");
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0002", "CRLowerDeviceID",
                  "USB\\vid_1f3c&pid_6b07\\lower-case");  // case counts here
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0002", "Portname", "COM8");
  reg().SetString(kLm, "Enum\\KV6CR\\guid\\0003", "CRLowerDeviceID", "USB\\VID_1F3C&PID_6B07\\9");
  for (const char* port : {"COM5", "COM7", "COM8"}) reg().SetString(kLm, map, port, port);
  EXPECT_EQ(cleaner_.RemoveSerialCommEntries(), 1);
  EXPECT_EQ(reg().ValueNames(kLm, map), (std::vector<std::string>{"COM1", "COM7", "COM8"}));
}

}  // namespace
