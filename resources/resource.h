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

// The wizard's dialog templates: 101 for Windows 95/98/Me/NT 4, 102 with the
// taller text area for the longer Windows 2000/XP instructions.
#define IDD_WIZARD_LEGACY 101
#define IDD_WIZARD_NT 102
// The phone icon shown in the wizard until the branding names another.
#define IDI_PHONE 108

// The wizard's controls (IDCANCEL, 2, is the Cancel button).
#define IDC_WIZARD_NEXT 3
#define IDC_WIZARD_INSTRUCTIONS 1000
#define IDC_WIZARD_VERSION 1001
#define IDC_WIZARD_ICON 1002
#define IDC_WIZARD_PROGRESS 1003

// What both templates share. The caption is replaced by the title at start.
#define WIZARD_DIALOG_STYLE (WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT)
#define WIZARD_DIALOG_CAPTION "Calvero GSM GPRS USB Driver"
#define WIZARD_FONT_NAME "Arial"
#define WIZARD_FONT_POINTS 8
// Sizes in dialog units.
#define WIZARD_LEGACY_WIDTH 363
#define WIZARD_LEGACY_HEIGHT 143
#define WIZARD_NT_WIDTH 365
#define WIZARD_NT_HEIGHT 186
