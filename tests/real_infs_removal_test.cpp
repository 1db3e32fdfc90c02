// Other makers' INF files as they were published (the real-world corpus),
// installed on a Windows 2000 or XP machine as the INF store keeps them
// (oemN.inf with its PNF; on XP also a LastGood copy and LastGood entries),
// next to the phone installed from the driver CD. A removal run must leave
// every one of them as it was, also when a stale device key of the phone's
// modem names it: the stale INF scan and the file cleanup both read the
// file and find it is not the phone's. Each is planted with the catalog the
// store installs beside a signed package (oemN.cat in CatRoot): the removal
// uninstalls the phone's copies through the system (SetupUninstallOEMInf,
// which takes an INF's catalog too), and makes no such call for another
// maker's copy, so its INF, PNF and catalog all stay.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/path_routines.h"
#include "platform/sim/plug_and_play.h"
#include "resources/resource.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"
#include "tests/realworld/real_infs.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kLastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

// The phone installed through the wizard from the CD in D:\, plugged in.
sim::Machine& MachineWithThePhone(sim::WindowsVersion version) {
  sim::MachineOptions options = OptionsFor(version);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  sim::Machine& machine = FreshMachine(options);
  // Windows 8 and later install signed packages only.
  LoadDriverCd(machine, "D:\\",
               version >= sim::WindowsVersion::Windows81 ? CdVariant::Signed : CdVariant::Unsigned);
  InstallThePhoneFromCd(machine);
  return machine;
}

// The lines of a snapshot that begin with `prefix` and name one of the
// planted INF stems.
std::vector<std::string> LinesOf(const std::vector<std::string>& snapshot,
                                 const std::vector<std::string>& stems,
                                 const std::string& prefix = "") {
  std::vector<std::string> found;
  for (const std::string& line : snapshot) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string upper = sim::UpperName(line);
    for (const std::string& stem : stems) {
      if (upper.find(sim::UpperName(stem) + ".") != std::string::npos) found.push_back(line);
    }
  }
  return found;
}

TEST(RealInfs, OtherMakersInfsSurviveTheRemovalAlsoWhenAPhoneKeyNamesThem) {
  std::span<const RealInf> corpus = RealInfs();
  if (corpus.empty()) GTEST_SKIP() << kRealInfsAbsent;
  const size_t count = corpus.size();
  for (sim::WindowsVersion version :
       {sim::WindowsVersion::Windows2000, sim::WindowsVersion::WindowsXPSP3,
        sim::WindowsVersion::WindowsVista, sim::WindowsVersion::Windows7,
        sim::WindowsVersion::Windows10}) {
    // XP keeps LastGood copies of the INF store.
    bool xp = sim::KeepsLastGood(version);
    // Each run names another of the files through the phone's modem key: on
    // 2000 and XP every file, on Vista, 7 and 10 (with the driver store)
    // every other file, Vista and 10 the even ones and 7 the odd ones, so
    // that each file is named once on a later version too.
    size_t first = version == sim::WindowsVersion::Windows7 ? 1 : 0;
    size_t stride = version >= sim::WindowsVersion::WindowsVista ? 2 : 1;
    for (size_t named = first; named < count; named += stride) {
      SCOPED_TRACE(std::to_string(static_cast<int>(version)) + ", " + corpus[named].name);
      sim::Machine& machine = MachineWithThePhone(version);
      std::string windows = machine.files.WindowsDirectory();
      std::vector<std::string> stems;
      for (size_t i = 0; i < count; ++i) {
        std::string stem = "oem" + std::to_string(40 + i);
        stems.push_back(stem);
        std::string contents(corpus[i].bytes, corpus[i].size);
        machine.files.WriteFile(windows + "\\INF\\" + stem + ".inf", contents);
        machine.files.WriteFile(windows + "\\INF\\" + stem + ".PNF", "PNF " + stem);
        machine.files.WriteFile(sim::InfStore::CatalogFolder(machine.files) + "\\" + stem + ".cat",
                                "catalog " + stem);
        if (!xp) continue;
        machine.files.WriteFile(windows + "\\LastGood\\INF\\" + stem + ".inf", contents);
        machine.registry.SetDword(kLm, kLastGood, "inf\\" + stem + ".inf", 1);
        machine.registry.SetDword(kLm, kLastGood, "inf\\" + stem + ".PNF", 1);
      }
      // A stale instance of the modem, listed before the live one, whose
      // driver key names the other maker's INF.
      std::string stale = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&MI_07\\0000";
      machine.registry.SetString(kLm, stale, "Driver", std::string(kModemClass) + "\\0090");
      machine.registry.SetString(
          kLm, std::string("SYSTEM\\ControlSet001\\Control\\Class\\") + kModemClass + "\\0090",
          "InfPath", stems[named] + ".inf");
      std::vector<std::string> files = LinesOf(machine.files.Snapshot(), stems);
      const std::string lastGood = std::string("HKLM\\") + kLastGood;
      std::vector<std::string> entries = LinesOf(machine.registry.Snapshot(), stems, lastGood);
      ASSERT_EQ(files.size(), xp ? 4 * count : 3 * count);
      ASSERT_EQ(entries.size(), xp ? 2 * count : 0u);

      RunInstaller(nullptr, "/r");
      EXPECT_EQ(LinesOf(machine.files.Snapshot(), stems), files);
      EXPECT_EQ(LinesOf(machine.registry.Snapshot(), stems, lastGood), entries);
      // The phone went: its device keys and its own INF-store copies.
      EXPECT_FALSE(
          machine.registry.KeyExists(kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07"));
      for (const std::string& name : machine.files.List(windows + "\\INF")) {
        std::optional<std::string> text = machine.files.ReadFile(windows + "\\INF\\" + name);
        EXPECT_TRUE(!text || text->find("[ORVEX]") == std::string::npos) << name;
      }
      EXPECT_EQ(MessageBoxTexts().find("Error"), std::string::npos);
      EXPECT_EQ(OpenHandles(), "");
    }
  }
}

}  // namespace
