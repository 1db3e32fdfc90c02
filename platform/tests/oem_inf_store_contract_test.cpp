// The INF store with a signed package, as a removal needs it.
//
// Windows 2000/XP: SetupCopyOEMInf copies the INF into the INF folder as
// oemN.inf with its PNF, and installs the catalog that [Version]
// CatalogFile= names, from beside the INF, as oemN.cat in
// %windir%\system32\CatRoot\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}
// (Microsoft, SetupCopyOEMInf; "Driver Signing" / "Catalog files and
// digital signatures"). A named catalog that is missing fails the copy; the
// page names no code, and Wine answers ERROR_FILE_NOT_FOUND, the code of
// the file that is not there, which the simulated machine gives too.
// SetupUninstallOEMInf (XP and later) takes the published name, without a
// folder, and uninstalls the INF, "any associated .pnf file" and the
// catalog it was installed with (Microsoft, SetupUninstallOEMInf).
//
// Wine 8 differs: the INF keeps its own name, the catalog keeps its own
// name in catroot, and SetupUninstallOEMInf deletes nothing without
// SUOI_FORCEDELETE (and still answers TRUE), and with it only the INF.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tests/contract_env.h"
#include "platform/tests/contract_files_env.h"

namespace {

const char kCatalogFolder[] = "\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";

std::string SystemFolder() {
  char folder[MAX_PATH + 1] = {};
  plat::GetSystemDirectoryA(folder, sizeof folder);
  return folder;
}

std::string InfFolder() {
  char folder[MAX_PATH + 1] = {};
  plat::GetWindowsDirectoryA(folder, sizeof folder);
  return std::string(folder) + "\\INF\\";
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool Exists(const std::string& path) {
  return plat::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int InfFolderFileCount() {
  WIN32_FIND_DATAA found;
  HANDLE search = plat::FindFirstFileA((InfFolder() + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    ++count;
  } while (plat::FindNextFileA(search, &found));
  plat::FindClose(search);
  return count;
}

// A Windows NT INF of our own for a device no machine has, naming its
// catalog; `tag` keeps each case's contents apart from any other copy.
std::string SignedInf(const std::string& catalog, const std::string& tag) {
  return "; contract test INF " + tag +
         "\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
         "ClassGUID={4D36E96D-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Maker%\r\n"
         "CatalogFile=" +
         catalog +
         "\r\nDriverVer=01/02/2009,1.0.0.1\r\n[Manufacturer]\r\n%Maker%=CtMaker\r\n"
         "[CtMaker]\r\n%Device%=CtInstall, USB\\VID_0000&PID_C0DE\r\n[CtInstall]\r\n"
         "[Strings]\r\nMaker=\"Contract Maker\"\r\nDevice=\"Contract device\"\r\n";
}

class OemInfStore : public ::testing::Test {
 protected:
  void SetUp() override { ResetContractMachine(); }
  // Whatever a case left in the Windows folders goes, so that the prefix
  // is as it was for the next case under Wine.
  void TearDown() override {
    for (const std::string& path : leftovers_) {
      plat::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      plat::DeleteFileA(path.c_str());
    }
  }

  // Copies scratch\<name>.inf with its catalog <name>.cat into the store;
  // returns the published name ("" on failure) and notes the files that
  // the store now holds.
  std::string CopySigned(const std::string& name) {
    std::string inf = ContractScratchFolder() + name + ".inf";
    EXPECT_TRUE(PlantFile(inf, SignedInf(name + ".cat", name)));
    EXPECT_TRUE(PlantFile(ContractScratchFolder() + name + ".cat", "catalog of " + name));
    char destination[MAX_PATH + 1] = {};
    char* part = nullptr;
    if (!plat::SetupCopyOEMInfA(inf.c_str(), nullptr, SPOST_PATH, 0, destination,
                                sizeof destination, nullptr, &part) ||
        !part) {
      ADD_FAILURE() << "SetupCopyOEMInfA failed with " << plat::GetLastError();
      return "";
    }
    std::string published = part;
    stem_ = published.substr(0, published.size() - 4);
    leftovers_.insert(leftovers_.end(), {InfFolder() + published, InfFolder() + stem_ + ".PNF",
                                         Catalog(stem_), Catalog(name)});
    return published;
  }

  static std::string Catalog(const std::string& stem) {
    return SystemFolder() + kCatalogFolder + stem + ".cat";
  }

  std::string stem_;
  std::vector<std::string> leftovers_;
};

TEST_F(OemInfStore, CopyInstallsTheNamedCatalogAndUninstallTakesItAway) {
  std::string published = CopySigned("ctsigned");
  ASSERT_FALSE(published.empty());
  // Windows publishes oemN.inf; Wine keeps the INF's own name.
  EXPECT_EQ(published.rfind("oem", 0) == 0, SimElseWine(true, false)) << published;
  EXPECT_TRUE(Exists(InfFolder() + published));
  EXPECT_TRUE(Exists(InfFolder() + stem_ + ".PNF"));
  // Windows: the catalog as oemN.cat, the INF's published stem. Wine: under
  // its own name.
  std::string catalog = Catalog(SimElseWine(stem_, std::string("ctsigned")));
  EXPECT_TRUE(Exists(catalog)) << catalog;

  plat::SetLastError(0xdeadbeef);
  EXPECT_TRUE(plat::SetupUninstallOEMInfA(published.c_str(), 0, nullptr));
  // Windows: the INF, its PNF and its catalog are gone. Wine without
  // SUOI_FORCEDELETE: nothing is.
  bool windowsLeft = false;
  bool wineLeft = true;
  EXPECT_EQ(Exists(InfFolder() + published), SimElseWine(windowsLeft, wineLeft));
  EXPECT_EQ(Exists(InfFolder() + stem_ + ".PNF"), SimElseWine(windowsLeft, wineLeft));
  EXPECT_EQ(Exists(catalog), SimElseWine(windowsLeft, wineLeft));
}

TEST_F(OemInfStore, ForcedUninstallOnWineTakesOnlyTheInf) {
  std::string published = CopySigned("ctforced");
  ASSERT_FALSE(published.empty());
  std::string catalog = Catalog(SimElseWine(stem_, std::string("ctforced")));
  ASSERT_TRUE(Exists(catalog));
  EXPECT_TRUE(plat::SetupUninstallOEMInfA(published.c_str(), SUOI_FORCEDELETE, nullptr));
  EXPECT_FALSE(Exists(InfFolder() + published));
  // Windows takes the PNF and the catalog with the INF; Wine leaves both.
  EXPECT_EQ(Exists(InfFolder() + stem_ + ".PNF"), SimElseWine(false, true));
  EXPECT_EQ(Exists(catalog), SimElseWine(false, true));
}

TEST_F(OemInfStore, AMissingCatalogFailsTheCopyBeforeAnythingIsCopied) {
  std::string inf = ContractScratchFolder() + "ctnocat.inf";
  ASSERT_TRUE(PlantFile(inf, SignedInf("ctnocat.cat", "ctnocat")));
  int before = InfFolderFileCount();
  plat::SetLastError(0xdeadbeef);
  char destination[MAX_PATH + 1] = {};
  EXPECT_FALSE(plat::SetupCopyOEMInfA(inf.c_str(), nullptr, SPOST_PATH, 0, destination,
                                      sizeof destination, nullptr, nullptr));
  // Microsoft names no code for a missing catalog; the simulated machine
  // answers as for any missing file. Wine 8 answers so in a 64-bit prefix and
  // ERROR_INSUFFICIENT_BUFFER in a 32-bit one, so under
  // Wine the case pins the failure and that nothing was copied, and which of
  // Wine's two codes came.
  DWORD error = plat::GetLastError();
  if (ContractOnSimulatedMachine()) {
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  } else {
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_INSUFFICIENT_BUFFER) << error;
  }
  EXPECT_EQ(InfFolderFileCount(), before);
  EXPECT_FALSE(Exists(InfFolder() + "ctnocat.inf"));
}

// The driver store's location of a published INF: Windows Vista and later
// answer with the path of its package's INF in
// %windir%\System32\DriverStore\FileRepository (Microsoft,
// SetupGetInfDriverStoreLocation; "Driver Store"), and SetupUninstallOEMInf
// takes the package out of the store ("How Devices and Driver Packages are
// Uninstalled"); XP has no such function. Wine 8 has no driver store and
// exports only the W function, though its prefixes say they are Windows 7:
// the program's lookup of the A one fails there as on XP, so the removal
// treats Wine as a machine without a store.
TEST_F(OemInfStore, TheDriverStoreHoldsACopiedPackageWhereThereIsOne) {
  for (bool windows7 : {false, true}) {
    SCOPED_TRACE(windows7 ? "Windows 7" : "XP");
    ResetContractMachine(windows7);
    std::string published = CopySigned(windows7 ? "ctstore7" : "ctstore");
    ASSERT_FALSE(published.empty());
    char location[MAX_PATH + 1] = {};
    DWORD needed = 0;
    plat::SetLastError(0xdeadbeef);
    BOOL found = plat::SetupGetInfDriverStoreLocationA(published.c_str(), nullptr, nullptr,
                                                       location, sizeof location, &needed);
    bool store = SimElseWine(windows7, false);
    EXPECT_EQ(found != FALSE, store);
    std::string package(location);
    if (store) {
      EXPECT_NE(Upper(package).find("\\SYSTEM32\\DRIVERSTORE\\FILEREPOSITORY\\"),
                std::string::npos)
          << package;
      EXPECT_TRUE(Exists(package));
      EXPECT_TRUE(plat::SetupUninstallOEMInfA(published.c_str(), 0, nullptr));
      EXPECT_FALSE(Exists(package));
    } else {
      EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
      EXPECT_TRUE(plat::SetupUninstallOEMInfA(published.c_str(), SUOI_FORCEDELETE, nullptr));
    }
  }
}

}  // namespace
