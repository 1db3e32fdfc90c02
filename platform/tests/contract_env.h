// The machine a platform contract test runs on. The same test source is
// built twice: natively against the simulated machine, and for Windows
// against the real platform layer, run under Wine in a throw-away prefix.
// Each case starts with ResetContractMachine and works only below the
// scratch key and folder it names.
#pragma once
#include <string>

#include "platform/platform.h"

// A fresh machine: natively a new Windows XP image (administrator, code
// page 1250), or with `windows7` a Windows 7 image, the version Wine's
// prefixes say they are; under Wine the prefix with the scratch key and
// folder emptied.
void ResetContractMachine(bool windows7 = false);

// "Software\UsbInstContract" below HKEY_CURRENT_USER, existing and empty.
const char* ContractScratchKey();

// A folder path ending in a backslash, existing and empty.
std::string ContractScratchFolder();

// True when the tests run on the simulated machine.
bool ContractOnSimulatedMachine();

// True under Wine run by the Unix root user (tests/wine/run-in-wine.sh tells).
bool ContractWineRunsAsRoot();

// The answer a case expects where Wine answers otherwise than Windows: on
// the simulated machine its answer, `simulated`, which is Windows' answer as
// Microsoft documents it (the simulated machine follows Windows; nothing
// here runs on Windows itself), and under Wine Wine's own answer, stated
// explicitly in the manner of Wine's todo_wine, so that a change in Wine
// fails the case and shows. Each use says beside it what Windows does and
// where that is written.
template <typename T>
T SimElseWine(T simulated, T wine) {
  return ContractOnSimulatedMachine() ? simulated : wine;
}
