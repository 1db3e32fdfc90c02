// Windows, dialogs, message boxes, resources and display metrics.
#pragma once
#include "platform/win_types.h"

namespace plat {

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM parameter);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter);
int EnumPropsA(HWND window, PROPENUMPROCA callback);
HANDLE GetPropA(HWND window, LPCSTR name);
BOOL SetPropA(HWND window, LPCSTR name, HANDLE data);
HANDLE RemovePropA(HWND window, LPCSTR name);
HWND FindWindowA(LPCSTR className, LPCSTR title);
BOOL IsIconic(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL BringWindowToTop(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND GetParent(HWND window);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
HDC CreateICA(LPCSTR driver, LPCSTR device, LPCSTR port, const void* devmode);
int GetDeviceCaps(HDC dc, int index);
BOOL DeleteDC(HDC dc);

}  // namespace plat
