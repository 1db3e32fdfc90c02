// WinMain of the Windows executable: hands over to the installer's entry point.
#include "app/entry_point.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return RunInstaller(instance, commandLine);
}
