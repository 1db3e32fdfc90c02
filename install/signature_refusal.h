// Whether an error of SetupCopyOEMInf means that Windows refused the driver
// package for its signature: a package that names no catalog where the
// driver store takes only signed packages (every Windows from 8 on), or a
// catalog whose signature does not hold.
#pragma once
#include "platform/win_types.h"

int IsSignatureRefusal(DWORD error);
