#include "platform/sim/dialog_manager.h"

#include "platform/sim/machine.h"

namespace sim {

namespace {

// a * b / c rounded half away from zero, as MulDiv rounds.
int MulDiv(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

bool TakesFocus(const Window& control) {
  return (control.style & WS_TABSTOP) != 0 && control.visible && control.enabled;
}

}  // namespace

RECT DialogUnitsToPixels(const RECT& units) {
  int left = MulDiv(units.left, kDialogBaseUnitX, 4);
  int top = MulDiv(units.top, kDialogBaseUnitY, 8);
  return {left, top, left + MulDiv(units.right, kDialogBaseUnitX, 4),
          top + MulDiv(units.bottom, kDialogBaseUnitY, 8)};
}

DialogEvent DialogEvent::DeviceChange(WPARAM type) { return Message(WM_DEVICECHANGE, type, 0); }

DialogEvent DialogEvent::Close() { return Message(WM_CLOSE, 0, 0); }

DialogEvent DialogEvent::Click(int control) {
  DialogEvent event;
  event.kind = Kind::Click;
  event.control = control;
  return event;
}

DialogEvent DialogEvent::Inspect(std::function<void(HWND)> callback) {
  DialogEvent event;
  event.kind = Kind::Inspect;
  event.inspect = std::move(callback);
  return event;
}

DialogEvent DialogEvent::Message(UINT message, WPARAM wParam, LPARAM lParam) {
  DialogEvent event;
  event.message = message;
  event.wParam = wParam;
  event.lParam = lParam;
  return event;
}

const Window* DialogRun::FinalControl(int id) const {
  for (const Window& control : finalControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

// Icons of the program's resources stay loaded until the process ends, like
// icons loaded from files; one handle per resource.
HANDLE DialogManager::ResourceIcon(Machine& machine, int resource) {
  auto it = resourceIcons_.find(resource);
  if (it != resourceIcons_.end()) return it->second;
  uintptr_t handle = machine.handles.Open(HandleKind::Icon);
  machine.handles.Close(handle, HandleKind::Icon);
  machine.windows.icons[handle] = "#" + std::to_string(resource);
  HANDLE icon = reinterpret_cast<HANDLE>(handle);
  resourceIcons_[resource] = icon;
  return icon;
}

DialogManager::Modal* DialogManager::FindModal(HWND dialog) {
  for (Modal& modal : modal_) {
    if (runs[modal.run].window == dialog) return &modal;
  }
  return nullptr;
}

HWND DialogManager::Build(Machine& machine, const DialogTemplate& dialog, HWND owner,
                          std::vector<HWND>* controls) {
  WindowManager& windows = machine.windows;
  TopLevelWindowSpec traits;
  traits.title = dialog.caption;
  traits.className = "#32770";
  traits.process = "";
  traits.rect = DialogUnitsToPixels({0, 0, dialog.width, dialog.height});
  HWND window = windows.CreateTopLevel(traits);
  Window* entry = windows.Find(window);
  entry->style = dialog.style;  // shown once WM_INITDIALOG has been handled
  entry->visible = false;
  entry->parent = owner;
  for (const DialogControlTemplate& control : dialog.controls) {
    HWND child = windows.CreateChild(window, control.id, control.className, control.text,
                                     control.style, DialogUnitsToPixels(control.units));
    if (control.iconResource != 0) {
      windows.Find(child)->image = ResourceIcon(machine, control.iconResource);
    }
    controls->push_back(child);
  }
  return window;
}

// The dialog procedure first; then what the platform's dialog default does.
LRESULT DialogManager::Dispatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Modal* modal = FindModal(dialog);
  if (!modal) return 0;
  DLGPROC procedure = modal->procedure;
  runs[modal->run].delivered.push_back(message);
  INT_PTR handled = procedure(dialog, message, wParam, lParam);
  if (handled || message != WM_CLOSE) return handled;
  modal = FindModal(dialog);  // the procedure may have opened another dialog
  if (!modal) return 0;
  HWND cancel = nullptr;
  if (Window* control = CurrentMachine().windows.FindChild(dialog, IDCANCEL)) {
    if (!control->enabled) {
      ++runs[modal->run].warningBeeps;
      return 0;
    }
    cancel = control->handle;
  }
  modal->posted.push_back(
      {WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel), true});
  return 0;
}

void DialogManager::Perform(Machine& machine, HWND dialog, DialogEvent& event) {
  WindowManager& windows = machine.windows;
  Window* window = windows.Find(dialog);
  if (!window) return;
  switch (event.kind) {
    case DialogEvent::Kind::Message:
      window->messages.push_back({event.message, event.wParam, event.lParam, true});
      windows.Deliver(*window, event.message, event.wParam, event.lParam);
      return;
    case DialogEvent::Kind::Click: {
      Window* control = windows.FindChild(dialog, event.control);
      if (!control || !control->enabled || !control->visible) {
        runs[FindModal(dialog)->run].refusedClicks.push_back(event.control);
        return;
      }
      // A click gives the button the focus, then the button tells its dialog.
      windows.focus = control->handle;
      WPARAM command = MAKEWPARAM(event.control, BN_CLICKED);
      LPARAM from = reinterpret_cast<LPARAM>(control->handle);
      window->messages.push_back({WM_COMMAND, command, from, true});
      windows.Deliver(*window, WM_COMMAND, command, from);
      return;
    }
    case DialogEvent::Kind::Inspect:
      if (event.inspect) event.inspect(dialog);
      return;
  }
}

INT_PTR DialogManager::RunModal(Machine& machine, const DialogTemplate& dialog, HWND owner,
                                DLGPROC procedure, LPARAM parameter) {
  WindowManager& windows = machine.windows;
  std::vector<HWND> controls;
  HWND window = Build(machine, dialog, owner, &controls);
  runs.push_back({});
  runs.back().templateId = dialog.id;
  runs.back().window = window;
  size_t index = runs.size() - 1;
  modal_.push_back({index, procedure, {}});
  windows.SetHandler(window, [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Dispatch(hwnd, message, wParam, lParam);
  });

  HWND firstTabStop = nullptr;
  for (HWND control : controls) {
    if (TakesFocus(*windows.Find(control))) {
      firstTabStop = control;
      break;
    }
  }
  if (Dispatch(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), parameter) &&
      firstTabStop && windows.Find(firstTabStop)) {
    windows.focus = firstTabStop;
  }
  if (Window* entry = windows.Find(window)) {
    entry->style |= WS_VISIBLE;
    entry->visible = true;
  }

  while (!runs[index].ended) {
    Modal* modal = FindModal(window);
    if (!modal || !windows.Find(window)) break;
    if (!modal->posted.empty()) {
      WindowMessage message = modal->posted.front();
      modal->posted.pop_front();
      Window* entry = windows.Find(window);
      entry->messages.push_back(message);
      windows.Deliver(*entry, message.message, message.wParam, message.lParam);
      continue;
    }
    if (script.empty()) {
      runs[index].scriptRanOut = true;
      break;
    }
    DialogEvent event = std::move(script.front());
    script.pop_front();
    Perform(machine, window, event);
  }

  // DialogBoxParamA destroys the dialog before it returns: the procedure
  // hears WM_DESTROY first, while the window and its controls still exist.
  if (windows.Find(window)) Dispatch(window, WM_DESTROY, 0, 0);
  DialogRun& run = runs[index];
  if (const Window* entry = windows.Find(window)) run.finalWindow = *entry;
  for (HWND control : controls) {
    if (const Window* entry = windows.Find(control)) run.finalControls.push_back(*entry);
  }
  for (auto it = modal_.begin(); it != modal_.end(); ++it) {
    if (it->run == index) {
      modal_.erase(it);
      break;
    }
  }
  windows.Destroy(window);
  return run.ended ? run.result : -1;
}

bool DialogManager::End(HWND dialog, INT_PTR result) {
  Modal* modal = FindModal(dialog);
  if (!modal) return false;
  DialogRun& run = runs[modal->run];
  // As on Windows, a second call before the loop ends replaces the result.
  run.ended = true;
  run.result = result;
  // EndDialog hides the dialog at once; the modal loop ends after the message.
  if (Window* entry = CurrentMachine().windows.Find(dialog)) {
    entry->visible = false;
    entry->style &= ~LONG_PTR(WS_VISIBLE);
  }
  return true;
}

}  // namespace sim
