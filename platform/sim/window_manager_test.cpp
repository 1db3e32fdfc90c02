// The simulated windows: properties, enumeration, activation records, the
// progress bar, message boxes, the display context and icons.
#include "platform/sim/window_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

struct SeenProperty {
  HWND window;
  std::string name;  // "#n" for an integer atom
};

std::vector<SeenProperty>* g_seen = nullptr;

BOOL CALLBACK CollectProperty(HWND window, LPCSTR name, HANDLE) {
  g_seen->push_back({window, IS_INTRESOURCE(name) ? "#" + std::to_string(LOWORD(name)) : name});
  return TRUE;
}

BOOL CALLBACK EnumerateProperties(HWND window, LPARAM) {
  plat::EnumPropsA(window, CollectProperty);
  return TRUE;
}

TEST(Windows, PropertiesAreFoundByNameOrAtomAndEnumeratedInZOrder) {
  Machine& machine = ResetMachine();
  WindowManager& windows = machine.windows;
  HWND launcher = windows.CreateTopLevel({"CD", "LauncherClass"});
  HWND other = windows.CreateTopLevel({"Other"});
  windows.AddAtomProperty(other, 0xC123, reinterpret_cast<HANDLE>(uintptr_t{7}));
  windows.AddProperty(launcher, "CDROMLauncher", reinterpret_cast<HANDLE>(uintptr_t{1}));
  EXPECT_EQ(plat::GetPropA(launcher, "cdromlauncher"), reinterpret_cast<HANDLE>(uintptr_t{1}));
  EXPECT_EQ(plat::GetPropA(other, MAKEINTRESOURCEA(0xC123)),
            reinterpret_cast<HANDLE>(uintptr_t{7}));
  EXPECT_EQ(plat::GetPropA(other, "CDROMLauncher"), nullptr);

  std::vector<SeenProperty> seen;
  g_seen = &seen;
  EXPECT_TRUE(plat::EnumWindows(EnumerateProperties, 0));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].window, other);  // created last, so in front
  EXPECT_EQ(seen[0].name, "#49443");
  EXPECT_EQ(seen[1].name, "CDROMLauncher");
  EXPECT_EQ(plat::EnumPropsA(windows.CreateTopLevel({"Bare"}), CollectProperty), -1);
  g_seen = nullptr;
}

TEST(Windows, RunningInstanceIsFoundAndActivated) {
  Machine& machine = ResetMachine();
  WindowManager& windows = machine.windows;
  TopLevelWindowSpec shape;
  shape.title = "ORVEX 3G/GSM USB Driver Installer";
  shape.process = "earlier instance";
  shape.iconic = true;
  HWND wizard = windows.CreateTopLevel(shape);
  windows.CreateTopLevel({"Something else"});
  EXPECT_EQ(plat::FindWindowA("USBDriverInstall", nullptr), nullptr);
  ASSERT_EQ(plat::FindWindowA(nullptr, "orvex 3g/gsm usb driver installer"), wizard);
  EXPECT_EQ(plat::FindWindowA("#32770", shape.title.c_str()), wizard);
  EXPECT_TRUE(plat::IsIconic(wizard));
  plat::ShowWindow(wizard, SW_RESTORE);
  plat::SetForegroundWindow(wizard);
  EXPECT_FALSE(plat::IsIconic(wizard));
  ASSERT_EQ(windows.activations.size(), 2u);
  EXPECT_EQ(windows.activations[0].call, "ShowWindow 9");
  EXPECT_EQ(windows.activations[1].call, "SetForegroundWindow");
  EXPECT_EQ(windows.foreground, wizard);
  EXPECT_EQ(windows.ZOrder().front(), wizard);

  int closes = 0;
  windows.SetHandler(wizard, [&closes](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    closes += message == WM_CLOSE;
    return 0;
  });
  plat::SendMessageA(wizard, WM_CLOSE, 0, 0);
  EXPECT_EQ(closes, 1);
  ASSERT_EQ(windows.Find(wizard)->messages.size(), 1u);
  EXPECT_EQ(windows.Find(wizard)->messages[0].message, UINT(WM_CLOSE));
  windows.Destroy(wizard);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::SendMessageA(wizard, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Windows, ControlsKeepTextStyleStateAndProgress) {
  MachineOptions japanese;
  japanese.codePage = 932;
  Machine& machine = ResetMachine(japanese);
  WindowManager& windows = machine.windows;
  TopLevelWindowSpec shape;
  shape.process = "";
  HWND dialog = windows.CreateTopLevel(shape);
  HWND next = windows.CreateChild(dialog, 3, "Button", "&Next", WS_VISIBLE | WS_TABSTOP,
                                  {250, 124, 300, 139});
  HWND bar =
      windows.CreateChild(dialog, 1003, PROGRESS_CLASSA, "", WS_VISIBLE, {66, 103, 356, 113});
  EXPECT_EQ(plat::GetDlgItem(dialog, 3), next);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetDlgItem(dialog, 99), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_CONTROL_ID_NOT_FOUND));

  EXPECT_FALSE(plat::EnableWindow(next, FALSE));
  EXPECT_FALSE(plat::IsWindowEnabled(next));
  EXPECT_TRUE(plat::GetWindowLongPtrA(next, GWL_STYLE) & WS_DISABLED);
  EXPECT_EQ(plat::SetFocus(next), nullptr);  // a disabled window takes no focus
  EXPECT_NE(plat::EnableWindow(next, TRUE), FALSE);
  plat::SetFocus(next);
  EXPECT_EQ(plat::GetFocus(), next);
  LONG_PTR style = plat::GetWindowLongPtrA(next, GWL_STYLE);
  plat::SetWindowLongPtrA(next, GWL_STYLE, style | BS_DEFPUSHBUTTON);
  EXPECT_TRUE(plat::GetWindowLongPtrA(next, GWL_STYLE) & BS_DEFPUSHBUTTON);

  // Text is cut without splitting a double-byte character on a 932 machine.
  plat::SetWindowTextA(next, "Ab\x83\x41");
  char text[4];
  EXPECT_EQ(plat::GetWindowTextA(next, text, 4), 2);
  EXPECT_STREQ(text, "Ab");

  plat::SendMessageA(bar, PBM_SETRANGE, 0, MAKELONG(0, 4));
  plat::SendMessageA(bar, PBM_SETSTEP, 1, 0);
  EXPECT_EQ(plat::SendMessageA(bar, PBM_SETPOS, 3, 0), 0);
  EXPECT_EQ(plat::SendMessageA(bar, PBM_GETPOS, 0, 0), 3);
  plat::SendMessageA(bar, PBM_SETPOS, 9, 0);
  EXPECT_EQ(windows.Find(bar)->position, 4);

  // Moving the dialog keeps it where CenterWindow puts it.
  EXPECT_TRUE(plat::MoveWindow(dialog, 12, 34, 400, 300, FALSE));
  RECT rect;
  ASSERT_TRUE(plat::GetWindowRect(dialog, &rect));
  EXPECT_EQ(rect.left, 12);
  EXPECT_EQ(rect.bottom, 334);
  EXPECT_EQ(plat::GetParent(dialog), nullptr);
  EXPECT_EQ(plat::GetParent(bar), dialog);
}

TEST(Windows, MessageBoxesAnswerFromTheScript) {
  Machine& machine = ResetMachine();
  machine.windows.messageBoxAnswers = {IDCANCEL};
  EXPECT_EQ(plat::MessageBoxA(nullptr, "Notice", "Title", MB_OKCANCEL | MB_ICONINFORMATION),
            IDCANCEL);
  EXPECT_EQ(plat::MessageBoxA(nullptr, "Access is denied.\r\n", nullptr, MB_ICONERROR), IDOK);
  EXPECT_EQ(plat::MessageBoxA(nullptr, "?", "Q", MB_YESNO), IDYES);
  ASSERT_EQ(machine.windows.messageBoxes.size(), 3u);
  EXPECT_EQ(machine.windows.messageBoxes[1].caption, "Error");
  EXPECT_EQ(machine.windows.messageBoxes[0].style, UINT(0x41));
}

TEST(Windows, DisplayContextAndIcons) {
  Machine& machine = ResetMachine();
  machine.windows.screenWidth = 800;
  machine.windows.screenHeight = 600;
  HDC dc = plat::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(plat::GetDeviceCaps(dc, HORZRES), 800);
  EXPECT_EQ(plat::GetDeviceCaps(dc, VERTRES), 600);
  EXPECT_TRUE(plat::DeleteDC(dc));
  EXPECT_FALSE(plat::DeleteDC(dc));
  machine.windows.displayAvailable = false;
  EXPECT_EQ(plat::CreateICA("DISPLAY", nullptr, nullptr, nullptr), nullptr);

  std::string icon("\0\0\1\0\1\0", 6);
  icon.append(16 + 40, '\0');
  machine.files.WriteFile("D:\\USBINST\\phone.ico", icon);
  machine.files.WriteFile("D:\\USBINST\\notanicon.ico", "plain text, not an icon");
  EXPECT_NE(plat::LoadImageA(nullptr, "D:\\USBINST\\phone.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE),
            nullptr);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadImageA(nullptr, "D:\\USBINST\\notanicon.ico", IMAGE_ICON, 0, 0,
                             LR_LOADFROMFILE),
            nullptr);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadImageA(nullptr, "D:\\USBINST\\missing.ico", IMAGE_ICON, 0, 0,
                             LR_LOADFROMFILE),
            nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(machine.handles.OpenCount(), 0u) << machine.handles.Describe();
}

}  // namespace
}  // namespace sim
