// INF files in the INF folder are anyone's: the stale OEM INF scan reads
// each "oem*.inf" there and must delete only the phone's, whatever shape the
// others have, and the package install must work from a folder whose name
// holds double-byte characters.
#include <gtest/gtest.h>

#include <string>

#include "app/application_state.h"
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"

namespace {

const char kInf[] = "C:\\WINDOWS\\INF\\";
// "あ" in code page 932.
const char kA932[] = "\x82\xA0";

std::string Header() {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
         "[Manufacturer]\r\n%Orvex%=ORVEX\r\n";
}

std::string Strings() { return "[Strings]\r\nOrvex=\"ORVEX\"\r\n"; }

std::string PhoneModels() { return "[ORVEX]\r\n%D%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n"; }

// `count` lines of a section nobody reads.
std::string Filler(int count) {
  std::string text = "[Filler]\r\n";
  for (int i = 0; i < count; ++i) text += "HKR,,Value" + std::to_string(i) + ",,\"x\"\r\n";
  return text;
}

class InfInput : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  void TearDown() override {
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
  void Plant(const std::string& name, const std::string& text) {
    machine_->files.WriteFile(kInf + name, text);
    machine_->files.WriteFile(kInf + name.substr(0, name.rfind('.')) + ".PNF", "PNF");
  }
  bool Exists(const std::string& name) { return machine_->files.FileExists(kInf + name); }
  sim::Machine* machine_ = nullptr;
  DriverInstaller installer_{12};
};

// Models sections whose first line has no second field, an empty one, or one
// too long for the field buffer, and INF files without [Version] or without
// the maker's section: none is the phone's, none is deleted.
TEST_F(InfInput, MalformedInfsAreNotThePhones) {
  const std::string longId = "USB\\VID_1F3C&PID_6B07&MI_03" + std::string(2000, '0');
  const std::pair<const char*, std::string> infs[] = {
      {"oem20.inf", Header() + "[ORVEX]\r\nJustAName\r\n" + Strings()},
      {"oem21.inf", Header() + "[ORVEX]\r\n%D%=Install,\r\n" + Strings()},
      {"oem22.inf", Header() + "[ORVEX]\r\n%D%=,,\r\n" + Strings()},
      {"oem23.inf", Header() + "[ORVEX]\r\n=\r\n" + Strings()},
      {"oem24.inf", Header() + "[ORVEX]\r\n%D%=Install, \"\"\r\n" + Strings()},
      {"oem25.inf", Header() + "[ORVEX]\r\n%D%=Install, " + longId + "\r\n" + Strings()},
      {"oem26.inf", Header() + Strings()},       // no maker's section
      {"oem27.inf", PhoneModels() + Strings()},  // no [Version]
      {"oem28.inf", ""},
      {"oem29.inf", std::string("[Version\r\n") + PhoneModels()},  // unreadable
      {"oem30.inf", std::string("\0\0\xFF\xFE", 4) + PhoneModels()},
  };
  for (const auto& [name, text] : infs) Plant(name, text);
  Plant("oem31.inf", Header() + PhoneModels() + Strings());
  EXPECT_EQ(installer_.RemoveStaleOemInfs(), 1);
  for (const auto& [name, text] : infs) {
    EXPECT_TRUE(Exists(name)) << name;
    EXPECT_EQ(installer_.IsStaleOemInf((kInf + std::string(name)).c_str()), 0) << name;
  }
  EXPECT_FALSE(Exists("oem31.inf"));
  EXPECT_FALSE(Exists("oem31.PNF"));
}

// An INF of 10,000 lines is read like any other: the phone's goes, another
// maker's stays, and the scan stays fast.
TEST_F(InfInput, InfsOfTenThousandLines) {
  Plant("oem40.inf", Header() + Filler(10000) + PhoneModels() + Strings());
  Plant("oem41.inf", Header() + Filler(10000) +
                         "[ORVEX]\r\n%D%=Install, USB\\VID_0ACE&PID_1F3C\r\n" + Strings());
  // The maker's section itself 10,000 lines long: only its first line counts.
  std::string longModels = "[ORVEX]\r\n%D%=Install, USB\\VID_0ACE&PID_0001\r\n";
  for (int i = 0; i < 10000; ++i) longModels += "%D%=Install, USB\\VID_1F3C&PID_6B07\r\n";
  Plant("oem42.inf", Header() + longModels + Strings());
  EXPECT_EQ(installer_.RemoveStaleOemInfs(), 1);
  EXPECT_FALSE(Exists("oem40.inf"));
  EXPECT_FALSE(Exists("oem40.PNF"));
  EXPECT_TRUE(Exists("oem41.inf"));
  EXPECT_TRUE(Exists("oem42.inf"));
}

// Code page 932: INF names with double-byte characters are scanned like the
// others, and the phone's goes together with its twin of the same stem.
TEST(InfInputDoubleByte, DoubleByteInfNamesInTheInfFolder) {
  sim::MachineOptions options;
  options.codePage = 932;
  sim::Machine& machine = FreshMachine(options);
  const std::string phone = std::string("oem") + kA932 + "1";
  const std::string other = std::string("oem") + kA932 + "2";
  machine.files.WriteFile(kInf + phone + ".inf", Header() + PhoneModels() + Strings());
  machine.files.WriteFile(kInf + phone + ".PNF", "PNF");
  machine.files.WriteFile(kInf + other + ".inf",
                          Header() + "[ORVEX]\r\n%D%=Install, USB\\VID_0ACE&PID_1F3C\r\n");
  machine.files.WriteFile(kInf + other + ".PNF", "PNF");
  EXPECT_EQ(DriverInstaller(12).RemoveStaleOemInfs(), 1);
  EXPECT_FALSE(machine.files.FileExists(kInf + phone + ".inf"));
  EXPECT_FALSE(machine.files.FileExists(kInf + phone + ".PNF"));
  EXPECT_TRUE(machine.files.FileExists(kInf + other + ".inf"));
  EXPECT_TRUE(machine.files.FileExists(kInf + other + ".PNF"));
  EXPECT_EQ(OpenHandles(), "");
}

// The package's folder is found and copied from beside a program folder
// whose names hold double-byte characters, on every kind of Windows.
TEST(InfInputDoubleByte, ThePackageInstallsFromADoubleByteFolder) {
  const std::string cd = std::string("D:\\CD") + kA932 + "\\";
  for (auto [version, osKind] : {std::pair{sim::WindowsVersion::WindowsXPSP3, 12},
                                 std::pair{sim::WindowsVersion::Windows98, 1}}) {
    sim::MachineOptions options = OptionsFor(version);
    options.codePage = 932;
    options.programPath = cd + "Setup" + kA932 + "\\usbinst.exe";
    sim::Machine& machine = FreshMachine(options);
    LoadDriverCd(machine, cd);
    GetProgramFolder(App().programFolder, sizeof(App().programFolder));
    char folder[kPathCapacity];
    ASSERT_EQ(DriverInstaller(osKind).GetPackageSourceFolder(folder), 1);
    EXPECT_EQ(std::string(folder), cd + "Drivers");
    EXPECT_EQ(DriverInstaller(osKind).Install(), 1) << osKind;
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
