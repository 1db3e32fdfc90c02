// A program that imports a function Windows 95, NT 4 and XP lack: the import
// check must refuse it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return GetTickCount64() == 0 ? 1 : 0;
}
