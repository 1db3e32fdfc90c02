// The program's own version numbers. The resource script puts them into the
// executable's version resource; the simulated machine reports them for the
// program file, so both builds see the same numbers.
#pragma once

#define USBINST_VERSION_MAJOR 6
#define USBINST_VERSION_MINOR 0
#define USBINST_VERSION_BUILD 12
#define USBINST_VERSION_REVISION 0
