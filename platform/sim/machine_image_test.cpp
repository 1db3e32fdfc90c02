#include "platform/sim/machine_image.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

Machine& Boot(WindowsVersion version) {
  MachineOptions options;
  options.version = version;
  return ResetMachine(options);
}

std::string WindowsFolder() {
  char folder[MAX_PATH + 1];
  plat::GetWindowsDirectoryA(folder, sizeof folder);
  return folder;
}

std::string SystemFolder() {
  char folder[MAX_PATH + 1];
  plat::GetSystemDirectoryA(folder, sizeof folder);
  return folder;
}

TEST(MachineImage, WindowsFoldersFollowTheVersion) {
  Boot(WindowsVersion::Windows98);
  EXPECT_EQ(WindowsFolder(), "C:\\WINDOWS");
  EXPECT_EQ(SystemFolder(), "C:\\WINDOWS\\SYSTEM");
  Boot(WindowsVersion::WindowsNT4);
  EXPECT_EQ(WindowsFolder(), "C:\\WINNT");
  EXPECT_EQ(SystemFolder(), "C:\\WINNT\\system32");
  Boot(WindowsVersion::Windows2000);
  EXPECT_EQ(WindowsFolder(), "C:\\WINNT");
  Machine& xp = Boot(WindowsVersion::WindowsXPSP2);
  EXPECT_EQ(WindowsFolder(), "C:\\WINDOWS");
  EXPECT_EQ(SystemFolder(), "C:\\WINDOWS\\system32");
  EXPECT_TRUE(xp.files.FolderExists("C:\\WINDOWS\\SYSTEM32\\DRIVERS"));
  EXPECT_TRUE(xp.files.FolderExists("C:\\WINDOWS\\LastGood\\INF"));
  EXPECT_TRUE(xp.files.FolderExists("C:\\WINDOWS\\LastGood\\SYSTEM32\\DRIVERS"));
  EXPECT_EQ(xp.files.Attributes("D:\\USBINST\\USBINST.EXE"),
            static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY));
}

TEST(MachineImage, NtImagesHoldTwoControlSetsWithTheKeysTheCleanupVisits) {
  Machine& machine = Boot(WindowsVersion::WindowsXPSP3);
  RegistryModel& reg = machine.registry;
  HKEY lm = HKEY_LOCAL_MACHINE;
  EXPECT_EQ(reg.GetDword(lm, "SYSTEM\\Select", "Current"), 1u);
  EXPECT_EQ(reg.GetDword(lm, "SYSTEM\\Select", "LastKnownGood"), 2u);
  for (const char* set :
       {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002", "SYSTEM\\CurrentControlSet"}) {
    std::string base = set;
    EXPECT_TRUE(reg.KeyExists(lm, base + "\\Control\\Class")) << set;
    EXPECT_TRUE(reg.KeyExists(lm, base + "\\Enum\\USB")) << set;
    EXPECT_TRUE(reg.KeyExists(lm, base + "\\Enum\\Root")) << set;
    EXPECT_TRUE(reg.KeyExists(lm, base + "\\Services")) << set;
    EXPECT_TRUE(reg.KeyExists(lm, base + "\\Control\\DeviceClasses")) << set;
    std::optional<RegValue> comDb = reg.GetValue(lm, base + "\\Control\\COM Name Arbiter", "ComDB");
    ASSERT_TRUE(comDb) << set;
    EXPECT_EQ(comDb->type, static_cast<uint32_t>(REG_BINARY));
    EXPECT_EQ(comDb->data, std::vector<uint8_t>(32, 0));
  }
  EXPECT_TRUE(reg.KeyExists(lm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"));
  EXPECT_TRUE(reg.KeyExists(lm, "SYSTEM\\LastKnownGoodRecovery\\LastGood"));
  Machine& w2k = Boot(WindowsVersion::Windows2000);
  EXPECT_FALSE(w2k.registry.KeyExists(lm, "SYSTEM\\LastKnownGoodRecovery\\LastGood"));
  EXPECT_FALSE(w2k.files.FolderExists("C:\\WINNT\\LastGood"));
}

TEST(MachineImage, Windows9xImagesKeepEnumAtTheRootAndTheirOwnKeys) {
  Machine& machine = Boot(WindowsVersion::WindowsMe);
  RegistryModel& reg = machine.registry;
  HKEY lm = HKEY_LOCAL_MACHINE;
  EXPECT_TRUE(reg.KeyExists(lm, "Enum\\USB"));
  EXPECT_TRUE(reg.KeyExists(lm, "Enum\\Root"));
  EXPECT_TRUE(reg.KeyExists(lm, "System\\CurrentControlSet\\Services\\Class"));
  EXPECT_TRUE(reg.KeyExists(lm, "Hardware\\DeviceMap\\SerialComm"));
  EXPECT_TRUE(reg.KeyExists(
      lm, "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name"));
  EXPECT_FALSE(reg.KeyExists(lm, "SYSTEM\\ControlSet001"));
  EXPECT_TRUE(machine.files.FileExists("C:\\WINDOWS\\INF\\DRVDATA.BIN"));
  EXPECT_TRUE(reg.DeletesWholeTrees());
  EXPECT_FALSE(Boot(WindowsVersion::WindowsNT4).registry.DeletesWholeTrees());
}

}  // namespace
}  // namespace sim
