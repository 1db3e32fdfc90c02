#include "app/running_instance.h"

#include "app/application_state.h"
#include "platform/platform.h"

int HandleRunningInstance(int action) {
  const ApplicationState& state = App();
  if (!state.alreadyRunning) return 0;
  // The program registers no window class of its own, so the earlier
  // instance's wizard is normally found by its title. A name that failed to
  // load is empty, and an empty title would match any untitled window of
  // another program: such a search is skipped.
  HWND window = nullptr;
  if (state.windowClassName[0] != '\0') {
    window = plat::FindWindowA(state.windowClassName, nullptr);
  }
  if (window == nullptr && state.title[0] != '\0') {
    window = plat::FindWindowA(nullptr, state.title);
  }
  if (window == nullptr) return 1;
  if (action == kActivate) {
    if (plat::IsIconic(window)) {
      plat::ShowWindow(window, SW_RESTORE);
    } else {
      plat::BringWindowToTop(window);
    }
    plat::SetForegroundWindow(window);
  } else if (action == kCloseRunning) {
    plat::SendMessageA(window, WM_CLOSE, 0, 0);
  }
  return 1;
}
