// The driver installer on the real Win32 platform layer, run under Wine on
// the test driver CD of tests/data/cd. The first argument names the
// tests/data folder as a Windows path (Z:\...\tests\data).
//
// Wine keeps an INF's own name in the INF store unless a different file
// already holds it; Windows always names the copy oemN.inf. Both are
// asserted here; the simulated machine does what Windows does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "install/driver_installer.h"

namespace {

std::string g_data;  // ...\tests\data
const char kInfFolder[] = "C:\\windows\\inf\\";
const std::vector<std::string> kNtInfs = {"KV6bus.inf", "KV6obx2.inf", "KV6sdm2.inf",
                                          "KV6mdm2.inf"};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Twin(const std::string& infPath) {
  return infPath.substr(0, infPath.size() - 4) + ".pnf";
}

void Remove(const std::string& path) {
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(path.c_str());
}

// The oem*.inf files of the INF folder.
std::vector<std::string> OemInfs() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((std::string(kInfFolder) + "oem*.inf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(found.cFileName);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return names;
}

class DriverInstallWine : public ::testing::Test {
 protected:
  void SetUp() override {
    App().instance = ::GetModuleHandleA(nullptr);
    std::string program = g_data + "\\cd\\Setup\\";
    std::strcpy(App().programFolder, program.c_str());
    oemBefore_ = OemInfs();
  }
  // Every oem INF this test added, and the package names, go again.
  void TearDown() override {
    for (const std::string& name : OemInfs()) {
      bool old = false;
      for (const std::string& kept : oemBefore_) old = old || kept == name;
      if (!old) {
        Remove(kInfFolder + name);
        Remove(Twin(kInfFolder + name));
      }
    }
    for (const std::string& name : kNtInfs) {
      Remove(kInfFolder + name);
      Remove(Twin(kInfFolder + name));
    }
  }
  std::string Package(const std::string& name) {
    return ReadAll(g_data + "\\cd\\Drivers\\" + name);
  }
  std::vector<std::string> oemBefore_;
};

TEST_F(DriverInstallWine, TheFourInfsKeepTheirOwnNamesInWinesStore) {
  ASSERT_EQ(DriverInstaller(12).Install(), 1);
  for (const std::string& name : kNtInfs) {
    EXPECT_EQ(ReadAll(kInfFolder + name), Package(name)) << name;
    EXPECT_TRUE(Exists(Twin(kInfFolder + name))) << name;
  }
  EXPECT_EQ(OemInfs(), oemBefore_);  // Windows would have made four oemN.inf
}

TEST_F(DriverInstallWine, TakenNamesGiveOemNamesAsOnWindows) {
  for (const std::string& name : kNtInfs) WriteAll(kInfFolder + name, "; another file\r\n");
  ASSERT_EQ(DriverInstaller(11).Install(), 1);
  std::vector<std::string> added;
  for (const std::string& name : OemInfs()) {
    bool old = false;
    for (const std::string& kept : oemBefore_) old = old || kept == name;
    if (!old) added.push_back(name);
  }
  ASSERT_EQ(added.size(), kNtInfs.size());
  for (size_t i = 0; i < kNtInfs.size(); ++i) {
    bool found = false;
    for (const std::string& name : added) {
      found = found || ReadAll(kInfFolder + name) == Package(kNtInfs[i]);
    }
    EXPECT_TRUE(found) << kNtInfs[i];
    EXPECT_EQ(ReadAll(kInfFolder + kNtInfs[i]), "; another file\r\n");  // left alone
  }
}

TEST_F(DriverInstallWine, AStalePhoneInfGoesWithItsTwinAndOthersStay) {
  const std::pair<const char*, const char*> planted[] = {
      {"oem90.inf", "stale_phone.inf"},
      {"oem91.inf", "other_maker.inf"},
      {"oem92.inf", "other_maker_same_id.inf"},
      {"oem93.inf", "orvex_neighbour.inf"},
  };
  for (const auto& [name, fixture] : planted) {
    WriteAll(kInfFolder + std::string(name), ReadAll(g_data + "\\infs\\" + fixture));
    WriteAll(Twin(kInfFolder + std::string(name)), "PNF");
  }
  ::SetFileAttributesA((std::string(kInfFolder) + "oem90.inf").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(DriverInstaller(12).Install(), 1);
  EXPECT_FALSE(Exists(std::string(kInfFolder) + "oem90.inf"));
  EXPECT_FALSE(Exists(std::string(kInfFolder) + "oem90.pnf"));
  for (const char* kept : {"oem91.inf", "oem91.pnf", "oem92.inf", "oem92.pnf", "oem93.inf",
                           "oem93.pnf"}) {
    EXPECT_TRUE(Exists(std::string(kInfFolder) + kept)) << kept;
  }
  for (const std::string& name : kNtInfs) EXPECT_EQ(ReadAll(kInfFolder + name), Package(name));
}

// Wine's own INF parser reads the fixtures as the simulated machine does.
TEST_F(DriverInstallWine, WinesSetupApiMatchesTheSameInfs) {
  DriverInstaller installer(12);
  for (const std::string& name : kNtInfs) {
    EXPECT_EQ(installer.IsStaleOemInf((g_data + "\\cd\\Drivers\\" + name).c_str()), 1) << name;
  }
  const std::pair<const char*, int> cases[] = {
      {"stale_phone.inf", 1},
      {"other_maker.inf", 0},
      {"other_maker_same_id.inf", 0},
      {"orvex_neighbour.inf", 0},
  };
  for (const auto& [fixture, stale] : cases) {
    EXPECT_EQ(installer.IsStaleOemInf((g_data + "\\infs\\" + fixture).c_str()), stale) << fixture;
  }
}

TEST_F(DriverInstallWine, TheLegacyPackageIsCopiedIntoTheWindowsFolders) {
  ASSERT_EQ(DriverInstaller(1).Install(), 1);
  const char* infs[] = {"KV6bus.inf",  "KV6mdmv.inf", "KV6mdmw.inf", "KV6obxv.inf",
                        "KV6obxw.inf", "KV6sdmv.inf", "KV6sdmw.inf"};
  for (const char* name : infs) {
    EXPECT_EQ(ReadAll(kInfFolder + std::string(name)), Package(name)) << name;
    Remove(kInfFolder + std::string(name));
  }
  char system[MAX_PATH];
  ASSERT_NE(::GetSystemDirectoryA(system, MAX_PATH), 0u);
  const std::pair<const char*, const char*> drivers[] = {
      {"KV6cm.sys", "KV6cm95.sys"}, {"KV6wh.sys", "KV6wh95.sys"}, {"KV6comm.vxd", "KV6comm.vxd"}};
  for (const auto& [installed, package] : drivers) {
    EXPECT_EQ(ReadAll(std::string(system) + "\\" + installed), Package(package)) << installed;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: driver_install_wine <tests\\data folder>\n");
    return 2;
  }
  g_data = argv[1];
  for (char& c : g_data) {
    if (c == '/') c = '\\';
  }
  return RUN_ALL_TESTS();
}
