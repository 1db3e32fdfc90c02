// What the installer relies on from the INI operations (the branding file beside
// the program), checked the same way on the simulated machine and under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/tests/contract_files_env.h"

namespace {

class IniContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetContractMachine();
    path_ = ContractScratchFolder() + "mdmsetup.ini";
  }
  // Reads a key with a 32-character buffer unless told otherwise.
  std::string Read(const char* section, const char* key, const char* fallback = "", DWORD size = 32,
                   DWORD* result = nullptr) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD count =
        plat::GetPrivateProfileStringA(section, key, fallback, buffer, size, path_.c_str());
    if (result) *result = count;
    EXPECT_EQ(buffer[size], 'x') << "written past the buffer";
    return std::string(buffer, count);
  }
  std::string path_;
};

TEST_F(IniContract, NamesIgnoreCaseAndBlanksAndQuotesAroundValuesGo) {
  ASSERT_TRUE(PlantFile(path_,
                        "; branding\r\n"
                        "[UsbInst]\r\n"
                        "  NAME =  ORVEX 3G  \r\n"
                        "name2=\"quoted value\"\r\n"
                        "Icon='single'\r\n"
                        ";ICON=commented\r\n"
                        "Half=\"open\r\n"
                        "[Other]\r\n"
                        "NAME=other\r\n"));
  EXPECT_EQ(Read("usbinst", "name"), "ORVEX 3G");
  EXPECT_EQ(Read("USBINST", "NAME2"), "quoted value");
  EXPECT_EQ(Read("UsbInst", "ICON"), "single");
  EXPECT_EQ(Read("UsbInst", "Half"), "\"open");
  EXPECT_EQ(Read("Other", "Name"), "other");
}

TEST_F(IniContract, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingBlanks) {
  EXPECT_EQ(Read("UsbInst", "NAME", "fallback  "), "fallback");
  ASSERT_TRUE(PlantFile(path_, "[UsbInst]\r\nNAME=x\r\n"));
  EXPECT_EQ(Read("Nowhere", "NAME", "def"), "def");
  EXPECT_EQ(Read("UsbInst", "NAME3", "def"), "def");
  EXPECT_EQ(Read("UsbInst", "NAME3", ""), "");
}

TEST_F(IniContract, LongValueIsCutToTheBufferAndCountsSizeMinusOne) {
  ASSERT_TRUE(PlantFile(path_, "[UsbInst]\r\nNAME=abcdefgh\r\n"));
  DWORD result = 0;
  EXPECT_EQ(Read("UsbInst", "NAME", "", 4, &result), "abc");
  EXPECT_EQ(result, 3u);
  EXPECT_EQ(Read("UsbInst", "NAME", "", 9, &result), "abcdefgh");
  EXPECT_EQ(result, 8u);
  EXPECT_EQ(Read("UsbInst", "NAME", "", 1, &result), "");
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(Read("UsbInst", "MISSING", "defaults", 5, &result), "defa");
  EXPECT_EQ(result, 4u);
}

TEST_F(IniContract, NullSectionOrKeyListsNames) {
  ASSERT_TRUE(PlantFile(path_, "[One]\r\na=1\r\nbb=2\r\n[Two]\r\n"));
  char buffer[32];
  DWORD count =
      plat::GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, path_.c_str());
  // Each name with its terminator, then the closing terminator, which is not counted.
  EXPECT_EQ(std::string(buffer, count + 1), std::string("One\0Two\0\0", 9));
  count = plat::GetPrivateProfileStringA("one", nullptr, "", buffer, sizeof buffer, path_.c_str());
  EXPECT_EQ(std::string(buffer, count + 1), std::string("a\0bb\0\0", 6));
}

TEST_F(IniContract, WrittenKeysAreReadBackReplacedAndDeleted) {
  ASSERT_TRUE(plat::WritePrivateProfileStringA("UsbInst", "NAME", "first", path_.c_str()));
  ASSERT_TRUE(plat::WritePrivateProfileStringA("UsbInst", "ICON", "phone.ico", path_.c_str()));
  ASSERT_TRUE(plat::WritePrivateProfileStringA("usbinst", "name", "second", path_.c_str()));
  EXPECT_EQ(Read("UsbInst", "NAME"), "second");
  EXPECT_EQ(Read("UsbInst", "ICON"), "phone.ico");
  ASSERT_TRUE(plat::WritePrivateProfileStringA("UsbInst", "NAME", nullptr, path_.c_str()));
  EXPECT_EQ(Read("UsbInst", "NAME", "gone"), "gone");
  EXPECT_EQ(Read("UsbInst", "ICON"), "phone.ico");
  ASSERT_TRUE(plat::WritePrivateProfileStringA("UsbInst", nullptr, nullptr, path_.c_str()));
  EXPECT_EQ(Read("UsbInst", "ICON", "gone"), "gone");
}

}  // namespace
