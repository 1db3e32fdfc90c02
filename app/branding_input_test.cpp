// The branding INI and the program's own place are the input a CD maker (or
// anyone who copies the CD) controls: whatever they hold, the program starts,
// shows its texts and leaves nothing open.
#include <gtest/gtest.h>

#include <string>

#include "app/application_state.h"
#include "app/branding.h"
#include "app/entry_point.h"
#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"

namespace {

const char kProgram[] = "D:\\USBINST\\USBINST.EXE";
const char kIni[] = "D:\\USBINST\\mdmsetup.ini";
const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";

// "あ" and "表" in code page 932; the second one's trail byte is a backslash.
const char kA932[] = "\x82\xA0";
const char kTable932[] = "\x95\x5C";

sim::Machine& MachineWith(uint32_t codePage, const std::string& programPath = kProgram) {
  sim::MachineOptions options;
  options.codePage = codePage;
  options.programPath = programPath;
  return FreshMachine(options);
}

void ReadIni(sim::Machine& machine, const std::string& body, const std::string& path = kIni) {
  machine.files.WriteFile(path, "[UsbInst]\r\n" + body);
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  ReadBranding();
}

std::string Text(int id) {
  char text[kFormatCapacity];
  text[0] = '\0';
  LoadText(id, text, kFormatCapacity);
  return text;
}

// The series appears in the legacy instructions, the category in the refusal
// of a non-administrator.
bool ShowsSeries(const std::string& series) {
  return Text(IDS_WIZARD_LEGACY_NEXT).find("be a " + series + " sorozat") != std::string::npos;
}
bool ShowsCategory(const std::string& category) {
  return Text(IDS_NOT_ADMINISTRATOR).rfind("A ORVEX " + category + " USB", 0) == 0;
}

TEST(BrandingInput, FormatDirectivesReachTheUserAsPlainText) {
  sim::Machine& machine = MachineWith(1250);
  ReadIni(machine, "NAME=%s%n%x%%%s%n%x%%\r\nNAME2=%n%n%n%n%n%n%n%n\r\n");
  EXPECT_STREQ(App().seriesName, "%s%n%x%%%s%n%x%%");
  EXPECT_STREQ(App().categoryName, "%n%n%n%n%n%n%n%n");
  char instructions[kFormatCapacity];
  FormatText(IDS_WIZARD_LEGACY_NEXT, instructions);
  EXPECT_NE(std::string(instructions).find("be a %s%n%x%%%s%n%x%% sorozat"), std::string::npos);
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ShowErrorText(nullptr, IDS_NOT_ADMINISTRATOR);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 2u);
  for (const auto& box : machine.windows.messageBoxes) {
    EXPECT_EQ(box.text.rfind("A ORVEX %n%n%n%n%n%n%n%n USB", 0), 0u) << box.text;
  }
}

// Names that look like the other placeholder are printed as they stand: no
// substitution runs without end, and no '%' of theirs reaches the formatting.
TEST(BrandingInput, NamesLikePlaceholdersArePrintedAsTheyStand) {
  sim::Machine& machine = MachineWith(1250);
  ReadIni(machine, "NAME=<%CATEGORY%>\r\nNAME2=<%SERIES%>\r\n");
  char instructions[kFormatCapacity];
  FormatText(IDS_WIZARD_LEGACY_NEXT, instructions);
  EXPECT_NE(std::string(instructions).find("be a <%CATEGORY%> sorozat"), std::string::npos);
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
  EXPECT_EQ(machine.windows.messageBoxes[0].text.rfind("A ORVEX <%SERIES%> USB", 0), 0u);
  EXPECT_TRUE(ShowsSeries("<%SERIES%>"));  // loaded as it stands: the chain ends
}

TEST(BrandingInput, LongValuesAreCutToTheirFields) {
  sim::Machine& machine = MachineWith(1250);
  ReadIni(machine, "NAME=" + std::string(300, 'S') + "\r\nNAME2=" + std::string(300, 'C') +
                       "\r\nICON=" + std::string(300, 'i') + "\r\n");
  EXPECT_EQ(std::string(App().seriesName), std::string(16, 'S'));
  EXPECT_EQ(std::string(App().categoryName), std::string(16, 'C'));
  EXPECT_STREQ(App().iconPath, "");
  EXPECT_TRUE(ShowsSeries(std::string(16, 'S')));
  EXPECT_EQ(OpenHandles(), "");
}

// Bytes that code page 1250 leaves undefined are still characters of it: the
// name is kept as it is and replaces the placeholder.
TEST(BrandingInput, UndefinedBytesOfCodePage1250StayInTheName) {
  sim::Machine& machine = MachineWith(1250);
  ReadIni(machine, "NAME=A\x81\x83\x88\x90\x98Z\r\n");
  EXPECT_STREQ(App().seriesName, "A\x81\x83\x88\x90\x98Z");
  EXPECT_TRUE(ShowsSeries("A\x81\x83\x88\x90\x98Z"));
}

// A name the code page cannot read would leave every text with its raw
// placeholder; the default takes its place instead. A name cut at 16 bytes in
// the middle of a double-byte character keeps its whole characters.
TEST(BrandingInput, DoubleByteNamesKeepWholeCharactersOrFallBackToTheDefault) {
  struct Case {
    std::string value;
    std::string series;
  };
  std::string seven = "A";
  for (int i = 0; i < 7; ++i) seven += kTable932;
  const Case cases[] = {
      // 1 + 10 characters of two bytes: the 16th byte is a lead byte.
      {seven + kTable932 + kTable932 + kTable932, seven},
      {std::string("AB") + kA932 + "\x95", std::string("AB") + kA932},  // ends in a lead byte
      {std::string("AB\x81 CD"), "3G"},                                 // lead byte, bad trail
      {std::string("AB\xA0"), "3G"},                                    // undefined byte
      {std::string(kA932) + kTable932, std::string(kA932) + kTable932},
  };
  for (const Case& c : cases) {
    sim::Machine& machine = MachineWith(932);
    ReadIni(machine, "NAME=" + c.value + "\r\nNAME2=" + c.value + "\r\n");
    EXPECT_EQ(std::string(App().seriesName), c.series) << c.value;
    EXPECT_TRUE(ShowsSeries(c.series)) << c.value << " / " << Text(IDS_WIZARD_LEGACY_NEXT);
    std::string category = c.series == "3G" ? "3G/GSM" : c.series;
    EXPECT_EQ(std::string(App().categoryName), category) << c.value;
    EXPECT_TRUE(ShowsCategory(category)) << c.value;
    EXPECT_EQ(Text(IDS_WIZARD_LEGACY_NEXT).find("<%"), std::string::npos) << c.value;
  }
}

TEST(BrandingInput, AProgramInADriveRootReadsTheIniInTheRoot) {
  sim::Machine& machine = MachineWith(1250, "C:\\usbinst.exe");
  machine.files.WriteFile("C:\\phone.ico", "icon");
  ReadIni(machine, "NAME=Root\r\nICON=phone.ico\r\n", "C:\\mdmsetup.ini");
  EXPECT_STREQ(App().programFolder, "C:\\");
  EXPECT_STREQ(App().seriesName, "Root");
  EXPECT_STREQ(App().iconPath, "C:\\phone.ico");
}

// The INI's name must fit whole behind the program folder: a cut name would
// be some other file.
TEST(BrandingInput, AnIniPathThatDoesNotFitIsNotRead) {
  for (size_t folderLength : {248u, 249u, 255u}) {
    std::string folder = "D:\\" + std::string(folderLength - 4, 'f') + "\\";
    sim::Machine& machine = MachineWith(1250, folder + "a.exe");
    // Whatever a cut name would name holds a stranger's words.
    for (size_t cut = 1; cut < 12; ++cut) {
      machine.files.WriteFile(folder + std::string("mdmsetup.ini").substr(0, cut),
                              "[UsbInst]\r\nNAME=Stranger\r\n");
    }
    ReadIni(machine, "NAME=Ours\r\n", folder + "mdmsetup.ini");
    bool fits = folderLength + 12 <= 260;
    EXPECT_EQ(std::string(App().programFolder), folder);
    EXPECT_STREQ(App().seriesName, fits ? "Ours" : "3G") << folderLength;
  }
}

// The whole program, started from a deep folder (a path of 250 characters)
// and from a drive root: it runs, removes and leaves nothing open.
TEST(BrandingInput, RemovalRunsFromADeepFolderAndFromADriveRoot) {
  std::string deep =
      "D:\\" + std::string(120, 'a') + "\\" + std::string(114, 'b') + "\\usbinst.exe";
  ASSERT_EQ(deep.size(), 250u);
  for (const std::string& program : {deep, std::string("C:\\usbinst.exe")}) {
    sim::Machine& machine = MachineWith(1250, program);
    std::string folder = program.substr(0, program.rfind('\\') + 1);
    machine.files.WriteFile(folder + "mdmsetup.ini", "[UsbInst]\r\nNAME=%s%n\r\n");
    machine.registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 1);
    EXPECT_EQ(RunInstaller(nullptr, "/r"), 0);
    EXPECT_EQ(std::string(App().programFolder), folder);
    EXPECT_STREQ(App().seriesName, "%s%n");
    EXPECT_EQ(machine.registry.GetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag"), 0u);
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
