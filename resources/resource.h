// Constants shared by the resource script and the code that loads its
// resources. Only #defines: windres reads this file too. The string table's
// ids are in string_table.inc.
#pragma once

// Hungarian (Hungary): the language of the string table and the version
// information; 1250 is its ANSI code page.
#define USBINST_RESOURCE_LANGUAGE 0x040E
#define USBINST_RESOURCE_CODE_PAGE 1250

// The version as text, "6.0.12.0", for the version information strings.
#define USBINST_TO_TEXT_(x) #x
#define USBINST_TO_TEXT(x) USBINST_TO_TEXT_(x)
#define USBINST_VERSION_TEXT                                                   \
  USBINST_TO_TEXT(USBINST_VERSION_MAJOR) "." USBINST_TO_TEXT(USBINST_VERSION_MINOR) \
  "." USBINST_TO_TEXT(USBINST_VERSION_BUILD) "." USBINST_TO_TEXT(USBINST_VERSION_REVISION)
