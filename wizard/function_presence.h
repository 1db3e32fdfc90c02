// Whether Plug and Play has finished installing one of the phone's four USB
// functions, read from the registry's device enumeration tree. Every
// registry failure (missing key or value, no rights, a path that does not
// fit) answers "absent" (0) without a message; every key is opened for
// reading below HKEY_LOCAL_MACHINE and closed before the call returns.
#pragma once
#include "platform/win_types.h"

// Function 0 is the composite device, 1 to 3 its interface functions.
int IsFunctionPresent(int function);

// Windows 2000/XP: the first device instance below Enum\USB\<hardware ID>
// decides: present when its "Class" is "USB" (any case) or, for an
// interface function, when "Device Parameters" records a "PortName".
int IsFunctionPresentNt(const char* hardwareId);

// Windows 95/98/Me and NT 4. Mode 1 (function 0, the phone's enumeration
// key): the first instance's "HardwareID" names the hardware ID. Mode 0
// (functions 1 to 3, the root-enumerated port device's key): some instance's
// "CRLowerDeviceId" names the hardware ID and it has a "PortName". Both
// sides are compared in upper case.
int IsFunctionPresentLegacy(const char* enumKeyPath, const char* hardwareId, int mode);

// Reads parent\subKey's value into the buffer as text. 1 when it was read;
// the text is then always terminated inside the buffer (see the .cpp).
int ReadRegString(HKEY parent, const char* subKey, const char* valueName, char* buffer, DWORD size);
