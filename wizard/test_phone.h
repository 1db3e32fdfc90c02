// For the wizard's unit tests: the registry footprint that Plug and Play
// leaves for each of the phone's four USB functions, just the keys and
// values the presence check reads.
#pragma once
#include <string>

#include "platform/sim/machine.h"

namespace test_phone {

inline const char* HardwareId(int function) {
  static const char* const ids[] = {"VID_1F3C&PID_6B07", "VID_1F3C&PID_6B07&Mi_03",
                                    "VID_1F3C&PID_6B07&Mi_05", "VID_1F3C&PID_6B07&Mi_07"};
  return ids[function];
}

inline std::string NtDeviceKey(int function) {
  return std::string("SYSTEM\\CurrentControlSet\\Enum\\USB\\") + HardwareId(function);
}

// Windows 2000/XP: the function's device instance. The composite device
// (function 0) has the class "USB"; an interface function is of another class
// and is complete once its COM port name is recorded.
inline void PlugNt(sim::Machine& machine, int function, const std::string& instance = "6&2c5f&0",
                   bool withPort = true) {
  std::string key = NtDeviceKey(function) + "\\" + instance;
  machine.registry.SetString(HKEY_LOCAL_MACHINE, key, "Class", function == 0 ? "USB" : "Modem");
  if (function != 0 && withPort) {
    machine.registry.SetString(HKEY_LOCAL_MACHINE, key + "\\Device Parameters", "PortName",
                               "COM" + std::to_string(3 + function));
  }
}

inline void UnplugNt(sim::Machine& machine, int function) {
  machine.registry.DeleteTree(HKEY_LOCAL_MACHINE, NtDeviceKey(function));
}

const char kLegacyPhoneKey[] = "Enum\\USB\\VID_1F3C&PID_6B07";
const char kLegacyPortKey[] = "Enum\\KV6CR\\guid";

// Windows 95/98/Me and NT 4: the phone's own enumeration key (function 0),
// or an instance of the root-enumerated port device whose lower device is the
// interface function (1 to 3).
// Each function gets its own port device instance unless one is named.
inline void PlugLegacy(sim::Machine& machine, int function, std::string instance = "",
                       bool withPort = true) {
  if (instance.empty()) instance = "000" + std::to_string(function);
  if (function == 0) {
    machine.registry.SetString(HKEY_LOCAL_MACHINE, std::string(kLegacyPhoneKey) + "\\" + instance,
                               "HardwareID",
                               "USB\\VID_1F3C&PID_6B07&REV_0100,USB\\VID_1F3C&PID_6B07");
    return;
  }
  std::string key = std::string(kLegacyPortKey) + "\\" + instance;
  machine.registry.SetString(HKEY_LOCAL_MACHINE, key, "CRLowerDeviceId",
                             std::string("USB\\") + HardwareId(function) + "\\6&2C5F&0");
  if (withPort) {
    machine.registry.SetString(HKEY_LOCAL_MACHINE, key, "PortName",
                               "COM" + std::to_string(3 + function));
  }
}

}  // namespace test_phone
