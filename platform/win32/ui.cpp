// Windows, dialogs, message boxes, resources and display metrics on
// Windows: each operation passes straight to user32 or gdi32.
#include "platform/ui.h"

namespace plat {

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
  return ::DialogBoxParamA(instance, templateName, owner, procedure, parameter);
}

BOOL EndDialog(HWND dialog, INT_PTR result) { return ::EndDialog(dialog, result); }

HWND GetDlgItem(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

BOOL SetWindowTextA(HWND window, LPCSTR text) { return ::SetWindowTextA(window, text); }

int GetWindowTextA(HWND window, LPSTR text, int size) {
  return ::GetWindowTextA(window, text, size);
}

BOOL EnableWindow(HWND window, BOOL enable) { return ::EnableWindow(window, enable); }

BOOL IsWindowEnabled(HWND window) { return ::IsWindowEnabled(window); }

HWND SetFocus(HWND window) { return ::SetFocus(window); }

HWND GetFocus() { return ::GetFocus(); }

// On 32-bit Windows the headers make GetWindowLongPtrA and
// SetWindowLongPtrA macros for GetWindowLongA and SetWindowLongA; the
// declarations in ui.h and these definitions are renamed alike, so callers
// of plat::GetWindowLongPtrA reach the right function on both targets.
LONG_PTR GetWindowLongPtrA(HWND window, int index) { return ::GetWindowLongPtrA(window, index); }

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return ::SetWindowLongPtrA(window, index, value);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(window, message, wParam, lParam);
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result) {
  return ::SendMessageTimeoutA(window, message, wParam, lParam, flags, timeoutMs, result);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageA(window, message, wParam, lParam);
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  return ::InvalidateRect(window, rect, erase);
}

BOOL UpdateWindow(HWND window) { return ::UpdateWindow(window); }

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
  return ::LoadImageA(instance, name, type, width, height, flags);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  return ::MessageBoxA(owner, text, caption, style);
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  return ::LoadStringA(instance, id, buffer, size);
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter) {
  return ::EnumWindows(callback, parameter);
}

int EnumPropsA(HWND window, PROPENUMPROCA callback) { return ::EnumPropsA(window, callback); }

HANDLE GetPropA(HWND window, LPCSTR name) { return ::GetPropA(window, name); }

BOOL SetPropA(HWND window, LPCSTR name, HANDLE data) { return ::SetPropA(window, name, data); }

HANDLE RemovePropA(HWND window, LPCSTR name) { return ::RemovePropA(window, name); }

HWND FindWindowA(LPCSTR className, LPCSTR title) { return ::FindWindowA(className, title); }

BOOL IsIconic(HWND window) { return ::IsIconic(window); }

BOOL ShowWindow(HWND window, int command) { return ::ShowWindow(window, command); }

BOOL BringWindowToTop(HWND window) { return ::BringWindowToTop(window); }

BOOL SetForegroundWindow(HWND window) { return ::SetForegroundWindow(window); }

HWND GetParent(HWND window) { return ::GetParent(window); }

BOOL GetWindowRect(HWND window, LPRECT rect) { return ::GetWindowRect(window, rect); }

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return ::MoveWindow(window, x, y, width, height, repaint);
}

// CreateICA takes a DEVMODEA; the seam passes it untyped because the
// installer always passes none.
HDC CreateICA(LPCSTR driver, LPCSTR device, LPCSTR port, const void* devmode) {
  return ::CreateICA(driver, device, port, static_cast<const DEVMODEA*>(devmode));
}

int GetDeviceCaps(HDC dc, int index) { return ::GetDeviceCaps(dc, index); }

BOOL DeleteDC(HDC dc) { return ::DeleteDC(dc); }

}  // namespace plat
