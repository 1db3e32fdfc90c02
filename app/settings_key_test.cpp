#include "app/settings_key.h"

#include <gtest/gtest.h>

#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "uninstall/reset_install_flag.h"

namespace {

const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  sim::RegistryModel& registry() { return machine_->registry; }
  sim::Machine* machine_ = nullptr;
};

TEST_F(Settings, OpenNeverCreatesTheKey) {
  SettingsKey settings;
  EXPECT_EQ(OpenSettingsKey(&settings), 0);
  EXPECT_EQ(settings.WriteDword(IDS_INSTALL_FLAG, 1), 0);
  EXPECT_EQ(settings.Close(), 0);
  EXPECT_FALSE(registry().KeyExists(HKEY_LOCAL_MACHINE, kSettingsPath));
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(Settings, WriteAndReadTheFlagAndCloseOnDestruction) {
  registry().CreateKey(HKEY_LOCAL_MACHINE, kSettingsPath);
  {
    SettingsKey settings;
    ASSERT_EQ(OpenSettingsKey(&settings), 1);
    // Opening again closes the key held before.
    ASSERT_EQ(OpenSettingsKey(&settings), 1);
    EXPECT_EQ(settings.WriteDword(IDS_INSTALL_FLAG, 1), 1);
    DWORD flag = 7;
    EXPECT_EQ(settings.ReadDword(IDS_INSTALL_FLAG, &flag), 1);
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(settings.ReadDword(12345, &flag), 0);  // no such string
  }
  EXPECT_EQ(OpenHandles(), "");
  auto value = registry().GetValue(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, DWORD(REG_DWORD));
}

TEST_F(Settings, ResetRewritesOnlyAnExistingValueOfAtMostFourBytes) {
  // Key without the value: nothing is created.
  registry().CreateKey(HKEY_LOCAL_MACHINE, kSettingsPath);
  EXPECT_EQ(ResetInstallFlag(), 1);
  EXPECT_FALSE(registry().ValueExists(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag"));

  // A 4-byte value of another type becomes REG_DWORD 0.
  registry().SetValue(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", REG_BINARY, {1, 0, 0, 0});
  EXPECT_EQ(ResetInstallFlag(), 1);
  EXPECT_EQ(registry().GetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag"), 0u);
  EXPECT_EQ(registry().GetValue(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag")->type,
            DWORD(REG_DWORD));

  // A longer string is left alone.
  registry().SetString(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", "yes!");
  EXPECT_EQ(ResetInstallFlag(), 1);
  EXPECT_EQ(registry().GetString(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag"), "yes!");

  // No key at all.
  registry().DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORVEX");
  EXPECT_EQ(ResetInstallFlag(), 0);
  EXPECT_FALSE(registry().KeyExists(HKEY_LOCAL_MACHINE, kSettingsPath));
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(Settings, AFailedOpenLeavesNoKeyHeld) {
  registry().CreateKey(HKEY_LOCAL_MACHINE, kSettingsPath);
  machine_->faults.FailOn("RegOpenKeyExA", 1, ERROR_ACCESS_DENIED);
  SettingsKey settings;
  EXPECT_EQ(OpenSettingsKey(&settings), 0);
  EXPECT_EQ(settings.WriteDword(IDS_INSTALL_FLAG, 1), 0);
  EXPECT_FALSE(registry().ValueExists(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag"));
}

}  // namespace
