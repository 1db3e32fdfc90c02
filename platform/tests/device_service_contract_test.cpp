// What the device and service removal relies on from the Setup API and the
// service control manager, checked the same way on the simulated machine and
// on Windows (under Wine). These cases work in HKEY_LOCAL_MACHINE, on names
// no real device or service uses, and remove what they made.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/tests/contract_env.h"

#ifdef USBINST_CONTRACT_SIM
#include "platform/sim/machine.h"
#endif

namespace {

const char kServiceName[] = "UsbInstContractSvc";
const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\UsbInstContractSvc";
const char kClassRoot[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
const char kClassA[] = "{8A3D0C11-5E7B-4C1E-9A11-00C0FFEE0001}";
const char kClassB[] = "{8A3D0C11-5E7B-4C1E-9A11-00C0FFEE0002}";
const char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\ROOT\\USBINSTCONTRACT";
const char kHardwareIds[] = "ROOT\\UsbInstContract&REV_1\0ROOT\\UsbInstContract\0";

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  plat::RegCloseKey(key);
  return true;
}

void DeleteTreeIfPresent(const std::string& path) {
  HKEY key = nullptr;
  if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  char name[300];
  for (;;) {
    DWORD length = sizeof name;
    if (plat::RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    DeleteTreeIfPresent(path + "\\" + name);
  }
  plat::RegCloseKey(key);
  plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

void SetText(const std::string& path, const char* name, const char* data, DWORD size,
             DWORD type = REG_SZ) {
  HKEY key = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  EXPECT_EQ(plat::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  plat::RegCloseKey(key);
}

void SetText(const std::string& path, const char* name, const char* text) {
  SetText(path, name, text, DWORD(std::strlen(text) + 1));
}

// Installs the contract device ROOT\USBINSTCONTRACT\<instance> (class A, two
// hardware IDs, a description when asked), started or not. The Enum tree is
// writable only by SYSTEM on Windows, where Plug and Play or
// SetupDiCreateDeviceInfoA makes such keys; Wine lets the test write them.
void PlantContractDevice(const char* instance, bool withDescription, bool started) {
#ifdef USBINST_CONTRACT_SIM
  sim::Machine& machine = sim::CurrentMachine();
  sim::DeviceManager::DeviceSpec traits;
  traits.instancePath = std::string("ROOT\\USBINSTCONTRACT\\") + instance;
  traits.classGuid = kClassA;
  traits.description = withDescription ? "UsbInst contract device" : "";
  traits.hardwareIds = {"ROOT\\UsbInstContract&REV_1", "ROOT\\UsbInstContract"};
  traits.present = started;
  machine.devices.AddDevice(machine, traits);
#else
  // Wine lists every device with a ClassGUID, started or not.
  (void)started;
  std::string key = std::string(kDeviceKey) + "\\" + instance;
  SetText(key, "ClassGUID", kClassA);
  if (withDescription) SetText(key, "DeviceDesc", "UsbInst contract device");
  SetText(key, "HardwareID", kHardwareIds, sizeof kHardwareIds, REG_MULTI_SZ);
#endif
}

class DeviceServiceContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetContractMachine();
    DeleteTreeIfPresent(kDeviceKey);
    DeleteTreeIfPresent(std::string(kClassRoot) + kClassA);
    DeleteTreeIfPresent(std::string(kClassRoot) + kClassB);
  }
  void TearDown() override { SetUp(); }
};

SC_HANDLE CreateContractService(SC_HANDLE manager) {
  return plat::CreateServiceA(manager, kServiceName, "UsbInst contract", SERVICE_ALL_ACCESS,
                              SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                              "System32\\drivers\\usbinstcontract.sys", nullptr, nullptr, nullptr,
                              nullptr, nullptr);
}

TEST_F(DeviceServiceContract, ServiceMarkedForDeletionGoesWithItsLastHandle) {
  SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));

  SC_HANDLE created = CreateContractService(manager);
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(KeyExists(kServiceKey));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateContractService(manager), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_SERVICE_EXISTS));

  // Names compare without case.
  SC_HANDLE second = plat::OpenServiceA(manager, "usbinstcontractSVC", SERVICE_ALL_ACCESS);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(plat::DeleteService(created));
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::DeleteService(second));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_SERVICE_MARKED_FOR_DELETE));
  // Marked, the service still opens, and its key stays while handles are open.
  SC_HANDLE third = plat::OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
  EXPECT_NE(third, nullptr);
  EXPECT_TRUE(KeyExists(kServiceKey));
  EXPECT_TRUE(plat::CloseServiceHandle(created));
  EXPECT_TRUE(plat::CloseServiceHandle(second));
  if (third) {
    EXPECT_TRUE(plat::CloseServiceHandle(third));
  }
  EXPECT_FALSE(KeyExists(kServiceKey));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_TRUE(plat::CloseServiceHandle(manager));
}

TEST_F(DeviceServiceContract, ClassGuidsFromNameReportsTheCountBeyondTheRoom) {
  GUID guids[1] = {};
  DWORD required = 99;
  ASSERT_TRUE(plat::SetupDiClassGuidsFromNameA("UsbInstContractClass", guids, 1, &required));
  EXPECT_EQ(required, 0u);
  SetText(std::string(kClassRoot) + kClassA, "Class", "UsbInstContractClass");
  ASSERT_TRUE(plat::SetupDiClassGuidsFromNameA("usbinstcontractclass", guids, 1, &required));
  EXPECT_EQ(required, 1u);
  EXPECT_EQ(guids[0].Data4[7], 0x01);
  SetText(std::string(kClassRoot) + kClassB, "Class", "UsbInstContractClass");
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetupDiClassGuidsFromNameA("UsbInstContractClass", guids, 1, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, 2u);
}

// Finds the contract device in a set by its first hardware ID.
bool FindContractDevice(HDEVINFO set, SP_DEVINFO_DATA* device) {
  for (DWORD index = 0;; ++index) {
    device->cbSize = sizeof *device;
    if (!plat::SetupDiEnumDeviceInfo(set, index, device)) {
      EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
      return false;
    }
    char ids[512] = {};
    if (plat::SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                                reinterpret_cast<BYTE*>(ids), sizeof ids - 2,
                                                nullptr) &&
        std::strcmp(ids, "ROOT\\UsbInstContract&REV_1") == 0) {
      return true;
    }
  }
}

TEST_F(DeviceServiceContract, DeviceKeysAreDevicesAndDifRemoveTakesTheirKeys) {
  std::string instance = std::string(kDeviceKey) + "\\0000";
  PlantContractDevice("0000", true, true);

  HDEVINFO set = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA device{};
  ASSERT_TRUE(FindContractDevice(set, &device));

  BYTE buffer[256] = {};
  DWORD required = 0;
  DWORD type = 0;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, &type,
                                                       buffer, sizeof buffer, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_DATA));
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type,
                                                       nullptr, 0, &required));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, DWORD(sizeof kHardwareIds));
  ASSERT_TRUE(plat::SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DEVICEDESC, &type,
                                                      buffer, sizeof buffer, &required));
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "UsbInst contract device");
  EXPECT_EQ(type, DWORD(REG_SZ));

  EXPECT_EQ(device.ClassGuid.Data4[7], 0x01);

  // The install parameters before and after the removal: a device that could
  // be stopped needs no restart (Microsoft, SetupDiRemoveDevice: the flag is
  // set only when the device cannot be stopped dynamically).
  SP_DEVINSTALL_PARAMS_A params{};
  params.cbSize = sizeof params - 1;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetupDiGetDeviceInstallParamsA(set, &device, &params));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
  params.cbSize = sizeof params;
  ASSERT_TRUE(plat::SetupDiGetDeviceInstallParamsA(set, &device, &params));
  EXPECT_EQ(params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART), 0u);
  EXPECT_TRUE(plat::SetupDiCallClassInstaller(DIF_REMOVE, set, &device));
  EXPECT_FALSE(KeyExists(instance));
  // Windows keeps the removed device's element in the set, so that its
  // parameters can be read (devcon reads DI_NEEDREBOOT there after DIF_REMOVE);
  // Wine drops the element and answers ERROR_NO_SUCH_DEVINST, which the
  // removal takes as "no restart needed".
  params = SP_DEVINSTALL_PARAMS_A{};
  params.cbSize = sizeof params;
  plat::SetLastError(0xdeadbeef);
  BOOL read = plat::SetupDiGetDeviceInstallParamsA(set, &device, &params);
  DWORD readError = plat::GetLastError();
  EXPECT_EQ(read, SimElseWine<BOOL>(TRUE, FALSE));
  if (read) {
    EXPECT_EQ(params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART), 0u);
  } else {
    EXPECT_EQ(readError, DWORD(ERROR_NO_SUCH_DEVINST));
  }
  // The element stays in the set after DIF_REMOVE, and destroying its driver
  // list (none was built) succeeds on Windows (Microsoft,
  // SetupDiDestroyDriverInfoList: TRUE when successful). Wine 8 does not
  // implement the call: FALSE with ERROR_CALL_NOT_IMPLEMENTED.
  plat::SetLastError(0xdeadbeef);
  BOOL destroyed = plat::SetupDiDestroyDriverInfoList(set, &device, SPDIT_CLASSDRIVER);
  DWORD destroyError = plat::GetLastError();
  EXPECT_EQ(destroyed, SimElseWine<BOOL>(TRUE, FALSE));
  if (!destroyed) {
    EXPECT_EQ(destroyError, DWORD(ERROR_CALL_NOT_IMPLEMENTED));
  }
  EXPECT_TRUE(plat::SetupDiDestroyDeviceInfoList(set));

  HDEVINFO after = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  ASSERT_NE(after, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindContractDevice(after, &device));
  EXPECT_TRUE(plat::SetupDiDestroyDeviceInfoList(after));
}

TEST_F(DeviceServiceContract, PresentAndAllClassesFlags) {
  PlantContractDevice("0001", false, false);
  SP_DEVINFO_DATA device{};
  // Installed but not started.
  HDEVINFO present =
      plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  ASSERT_NE(present, INVALID_HANDLE_VALUE);
  // Microsoft (SetupDiGetClassDevs): DIGCF_PRESENT returns only the devices
  // present in the system. Wine ignores it and lists every device with a
  // ClassGUID.
  EXPECT_EQ(FindContractDevice(present, &device), SimElseWine(false, true));
  plat::SetupDiDestroyDeviceInfoList(present);

  // A class GUID alone selects that class; with DIGCF_ALLCLASSES it is ignored.
  GUID other = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  HDEVINFO otherClass = plat::SetupDiGetClassDevsA(&other, nullptr, nullptr, 0);
  ASSERT_NE(otherClass, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindContractDevice(otherClass, &device));
  plat::SetupDiDestroyDeviceInfoList(otherClass);
  HDEVINFO all = plat::SetupDiGetClassDevsA(&other, nullptr, nullptr, DIGCF_ALLCLASSES);
  ASSERT_NE(all, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FindContractDevice(all, &device));
  plat::SetupDiDestroyDeviceInfoList(all);
}

}  // namespace
