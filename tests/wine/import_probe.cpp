// A program that imports a function Windows 95, NT 4 and XP lack, and one
// from comctl32, which is no known DLL: the import check must refuse both.
#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  return GetTickCount64() == 0 ? 1 : 0;
}
