#include "app/message_boxes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/application_state.h"
#include "app/branding.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "text/text_template.h"

namespace {

TEST(MessageBoxes, TextBoxesUseTheTitleAndTheirIcon) {
  sim::Machine& machine = FreshMachine();
  std::strcpy(App().title, "ORVEX 3G/GSM USB Driver Installer");
  RegisterPlaceholders("3G", "3G/GSM");
  ShowErrorText(nullptr, IDS_PREPARE_FAILED);
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 2u);
  const auto& error = machine.windows.messageBoxes[0];
  EXPECT_EQ(error.caption, "ORVEX 3G/GSM USB Driver Installer");
  EXPECT_EQ(error.style, UINT(MB_OK | MB_ICONERROR));
  EXPECT_EQ(error.text.rfind("Az \xF6n sz\xE1m\xEDt\xF3g\xE9p\xE9nek", 0), 0u);
  const auto& info = machine.windows.messageBoxes[1];
  EXPECT_EQ(info.style, UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_NE(info.text.find("3G/GSM USB Driver  futtat\xE1s\xE1hoz"), std::string::npos);
  EXPECT_EQ(OpenHandles(), "");
}

// Windows' message table has the Setup API's texts only under their HRESULT
// codes (0xE000020B as 0x800F020B, HRESULT_FROM_SETUPAPI); a code without a
// text is named as the call set it.
TEST(MessageBoxes, SystemErrorShowsTheSystemTextOrTheCode) {
  const struct {
    DWORD code;
    const char* text;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
      {ERROR_NO_SUCH_DEVINST, "The device instance does not exist in the hardware tree.\r\n"},
      {ERROR_NO_CATALOG_FOR_OEM_INF,
       "The third-party INF does not contain digital signature information.\r\n"},
      {0xE0FF1234u, "Error 3774812724 (0xE0FF1234)"},
      {0x800F020Bu, "The device instance does not exist in the hardware tree.\r\n"},
  };
  for (const auto& c : cases) {
    sim::Machine& machine = FreshMachine();
    ShowSystemError(c.code);
    ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
    EXPECT_EQ(machine.windows.messageBoxes[0].caption, "Error");
    EXPECT_EQ(machine.windows.messageBoxes[0].style, UINT(MB_ICONERROR));
    EXPECT_EQ(machine.windows.messageBoxes[0].text, c.text) << std::hex << c.code;
    EXPECT_EQ(OpenHandles(), "") << "the system's text must be freed";
  }
}

// A text box whose text could not be loaded was shown empty (the driver-signing
// notice of a Windows 2000 installation, in the fault sweep); the user now
// sees why the text is missing instead.
TEST(MessageBoxes, ATextThatCannotBeLoadedIsReportedNotShownEmpty) {
  sim::Machine& machine = FreshMachine();
  std::strcpy(App().title, "ORVEX 3G/GSM USB Driver Installer");
  machine.faults.FailOn("LoadStringA", 1, ERROR_RESOURCE_NAME_NOT_FOUND);
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 1u);
  EXPECT_EQ(machine.windows.messageBoxes[0].caption, "Error");
  EXPECT_NE(machine.windows.messageBoxes[0].text, "");
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
