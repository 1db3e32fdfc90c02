#include "app/center_window.h"

#include "platform/platform.h"

namespace {

void GetScreenSize(int* width, int* height) {
  *width = 640;
  *height = 480;
  HDC display = plat::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  if (display == nullptr) return;
  *width = plat::GetDeviceCaps(display, HORZRES);
  *height = plat::GetDeviceCaps(display, VERTRES);
  plat::DeleteDC(display);
}

}  // namespace

void CenterWindow(HWND window) {
  int screenWidth = 0;
  int screenHeight = 0;
  GetScreenSize(&screenWidth, &screenHeight);

  RECT rect{};
  plat::GetWindowRect(window, &rect);
  // A window rectangle's right and bottom edges lie outside the window, so
  // these are its true size: moving it keeps its size.
  int w = rect.right - rect.left;
  int h = rect.bottom - rect.top;

  int x = 0;
  int y = 0;
  RECT parentRect{};
  HWND parent = plat::GetParent(window);
  if (parent != nullptr && plat::GetWindowRect(parent, &parentRect)) {
    x = parentRect.left + (parentRect.right - parentRect.left - w + 1) / 2;
    y = parentRect.top + (parentRect.bottom - parentRect.top - h + 1) / 2;
  } else {
    x = (screenWidth - w) / 2;
    y = (screenHeight - h) / 2;
  }
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x > screenWidth - w) x = screenWidth - w;
  if (y > screenHeight - h) y = screenHeight - h;
  plat::MoveWindow(window, x, y, w, h, FALSE);
}
