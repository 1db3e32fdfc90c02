// Contract of the window operations on a top-level window of this process:
// properties, finding by title, text, user data, moving, the display
// information context. Natively the window comes from the simulated
// machine's window manager; on Windows it is a real popup window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/tests/contract_env.h"
#include "resources/resource.h"

#ifdef USBINST_CONTRACT_SIM
#include "platform/sim/machine.h"
#endif

namespace {

const char kTitle[] = "UsbInst contract window";

// A visible top-level popup at (10, 20), 200 by 100; null when the system has no display.
HWND CreateTestWindow() {
#ifdef USBINST_CONTRACT_SIM
  sim::TopLevelWindowSpec shape;
  shape.title = kTitle;
  shape.className = "Static";
  shape.process = "";
  shape.rect = {10, 20, 210, 120};
  return sim::CurrentMachine().windows.CreateTopLevel(shape);
#else
  return ::CreateWindowExA(0, "STATIC", kTitle, WS_POPUP, 10, 20, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
#endif
}

void DestroyTestWindow(HWND window) {
#ifdef USBINST_CONTRACT_SIM
  sim::CurrentMachine().windows.Destroy(window);
#else
  ::DestroyWindow(window);
#endif
}

class WindowsContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetContractMachine();
    window_ = CreateTestWindow();
    if (!window_) GTEST_SKIP() << "no window could be created (no display)";
  }
  void TearDown() override {
    if (window_) DestroyTestWindow(window_);
  }
  HWND window_ = nullptr;
};

std::vector<std::string>* g_names = nullptr;

BOOL CALLBACK CollectName(HWND, LPCSTR name, HANDLE) {
  if (!IS_INTRESOURCE(name)) g_names->push_back(name);
  return TRUE;
}

TEST_F(WindowsContract, PropertiesAreFoundWithoutCaseAndEnumeratedByName) {
  HANDLE marker = reinterpret_cast<HANDLE>(uintptr_t{1});
  ASSERT_TRUE(plat::SetPropA(window_, "CDROMLauncher", marker));
  EXPECT_EQ(plat::GetPropA(window_, "CDROMLauncher"), marker);
  EXPECT_EQ(plat::GetPropA(window_, "cdromlauncher"), marker);
  EXPECT_EQ(plat::GetPropA(window_, "NoSuchProperty"), nullptr);
  std::vector<std::string> names;
  g_names = &names;
  plat::EnumPropsA(window_, CollectName);
  g_names = nullptr;
  bool found = false;
  for (const std::string& name : names) {
    found |= plat::lstrcmpiA(name.c_str(), "CDROMLauncher") == 0;
  }
  EXPECT_TRUE(found);
}

// RemovePropA gives back the data of the property it takes off, and null
// once the window has no such property.
TEST_F(WindowsContract, ARemovedPropertyIsGone) {
  HANDLE marker = reinterpret_cast<HANDLE>(uintptr_t{1});
  ASSERT_TRUE(plat::SetPropA(window_, "USBDriverInstall", marker));
  EXPECT_EQ(plat::RemovePropA(window_, "usbdriverinstall"), marker);
  EXPECT_EQ(plat::GetPropA(window_, "USBDriverInstall"), nullptr);
  EXPECT_EQ(plat::RemovePropA(window_, "USBDriverInstall"), nullptr);
}

TEST_F(WindowsContract, FindWindowByTitle) {
  EXPECT_EQ(plat::FindWindowA(nullptr, kTitle), window_);
  EXPECT_EQ(plat::FindWindowA(nullptr, "UsbInst window that does not exist"), nullptr);
}

TEST_F(WindowsContract, TextIsCutToTheBuffer) {
  ASSERT_TRUE(plat::SetWindowTextA(window_, "ORVEX 3G/GSM"));
  char text[32];
  EXPECT_EQ(plat::GetWindowTextA(window_, text, sizeof(text)), 12);
  EXPECT_STREQ(text, "ORVEX 3G/GSM");
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(plat::GetWindowTextA(window_, text, 6), 5);
  EXPECT_STREQ(text, "ORVEX");
  EXPECT_EQ(text[6], 'x');
}

TEST_F(WindowsContract, UserDataAndStyleRoundTrip) {
  plat::SetWindowLongPtrA(window_, GWLP_USERDATA, 0x1234);
  EXPECT_EQ(plat::SetWindowLongPtrA(window_, GWLP_USERDATA, 0x5678), 0x1234);
  EXPECT_EQ(plat::GetWindowLongPtrA(window_, GWLP_USERDATA), 0x5678);
  EXPECT_TRUE(plat::GetWindowLongPtrA(window_, GWL_STYLE) & WS_POPUP);
  EXPECT_TRUE(plat::IsWindowEnabled(window_));
  EXPECT_FALSE(plat::EnableWindow(window_, FALSE));
  EXPECT_FALSE(plat::IsWindowEnabled(window_));
  EXPECT_TRUE(plat::EnableWindow(window_, TRUE));
}

TEST_F(WindowsContract, MoveAndRectangle) {
  RECT rect{};
  ASSERT_TRUE(plat::GetWindowRect(window_, &rect));
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right - rect.left, 200);
  ASSERT_TRUE(plat::MoveWindow(window_, 30, 40, 300, 150, FALSE));
  ASSERT_TRUE(plat::GetWindowRect(window_, &rect));
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right, 330);
  EXPECT_EQ(rect.bottom, 190);
  EXPECT_EQ(plat::GetParent(window_), nullptr);
}

TEST_F(WindowsContract, AWindowThatIsGoneIsRefused) {
  HWND gone = window_;
  DestroyTestWindow(window_);
  window_ = nullptr;
  RECT rect;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::GetWindowRect(gone, &rect));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetWindowTextA(gone, "x"));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowsContract, SendWithATimeOutAnswersOrRefusesAWindowThatIsGone) {
  DWORD_PTR answer = 0;
  EXPECT_NE(plat::SendMessageTimeoutA(window_, WM_DEVICECHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                      &answer),
            0);
  HWND gone = window_;
  DestroyTestWindow(window_);
  window_ = nullptr;
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::SendMessageTimeoutA(gone, WM_DEVICECHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                      &answer),
            0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

// A dialog that is sent WM_CLOSE and leaves it to the default procedure;
// a timer message (which comes only once nothing else waits in the queue)
// ends it with 0 when the close brought no Cancel command.
bool g_disableCancel = false;

INT_PTR CALLBACK ClosingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      plat::EnableWindow(plat::GetDlgItem(dialog, IDCANCEL), g_disableCancel ? FALSE : TRUE);
#ifndef USBINST_CONTRACT_SIM
      ::PostMessageA(dialog, WM_CLOSE, 0, 0);
      ::SetTimer(dialog, 1, 300, nullptr);
#endif
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) plat::EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_TIMER:
      plat::EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

// Microsoft, "Dialog Box Default Message Processing": the default dialog
// procedure answers WM_CLOSE by posting the Cancel command (BN_CLICKED,
// IDCANCEL), but when the dialog's IDCANCEL control is disabled it sounds a
// warning and posts nothing. Wine 8 posts the command even then.
TEST(WindowsDialogContract, CloseIsTheCancelCommandUnlessCancelIsDisabled) {
  ResetContractMachine();
  for (bool disable : {false, true}) {
    SCOPED_TRACE(disable ? "Cancel disabled" : "Cancel enabled");
    g_disableCancel = disable;
#ifdef USBINST_CONTRACT_SIM
    sim::CurrentMachine().dialogs.script = {sim::DialogEvent::Close(),
                                            sim::DialogEvent::Message(WM_TIMER, 1, 0)};
#endif
    INT_PTR result = plat::DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_WIZARD_NT), nullptr,
                                           ClosingDialog, 0);
    if (result == -1) GTEST_SKIP() << "no dialog could be created (no display)";
    EXPECT_EQ(result, disable ? SimElseWine<INT_PTR>(0, IDCANCEL) : INT_PTR(IDCANCEL));
  }
}

TEST_F(WindowsContract, DisplayInformationContextGivesTheScreenSize) {
  HDC dc = plat::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_GE(plat::GetDeviceCaps(dc, HORZRES), 640);
  EXPECT_GE(plat::GetDeviceCaps(dc, VERTRES), 480);
  EXPECT_TRUE(plat::DeleteDC(dc));
}

}  // namespace
