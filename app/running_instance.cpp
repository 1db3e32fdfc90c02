#include "app/running_instance.h"

#include <cstdint>

#include "app/application_state.h"
#include "app/send_to_other_program.h"
#include "platform/platform.h"

// How an earlier instance's wizard is told from other windows. The wizard is
// a platform dialog: its window class is the system's "#32770", which every
// message box and dialog of every program shares, and its title is a text
// that any other program's window may carry as well. The program's own class
// name, "USBDriverInstall", is therefore the name of a window property that
// the wizard sets on itself while it is open (wizard/init_dialog.cpp): a
// window is the earlier instance's wizard only when it carries that property
// and the program's title. Registering a window class of that name for the
// dialog (CLASS in the dialog template) would serve as well, but the wizard
// would then be a class of our own that has to repeat what the system's
// dialog class gives (DefDlgProc, DLGWINDOWEXTRA, cursor, background) on
// every version; the property leaves it a system dialog. Neither a class nor
// a property name is closed to other programs, but no other program has a
// reason to carry both our mark and our title.
//
// Neither the search nor the checks send a message: GetPropA and EnumWindows
// read the window list, and GetWindowTextA reads the stored caption of
// another process's window without asking its thread. A window whose thread
// hangs therefore cannot hold up the search.

namespace {

struct WizardSearch {
  const char* mark;
  const char* title;
  HWND found;
};

BOOL CALLBACK FindMarkedWizard(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WizardSearch*>(parameter);
  if (plat::GetPropA(window, search->mark) == nullptr) return TRUE;
  char text[sizeof(ApplicationState::title)];
  if (plat::GetWindowTextA(window, text, sizeof(text)) <= 0) return TRUE;
  if (plat::lstrcmpA(text, search->title) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// The front-most window with the program's mark and title, or null. A name
// that failed to load is empty; an empty title would match another program's
// untitled window, so no search is made then.
HWND FindEarlierWizard(const ApplicationState& state) {
  if (state.windowClassName[0] == '\0' || state.title[0] == '\0') return nullptr;
  WizardSearch search{state.windowClassName, state.title, nullptr};
  plat::EnumWindows(FindMarkedWizard, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

int MarkWizardWindow(HWND window) {
  const ApplicationState& state = App();
  if (state.windowClassName[0] == '\0') return 0;
  return plat::SetPropA(window, state.windowClassName, reinterpret_cast<HANDLE>(uintptr_t{1}))
             ? 1
             : 0;
}

void UnmarkWizardWindow(HWND window) {
  const ApplicationState& state = App();
  if (state.windowClassName[0] != '\0') plat::RemovePropA(window, state.windowClassName);
}

int HandleRunningInstance(int action) {
  const ApplicationState& state = App();
  if (!state.alreadyRunning) return 0;
  HWND window = FindEarlierWizard(state);
  if (window == nullptr) return 1;
  if (action == kActivate) {
    if (plat::IsIconic(window)) {
      plat::ShowWindow(window, SW_RESTORE);
    } else {
      plat::BringWindowToTop(window);
    }
    plat::SetForegroundWindow(window);
  } else if (action == kCloseRunning) {
    // The removal goes on whether or not the wizard answered: an earlier
    // instance whose thread hangs must not keep it waiting.
    SendToOtherProgram(window, WM_CLOSE, 0, 0);
  }
  return 1;
}
