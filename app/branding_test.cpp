#include "app/branding.h"

#include <gtest/gtest.h>

#include <string>

#include "app/application_state.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"

namespace {

const char kIniPath[] = "D:\\USBINST\\mdmsetup.ini";

class Branding : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }

  void WriteIni(const std::string& body) {
    machine_->files.WriteFile(kIniPath, "[UsbInst]\r\n" + body);
  }
  void Read() {
    GetProgramFolder(App().programFolder, sizeof(App().programFolder));
    ReadBranding();
  }
  sim::Machine* machine_ = nullptr;
};

TEST_F(Branding, MissingIniGivesTheDefaults) {
  Read();
  EXPECT_STREQ(App().iconPath, "");
  EXPECT_STREQ(App().seriesName, "3G");
  EXPECT_STREQ(App().categoryName, "3G/GSM");
  char text[1024];
  LoadText(IDS_WIZARD_LEGACY_NEXT, text, sizeof(text));
  EXPECT_NE(std::string(text).find("be a 3G sorozat"), std::string::npos);
}

// Windows NT 4 refuses MB_ERR_INVALID_CHARS (ERROR_INVALID_FLAGS): the
// conversion is retried without it, or every name would be dropped and every
// placeholder stay raw there.
TEST_F(Branding, TheNamesReachTheTextsOnEveryVersion) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.osKind);
    machine_ = &FreshMachine(OptionsFor(kind.version));
    WriteIni("NAME=X\xF5" "910\r\n");  // "Xő910" in code page 1250
    Read();
    EXPECT_STREQ(App().seriesName, "X\xF5" "910");
    char text[1024];
    LoadText(IDS_WIZARD_LEGACY_NEXT, text, sizeof(text));
    EXPECT_NE(std::string(text).find("be a X\xF5" "910 sorozat"), std::string::npos) << text;
  }
}

TEST_F(Branding, NamesAreCutTo16CharactersAndEmptyOnesDefault) {
  WriteIni("NAME=ABCDEFGHIJKLMNOPQRST\r\nNAME2=\r\n");
  Read();
  EXPECT_STREQ(App().seriesName, "ABCDEFGHIJKLMNOP");
  EXPECT_STREQ(App().categoryName, "3G/GSM");
}

TEST_F(Branding, IconIsRelativeToTheProgramFolderAndMustBeAFile) {
  machine_->files.WriteFile("D:\\USBINST\\art\\phone.ico", "icon");
  machine_->files.CreateFolder("D:\\USBINST\\folder.ico");
  machine_->files.WriteFile("C:\\phone.ico", "icon");
  const std::pair<const char*, const char*> cases[] = {
      {"art\\phone.ico", "D:\\USBINST\\art\\phone.ico"},
      {"folder.ico", ""},     // a folder is no icon
      {"C:\\phone.ico", ""},  // joined to the program folder, so it names nothing
      {"missing.ico", ""},
  };
  for (const auto& [value, expected] : cases) {
    WriteIni(std::string("ICON=") + value + "\r\n");
    Read();
    EXPECT_STREQ(App().iconPath, expected) << value;
  }
}

TEST_F(Branding, AnIconPathLongerThanAPathBufferIsRefused) {
  // Program folder (11 characters) and value (250) fit; with 260 they do not.
  std::string fits = std::string(245, 'a') + ".ico";
  machine_->files.WriteFile(std::string("D:\\USBINST\\") + fits, "icon");
  WriteIni("ICON=" + fits + "\r\n");
  Read();
  EXPECT_EQ(std::string(App().iconPath), "D:\\USBINST\\" + fits);

  std::string tooLong = std::string(300, 'b');
  WriteIni("ICON=" + tooLong + "\r\n");
  Read();
  EXPECT_STREQ(App().iconPath, "");
}

TEST_F(Branding, ANameHoldingItsOwnPlaceholderLeavesTextsUnsubstituted) {
  WriteIni("NAME=<%SERIES%>\r\nNAME2=Okos\r\n");
  Read();
  char text[1024];
  LoadText(IDS_NOT_ADMINISTRATOR, text, sizeof(text));
  EXPECT_NE(std::string(text).find("A ORVEX Okos USB"), std::string::npos);
  LoadText(IDS_WIZARD_LEGACY_NEXT, text, sizeof(text));
  EXPECT_NE(std::string(text).find("be a <%SERIES%> sorozat"), std::string::npos);
}

TEST_F(Branding, WithoutAProgramFolderNoIniIsRead) {
  // A bare "mdmsetup.ini" would be looked for in the Windows folder.
  machine_->files.WriteFile("C:\\WINDOWS\\mdmsetup.ini", "[UsbInst]\r\nNAME=Stranger\r\n");
  App().programFolder[0] = '\0';
  ReadBranding();
  EXPECT_STREQ(App().seriesName, "3G");
}

}  // namespace
