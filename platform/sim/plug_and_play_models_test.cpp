#include "platform/sim/plug_and_play_models.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/machine.h"
#include "platform/sim/plug_and_play.h"
#include "tests/driver_cd.h"

namespace sim {
namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kDeviceKey[] = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07\\5&1A2B3C01&0&1";

Machine& Boot(WindowsVersion version, bool windows64) {
  MachineOptions options;
  options.version = version;
  options.windows64 = windows64;
  options.programPath = "D:\\Setup\\USBINST.EXE";
  return ResetMachine(options);
}

// The composite device's package INF with one models section per decoration
// given ("" for the undecorated one), each naming its own install section.
std::string BusInf(const std::vector<std::string>& decorations) {
  std::string manufacturer = "%Orvex%=ORVEX";
  std::string models;
  for (const std::string& decoration : decorations) {
    std::string section = decoration.empty() ? "ORVEX" : "ORVEX." + decoration;
    std::string install = decoration.empty() ? "Plain" : decoration;
    for (char& c : install) c = c == '.' ? '_' : c;
    if (!decoration.empty()) manufacturer += "," + decoration;
    models += "[" + section + "]\r\n%Desc%=Install_" + install + ", USB\\VID_1F3C&PID_6B07\r\n\r\n";
  }
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\n\r\n[Manufacturer]\r\n" +
         manufacturer + "\r\n\r\n" + models + "[Strings]\r\nOrvex=\"ORVEX\"\r\nDesc=\"Bus\"\r\n";
}

std::string InstalledSection(Machine& machine) {
  std::optional<std::string> driver = machine.registry.GetString(kLm, kDeviceKey, "Driver");
  if (!driver) return "<no driver>";
  return machine.registry
      .GetString(kLm, "SYSTEM\\ControlSet001\\Control\\Class\\" + *driver, "InfSection")
      .value_or("<missing>");
}

// Microsoft, "INF Manufacturer Section": from Windows Server 2003 SP1 on, a
// package for a non-x86 platform must decorate its models sections with the
// platform (.NTamd64); 64-bit Windows reads no undecorated one, so a package
// without an NTamd64 section gets no driver there. The test CD's decorated
// package installs its 64-bit files under the names the removal knows.
TEST(PlugAndPlayModels, SixtyFourBitWindowsInstallsOnlyFromAnAmd64ModelsSection) {
  for (WindowsVersion version : {WindowsVersion::WindowsXPSP3, WindowsVersion::WindowsVista,
                                 WindowsVersion::Windows7}) {
    SCOPED_TRACE(static_cast<int>(version));
    Machine& machine = Boot(version, true);
    machine.files.WriteFile("D:\\Drivers\\KV6bus.inf", BusInf({""}));
    EXPECT_FALSE(PlugInFunction(machine, 0));
    EXPECT_EQ(machine.registry.GetDword(kLm, kDeviceKey, "ConfigFlags"), 0x40u);
    EXPECT_FALSE(machine.registry.ValueExists(kLm, kDeviceKey, "Driver"));
    std::string drivers = machine.files.SystemDirectory() + "\\drivers\\";
    EXPECT_FALSE(machine.files.FileExists(drivers + "KV6bus.sys"));

    Machine& cd = Boot(version, true);
    LoadDriverCd(cd, "D:\\");
    ASSERT_TRUE(PlugInFunction(cd, 0));
    EXPECT_EQ(cd.files.ReadFile(drivers + "KV6bus.sys"), cd.files.ReadFile("D:\\Drivers\\KV6bus64.sys"));
    EXPECT_FALSE(cd.files.FileExists(drivers + "KV6bus64.sys"));
    // The files the package does not hold are written as stand-ins, as before.
    EXPECT_TRUE(cd.files.FileExists(drivers + "KV6cm.sys"));
  }
}

// Each platform reads its own models section of one INF: 2000 (and 95 to
// Me) only the undecorated one; 32-bit XP and later the best-fitting NTx86
// section, one with an OS version above the running one not at all; 64-bit
// Windows only NTamd64.
TEST(PlugAndPlayModels, EachPlatformReadsItsOwnModelsSection) {
  struct Case {
    WindowsVersion version;
    bool windows64;
    const char* section;
  };
  const std::string inf = BusInf({"", "NTx86", "NTx86.6.1", "NTamd64", "NTia64"});
  for (const Case& c : {Case{WindowsVersion::Windows2000, false, "Install_Plain"},
                        Case{WindowsVersion::WindowsXPSP3, false, "Install_NTx86"},
                        Case{WindowsVersion::WindowsVista, false, "Install_NTx86"},
                        Case{WindowsVersion::Windows7, false, "Install_NTx86_6_1"},
                        Case{WindowsVersion::WindowsXPSP3, true, "Install_NTamd64"},
                        Case{WindowsVersion::Windows7, true, "Install_NTamd64"}}) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.version)) + (c.windows64 ? " x64" : " x86"));
    Machine& machine = Boot(c.version, c.windows64);
    machine.files.WriteFile("D:\\Drivers\\KV6bus.inf", inf);
    ASSERT_TRUE(PlugInFunction(machine, 0));
    EXPECT_EQ(InstalledSection(machine), c.section);
  }
  // A plain "NT" decoration is read on 32-bit Windows, never on 64-bit Windows;
  // NTx86 wins over it.
  Machine& nt = Boot(WindowsVersion::WindowsXPSP3, false);
  nt.files.WriteFile("D:\\Drivers\\KV6bus.inf", BusInf({"", "NT"}));
  ASSERT_TRUE(PlugInFunction(nt, 0));
  EXPECT_EQ(InstalledSection(nt), "Install_NT");
  Machine& both = Boot(WindowsVersion::WindowsXPSP3, false);
  both.files.WriteFile("D:\\Drivers\\KV6bus.inf", BusInf({"NT", "NTx86"}));
  ASSERT_TRUE(PlugInFunction(both, 0));
  EXPECT_EQ(InstalledSection(both), "Install_NTx86");
  Machine& x64 = Boot(WindowsVersion::Windows7, true);
  x64.files.WriteFile("D:\\Drivers\\KV6bus.inf", BusInf({"", "NT"}));
  EXPECT_FALSE(PlugInFunction(x64, 0));
}

// The install section a model line names is read with the platform's
// extension first, then .NT, then as written; its CopyFiles lists give
// "installed name, source name".
TEST(PlugAndPlayModels, InstallFilesFollowTheDecoratedInstallSection) {
  const std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n"
      "[Bus]\r\nCopyFiles=Bus.Files\r\n\r\n[Bus.Files]\r\nKV6bus.sys\r\n\r\n"
      "[Bus.NT]\r\nCopyFiles=Bus.Files.NT, @KV6cm.sys\r\n\r\n[Bus.Files.NT]\r\nKV6bus.sys,bus_nt.sys\r\n\r\n"
      "[Bus.NTamd64]\r\nCopyFiles=Bus.Files.64\r\n\r\n[Bus.Files.64]\r\nKV6bus.sys,bus64.sys,,0x4\r\n";
  using Files = std::vector<std::pair<std::string, std::string>>;
  Machine& x64 = Boot(WindowsVersion::Windows7, true);
  EXPECT_EQ(pnp::InstallFilesFor(x64, inf, "Bus"), (Files{{"KV6bus.sys", "bus64.sys"}}));
  Machine& xp = Boot(WindowsVersion::WindowsXPSP3, false);
  EXPECT_EQ(pnp::InstallFilesFor(xp, inf, "Bus"),
            (Files{{"KV6bus.sys", "bus_nt.sys"}, {"KV6cm.sys", "KV6cm.sys"}}));
  Machine& me = Boot(WindowsVersion::WindowsMe, false);
  EXPECT_EQ(pnp::InstallFilesFor(me, inf, "Bus"), (Files{{"KV6bus.sys", "KV6bus.sys"}}));
  EXPECT_EQ(pnp::InstallFilesFor(me, inf, "Missing"), Files{});
  EXPECT_EQ(pnp::InstallFilesFor(me, "no INF at all [", "Bus"), Files{});
}

}  // namespace
}  // namespace sim
