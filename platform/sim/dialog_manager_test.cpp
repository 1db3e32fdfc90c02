#include "platform/sim/dialog_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/ui.h"
#include "resources/resource.h"

namespace {

using sim::DialogEvent;

// A dialog procedure that records what it gets and ends on any command.
struct Recorder {
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Recorder& self = *Current();
    self.messages.push_back(message);
    if (message == WM_INITDIALOG) {
      self.parameter = lParam;
      self.focusControl = reinterpret_cast<HWND>(wParam);
      return self.initAnswer;
    }
    if (message == WM_COMMAND) {
      self.commands.push_back(wParam);
      self.commandSources.push_back(reinterpret_cast<HWND>(lParam));
      if (self.endOnCommand) plat::EndDialog(dialog, 100 + LOWORD(wParam));
      return 1;
    }
    return 0;
  }
  static Recorder*& Current() {
    static Recorder* current = nullptr;
    return current;
  }
  Recorder() { Current() = this; }

  std::vector<UINT> messages;
  std::vector<WPARAM> commands;
  std::vector<HWND> commandSources;
  LPARAM parameter = 0;
  HWND focusControl = nullptr;
  INT_PTR initAnswer = 1;
  bool endOnCommand = true;
};

INT_PTR Open(int templateId, LPARAM parameter = 0) {
  return plat::DialogBoxParamA(nullptr, MAKEINTRESOURCEA(templateId), nullptr, &Recorder::Procedure,
                               parameter);
}

TEST(DialogManager, BuildsTheTemplatesControlsInPixels) {
  sim::Machine& machine = sim::ResetMachine();
  Recorder recorder;
  machine.dialogs.script.push_back(DialogEvent::Click(IDCANCEL));
  EXPECT_EQ(Open(IDD_WIZARD_LEGACY, 77), 100 + IDCANCEL);
  EXPECT_EQ(recorder.parameter, 77);

  const sim::DialogRun& run = machine.dialogs.runs.back();
  EXPECT_EQ(run.finalWindow.text, "Calvero GSM GPRS USB Driver");
  EXPECT_EQ(run.finalWindow.className, "#32770");
  EXPECT_EQ(run.finalWindow.style & 0xFFFF00FF, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT);
  // 363 by 143 units with base units 6 by 13: 544.5 and 232.4 pixels.
  EXPECT_EQ(run.finalWindow.rect.right, 545);
  EXPECT_EQ(run.finalWindow.rect.bottom, 232);

  std::vector<int> ids;
  for (const sim::Window& control : run.finalControls) ids.push_back(control.id);
  EXPECT_EQ(ids, (std::vector<int>{2, 1000, 1002, 1001, -1, 3, 1003}));
  const sim::Window& progress = *run.FinalControl(IDC_WIZARD_PROGRESS);
  EXPECT_EQ(progress.className, "msctls_progress32");
  EXPECT_EQ(progress.text, "Progress1");
  EXPECT_EQ(progress.style, WS_CHILD | WS_VISIBLE | WS_BORDER);
  // 66, 103, 290, 10 units.
  EXPECT_EQ(progress.rect.left, 99);
  EXPECT_EQ(progress.rect.top, 167);
  EXPECT_EQ(progress.rect.right, 99 + 435);
  EXPECT_EQ(progress.rect.bottom, 167 + 16);
  const sim::Window& icon = *run.FinalControl(IDC_WIZARD_ICON);
  EXPECT_EQ(icon.style, WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE);
  EXPECT_EQ(icon.image, machine.dialogs.ResourceIcon(machine, IDI_PHONE));
  EXPECT_EQ(run.FinalControl(-1)->style, WS_CHILD | WS_VISIBLE | SS_BLACKFRAME | SS_SUNKEN);
  EXPECT_EQ(run.FinalControl(IDC_WIZARD_NEXT)->text, "&Next");
  // The window is gone after the dialog ended.
  EXPECT_EQ(machine.windows.Find(run.window), nullptr);
}

TEST(DialogManager, UnknownTemplatesFailAsOnWindows) {
  sim::Machine& machine = sim::ResetMachine();
  Recorder recorder;
  for (LPCSTR name : std::vector<LPCSTR>{MAKEINTRESOURCEA(103), "WIZARD"}) {
    machine.lastError = 0;
    EXPECT_EQ(plat::DialogBoxParamA(nullptr, name, nullptr, &Recorder::Procedure, 0), -1);
    EXPECT_EQ(machine.lastError, uint32_t(ERROR_RESOURCE_NAME_NOT_FOUND));
  }
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_TRUE(machine.dialogs.runs.empty());
  EXPECT_FALSE(plat::EndDialog(reinterpret_cast<HWND>(0x1234), 0));
  EXPECT_EQ(machine.lastError, uint32_t(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(DialogManager, InitDialogAnswerDecidesTheFocus) {
  sim::Machine& machine = sim::ResetMachine();
  Recorder recorder;
  machine.dialogs.script.push_back(DialogEvent::Inspect([&](HWND dialog) {
    HWND cancel = machine.windows.FindChild(dialog, IDCANCEL)->handle;
    EXPECT_EQ(recorder.focusControl, cancel);  // the first tab stop
    EXPECT_EQ(machine.windows.focus, cancel);
  }));
  machine.dialogs.script.push_back(DialogEvent::Click(IDCANCEL));
  Open(IDD_WIZARD_NT);

  recorder.initAnswer = 0;
  machine.windows.focus = nullptr;
  machine.dialogs.script.push_back(
      DialogEvent::Inspect([&](HWND) { EXPECT_EQ(machine.windows.focus, nullptr); }));
  machine.dialogs.script.push_back(DialogEvent::Click(IDCANCEL));
  Open(IDD_WIZARD_NT);
}

// Microsoft, "Dialog Box Default Message Processing": WM_CLOSE becomes the
// Cancel command, except that with a disabled IDCANCEL control the default
// procedure sounds a warning and posts nothing.
TEST(DialogManager, CloseBecomesTheCancelCommandUnlessCancelIsDisabled) {
  for (bool cancelEnabled : {true, false}) {
    SCOPED_TRACE(cancelEnabled ? "Cancel enabled" : "Cancel disabled");
    sim::Machine& machine = sim::ResetMachine();
    Recorder recorder;
    machine.dialogs.script = {DialogEvent::Inspect([&](HWND dialog) {
                                plat::EnableWindow(plat::GetDlgItem(dialog, IDCANCEL),
                                                   cancelEnabled);
                              }),
                              DialogEvent::Close(), DialogEvent::Click(IDC_WIZARD_NEXT)};
    INT_PTR result = Open(IDD_WIZARD_NT);
    const sim::DialogRun& run = machine.dialogs.runs.back();
    if (cancelEnabled) {
      EXPECT_EQ(result, 100 + IDCANCEL);
      EXPECT_EQ(recorder.messages,
                (std::vector<UINT>{WM_INITDIALOG, WM_CLOSE, WM_COMMAND, WM_DESTROY}));
      EXPECT_EQ(recorder.commands, std::vector<WPARAM>{MAKEWPARAM(IDCANCEL, BN_CLICKED)});
      EXPECT_EQ(recorder.commandSources[0], run.FinalControl(IDCANCEL)->handle);
      EXPECT_EQ(run.warningBeeps, 0);
    } else {
      // The dialog stays open; the next event (a click on Next) ends it.
      EXPECT_EQ(result, 100 + IDC_WIZARD_NEXT);
      EXPECT_EQ(recorder.commands, std::vector<WPARAM>{MAKEWPARAM(IDC_WIZARD_NEXT, BN_CLICKED)});
      EXPECT_EQ(run.warningBeeps, 1);
    }
  }
}

TEST(DialogManager, ClicksOnDisabledControlsAreRefused) {
  sim::Machine& machine = sim::ResetMachine();
  Recorder recorder;
  machine.dialogs.script = {DialogEvent::Inspect([](HWND dialog) {
                              plat::EnableWindow(plat::GetDlgItem(dialog, IDC_WIZARD_NEXT), FALSE);
                            }),
                            DialogEvent::Click(IDC_WIZARD_NEXT), DialogEvent::Click(4242),
                            DialogEvent::Click(IDCANCEL)};
  EXPECT_EQ(Open(IDD_WIZARD_LEGACY), 100 + IDCANCEL);
  EXPECT_EQ(machine.dialogs.runs.back().refusedClicks, (std::vector<int>{IDC_WIZARD_NEXT, 4242}));
  EXPECT_EQ(recorder.commands, std::vector<WPARAM>{MAKEWPARAM(IDCANCEL, BN_CLICKED)});
}

TEST(DialogManager, AScriptThatEndsEarlyEndsTheDialogWithMinusOne) {
  sim::Machine& machine = sim::ResetMachine();
  Recorder recorder;
  recorder.endOnCommand = false;
  machine.dialogs.script = {DialogEvent::DeviceChange(), DialogEvent::Click(IDCANCEL)};
  EXPECT_EQ(Open(IDD_WIZARD_LEGACY), -1);
  const sim::DialogRun& run = machine.dialogs.runs.back();
  EXPECT_TRUE(run.scriptRanOut);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.delivered,
            (std::vector<UINT>{WM_INITDIALOG, WM_DEVICECHANGE, WM_COMMAND, WM_DESTROY}));
  EXPECT_EQ(machine.windows.Find(run.window), nullptr);
}

TEST(DialogManager, DialogUnitsRoundAsMulDivDoes) {
  RECT r = sim::DialogUnitsToPixels({1, 1, 2, 4});
  EXPECT_EQ(r.left, 2);    // 1.5 rounds up
  EXPECT_EQ(r.top, 2);     // 1.625
  EXPECT_EQ(r.right, 5);   // 2 + 3
  EXPECT_EQ(r.bottom, 9);  // 2 + 6.5 rounded up
}

}  // namespace
