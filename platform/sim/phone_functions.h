// The phone's four USB functions as Plug and Play installs them: one table for
// the simulated machine's Plug and Play stand-in and for the phone simulator
// that plays the same part under Wine. Plain data, no dependencies.
#pragma once

namespace phone {

inline constexpr int kFunctionCount = 4;

inline constexpr char kUsbClassGuid[] = "{36FC9E60-C465-11CF-8056-444553540000}";
inline constexpr char kModemClassGuid[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
inline constexpr char kPortsClassGuid[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
inline constexpr char kLegacyDriverClassGuid[] = "{8ECC055D-047F-11D1-A537-0000F8753ED1}";
inline constexpr char kUsbDeviceInterface[] = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr char kModemInterface[] = "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}";
inline constexpr char kComPortInterface[] = "{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
inline constexpr char kMaker[] = "ORVEX";
inline constexpr char kModemDescription[] = "ORVEX 3G GSM USB Modem";

struct Function {
  const char* deviceId;  // the key name below Enum\USB
  int interfaceNumber;   // -1 for the composite device
  const char* ntClass;
  const char* ntClassGuid;
  const char* legacyClass;  // the port device's class on 9x (functions 1 to 3)
  const char* description;
  const char* service;         // 2000/XP
  const char* lowerFilter;     // 2000/XP, or null
  const char* defaultSection;  // when the INF's model line cannot be read
  const char* interfaceGuid;
  const char* driverFiles[5];  // 2000/XP, copied into system32\drivers; null-terminated
  // 2000/XP: the hardware IDs as the USB hub reports them, in Windows' own
  // letter case ("USB\Vid_1f3c&Pid_6b07&Rev_0100"; Microsoft, "Plug and Play
  // support" of the HID documentation), which differs from the key names.
  const char* hardwareIds[2];
};

// The functions in the order the wizard counts them. The interface numbers and
// classes follow the driver package's INF files (KV6obx2.inf, KV6sdm2.inf,
// KV6mdm2.inf and their 9x twins).
inline constexpr Function kFunctions[kFunctionCount] = {
    {"VID_1F3C&PID_6B07",
     -1,
     "USB",
     kUsbClassGuid,
     "USB",
     "ORVEX 3G/GSM USB Composite Device",
     "KV6bus",
     nullptr,
     "KV6Bus",
     kUsbDeviceInterface,
     {"KV6bus.sys", "KV6cm.sys", "KV6cmnt.sys", nullptr},
     {"USB\\Vid_1f3c&Pid_6b07&Rev_0100", "USB\\Vid_1f3c&Pid_6b07"}},
    {"VID_1F3C&PID_6B07&MI_03",
     3,
     "Ports",
     kPortsClassGuid,
     "Ports",
     "ORVEX 3G/GSM USB OBEX Port",
     "KV6obex",
     nullptr,
     "KV6Obex",
     kComPortInterface,
     {"KV6obex.sys", nullptr},
     {"USB\\Vid_1f3c&Pid_6b07&Rev_0100&MI_03", "USB\\Vid_1f3c&Pid_6b07&MI_03"}},
    {"VID_1F3C&PID_6B07&MI_05",
     5,
     "Ports",
     kPortsClassGuid,
     "Ports",
     "ORVEX 3G/GSM USB Diagnostic Port",
     "KV6mgmt",
     nullptr,
     "KV6Diag",
     kComPortInterface,
     {"KV6mgmt.sys", nullptr},
     {"USB\\Vid_1f3c&Pid_6b07&Rev_0100&MI_05", "USB\\Vid_1f3c&Pid_6b07&MI_05"}},
    {"VID_1F3C&PID_6B07&MI_07",
     7,
     "Modem",
     kModemClassGuid,
     "Modem",
     kModemDescription,
     "KV6mdm",
     "KV6mdfl",
     "KV6Modem",
     kModemInterface,
     {"KV6mdm.sys", "KV6mdfl.sys", "KV6wh.sys", "KV6whnt.sys", nullptr},
     {"USB\\Vid_1f3c&Pid_6b07&Rev_0100&MI_07", "USB\\Vid_1f3c&Pid_6b07&MI_07"}},
};

// The modem among them.
inline constexpr int kModemFunction = 3;

}  // namespace phone
