// The program's own version, read by the resource script's VERSIONINFO and
// by tests. Only #defines: windres reads this file too.
#pragma once

#define USBINST_VERSION_MAJOR 6
#define USBINST_VERSION_MINOR 0
#define USBINST_VERSION_BUILD 12
#define USBINST_VERSION_REVISION 0
