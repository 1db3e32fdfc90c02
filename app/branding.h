#pragma once

// Reads the branding INI beside the program ("mdmsetup.ini", section
// "UsbInst"): the wizard icon and the series and category words, then
// binds the placeholders to those words. Any problem gives the defaults:
// no icon, series "3G", category "3G/GSM".
void ReadBranding();
