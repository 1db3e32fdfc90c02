// The dialog manager of the simulated machine: modal dialogs built from the
// program's dialog templates and driven by a script.
//
// DialogBoxParamA builds the template's window and controls, sends
// WM_INITDIALOG with the caller's parameter, and then runs a modal loop that
// takes the test's scripted events one by one until the dialog procedure
// calls EndDialog. An event is a message to the dialog (WM_DEVICECHANGE, or
// WM_CLOSE as the close box or another program sends it), a click on a
// control as a user makes it, or a callback that looks at the open dialog or
// changes the machine between two messages (plugging in a function of the
// phone). When the script ends before the dialog does, DialogBoxParamA
// returns -1 and the run records it, so a test fails instead of hanging.
// Either way the dialog is destroyed before DialogBoxParamA returns, and its
// procedure receives WM_DESTROY first (DialogRun::finalWindow is the window
// as WM_DESTROY left it).
//
// What the platform's dialog default does with a message the procedure
// leaves alone (returns 0) is modelled for WM_CLOSE only, as Microsoft
// documents it ("Dialog Box Default Message Processing"): it is posted back as
// WM_COMMAND IDCANCEL / BN_CLICKED with the Cancel button's handle and
// delivered before the next scripted event; but when the dialog has an
// IDCANCEL control that is disabled, Windows only sounds a warning (counted in
// DialogRun::warningBeeps) and posts nothing. (Wine posts the command even
// then.) Default-button handling when the
// focus moves between push buttons is not modelled: BS_DEFPUSHBUTTON changes
// only when the program changes a style.
//
// Sizes: dialog units become pixels with the base units of an 8-point dialog
// font at 96 DPI, 6 pixels across and 13 down (x * 6 / 4, y * 13 / 8, rounded
// as MulDiv rounds). The model has no window frames, so the dialog's window
// rectangle is its client area, placed at the screen's top-left corner until
// the program moves it.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "platform/sim/dialog_templates.h"
#include "platform/sim/window_manager.h"
#include "platform/win_types.h"
#ifdef _WIN32
#include <dbt.h>  // DBT_DEVNODES_CHANGED; the simulated machine's own types define it
#endif

namespace sim {

class Machine;

constexpr int kDialogBaseUnitX = 6;
constexpr int kDialogBaseUnitY = 13;

// x, y, width and height in dialog units (in left, top, right, bottom) to a
// pixel rectangle relative to the dialog's top-left corner.
RECT DialogUnitsToPixels(const RECT& units);

struct DialogEvent {
  enum class Kind { Message, Click, Inspect };
  Kind kind = Kind::Message;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  int control = 0;
  std::function<void(HWND)> inspect;

  // A device notification; the wizard does not look at its type.
  static DialogEvent DeviceChange(WPARAM type = DBT_DEVNODES_CHANGED);
  // WM_CLOSE, as the close box, Alt+F4 or another program's SendMessageA sends it.
  static DialogEvent Close();
  // A user's click on a control: refused (and recorded) when the control is
  // missing, hidden or disabled, as a user cannot click it then.
  static DialogEvent Click(int control);
  // Runs the callback with the dialog's window between two messages.
  static DialogEvent Inspect(std::function<void(HWND)> callback);
  static DialogEvent Message(UINT message, WPARAM wParam, LPARAM lParam);
};

// What happened to one modal dialog.
struct DialogRun {
  int templateId = 0;
  HWND window = nullptr;
  INT_PTR result = -1;
  bool ended = false;         // EndDialog was called
  bool scriptRanOut = false;  // the script ended while the dialog was still open
  std::vector<int> refusedClicks;
  int warningBeeps = 0;  // WM_CLOSE left to the default while Cancel was disabled
  std::vector<UINT> delivered;  // messages the dialog procedure received, in order
  // The dialog and its controls (in template order) as they were when it closed.
  Window finalWindow;
  std::vector<Window> finalControls;
  const Window* FinalControl(int id) const;
};

class DialogManager {
 public:
  // ---- Test API.
  std::deque<DialogEvent> script;
  std::vector<DialogRun> runs;  // one per dialog that was built
  // The icon handle that a template's icon resource loads as.
  HANDLE ResourceIcon(Machine& machine, int resource);

  // ---- For the operations.
  INT_PTR RunModal(Machine& machine, const DialogTemplate& dialog, HWND owner, DLGPROC procedure,
                   LPARAM parameter);
  // false when the window is no open modal dialog.
  bool End(HWND dialog, INT_PTR result);

 private:
  struct Modal {
    size_t run;
    DLGPROC procedure;
    std::deque<WindowMessage> posted;
  };
  Modal* FindModal(HWND dialog);
  HWND Build(Machine& machine, const DialogTemplate& dialog, HWND owner,
             std::vector<HWND>* controls);
  LRESULT Dispatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void Perform(Machine& machine, HWND dialog, DialogEvent& event);

  std::vector<Modal> modal_;  // innermost last
  std::map<int, HANDLE> resourceIcons_;
};

}  // namespace sim
