// The process-wide record filled at start-up and read by every part of the
// program: instance, program folder, own version, names, branding.
#pragma once
#include "platform/win_types.h"

struct ApplicationState {
  HINSTANCE instance;
  char programFolder[261];
  DWORD versionMajor;
  DWORD versionMinor;
  DWORD versionBuild;
  char title[65];
  char windowClassName[17];
  char mutexName[17];
  HANDLE mutex;
  int alreadyRunning;
  HMODULE commonControls;
  char iconPath[261];
  char seriesName[17];
  char categoryName[17];
  int ShowVersionLabel;
};

ApplicationState& App();
