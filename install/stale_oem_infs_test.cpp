#include <gtest/gtest.h>

#include <string>

#include "install/driver_installer.h"
#include "install/stale_oem_match.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"

namespace {

const char kInfFolder[] = "C:\\WINDOWS\\INF\\";

// An INF whose "ORVEX" section has `models` as its lines.
std::string OrvexInf(const std::string& models, const std::string& section = "ORVEX") {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
         "[Manufacturer]\r\n%Orvex%=" + section + "\r\n[" + section + "]\r\n" + models +
         "[Strings]\r\nOrvex=\"ORVEX\"\r\nPhone=\"USB\\VID_1F3C&PID_6B07&MI_05\"\r\n";
}

class StaleOemInfs : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  void Plant(const std::string& name, const std::string& text, bool twin = true) {
    machine_->files.WriteFile(kInfFolder + name, text);
    if (twin) {
      std::string stem = name.substr(0, name.rfind('.'));
      machine_->files.WriteFile(kInfFolder + stem + ".PNF", "PNF " + name);
    }
  }
  bool Exists(const std::string& name) { return machine_->files.FileExists(kInfFolder + name); }
  int IsStale(const std::string& text) {
    machine_->files.WriteFile("C:\\t.inf", text);
    return installer_.IsStaleOemInf("C:\\t.inf");
  }
  sim::Machine* machine_ = nullptr;
  DriverInstaller installer_{12};
};

TEST_F(StaleOemInfs, OnlyField2OfTheFirstOrvexLineCountsInAnyCase) {
  const std::pair<std::string, int> cases[] = {
      {OrvexInf("%D%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n"), 1},
      {OrvexInf("%D%=Install, usb\\vid_1f3c&pid_6b07&mi_03\r\n", "orvex"), 1},
      {OrvexInf("%D%=Install, USB\\VID_1F3C&PID_6B07\r\n"), 1},
      {OrvexInf("%D%=Install, USB\\VID_1F3C&PID_6B07&REV_0100\r\n"), 1},
      {OrvexInf("%D%=Install, %Phone%\r\n"), 1},  // from [Strings]
      {OrvexInf("%D%=Install,\\\r\n  USB\\VID_1F3C&PID_6B07&MI_03\r\n"), 1},
      // Not the phone's:
      {OrvexInf("%D%=Install, USB\\VID_0A5C&PID_2110\r\n"
                "%D%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n"), 0},  // second line only
      {OrvexInf("%D%=Install, USB\\VID_0A5C&PID_2110, USB\\VID_1F3C&PID_6B07\r\n"), 0},
      {OrvexInf("%D%=Install\r\n"), 0},  // no field 2
      {OrvexInf(""), 0},                 // empty section
      {OrvexInf("%D%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n", "Contoso"), 0},
      // Another ORVEX device whose product number starts with the phone's.
      {OrvexInf("%D%=Install, USB\\VID_1F3C&PID_6B070&MI_07\r\n"), 0},
      {OrvexInf("%D%=Install, USB\\VID_1F3C&PID_6B07A\r\n"), 0},
      {OrvexInf("%D%=Install, USB\\XVID_1F3C&PID_6B07\r\n"), 0},
      {"[Strings]\r\n", 0},  // no [Version]: Windows does not open it
  };
  for (const auto& [text, stale] : cases) EXPECT_EQ(IsStale(text), stale) << text;
  EXPECT_EQ(installer_.IsStaleOemInf("C:\\missing.inf"), 0);
  std::string longPath = "C:\\" + std::string(300, 'a') + ".inf";
  EXPECT_EQ(installer_.IsStaleOemInf(longPath.c_str()), 0);
  EXPECT_EQ(OpenHandles(), "");
}

// An INF with the given [Manufacturer] lines and models sections.
std::string DecoratedInf(const std::string& makers, const std::string& sections) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n[Manufacturer]\r\n" +
         makers + sections + "[Strings]\r\nOrvex=\"ORVEX\"\r\nContoso=\"Contoso\"\r\n";
}

// Packages for 64-bit Windows list their models per platform; every models
// section that a [Manufacturer] line of the phone's maker names counts, and
// only those.
TEST_F(StaleOemInfs, DecoratedModelsSectionsOfThePhonesMakerCount) {
  const std::string phone = "%D%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n";
  const std::string other = "%D%=Install, USB\\VID_1F3C&PID_7000&MI_03\r\n";
  const std::string longDecoration(300, 'x');
  const std::pair<std::string, int> cases[] = {
      {DecoratedInf("%Orvex%=ORVEX,NTx86,NTamd64\r\n",
                    "[ORVEX.NTx86]\r\n" + phone + "[ORVEX.NTamd64]\r\n" + phone), 1},
      // Only the 64-bit section names the phone.
      {DecoratedInf("%Orvex%=ORVEX,NTx86,NTamd64\r\n",
                    "[ORVEX.NTx86]\r\n" + other + "[ORVEX.NTamd64]\r\n" + phone), 1},
      {DecoratedInf("%Orvex%=orvex,ntAMD64.6.0\r\n", "[ORVEX.NTamd64.6.0]\r\n" + phone), 1},
      // The phone's maker on the second line.
      {DecoratedInf("%Contoso%=Contoso,NTx86\r\n%Orvex%=ORVEX,NTx86\r\n",
                    "[Contoso.NTx86]\r\n" + other + "[ORVEX.NTx86]\r\n" + phone), 1},
      // A decoration too long for a section name is passed over.
      {DecoratedInf("%Orvex%=ORVEX," + longDecoration + ",NTx86\r\n",
                    "[ORVEX.NTx86]\r\n" + phone), 1},
      // Not the phone's: a neighbour of the same maker, another maker's
      // section naming the phone's ID, a section no maker line names.
      {DecoratedInf("%Orvex%=ORVEX,NTx86,NTamd64\r\n",
                    "[ORVEX.NTx86]\r\n" + other + "[ORVEX.NTamd64]\r\n" + other), 0},
      {DecoratedInf("%Contoso%=Contoso,NTamd64\r\n", "[Contoso.NTamd64]\r\n" + phone), 0},
      {DecoratedInf("%Orvex%=ORVEX\r\n", "[ORVEX.NTx86]\r\n" + phone), 0},
      {DecoratedInf("%Orvex%=ORVEX,NTx86\r\n", "[ORVEX.NTx86]\r\n" + other + phone), 0},
  };
  for (const auto& [text, stale] : cases) EXPECT_EQ(IsStale(text), stale) << text;
  EXPECT_EQ(OpenHandles(), "");
}

TEST(StaleOemMatch, RespectsDoubleByteCharacters) {
  sim::MachineOptions options;
  options.codePage = 932;
  FreshMachine(options);
  // "\x95\x5C" is one character whose trail byte is a backslash.
  EXPECT_EQ(NamesHardwareId("USB\\VID_1F3C&PID_6B07", "VID_1F3C&PID_6B07"), 1);
  EXPECT_EQ(NamesHardwareId("USB\x95\x5CVID_1F3C&PID_6B07", "VID_1F3C&PID_6B07"), 0);
  EXPECT_EQ(NamesHardwareId("", "VID_1F3C&PID_6B07"), 0);
}

TEST_F(StaleOemInfs, DeletesThePhonesInfsWithTheirTwinsAndNothingElse) {
  Plant("oem1.inf", FixtureText("infs/stale_phone.inf"));
  Plant("oem2.inf", FixtureText("infs/other_maker.inf"));
  Plant("oem4.inf", FixtureText("infs/other_maker_same_id.inf"));
  Plant("oem5.inf", FixtureText("infs/orvex_neighbour.inf"));
  Plant("OEM6.INF", FixtureText("cd/Drivers/KV6obx2.inf"), /*twin=*/false);
  machine_->files.WriteFile("C:\\WINDOWS\\INF\\oem7.inf", FixtureText("cd/Drivers/KV6bus.inf"),
                            FILE_ATTRIBUTE_READONLY);
  machine_->files.CreateFolder("C:\\WINDOWS\\INF\\oem8.inf");  // a directory is skipped
  Plant("KV6mdm2.inf", FixtureText("cd/Drivers/KV6mdm2.inf"));  // not an oem*.inf name
  // Backups of the phone's INF whose long names do not end in ".inf": the
  // search finds them through their short names (OEM9~1.INF, OEM12~1.INF), and
  // deleting them would also take "oem9.PNF", the twin of another maker's INF.
  Plant("oem9.inf", FixtureText("infs/other_maker.inf"));
  Plant("oem9.inf_old", FixtureText("infs/stale_phone.inf"), false);
  Plant("oem12.info", FixtureText("infs/stale_phone.inf"), false);

  EXPECT_EQ(installer_.RemoveStaleOemInfs(), 1);
  EXPECT_FALSE(Exists("oem1.inf"));
  EXPECT_FALSE(Exists("oem1.PNF"));
  EXPECT_FALSE(Exists("OEM6.INF"));  // deleted although it has no twin
  EXPECT_FALSE(Exists("oem7.inf"));  // read-only
  for (const char* kept : {"oem2.inf", "oem2.PNF", "oem3.inf", "oem3.PNF", "oem4.inf",
                           "oem4.PNF", "oem5.inf", "oem5.PNF", "KV6mdm2.inf", "KV6mdm2.PNF",
                           "oem9.inf", "oem9.PNF", "oem9.inf_old", "oem12.info", "machine.inf",
                           "machine.PNF"}) {
    EXPECT_TRUE(Exists(kept)) << kept;
  }
  EXPECT_TRUE(machine_->files.FolderExists("C:\\WINDOWS\\INF\\oem8.inf"));
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(StaleOemInfs, StopsAtAnInfThatCannotBeDeleted) {
  Plant("oem1.inf", FixtureText("infs/stale_phone.inf"));
  Plant("oem2.inf", FixtureText("infs/stale_phone.inf"));
  machine_->files.HoldOpen("C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_EQ(installer_.RemoveStaleOemInfs(), 0);
  EXPECT_TRUE(Exists("oem1.inf"));
  EXPECT_TRUE(Exists("oem1.PNF"));
  EXPECT_TRUE(Exists("oem2.inf"));  // later in the scan: untouched
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(StaleOemInfs, NothingToScanGivesZero) {
  machine_->files.Remove("C:\\WINDOWS\\INF\\oem3.inf");
  std::string before = machine_->files.SnapshotText();
  EXPECT_EQ(installer_.RemoveStaleOemInfs(), 0);
  EXPECT_EQ(machine_->files.SnapshotText(), before);
  // The pattern (INF folder and "\oem*.inf") of an INF folder of 251
  // characters fits exactly; one more character and the scan is refused
  // before any search.
  for (size_t length : {251u, 252u}) {
    std::string windows = "C:\\" + std::string(length - 7, 'w');
    machine_->files.SetWindowsFolders(windows, windows + "\\system32");
    std::string inf = windows + "\\INF\\oem1.inf";
    machine_->files.WriteFile(inf, FixtureText("infs/stale_phone.inf"));
    machine_->faults.ResetCounts();
    EXPECT_EQ(installer_.RemoveStaleOemInfs(), length == 251u ? 1 : 0) << length;
    // The scan, then the search of the twin's delete: the system's uninstall
    // took the INF, and the catalog's path does not fit, so it is not tried.
    EXPECT_EQ(machine_->faults.Calls("FindFirstFileA"), length == 251u ? 2u : 0u) << length;
    if (length == 251u) {
      EXPECT_FALSE(machine_->files.FileExists(inf));
    }
  }
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
