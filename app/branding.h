#pragma once

// Reads the branding INI beside the program ("mdmsetup.ini", section
// "UsbInst"): the wizard icon and the series and category words, then
// binds the placeholders to those words. Any problem gives the defaults:
// no icon, series "3G", category "3G/GSM".
void ReadBranding();

// Binds string 320 "<%SERIES%>" to the series name and string 321
// "<%CATEGORY%>" to the category name, in that order, in the process-wide
// placeholder table.
void RegisterPlaceholders(const char* seriesName, const char* categoryName);
