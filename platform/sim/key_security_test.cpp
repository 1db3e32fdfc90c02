#include "platform/sim/key_security.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/security.h"
#include "platform/sim/machine.h"
#include "platform/sim/token_groups.h"

namespace sim {
namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kHub[] = "SYSTEM\\ControlSet001\\Enum\\USB\\ROOT_HUB\\4&1b9a8c1&0";

Machine& Boot(WindowsVersion version, bool administrator = true) {
  MachineOptions options;
  options.version = version;
  options.administrator = administrator;
  return ResetMachine(options);
}

LSTATUS Open(const char* path, REGSAM access) {
  HKEY key = nullptr;
  LSTATUS status = plat::RegOpenKeyExA(kLm, path, 0, access, &key);
  if (key) plat::RegCloseKey(key);
  return status;
}

TEST(KeySecurity, DeviceTreeIsReadableAndNotWritableByAdministrators) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  EXPECT_EQ(Open(kHub, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(Open(kHub, KEY_READ | WRITE_DAC), ERROR_SUCCESS);
  EXPECT_EQ(Open(kHub, KEY_WRITE), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open("SYSTEM\\CurrentControlSet\\Enum\\USB\\ROOT_HUB\\4&1b9a8c1&0", DELETE),
            ERROR_ACCESS_DENIED);
  HKEY usb = nullptr;
  ASSERT_EQ(plat::RegOpenKeyExA(kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\ROOT_HUB", 0, KEY_READ,
                                &usb),
            ERROR_SUCCESS);
  EXPECT_EQ(plat::RegDeleteKeyA(usb, "4&1b9a8c1&0"), ERROR_ACCESS_DENIED);
  // A key created below later inherits the protection.
  machine.registry.CreateKey(kLm, "SYSTEM\\ControlSet002\\Enum\\USB\\New\\1");
  EXPECT_EQ(Open("SYSTEM\\ControlSet002\\Enum\\USB\\New\\1", KEY_SET_VALUE), ERROR_ACCESS_DENIED);
  // Other keys keep the default descriptor: no DACL, full access.
  EXPECT_EQ(Open("SYSTEM\\ControlSet001\\Services\\Serial", KEY_ALL_ACCESS), ERROR_SUCCESS);
  // Without the Administrators group nothing of the device tree can be read.
  Boot(WindowsVersion::WindowsXPSP3, false);
  EXPECT_EQ(Open(kHub, KEY_READ), ERROR_ACCESS_DENIED);
  plat::RegCloseKey(usb);
}

TEST(KeySecurity, SoftwareTreeIsReadOnlyForStandardUsersFrom2000On) {
  const char kTools[] = "SOFTWARE\\Acme\\PrinterTools";
  struct Case {
    WindowsVersion version;
    bool administrator;
    LSTATUS write;
  };
  for (const Case& c : {Case{WindowsVersion::Windows2000, false, ERROR_ACCESS_DENIED},
                        Case{WindowsVersion::WindowsXPSP3, false, ERROR_ACCESS_DENIED},
                        Case{WindowsVersion::Windows7, false, ERROR_ACCESS_DENIED},
                        Case{WindowsVersion::WindowsXPSP3, true, ERROR_SUCCESS},
                        Case{WindowsVersion::WindowsNT4, false, ERROR_SUCCESS}}) {
    Machine& machine = Boot(c.version, c.administrator);
    SCOPED_TRACE(static_cast<int>(c.version));
    EXPECT_EQ(Open(kTools, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(Open(kTools, KEY_SET_VALUE), c.write);
    EXPECT_EQ(Open("SOFTWARE", KEY_CREATE_SUB_KEY), c.write);
    // A key an installer creates later inherits the protection.
    machine.registry.CreateKey(kLm, "SOFTWARE\\Later\\Settings");
    EXPECT_EQ(Open("SOFTWARE\\Later\\Settings", KEY_ALL_ACCESS), c.write);
  }
}

TEST(KeySecurity, GetAndSetKeySecurityRoundTripTheDacl) {
  Machine& machine = Boot(WindowsVersion::Windows2000);
  HKEY key = nullptr;
  ASSERT_EQ(plat::RegOpenKeyExA(kLm, kHub, 0, KEY_READ | WRITE_DAC, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(plat::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size),
            ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> bytes(size);
  DWORD small = size - 1;
  EXPECT_EQ(plat::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, bytes.data(), &small),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small, size);
  ASSERT_EQ(plat::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, bytes.data(), &size),
            ERROR_SUCCESS);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(plat::GetSecurityDescriptorDacl(bytes.data(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  ACL_SIZE_INFORMATION info{};
  ASSERT_TRUE(plat::GetAclInformation(dacl, &info, sizeof info, AclSizeInformation));
  EXPECT_EQ(info.AceCount, 2u);
  // Add Everyone with full control and store the new DACL.
  std::vector<uint8_t> everyone = EveryoneSid();
  void* ace = nullptr;
  ASSERT_TRUE(plat::GetAce(dacl, 1, &ace));
  EXPECT_FALSE(plat::GetAce(dacl, 2, &ace));
  EXPECT_EQ(machine.lastError, DWORD(ERROR_INVALID_PARAMETER));
  ASSERT_TRUE(plat::GetAce(dacl, 0, &ace));
  // Room for the header, SYSTEM's entry and an entry for Everyone.
  std::vector<BYTE> buffer(8 + static_cast<ACE_HEADER*>(ace)->AceSize + 8 + everyone.size());
  auto* acl = reinterpret_cast<PACL>(buffer.data());
  ASSERT_TRUE(plat::InitializeAcl(acl, DWORD(buffer.size()), ACL_REVISION));
  ASSERT_TRUE(plat::AddAce(acl, ACL_REVISION, MAXDWORD, ace,
                           static_cast<ACE_HEADER*>(ace)->AceSize));
  ASSERT_TRUE(plat::AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone.data()));
  EXPECT_FALSE(plat::AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone.data()));
  EXPECT_EQ(machine.lastError, DWORD(ERROR_ALLOTTED_SPACE_EXCEEDED));
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(plat::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(plat::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
  EXPECT_EQ(plat::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  plat::RegCloseKey(key);
  EXPECT_EQ(DescribeDacl(SecurityOfKey(*machine.registry.ResolveHandle(kLm, nullptr)
                                            ->children.at("SYSTEM")
                                            ->children.at("CONTROLSET001")
                                            ->children.at("ENUM")
                                            ->children.at("USB")
                                            ->children.at("ROOT_HUB")
                                            ->children.at("4&1B9A8C1&0"))),
            "(A;0x12;0x000F003F;S-1-5-18)(A;0x00;0x000F003F;S-1-1-0)");
  EXPECT_EQ(Open(kHub, KEY_ALL_ACCESS), ERROR_SUCCESS);
  // A buffer below the header size, and a key handle without WRITE_DAC.
  BYTE tiny[4];
  EXPECT_FALSE(plat::InitializeAcl(reinterpret_cast<PACL>(tiny), sizeof tiny, ACL_REVISION));
  EXPECT_EQ(machine.lastError, DWORD(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_EQ(plat::RegOpenKeyExA(kLm, kHub, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(plat::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor),
            ERROR_ACCESS_DENIED);
  plat::RegCloseKey(key);
  EXPECT_EQ(machine.handles.Describe(), "");
}

TEST(KeySecurity, Windows9xHasNoKeySecurity) {
  Boot(WindowsVersion::Windows98);
  HKEY key = nullptr;
  ASSERT_EQ(plat::RegOpenKeyExA(kLm, "Enum\\Root", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(plat::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size),
            ERROR_CALL_NOT_IMPLEMENTED);
  plat::RegCloseKey(key);
}

}  // namespace
}  // namespace sim
