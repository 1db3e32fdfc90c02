// Window, message, message-box, icon and display operations of the simulated
// machine, on the WindowManager.
#include <cstring>
#include <string>

#include "platform/sim/code_pages.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/ui.h"

namespace plat {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::SetError;

namespace {

constexpr DWORD kErrorInvalidIndex = 1413;  // ERROR_INVALID_INDEX

sim::WindowManager& Windows() { return CurrentMachine().windows; }

// The window, or null with ERROR_INVALID_WINDOW_HANDLE.
sim::Window* WindowOrError(HWND window) {
  sim::Window* entry = Windows().Find(window);
  if (!entry) SetError(ERROR_INVALID_WINDOW_HANDLE);
  return entry;
}

bool NamesEqual(const std::string& a, const char* b) {
  return sim::UpperAscii(a) == sim::UpperAscii(b);
}

// Copies a window text into a caller's buffer of `size` characters without
// splitting a double-byte character.
int CopyText(const std::string& text, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  uint32_t codePage = CurrentMachine().options().codePage;
  size_t room = size_t(size) - 1;
  size_t n = 0;
  while (n < text.size()) {
    size_t width = sim::IsLeadByteIn(codePage, uint8_t(text[n])) && n + 1 < text.size() ? 2 : 1;
    if (n + width > room) break;
    n += width;
  }
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return int(n);
}

}  // namespace

HWND GetDlgItem(HWND dialog, int id) {
  uint32_t error = 0;
  if (EnterCall("GetDlgItem", &error)) return nullptr;
  if (!WindowOrError(dialog)) return nullptr;
  sim::Window* control = Windows().FindChild(dialog, id);
  if (!control) {
    SetError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
  }
  return control->handle;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  uint32_t error = 0;
  if (EnterCall("SetWindowTextA", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  entry->text = text ? text : "";
  entry->messages.push_back({WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), false});
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
  uint32_t error = 0;
  if (EnterCall("GetWindowTextA", &error)) {
    if (text && size > 0) text[0] = '\0';
    return 0;
  }
  sim::Window* entry = WindowOrError(window);
  if (!entry) {
    if (text && size > 0) text[0] = '\0';
    return 0;
  }
  return CopyText(entry->text, text, size);
}

// Returns whether the window was disabled before.
BOOL EnableWindow(HWND window, BOOL enable) {
  uint32_t error = 0;
  if (EnterCall("EnableWindow", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  BOOL wasDisabled = !entry->enabled;
  entry->enabled = enable != FALSE;
  if (enable) {
    entry->style &= ~LONG_PTR(WS_DISABLED);
  } else {
    entry->style |= WS_DISABLED;
    if (Windows().focus == window) Windows().focus = nullptr;
  }
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  uint32_t error = 0;
  if (EnterCall("IsWindowEnabled", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  return entry && entry->enabled;
}

HWND SetFocus(HWND window) {
  uint32_t error = 0;
  if (EnterCall("SetFocus", &error)) return nullptr;
  sim::WindowManager& windows = Windows();
  HWND previous = windows.focus;
  if (window) {
    sim::Window* entry = WindowOrError(window);
    // A disabled window or another program's window cannot take the focus.
    if (!entry || !entry->enabled || !entry->process.empty()) return nullptr;
  }
  windows.focus = window;
  return previous;
}

HWND GetFocus() {
  uint32_t error = 0;
  if (EnterCall("GetFocus", &error)) return nullptr;
  return Windows().focus;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  uint32_t error = 0;
  if (EnterCall("GetWindowLongPtrA", &error)) return 0;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return 0;
  switch (index) {
    case GWL_STYLE: return entry->style;
    case GWL_EXSTYLE: return entry->exStyle;
    case GWLP_USERDATA: return entry->userData;
    case GWL_ID: return entry->id;
  }
  SetError(kErrorInvalidIndex);
  return 0;
}

// Returns the previous value. As on Windows, success does not clear the last error.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  uint32_t error = 0;
  if (EnterCall("SetWindowLongPtrA", &error)) return 0;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWL_STYLE:
      previous = entry->style;
      entry->style = value;
      entry->enabled = (value & WS_DISABLED) == 0;
      return previous;
    case GWL_EXSTYLE: previous = entry->exStyle; entry->exStyle = value; return previous;
    case GWLP_USERDATA: previous = entry->userData; entry->userData = value; return previous;
    case GWL_ID: previous = entry->id; entry->id = int(value); return previous;
  }
  SetError(kErrorInvalidIndex);
  return 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  uint32_t error = 0;
  if (EnterCall("SendMessageA", &error)) return 0;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return 0;
  if (!entry->answersMessages) {
    Windows().sendsNeverAnswered.push_back({message, wParam, lParam, false});
    return 0;
  }
  entry->messages.push_back({message, wParam, lParam, false});
  return Windows().Deliver(*entry, message, wParam, lParam);
}

// Microsoft documents: 0 when the call fails or times out, ERROR_TIMEOUT then;
// with SMTO_ABORTIFHUNG it returns at once for a thread that appears hung.
// A window that does not answer here has not taken a message for long, so
// it counts as hung; without the flag the whole time-out is waited.
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result) {
  uint32_t error = 0;
  if (EnterCall("SendMessageTimeoutA", &error)) return 0;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return 0;
  if (!entry->answersMessages) {
    if (!(flags & SMTO_ABORTIFHUNG)) Windows().sendTimeoutWaitMs += timeoutMs;
    SetError(ERROR_TIMEOUT);
    return 0;
  }
  entry->messages.push_back({message, wParam, lParam, false});
  LRESULT answer = Windows().Deliver(*entry, message, wParam, lParam);
  if (result) *result = DWORD_PTR(answer);
  return 1;
}

// Posted messages are recorded; tests decide whether and when they arrive.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  uint32_t error = 0;
  if (EnterCall("PostMessageA", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  entry->messages.push_back({message, wParam, lParam, true});
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  uint32_t error = 0;
  if (EnterCall("InvalidateRect", &error)) return FALSE;
  if (!window) return TRUE;  // the whole screen
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  ++entry->invalidations;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  uint32_t error = 0;
  if (EnterCall("UpdateWindow", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  ++entry->updates;
  return TRUE;
}

// Icons from .ico files of the simulated file system. The file must hold an
// icon directory (reserved 0, type 1, at least one image); anything else fails
// as Windows does, with ERROR_FILE_NOT_FOUND for a missing file.
HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags) {
  uint32_t error = 0;
  if (EnterCall("LoadImageA", &error)) return nullptr;
  if (!name || !(flags & LR_LOADFROMFILE) || type != IMAGE_ICON) {
    SetError(ERROR_INVALID_PARAMETER);  // resource images are not modelled
    return nullptr;
  }
  sim::Machine& machine = CurrentMachine();
  std::optional<std::string> contents = machine.files.ReadFile(name);
  if (!contents) {
    SetError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const std::string& bytes = *contents;
  bool isIcon = bytes.size() >= 6 + 16 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 &&
                bytes[3] == 0 && (bytes[4] != 0 || bytes[5] != 0);
  if (!isIcon) {
    SetError(ERROR_INVALID_DATA);
    return nullptr;
  }
  uintptr_t handle = machine.handles.Open(sim::HandleKind::Icon);
  // Icons stay until the process ends; they are not counted as leaks.
  machine.handles.Close(handle, sim::HandleKind::Icon);
  machine.windows.icons[handle] = name;
  return reinterpret_cast<HANDLE>(handle);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  uint32_t error = 0;
  if (EnterCall("MessageBoxA", &error)) return 0;
  sim::WindowManager& windows = Windows();
  int answer = 0;
  if (!windows.messageBoxAnswers.empty()) {
    answer = windows.messageBoxAnswers.front();
    windows.messageBoxAnswers.pop_front();
  } else {
    switch (style & 0x0F) {
      case MB_YESNO:
      case 0x03: answer = IDYES; break;      // MB_YESNOCANCEL
      case 0x02: answer = IDABORT; break;    // MB_ABORTRETRYIGNORE
      case 0x05: answer = IDRETRY; break;    // MB_RETRYCANCEL
      default: answer = IDOK; break;
    }
  }
  // Windows captions a box without a caption "Error".
  windows.messageBoxes.push_back(
      {owner, text ? text : "", caption ? caption : "Error", style, answer});
  return answer;
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter) {
  uint32_t error = 0;
  if (EnterCall("EnumWindows", &error)) return FALSE;
  if (!callback) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The list is taken first: windows that go away meanwhile are skipped.
  for (HWND window : Windows().TopLevelWindows()) {
    if (!Windows().Find(window)) continue;
    if (!callback(window, parameter)) return FALSE;
  }
  return TRUE;
}

// Properties are enumerated from the most recently set. String names are
// passed as text, integer atoms as their number. -1 when there is none.
int EnumPropsA(HWND window, PROPENUMPROCA callback) {
  uint32_t error = 0;
  if (EnterCall("EnumPropsA", &error)) return -1;
  sim::Window* entry = WindowOrError(window);
  if (!entry || !callback) return -1;
  std::vector<sim::Window::Property> properties(entry->properties.rbegin(),
                                                entry->properties.rend());
  int result = -1;
  for (const sim::Window::Property& property : properties) {
    LPCSTR name = property.name.empty() ? MAKEINTRESOURCEA(property.atom) : property.name.c_str();
    result = callback(window, name, property.data);
    if (!result) break;
  }
  return result;
}

HANDLE GetPropA(HWND window, LPCSTR name) {
  uint32_t error = 0;
  if (EnterCall("GetPropA", &error)) return nullptr;
  sim::Window* entry = WindowOrError(window);
  if (!entry || !name) return nullptr;
  for (const sim::Window::Property& property : entry->properties) {
    bool match = IS_INTRESOURCE(name) ? property.name.empty() && property.atom == LOWORD(name)
                                      : !property.name.empty() && NamesEqual(property.name, name);
    if (match) return property.data;
  }
  return nullptr;
}

BOOL SetPropA(HWND window, LPCSTR name, HANDLE data) {
  uint32_t error = 0;
  if (EnterCall("SetPropA", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  if (!name) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (sim::Window::Property& property : entry->properties) {
    bool match = IS_INTRESOURCE(name) ? property.name.empty() && property.atom == LOWORD(name)
                                      : !property.name.empty() && NamesEqual(property.name, name);
    if (match) {
      property.data = data;
      return TRUE;
    }
  }
  if (IS_INTRESOURCE(name)) {
    entry->properties.push_back({"", LOWORD(name), data});
  } else {
    entry->properties.push_back({sim::CurrentMachine().windows.AtomName(name), 0, data});
  }
  return TRUE;
}

// Takes the property off the window and returns its data; null when the
// window has no property of that name (or the window is gone).
HANDLE RemovePropA(HWND window, LPCSTR name) {
  uint32_t error = 0;
  if (EnterCall("RemovePropA", &error)) return nullptr;
  sim::Window* entry = WindowOrError(window);
  if (!entry || !name) return nullptr;
  auto& properties = entry->properties;
  for (auto it = properties.begin(); it != properties.end(); ++it) {
    bool match = IS_INTRESOURCE(name) ? it->name.empty() && it->atom == LOWORD(name)
                                      : !it->name.empty() && NamesEqual(it->name, name);
    if (match) {
      HANDLE data = it->data;
      properties.erase(it);
      return data;
    }
  }
  return nullptr;
}

// Top-level windows only, front to back; class and title compare without case.
HWND FindWindowA(LPCSTR className, LPCSTR title) {
  uint32_t error = 0;
  if (EnterCall("FindWindowA", &error)) return nullptr;
  for (HWND window : Windows().TopLevelWindows()) {
    const sim::Window* entry = Windows().Find(window);
    if (!entry) continue;
    if (className && (IS_INTRESOURCE(className) || !NamesEqual(entry->className, className))) {
      continue;
    }
    if (title && !NamesEqual(entry->text, title)) continue;
    return window;
  }
  return nullptr;
}

BOOL IsIconic(HWND window) {
  uint32_t error = 0;
  if (EnterCall("IsIconic", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  return entry && entry->iconic;
}

// Returns whether the window was visible before.
BOOL ShowWindow(HWND window, int command) {
  uint32_t error = 0;
  if (EnterCall("ShowWindow", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  BOOL wasVisible = entry->visible;
  constexpr int kMinimize = 6;
  constexpr int kShowMinimized = 2;
  if (command == SW_HIDE) {
    entry->visible = false;
  } else {
    entry->visible = true;
    if (command == SW_RESTORE || command == SW_SHOWNORMAL) entry->iconic = false;
    if (command == kMinimize || command == kShowMinimized) entry->iconic = true;
  }
  Windows().activations.push_back({window, "ShowWindow " + std::to_string(command)});
  return wasVisible;
}

BOOL BringWindowToTop(HWND window) {
  uint32_t error = 0;
  if (EnterCall("BringWindowToTop", &error)) return FALSE;
  if (!WindowOrError(window)) return FALSE;
  Windows().BringToFront(window);
  Windows().activations.push_back({window, "BringWindowToTop"});
  return TRUE;
}

BOOL SetForegroundWindow(HWND window) {
  uint32_t error = 0;
  if (EnterCall("SetForegroundWindow", &error)) return FALSE;
  if (!WindowOrError(window)) return FALSE;
  Windows().BringToFront(window);
  Windows().foreground = window;
  Windows().activations.push_back({window, "SetForegroundWindow"});
  return TRUE;
}

// A child's parent, or a top-level window's owner; null for an unowned window.
HWND GetParent(HWND window) {
  uint32_t error = 0;
  if (EnterCall("GetParent", &error)) return nullptr;
  sim::Window* entry = WindowOrError(window);
  return entry ? entry->parent : nullptr;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  uint32_t error = 0;
  if (EnterCall("GetWindowRect", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  if (!rect) {
    SetError(ERROR_NOACCESS);
    return FALSE;
  }
  *rect = entry->rect;
  return TRUE;
}

// A child moves relative to its parent's top-left corner (the model has no
// frames, so a window's client area starts at its corner).
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  uint32_t error = 0;
  if (EnterCall("MoveWindow", &error)) return FALSE;
  sim::Window* entry = WindowOrError(window);
  if (!entry) return FALSE;
  int left = x;
  int top = y;
  if (entry->child) {
    if (const sim::Window* parent = Windows().Find(entry->parent)) {
      left += parent->rect.left;
      top += parent->rect.top;
    }
  }
  entry->rect = {left, top, left + width, top + height};
  return TRUE;
}

HDC CreateICA(LPCSTR driver, LPCSTR, LPCSTR, const void*) {
  uint32_t error = 0;
  if (EnterCall("CreateICA", &error)) return nullptr;
  sim::Machine& machine = CurrentMachine();
  if (!driver || sim::UpperAscii(driver) != "DISPLAY" || !machine.windows.displayAvailable) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uintptr_t handle = machine.handles.Open(sim::HandleKind::DeviceContext);
  machine.windows.deviceContexts.push_back(handle);
  return reinterpret_cast<HDC>(handle);
}

int GetDeviceCaps(HDC dc, int index) {
  uint32_t error = 0;
  if (EnterCall("GetDeviceCaps", &error)) return 0;
  sim::Machine& machine = CurrentMachine();
  if (!machine.handles.IsOpen(sim::HandleValue(dc), sim::HandleKind::DeviceContext)) return 0;
  if (index == HORZRES) return machine.windows.screenWidth;
  if (index == VERTRES) return machine.windows.screenHeight;
  return 0;
}

BOOL DeleteDC(HDC dc) {
  uint32_t error = 0;
  if (EnterCall("DeleteDC", &error)) return FALSE;
  sim::Machine& machine = CurrentMachine();
  uintptr_t value = sim::HandleValue(dc);
  if (!machine.handles.Close(value, sim::HandleKind::DeviceContext)) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::erase(machine.windows.deviceContexts, value);
  return TRUE;
}

}  // namespace plat
