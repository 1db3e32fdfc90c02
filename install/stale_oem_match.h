// How an INF's first model line is matched against the phone's hardware ID.
#pragma once

// 1 when `field` (the first hardware ID of the first line of the maker's
// models section) names the device `hardwareId` (upper case, such as
// "VID_1F3C&PID_6B07"), in any mix of letter case.
//
// The ID must stand as a whole part of the field: it starts the field or
// follows a backslash or '&' ("USB\VID_1F3C&PID_6B07"), and it ends the
// field or is followed by '&' ("...&MI_03", "...&REV_0100"). A plain
// substring test would also take another device of the same maker whose
// product number merely begins with the phone's ("...&PID_6B070") and
// delete that device's INF. Double-byte characters are respected: a trail
// byte is never taken for a letter or a backslash.
int NamesHardwareId(const char* field, const char* hardwareId);
