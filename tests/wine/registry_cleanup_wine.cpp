// The registry cleanup on a real registry: the Wine prefix is seeded with the
// phone's footprint in three control sets, another vendor's USB serial device
// whose ID begins with the phone's, another maker's modem, other ports and
// other LastGood entries; the phone's device keys are protected as Windows
// protects the device tree (owner SYSTEM, full control for SYSTEM, read and
// WRITE_DAC for Administrators). RegistryCleaner::Clean then has to grant
// each key before deleting it, and must leave every neighbour alone.
//
// Where Wine differs, and how this test accounts for it:
// - Wine keeps key DACLs only for the running wineserver session (nothing is
//   saved to the prefix's .reg files), so the protection is applied here, in
//   the same process and session as the cleanup, right before it runs.
// - Wine gives a key's owner DELETE whatever the DACL says; the protected keys
//   are therefore owned by SYSTEM, as Windows' device keys are, so that the
//   Administrators token really lacks DELETE until the grant.
// - ControlSet001 and ControlSet002 do not exist and CurrentControlSet is a
//   key of its own (no link), so the footprint is written into all three as
//   three separate trees, and the plan finds it in each.
// Any message box fails the test: it runs under answer_dialogs --no-dialog.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application_state.h"
#include "registry/registry_cleaner.h"

namespace {

const char* const kSets[] = {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002",
                             "SYSTEM\\CurrentControlSet"};
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kPortsClass[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kComPort[] = "{86E0D1E0-8089-11D0-9CE4-08003E301F73}";
const char kPorts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kLastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
const char kUnimodem[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";
const char kPhoneModem[] = "ORVEX 3G GSM USB Modem::ORVEX::ORVEX";
const char kAcmeModem[] = "Acme 3G GSM USB Modem::Acme::Acme";

struct Function {
  const char* id;
  const char* instance;
  const char* classGuid;
  const char* driverInstance;
  const char* inf;
  const char* port;
};
const Function kPhone[] = {
    {"VID_1F3C&PID_6B07", "5&1A2B3C01&0&1", kUsbClass, "0010", "oem1.inf", nullptr},
    {"VID_1F3C&PID_6B07&Mi_03", "6&2C3D4E01&0&0003", kModemClass, "0000", "oem2.inf", "COM5"},
    {"VID_1F3C&PID_6B07&Mi_05", "6&2C3D4E01&0&0005", kPortsClass, "0001", "oem4.inf", "COM6"},
    {"VID_1F3C&PID_6B07&Mi_07", "6&2C3D4E01&0&0007", kPortsClass, "0002", "oem5.inf", "COM7"},
};
const Function kNeighbour = {"VID_1F3C&PID_6B070", "7&1", kPortsClass, "0003", "oem10.inf",
                             "COM10"};
const char* const kServices[] = {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex"};

std::string Join(const std::string& a, const std::string& b) { return a + "\\" + b; }

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

bool ValueExists(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status = ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void Put(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  if (name) {
    EXPECT_EQ(::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  ::RegCloseKey(key);
}

void PutText(const std::string& path, const char* name, const std::string& text) {
  Put(path, name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}

void PutDword(const std::string& path, const char* name, DWORD value) {
  Put(path, name, REG_DWORD, &value, sizeof value);
}

std::vector<BYTE> ComDb(const std::string& set) {
  std::vector<BYTE> data(32);
  DWORD size = DWORD(data.size());
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (set + "\\Control\\COM Name Arbiter").c_str(), 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
    ::RegQueryValueExA(key, "ComDB", nullptr, nullptr, data.data(), &size);
    ::RegCloseKey(key);
  }
  return data;
}

// The device instance of a function in one control set.
void PlantFunction(const std::string& set, const Function& f) {
  std::string instance = set + "\\Enum\\USB\\" + f.id + "\\" + f.instance;
  PutText(instance, "Driver", std::string(f.classGuid) + "\\" + f.driverInstance);
  PutText(instance, "ClassGUID", f.classGuid);
  if (f.port) PutText(instance + "\\Device Parameters", "PortName", f.port);
  std::string driver = set + "\\Control\\Class\\" + f.classGuid + "\\" + f.driverInstance;
  PutText(driver, "InfPath", f.inf);
  PutText(driver + "\\Settings", "Init", "AT");
  std::string upperId = f.id;
  for (char& c : upperId) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
  std::string link = set + "\\Control\\DeviceClasses\\" + kComPort + "\\##?#USB#" + upperId + "#" +
                     f.instance + "#" + kComPort;
  PutText(link, "DeviceInstance", "USB\\" + upperId + "\\" + f.instance);
  PutText(link + "\\#", "SymbolicLink", "\\\\?\\USB#" + upperId);
}

std::string NeighbourInstance(const char* set) {
  return Join(set, "Enum\\USB\\") + kNeighbour.id + "\\" + kNeighbour.instance;
}

// The neighbour is planted and protected once per session; the second case
// finds it in place, protected, from the first.
void Plant(bool xp, bool withNeighbour) {
  for (const char* set : kSets) {
    PutText(Join(set, "Control\\Class\\") + kUsbClass + "\\0000", "InfPath", "usb.inf");
    PutText(Join(set, "Control\\Class\\") + kModemClass + "\\0001", "InfPath", "mdmacme.inf");
    for (const Function& f : kPhone) PlantFunction(set, f);
    if (withNeighbour) PlantFunction(set, kNeighbour);
    // COM1, the phone's COM5 to COM7, the neighbours' COM10 and COM12.
    std::vector<BYTE> comDb(32, 0);
    comDb[0] = 0x71;
    comDb[1] = 0x0A;
    Put(Join(set, "Control\\COM Name Arbiter"), "ComDB", REG_BINARY, comDb.data(), 32);
    if (!xp) {
      for (const char* service : kServices) {
        PutText(Join(set, "Enum\\Root\\LEGACY_") + service + "\\0000", "Service", service);
      }
      PutText(Join(set, "Enum\\Root\\LEGACY_SERIAL\\0000"), "Service", "Serial");
    }
  }
  for (const char* service : kServices) {
    PutDword(std::string("SYSTEM\\ControlSet002\\Services\\") + service, "Start", 3);
    PutDword(std::string("SYSTEM\\ControlSet002\\Services\\") + service + "\\Enum", "Count", 0);
  }
  PutDword("SYSTEM\\ControlSet002\\Services\\KV6bus0", "Start", 3);
  for (const char* port : {"COM5:", "COM6:", "COM7:", "COM10:", "COM12:"}) {
    PutText(kPorts, port, "9600,n,8,1");
  }
  if (xp) {
    for (const char* entry : {"inf\\oem1.inf", "inf\\oem1.PNF", "inf\\oem2.inf", "inf\\oem4.inf",
                              "inf\\oem5.inf", "inf\\oem10.inf", "inf\\oem19.PNF",
                              "system32\\DRIVERS\\myoem1.sys"}) {
      PutDword(kLastGood, entry, 1);
    }
  }
  PutText(Join(kUnimodem, kPhoneModem) + "\\Init", "1", "AT&F");
  PutText(Join(kUnimodem, kAcmeModem), "Init", "ATZ");
}

// Protects a key as Windows protects its device tree, sub-keys first.
void Protect(const std::string& path) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                            KEY_READ | WRITE_DAC | WRITE_OWNER, &key),
            ERROR_SUCCESS)
      << path;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    Protect(Join(path, name));
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "O:SYD:(A;;KA;;;SY)(A;;0x60019;;;BA)", SDDL_REVISION_1, &descriptor, nullptr));
  EXPECT_EQ(::RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                descriptor),
            ERROR_SUCCESS)
      << path;
  ::LocalFree(descriptor);
  ::RegCloseKey(key);
}

void ProtectDeviceKeys(bool xp, bool withNeighbour) {
  for (const char* set : kSets) {
    for (const Function& f : kPhone) Protect(Join(set, "Enum\\USB\\") + f.id);
    if (withNeighbour) Protect(Join(set, "Enum\\USB\\") + kNeighbour.id);
    if (!xp) {
      for (const char* service : kServices) Protect(Join(set, "Enum\\Root\\LEGACY_") + service);
    }
  }
}

void CheckOutcome(bool xp) {
  for (const char* set : kSets) {
    for (const Function& f : kPhone) {
      EXPECT_FALSE(KeyExists(Join(set, "Enum\\USB\\") + f.id)) << set << " " << f.id;
      EXPECT_FALSE(KeyExists(Join(set, "Control\\Class\\") + f.classGuid + "\\" +
                             f.driverInstance))
          << set << " " << f.id;
    }
    EXPECT_TRUE(KeyExists(NeighbourInstance(set) + "\\Device Parameters")) << set;
    EXPECT_TRUE(KeyExists(Join(set, "Control\\Class\\") + kPortsClass + "\\0003"));
    EXPECT_TRUE(KeyExists(Join(set, "Control\\Class\\") + kModemClass + "\\0001"));
    EXPECT_TRUE(KeyExists(Join(set, "Control\\Class\\") + kUsbClass + "\\0000"));
    std::string interfaces = Join(set, "Control\\DeviceClasses\\") + kComPort;
    EXPECT_TRUE(KeyExists(interfaces + "\\##?#USB#VID_1F3C&PID_6B070#7&1#" + kComPort));
    EXPECT_FALSE(KeyExists(interfaces + "\\##?#USB#VID_1F3C&PID_6B07&MI_03#6&2C3D4E01&0&0003#" +
                           kComPort));
    std::vector<BYTE> expected(32, 0);
    expected[0] = 0x01;
    expected[1] = 0x0A;
    EXPECT_EQ(ComDb(set), expected) << set;
    EXPECT_FALSE(KeyExists(Join(set, "Enum\\Root\\LEGACY_KV6BUS"))) << set;
    if (!xp) {
      EXPECT_TRUE(KeyExists(Join(set, "Enum\\Root\\LEGACY_SERIAL\\0000"))) << set;
    }
  }
  for (const char* service : kServices) {
    EXPECT_FALSE(KeyExists(std::string("SYSTEM\\ControlSet002\\Services\\") + service)) << service;
  }
  EXPECT_TRUE(KeyExists("SYSTEM\\ControlSet002\\Services\\KV6bus0"));
  for (const char* port : {"COM5:", "COM6:", "COM7:"}) EXPECT_FALSE(ValueExists(kPorts, port));
  for (const char* port : {"COM10:", "COM12:"}) EXPECT_TRUE(ValueExists(kPorts, port)) << port;
  if (xp) {
    // The LastGood entries are not the plan's: the driver file cleanup takes
    // the phone's with the INF files they name, after reading those files.
    for (const char* kept : {"inf\\oem1.inf", "inf\\oem1.PNF", "inf\\oem2.inf", "inf\\oem4.inf",
                             "inf\\oem5.inf", "inf\\oem10.inf", "inf\\oem19.PNF",
                             "system32\\DRIVERS\\myoem1.sys"}) {
      EXPECT_TRUE(ValueExists(kLastGood, kept)) << kept;
    }
  }
  EXPECT_FALSE(KeyExists(Join(kUnimodem, kPhoneModem)));
  EXPECT_TRUE(KeyExists(Join(kUnimodem, kAcmeModem)));
}

class RegistryCleanupUnderWine : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { App().instance = ::GetModuleHandleA(nullptr); }
};

TEST_P(RegistryCleanupUnderWine, OnlyThePhonesEntriesGoAndProtectedKeysAreGrantedFirst) {
  bool xp = GetParam() == 12;
  bool withNeighbour = !KeyExists(NeighbourInstance(kSets[0]));
  Plant(xp, withNeighbour);
  if (HasFatalFailure()) return;
  ProtectDeviceKeys(xp, withNeighbour);
  if (HasFatalFailure()) return;
  // The protection holds: an administrator cannot delete a device key yet.
  std::string instance = std::string(kSets[0]) + "\\Enum\\USB\\" + kPhone[1].id + "\\" +
                         kPhone[1].instance;
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, instance.c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(::RegDeleteKeyA(key, "Device Parameters"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (instance + "\\Device Parameters").c_str(), 0,
                            KEY_SET_VALUE, &key),
            ERROR_ACCESS_DENIED);
  ::RegCloseKey(key);

  RegistryCleaner cleaner(GetParam());
  EXPECT_EQ(cleaner.Clean(), 1);
  CheckOutcome(xp);
}

INSTANTIATE_TEST_SUITE_P(OsKinds, RegistryCleanupUnderWine, ::testing::Values(12, 11));

}  // namespace
