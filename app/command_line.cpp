#include "app/command_line.h"

CommandLineChoice ScanCommandLine(const char* commandLine) {
  CommandLineChoice choice{kRunNone, 1};
  if (commandLine == nullptr) return choice;
  for (const char* p = commandLine; *p != '\0'; ++p) {
    if (*p != '/' && *p != '-') continue;
    switch (p[1]) {
      case 'I':
      case 'i':
        choice.runMode = kRunInstall;
        break;
      case 'R':
      case 'r':
        choice.runMode = kRunRemove;
        break;
      case 'V':
      case 'v':
        choice.showVersionLabel = 0;
        break;
      default:
        break;
    }
  }
  return choice;
}
