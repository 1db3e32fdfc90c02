// The command-line switches: /I or -I install, /R or -R remove, /V no
// version label, in either case, anywhere in the text.
#pragma once

enum RunMode : int {
  kRunNone = 0,
  kRunRemove = 1,
  kRunInstall = 2,
};

struct CommandLineChoice {
  int runMode;
  int showVersionLabel;
};

// Walks the text one character at a time: after '/' or '-' the next
// character picks the switch. The later of I and R wins; V is independent.
CommandLineChoice ScanCommandLine(const char* commandLine);
