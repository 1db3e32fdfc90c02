#include <gtest/gtest.h>

#include <string>

#include "platform/sim/key_security.h"
#include "platform/sim/token_groups.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "tests/sim_test_support.h"

namespace {

using sim::Ace;
using sim::KeySecurity;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kBase[] = "SYSTEM\\ControlSet001\\Enum\\USB";
const char kDevice[] = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03";

Ace Allow(uint32_t mask, std::vector<uint8_t> sid, uint8_t flags = 0) {
  return Ace{ACCESS_ALLOWED_ACE_TYPE, flags, mask, std::move(sid)};
}
const Ace kAdministratorsEntry = Allow(KEY_ALL_ACCESS, sim::AdministratorsSid());

class Grant : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = &FreshMachine();
    reg().CreateKey(kLm, kDevice);
  }
  void TearDown() override { EXPECT_EQ(OpenHandles(), ""); }
  sim::RegistryModel& reg() { return machine_->registry; }
  sim::RegKey& Key(const char* path) {
    sim::KeyRef key;
    reg().Find(reg().PredefinedRoot(kLm), path, &key);
    return *key;
  }
  void SetDacl(const char* path, bool present, std::vector<Ace> aces) {
    KeySecurity security;
    security.owner = sim::AdministratorsSid();
    security.daclPresent = present;
    security.dacl = std::move(aces);
    sim::SetSecurityOfKey(Key(path), security);
  }
  KeySecurity SecurityOf(const char* path) { return sim::SecurityOfKey(Key(path)); }
  sim::Machine* machine_ = nullptr;
  RegistryWalker walker_{12};
};

TEST_F(Grant, ThreeEntriesKeepTheirOrderAndTheNewOneGoesLast) {
  std::vector<Ace> three = {Allow(KEY_ALL_ACCESS, sim::LocalSystemSid(), CONTAINER_INHERIT_ACE),
                            Ace{ACCESS_DENIED_ACE_TYPE, 0, KEY_SET_VALUE, sim::UsersSid()},
                            Allow(KEY_READ, sim::EveryoneSid())};
  SetDacl(kDevice, true, three);
  EXPECT_EQ(walker_.GrantKeyAccess(kBase, "VID_1F3C&PID_6B07&Mi_03"), 1);
  std::vector<Ace> expected = three;
  expected.push_back(kAdministratorsEntry);
  EXPECT_EQ(SecurityOf(kDevice).dacl, expected) << sim::DescribeDacl(SecurityOf(kDevice));
  EXPECT_EQ(machine_->system.OpenBlocks(sim::HandleKind::HeapMemory), 0u);
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Grant, AnExistingAdministratorsEntryGetsAnotherOne) {
  SetDacl(kDevice, true, {kAdministratorsEntry});
  EXPECT_EQ(AddAdministratorsFullControl(kLm, kDevice), 0u);
  EXPECT_EQ(SecurityOf(kDevice).dacl,
            (std::vector<Ace>{kAdministratorsEntry, kAdministratorsEntry}));
}

TEST_F(Grant, AnEmptyDaclEndsWithTheOneEntry) {
  SetDacl(kDevice, true, {});
  // An empty DACL denies everyone but the owner's READ_CONTROL and WRITE_DAC,
  // so the grant cannot open the key: it leaves it, and the deletion is refused.
  RegistryCleaner cleaner(12);
  ScopedKey parent;
  ASSERT_EQ(walker_.OpenKeyPath(kLm, kBase, KEY_READ, parent.Receive()), 1);
  EXPECT_EQ(cleaner.DeleteTreeGranted(parent.Get(), kBase, "VID_1F3C&PID_6B07&Mi_03"), 0);
  EXPECT_TRUE(SecurityOf(kDevice).dacl.empty());
  EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
  // Where the key can be opened, the DACL gets the one entry.
  reg().SetAccessCheck(nullptr);
  EXPECT_EQ(AddAdministratorsFullControl(kLm, kDevice), 0u);
  EXPECT_EQ(SecurityOf(kDevice).dacl, std::vector<Ace>{kAdministratorsEntry});
}

TEST_F(Grant, AKeyWithoutDaclIsLeftAsItIsAndStillDeleted) {
  SetDacl(kDevice, false, {});
  EXPECT_EQ(AddAdministratorsFullControl(kLm, kDevice), 0u);
  EXPECT_FALSE(SecurityOf(kDevice).daclPresent);
  EXPECT_EQ(machine_->faults.Calls("RegSetKeySecurity"), 0u);
  RegistryCleaner cleaner(12);
  ScopedKey parent;
  ASSERT_EQ(walker_.OpenKeyPath(kLm, kBase, KEY_READ, parent.Receive()), 1);
  EXPECT_EQ(cleaner.DeleteTreeGranted(parent.Get(), kBase, "VID_1F3C&PID_6B07&Mi_03"), 1);
  EXPECT_FALSE(reg().KeyExists(kLm, kDevice));
  EXPECT_EQ(MessageBoxTexts(), "");
}

TEST_F(Grant, PathsAreJoinedWithOneBackslashWithin260Characters) {
  SetDacl(kDevice, true, {Allow(KEY_READ, sim::EveryoneSid())});
  // A base that already ends in a backslash fails without a message or change.
  EXPECT_EQ(walker_.GrantKeyAccess("SYSTEM\\ControlSet001\\Enum\\USB\\", "VID_1F3C&PID_6B07&Mi_03"),
            0);
  EXPECT_EQ(walker_.GrantKeyAccess("", "SYSTEM"), 0);
  std::string base(250, 'b');
  EXPECT_EQ(walker_.GrantKeyAccess(base.c_str(), "0123456789"), 0);  // 261 characters
  EXPECT_EQ(walker_.GrantKeyAccess(std::string(261, 'b').c_str(), "x"), 0);
  EXPECT_EQ(SecurityOf(kDevice).dacl.size(), 1u);
  EXPECT_EQ(machine_->faults.Calls("RegOpenKeyExA"), 0u);
  // A missing key is nothing to change.
  EXPECT_EQ(walker_.GrantKeyAccess(base.c_str(), "012345678"), 1);
  EXPECT_EQ(MessageBoxTexts(), "");
}

// The grant gives Administrators full control right before the deletion; a
// key whose deletion then fails stays, and must stay with the DACL it had.
TEST_F(Grant, AKeyWhoseDeletionFailsGetsItsFormerDaclBack) {
  std::vector<Ace> protection = {Allow(KEY_ALL_ACCESS, sim::LocalSystemSid(), CONTAINER_INHERIT_ACE),
                                 Allow(0x60019, sim::AdministratorsSid(), CONTAINER_INHERIT_ACE)};
  for (DWORD error : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_KEY_DELETED)}) {
    machine_ = &FreshMachine();
    reg().CreateKey(kLm, kDevice);
    SetDacl(kDevice, true, protection);
    machine_->faults.FailOn("RegDeleteKeyA", 1, error);
    {
      RegistryCleaner cleaner(12);
      ScopedKey parent;
      ASSERT_EQ(walker_.OpenKeyPath(kLm, kBase, KEY_READ, parent.Receive()), 1);
      EXPECT_EQ(cleaner.DeleteTreeGranted(parent.Get(), kBase, "VID_1F3C&PID_6B07&Mi_03"), 0);
    }
    ASSERT_TRUE(reg().KeyExists(kLm, kDevice));
    EXPECT_EQ(SecurityOf(kDevice).dacl, protection) << sim::DescribeDacl(SecurityOf(kDevice));
    EXPECT_EQ(machine_->windows.messageBoxes.size(), 1u);  // the deletion's failure
    EXPECT_EQ(machine_->system.OpenBlocks(sim::HandleKind::HeapMemory), 0u);
    EXPECT_EQ(OpenHandles(), "");
  }
}

TEST_F(Grant, AFailedStepIsShownReleasesEverythingAndChangesNothing) {
  for (const char* call : {"AllocateAndInitializeSid", "RegGetKeySecurity", "GetAclInformation",
                           "HeapAlloc", "AddAce", "AddAccessAllowedAce", "RegSetKeySecurity"}) {
    machine_ = &FreshMachine();
    reg().CreateKey(kLm, kDevice);
    SetDacl(kDevice, true, {Allow(KEY_READ, sim::EveryoneSid())});
    machine_->faults.FailOn(call, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(walker_.GrantKeyAccess(kBase, "VID_1F3C&PID_6B07&Mi_03"), 0) << call;
    EXPECT_EQ(machine_->windows.messageBoxes.size(), 1u) << call;
    EXPECT_EQ(SecurityOf(kDevice).dacl.size(), 1u) << call;
    EXPECT_EQ(OpenHandles(), "") << call;
  }
}

}  // namespace
