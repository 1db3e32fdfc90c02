#include "app/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/branding.h"
#include "app/message_boxes.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "text/text_template.h"

namespace {

class TextLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshMachine();
    RegisterPlaceholders("K800", "3G/GSM");
  }
};

TEST_F(TextLoading, LoadTextReplacesPlaceholdersAndCutsAtTheCapacity) {
  char text[1024];
  int count = LoadText(IDS_WIZARD_LEGACY_NEXT, text, sizeof(text));
  EXPECT_GT(count, 0);
  std::string loaded = text;
  EXPECT_EQ(loaded.find("<%SERIES%>"), std::string::npos);
  EXPECT_NE(loaded.find("be a K800 sorozat telefont."), std::string::npos);
  // Hungarian letters arrive in code page 1250: "í" is 0xED.
  EXPECT_EQ(loaded.rfind("A telep\xEDt\xE9s befejez\xE9s\xE9hez", 0), 0u);

  char small[6];
  EXPECT_EQ(LoadText(IDS_APP_TITLE, small, sizeof(small)), 5);
  EXPECT_STREQ(small, "ORVEX");
  char missing[16] = "unchanged";
  EXPECT_EQ(LoadText(12345, missing, sizeof(missing)), 0);
}

TEST_F(TextLoading, AppendTextAddsTheEntryOrRefusesAFullBuffer) {
  char path[261] = "C:\\WINDOWS";
  EXPECT_EQ(AppendText(IDS_FOLDER_INF, path, sizeof(path)), 14);
  EXPECT_STREQ(path, "C:\\WINDOWS\\INF");

  char full[8] = "1234567";  // capacity - 1 characters
  EXPECT_EQ(AppendText(IDS_FOLDER_INF, full, sizeof(full)), 0);
  EXPECT_STREQ(full, "1234567");

  char cut[10] = "C:\\W";
  EXPECT_EQ(AppendText(IDS_FOLDER_INF, cut, sizeof(cut)), 8);
  EXPECT_STREQ(cut, "C:\\W\\INF");

  char missing[32] = "keep";
  EXPECT_EQ(AppendText(12345, missing, sizeof(missing)), 4);
  EXPECT_STREQ(missing, "keep");
}

TEST_F(TextLoading, FormatTextSubstitutesBeforeFormatting) {
  char output[kFormatCapacity];
  int length = FormatText(IDS_NOT_ADMINISTRATOR, output);
  EXPECT_EQ(length, static_cast<int>(std::strlen(output)));
  EXPECT_EQ(std::string(output).rfind("A ORVEX 3G/GSM USB Driver  futtat", 0), 0u);
}

TEST(TextWithHostileBranding, APercentInAValueIsPrintedNotFormatted) {
  FreshMachine();
  RegisterPlaceholders("%s%s%n", "%x%p");
  char output[kFormatCapacity];
  FormatText(IDS_WIZARD_LEGACY_NEXT, output);
  EXPECT_NE(std::string(output).find("be a %s%s%n sorozat"), std::string::npos);

  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ASSERT_EQ(sim::CurrentMachine().windows.messageBoxes.size(), 1u);
  EXPECT_EQ(sim::CurrentMachine().windows.messageBoxes[0].text.rfind("A ORVEX %x%p USB", 0), 0u);
}

// The wizard's instructions carry "<%SERIES%>"; when its substitution fails
// (or the branding never registered it), the token reached wvsprintfA as the
// directive "%S" and the wizard crashed reading an argument nobody passed.
TEST(TextWithoutBranding, APlaceholderWithoutItsValueIsPrintedAsItStands) {
  sim::Machine& machine = FreshMachine();
  char output[kFormatCapacity];
  FormatText(IDS_WIZARD_LEGACY_NEXT, output);  // nothing registered
  EXPECT_NE(std::string(output).find("be a <%SERIES%> sorozat"), std::string::npos);

  RegisterPlaceholders("K800", "3G/GSM");
  machine.faults.FailOn("WideCharToMultiByte", 1, ERROR_NO_UNICODE_TRANSLATION);
  FormatText(IDS_WIZARD_LEGACY_NEXT, output);
  EXPECT_NE(std::string(output).find("be a <%SERIES%> sorozat"), std::string::npos);

  machine.faults.FailOn("MultiByteToWideChar", 1, ERROR_NO_UNICODE_TRANSLATION);
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
  EXPECT_EQ(machine.windows.messageBoxes[0].text.rfind("A ORVEX <%CATEGORY%> USB", 0), 0u);
}

}  // namespace
