// Removal of the phone's devices and driver services through the Setup API
// and the service control manager (Windows 2000 and XP). None of them stops
// the uninstall sequence; their results only tell tests what happened.
#pragma once
#include "platform/win_types.h"

// Removes, through the class installer, every device of every class (attached
// or not) whose description equals the text `descriptionId` exactly and whose
// first hardware ID names the device ID `hardwareId` (see DeviceIdOccursIn).
// 1 when every pass over the "Modem" class GUIDs completed, 0 on the first
// failure. Shows no message. *restartNeeded (when given) becomes 1 when a
// removed device could not be stopped, so that Windows finishes its removal
// only when it restarts; it is never set back to 0.
int RemoveModemDevices(int descriptionId, int hardwareId, int* restartNeeded = nullptr);

// Removes every attached device one of whose hardware IDs equals "USB\" and
// the text `hardwareId`, in any letter case. 1 when a device was removed. A
// failure other than the end of the devices is shown and ends the walk.
// *restartNeeded as for RemoveModemDevices.
int RemoveUsbDevices(int hardwareId, int* restartNeeded = nullptr);

// Deletes (marks for deletion) the driver service named by the text
// `serviceNameId`; a service that cannot be opened is skipped silently. A
// service an earlier removal marked already (its driver runs until Windows
// restarts) sets *restartNeeded (when given) to 1 and shows nothing.
// 1 when the service manager handle was closed.
int DeleteDriverService(int serviceNameId, int* restartNeeded = nullptr);

// True when the upper-cased device ID occurs in the upper-cased hardware ID
// as a whole ID: after the start or a backslash (the bus prefix "USB\") and
// before the end or an '&' that opens a suffix ("&REV_0100", "&MI_03"). So
// "USB\VID_1F3C&PID_6B07&MI_03" names VID_1F3C&PID_6B07, and another maker's
// "USB\VID_1F3C&PID_6B070" or "USB\XVID_1F3C&PID_6B07" does not.
bool DeviceIdOccursIn(const char* hardwareIdUpper, const char* deviceIdUpper);

// Upper-cases the letters a to z in place, as the run-time library does in
// its default locale; every other byte stays.
void UpperCaseLetters(char* text);
