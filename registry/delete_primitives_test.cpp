#include <gtest/gtest.h>

#include <string>

#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "tests/sim_test_support.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;

class Deletion : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  void TearDown() override { EXPECT_EQ(OpenHandles(), ""); }
  sim::RegistryModel& reg() { return machine_->registry; }
  bool Has(const std::string& path) { return reg().KeyExists(kLm, path); }
  int DeleteTreeBelow(const char* parentPath, const char* name, bool granted) {
    RegistryWalker walker(12);
    ScopedKey parent;
    if (!walker.OpenKeyPath(kLm, parentPath, KEY_READ, parent.Receive()) || !parent) return -1;
    return granted ? cleaner_.DeleteTreeGranted(parent.Get(), parentPath, name)
                   : cleaner_.DeleteTree(parent.Get(), name);
  }
  sim::Machine* machine_ = nullptr;
  RegistryCleaner cleaner_{12};
};

TEST_F(Deletion, TreeGoesLeavesFirstA1ThenAThenBThenTheKey) {
  // Stopping the n-th key deletion shows which keys went before it.
  const char* expectedGone[][4] = {{"", "", "", ""},
                                   {"P\\K\\A\\A1", "", "", ""},
                                   {"P\\K\\A\\A1", "P\\K\\A", "", ""},
                                   {"P\\K\\A\\A1", "P\\K\\A", "P\\K\\B", ""}};
  for (int failing = 1; failing <= 4; ++failing) {
    machine_ = &FreshMachine();
    reg().CreateKey(kLm, "P\\K\\A\\A1");
    reg().CreateKey(kLm, "P\\K\\B");
    reg().CreateKey(kLm, "P\\Neighbour");
    machine_->faults.FailOn("RegDeleteKeyA", failing, ERROR_ACCESS_DENIED);
    EXPECT_EQ(DeleteTreeBelow("P", "K", false), 0);
    int gone = 0;
    for (const char* path : {"P\\K\\A\\A1", "P\\K\\A", "P\\K\\B", "P\\K"}) gone += !Has(path);
    EXPECT_EQ(gone, failing - 1) << failing;
    for (const char* path : expectedGone[failing - 1]) {
      if (*path) {
        EXPECT_FALSE(Has(path)) << path;
      }
    }
    EXPECT_EQ(OpenHandles(), "");
  }
  machine_ = &FreshMachine();
  reg().CreateKey(kLm, "P\\K\\A\\A1");
  reg().CreateKey(kLm, "P\\Neighbour");
  EXPECT_EQ(DeleteTreeBelow("P", "K", false), 1);
  EXPECT_FALSE(Has("P\\K"));
  EXPECT_TRUE(Has("P\\Neighbour"));
  EXPECT_EQ(DeleteTreeBelow("P", "Missing", false), 1);
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Deletion, ProtectedDeviceTreeGoesOnlyWithTheGrant) {
  const char usb[] = "SYSTEM\\ControlSet001\\Enum\\USB";
  std::string device = std::string(usb) + "\\VID_1F3C&PID_6B07";
  reg().SetString(kLm, device + "\\5&1&0\\Device Parameters", "PortName", "COM5");
  EXPECT_EQ(DeleteTreeBelow(usb, "VID_1F3C&PID_6B07", false), 0);
  EXPECT_TRUE(Has(device + "\\5&1&0\\Device Parameters"));
  EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
  EXPECT_EQ(DeleteTreeBelow(usb, "VID_1F3C&PID_6B07", true), 1);
  EXPECT_FALSE(Has(device));
  EXPECT_TRUE(Has(std::string(usb) + "\\ROOT_HUB\\4&1b9a8c1&0"));
  EXPECT_EQ(machine_->windows.messageBoxes.size(), 1u);
}

TEST_F(Deletion, GrantedTreeStopsWhereThePathWouldPass260Characters) {
  std::string name(100, 'n');
  std::string deep = "P\\K\\" + name + "\\" + name + "\\" + name;  // relative 1 + 3 * 101 long
  reg().CreateKey(kLm, deep);
  reg().CreateKey(kLm, "P\\K\\short");
  EXPECT_EQ(DeleteTreeBelow("P", "K", true), 0);
  EXPECT_TRUE(Has(deep));
  EXPECT_TRUE(Has("P\\K\\short"));  // the walk stopped before any deletion
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Deletion, SingleKeyDeletionTakesTheTreeOnlyOnWindows9x) {
  for (auto version : {sim::WindowsVersion::Windows98, sim::WindowsVersion::WindowsNT4}) {
    machine_ = &FreshMachine(OptionsFor(version));
    reg().CreateKey(kLm, "Enum\\USB\\VID_1F3C&PID_6B07\\inst");
    RegistryCleaner cleaner(version == sim::WindowsVersion::Windows98 ? 1 : 10);
    bool nine = version == sim::WindowsVersion::Windows98;
    EXPECT_EQ(cleaner.DeleteSubkeyById(kLm, 5201, 200), nine ? 1 : 0);
    EXPECT_EQ(Has("Enum\\USB\\VID_1F3C&PID_6B07"), !nine);
    EXPECT_EQ(MessageBoxTexts(), nine ? "" : "Access is denied.\r\n\n");
    EXPECT_EQ(cleaner.DeleteSubkeyById(kLm, 5201, 231), 1);  // missing: nothing to do
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST_F(Deletion, ValuesMatchingAPatternGoInRepeatedPasses) {
  const char ports[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
  reg().DeleteTree(kLm, ports);
  for (const char* name : {"COM5:", "com5", "COM6:", "COM50:", "XCOM5:", "com5x"}) {
    reg().SetString(kLm, ports, name, "9600,n,8,1");
  }
  reg().SetString(kLm, ports, std::string(300, 'C'), "long name");
  EXPECT_EQ(cleaner_.DeleteValuesContaining(kLm, ports, "com5", MatchRule::kPortName), 1);
  // The adjacent "COM5:" and "com5" both went (the second in a later pass).
  EXPECT_EQ(reg().ValueNames(kLm, ports),
            (std::vector<std::string>{"COM6:", "COM50:", "XCOM5:", "com5x",
                                      std::string(300, 'C')}));
  EXPECT_GE(machine_->faults.Calls("RegQueryInfoKeyA"), 2u);
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Deletion, AnEmptyPatternDeletesNothing) {
  const char lastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
  std::vector<std::string> before = reg().ValueNames(kLm, lastGood);
  ASSERT_FALSE(before.empty());
  for (MatchRule rule : {MatchRule::kFileStem, MatchRule::kDeviceId, MatchRule::kPortName,
                         MatchRule::kFileNameAtEnd}) {
    EXPECT_EQ(cleaner_.DeleteValuesContaining(kLm, lastGood, "", rule), 0);
  }
  EXPECT_EQ(reg().ValueNames(kLm, lastGood), before);
  EXPECT_EQ(cleaner_.DeleteValuesContaining(kLm, "SYSTEM\\Missing", "x", MatchRule::kFileStem), 1);
}

TEST(NameMatch, EachRuleKeepsOtherEntries) {
  EXPECT_TRUE(MatchesNarrowly("INF\\OEM1.INF", "OEM1", MatchRule::kFileStem));
  EXPECT_TRUE(MatchesNarrowly("OEM1.PNF", "OEM1", MatchRule::kFileStem));
  EXPECT_FALSE(MatchesNarrowly("INF\\OEM10.INF", "OEM1", MatchRule::kFileStem));
  EXPECT_FALSE(MatchesNarrowly("SYSTEM32\\DRIVERS\\MYOEM1.SYS", "OEM1", MatchRule::kFileStem));
  EXPECT_TRUE(MatchesNarrowly("X\\OEM19.INF;INF\\OEM1.INF", "OEM1", MatchRule::kFileStem));
  EXPECT_TRUE(MatchesNarrowly("COM1:", "COM1", MatchRule::kPortName));
  EXPECT_TRUE(MatchesNarrowly("COM1", "COM1", MatchRule::kPortName));
  EXPECT_FALSE(MatchesNarrowly("COM12:", "COM1", MatchRule::kPortName));
  EXPECT_TRUE(MatchesNarrowly("USB\\VID_1F3C&PID_6B07&MI_03\\6&1", "VID_1F3C&PID_6B07",
                              MatchRule::kDeviceId));
  EXPECT_TRUE(MatchesNarrowly("USB\\VID_1F3C&PID_6B07\\5&2", "VID_1F3C&PID_6B07",
                              MatchRule::kDeviceId));
  EXPECT_FALSE(MatchesNarrowly("USB\\VID_1F3C&PID_6B070\\5&2", "VID_1F3C&PID_6B07",
                               MatchRule::kDeviceId));
  EXPECT_FALSE(MatchesNarrowly("USB\\XVID_1F3C&PID_6B07", "VID_1F3C&PID_6B07",
                               MatchRule::kDeviceId));
  EXPECT_TRUE(MatchesNarrowly("C:\\WINDOWS\\INF\\OTHER\\ORVEXKV6BUS.INF", "KV6BUS.INF",
                              MatchRule::kFileNameAtEnd));
  EXPECT_FALSE(MatchesNarrowly("C:\\KV6BUS.INF.BAK", "KV6BUS.INF", MatchRule::kFileNameAtEnd));
  EXPECT_FALSE(MatchesNarrowly("ANYTHING", "", MatchRule::kDeviceId));
}

}  // namespace
