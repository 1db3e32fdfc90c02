// The installer reaches Windows only through these operations. Each is
// declared under the name and with the arguments Windows gives it, in the
// plat namespace, so every call visibly crosses the seam. One
// implementation is linked per target: platform/win32 calls Windows,
// platform/sim runs the simulated Windows machine.
#pragma once
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/services.h"
#include "platform/setup_api.h"
#include "platform/system.h"
#include "platform/ui.h"
