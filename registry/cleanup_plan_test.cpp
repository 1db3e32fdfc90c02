#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/sim/plug_and_play.h"
#include "registry/registry_cleaner.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;

bool IsLegacy(WindowsVersion version) {
  return !sim::IsNtFamily(version) || version == WindowsVersion::WindowsNT4;
}

int OsKindOf(WindowsVersion version) {
  switch (version) {
    case WindowsVersion::Windows95: return 0;
    case WindowsVersion::Windows98: return 1;
    case WindowsVersion::WindowsMe: return 2;
    case WindowsVersion::WindowsNT4: return 10;
    case WindowsVersion::Windows2000: return 11;
    default: return 12;
  }
}

std::string Inf(const std::string& section, const std::string& id) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=%ORVEX%\r\n\r\n"
         "[Manufacturer]\r\n%ORVEX%=ORVEX\r\n\r\n[ORVEX]\r\n%Desc%=" + section + ", " + id + "\r\n";
}

// What the package placement leaves: on 2000/XP the INF store's copies
// oem1.inf, oem2.inf, oem4.inf and oem5.inf (the image's printer holds oem3;
// the phone's stem oem1 sits beside the neighbour's oem10), elsewhere the
// INFs under their own names.
void PlacePackage(sim::Machine& machine) {
  struct Entry {
    const char* name;
    const char* legacyName;
    const char* section;
    const char* id;
  };
  const Entry entries[] = {
      {"KV6bus.inf", "KV6bus.inf", "Bus", "USB\\VID_1F3C&PID_6B07"},
      {"KV6mdm2.inf", "KV6mdmw.inf", "Modem", "USB\\VID_1F3C&PID_6B07&MI_03"},
      {"KV6obx2.inf", "KV6obxw.inf", "Obex", "USB\\VID_1F3C&PID_6B07&MI_05"},
      {"KV6sdm2.inf", "KV6sdmw.inf", "Diag", "USB\\VID_1F3C&PID_6B07&MI_07"}};
  bool legacy = IsLegacy(machine.options().version);
  std::string inf = machine.files.WindowsDirectory() + "\\INF\\";
  int n = 1;
  for (const Entry& entry : entries) {
    std::string text = Inf(entry.section, entry.id);
    machine.files.WriteFile(std::string("D:\\Drivers\\") + (legacy ? entry.legacyName : entry.name),
                            text);
    if (legacy) {
      machine.files.WriteFile(inf + entry.legacyName, text);
    } else {
      if (n == 3) ++n;
      machine.files.WriteFile(inf + "oem" + std::to_string(n++) + ".inf", text);
    }
  }
}

// Lines of `after` that `before` lacks, without the keys the plan leaves to
// others: Windows' own containers, the ControlSet001 services that the
// device and service removal deletes through the service manager, and the XP
// LastGood entries, which the driver file cleanup deletes with the INF files
// they name.
std::vector<std::string> Left(const std::vector<std::string>& before,
                              const std::vector<std::string>& after, WindowsVersion version) {
  std::vector<std::string> containers;
  for (const std::string& key : sim::WindowsContainerKeys(version)) {
    containers.push_back(sim::UpperName("HKLM\\" + key));
  }
  std::vector<std::string> left;
  for (const std::string& line : after) {
    if (std::find(before.begin(), before.end(), line) != before.end()) continue;
    std::string upper = sim::UpperName(line);
    if (upper.rfind("HKLM\\SYSTEM\\CONTROLSET001\\SERVICES\\KV6", 0) == 0) continue;
    if (upper.rfind("HKLM\\SYSTEM\\LASTKNOWNGOODRECOVERY\\LASTGOOD  ", 0) == 0) continue;
    if (std::find(containers.begin(), containers.end(), upper) != containers.end()) continue;
    left.push_back(line);
  }
  return left;
}

std::vector<std::string> Gone(const std::vector<std::string>& before,
                              const std::vector<std::string>& after) {
  std::vector<std::string> gone;
  for (const std::string& line : before) {
    if (std::find(after.begin(), after.end(), line) == after.end()) gone.push_back(line);
  }
  return gone;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class CleanupPlan : public ::testing::TestWithParam<WindowsVersion> {
 protected:
  void TearDown() override { EXPECT_EQ(OpenHandles(), ""); }
};

// A machine with the neighbours (another vendor's USB serial device whose ID
// begins with the phone's, its port COM10 and INF oem10.inf, another maker's
// modem) and LastGood entries of other INFs, then the phone installed in both
// control sets and unplugged: the plan takes exactly what the phone added.
TEST_P(CleanupPlan, OnlyThePhonesEntriesGo) {
  WindowsVersion version = GetParam();
  sim::Machine& machine = FreshMachine(OptionsFor(version));
  sim::PlantNeighbourDevice(machine);
  const char lastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
  bool xp = version == WindowsVersion::WindowsXPSP3;
  if (xp) {
    for (const char* name : {"inf\\oem19.PNF", "inf\\oem1x.inf", "system32\\DRIVERS\\myoem1.sys"}) {
      machine.registry.SetDword(kLm, lastGood, name, 1);
    }
  }
  PlacePackage(machine);
  // The image lists COM1: to COM4: as Windows does; the phone's ports take
  // COM2 to COM4 and those values must still be there after the removal.
  std::vector<std::string> before = machine.registry.Snapshot();
  sim::PlugOptions reboot;
  reboot.rebootCopy = true;
  ASSERT_TRUE(sim::PlugInPhone(machine, 3, reboot));
  sim::UnplugPhone(machine, reboot);
  if (xp) {
    ASSERT_TRUE(machine.registry.ValueExists(kLm, lastGood, "inf\\oem1.inf"));
    ASSERT_TRUE(machine.registry.ValueExists(kLm, lastGood, "inf\\oem10.inf"));
  }
  ASSERT_FALSE(Left(before, machine.registry.Snapshot(), version).empty());
  if (!IsLegacy(version)) {
    // The device keys are protected as Windows protects them: they go only
    // because each is granted to Administrators before its deletion.
    std::vector<uint8_t>* security =
        machine.registry.SecurityOf(kLm, "SYSTEM\\ControlSet002\\Enum\\USB\\VID_1F3C&PID_6B07");
    ASSERT_TRUE(security && !security->empty());
  }

  RegistryCleaner cleaner(OsKindOf(version));
  EXPECT_EQ(cleaner.Clean(), 1);
  std::vector<std::string> after = machine.registry.Snapshot();
  EXPECT_EQ(Lines(Left(before, after, version)), "");
  EXPECT_EQ(Lines(Gone(before, after)), "");
  EXPECT_EQ(MessageBoxTexts(), "");
}

INSTANTIATE_TEST_SUITE_P(Versions, CleanupPlan,
                         ::testing::Values(WindowsVersion::WindowsXPSP3,
                                           WindowsVersion::Windows2000,
                                           WindowsVersion::Windows98, WindowsVersion::WindowsMe,
                                           WindowsVersion::Windows95));

// NT 4 runs the plan of Windows 95, 98 and Me, whose trees it does not have:
// with the package copied, the phone plugged in (NT 4 never sees it) and
// other makers' serial card and modem installed, the plan finds nothing of the
// phone, shows nothing and changes nothing.
TEST(CleanupPlanNt4, FindsNothingOfThePhoneAndLeavesEverythingAlone) {
  sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::WindowsNT4));
  PlacePackage(machine);
  sim::PlantNeighbourDevice(machine);
  EXPECT_FALSE(sim::PlugInPhone(machine));
  std::vector<std::string> before = machine.registry.Snapshot();
  RegistryCleaner cleaner(10);
  EXPECT_EQ(cleaner.Clean(), 1);
  EXPECT_EQ(MessageBoxTexts(), "");
  EXPECT_EQ(machine.registry.Snapshot(), before);
  EXPECT_EQ(OpenHandles(), "");
}

TEST(CleanupPlanClean, AMachineThatNeverHadThePhoneStaysAsItWas) {
  for (WindowsVersion version :
       {WindowsVersion::Windows95, WindowsVersion::Windows98, WindowsVersion::WindowsMe,
        WindowsVersion::WindowsNT4, WindowsVersion::Windows2000, WindowsVersion::WindowsXPSP3}) {
    sim::Machine& machine = FreshMachine(OptionsFor(version));
    sim::PlantNeighbourDevice(machine);
    std::vector<std::string> before = machine.registry.Snapshot();
    RegistryCleaner cleaner(OsKindOf(version));
    EXPECT_EQ(cleaner.Clean(), 1);
    EXPECT_EQ(machine.registry.Snapshot(), before) << static_cast<int>(version);
    EXPECT_EQ(MessageBoxTexts(), "") << static_cast<int>(version);
    EXPECT_EQ(OpenHandles(), "") << static_cast<int>(version);
  }
}

}  // namespace
