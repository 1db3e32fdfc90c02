// The driver store of Vista and later on the simulated machine: what
// SetupCopyOEMInf stages, publishes and indexes, what SetupUninstallOEMInf
// takes away, what a device plugged in later gets, and which packages the
// store refuses unsigned.
#include "platform/sim/driver_store.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "platform/sim/plug_and_play.h"

namespace sim {
namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kDatabase[] = "SYSTEM\\DriverDatabase";

const char kSignedInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\nProvider=%Maker%\r\n"
    "CatalogFile=phone.cat\r\n"
    "[Manufacturer]\r\n%Maker%=ORVEX,NTamd64\r\n"
    "[ORVEX]\r\n%Desc%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n"
    "[ORVEX.NTamd64]\r\n%Desc%=Install, USB\\VID_1F3C&PID_6B07&MI_03\r\n"
    "[SourceDisksFiles]\r\nphone.sys=1\r\n"
    "[SourceDisksFiles.amd64]\r\nphone64.sys=1\r\n"
    "[Strings]\r\nMaker=\"ORVEX\"\r\nDesc=\"ORVEX modem\"\r\n";

struct Version {
  const char* name;
  WindowsVersion version;
  bool windows64;
};
const Version kStoreVersions[] = {
    {"Vista", WindowsVersion::WindowsVista, false}, {"7", WindowsVersion::Windows7, false},
    {"7 64-bit", WindowsVersion::Windows7, true},   {"8.1", WindowsVersion::Windows81, false},
    {"10", WindowsVersion::Windows10, false},       {"10 64-bit", WindowsVersion::Windows10, true},
    {"11", WindowsVersion::Windows11, true},
};

Machine& Boot(const Version& v) {
  MachineOptions options;
  options.version = v.version;
  options.windows64 = v.windows64;
  return ResetMachine(options);
}

void WritePackage(Machine& machine, const std::string& inf = kSignedInf) {
  machine.files.WriteFile("D:\\cd\\phone.inf", inf);
  machine.files.WriteFile("D:\\cd\\phone.cat", "catalog");
  machine.files.WriteFile("D:\\cd\\phone.sys", "MZ phone");
  machine.files.WriteFile("D:\\cd\\phone64.sys", "MZ phone64");
}

std::string CopyIn(const char* source = "D:\\cd\\phone.inf") {
  char stored[MAX_PATH] = {};
  char* part = nullptr;
  if (!plat::SetupCopyOEMInfA(source, nullptr, SPOST_PATH, 0, stored, sizeof stored, nullptr,
                              &part)) {
    return "error " + std::to_string(plat::GetLastError());
  }
  return part;
}

// The phone's store packages ("phone.inf_..."), by id.
std::vector<std::string> PhonePackages(const Machine& machine) {
  std::vector<std::string> ids;
  for (const std::string& id : DriverStore::Packages(machine.files)) {
    if (id.rfind("phone.inf_", 0) == 0) ids.push_back(id);
  }
  return ids;
}

// SetupCopyOEMInf from Vista on: the whole package in FileRepository, the INF
// published as oemN.inf, and from Windows 8 on the three index entries laid
// out as a real Windows 10 registry has them. SetupUninstallOEMInf takes all
// of it away and leaves the image's printer package (oem3.inf) and its index
// entries as they were.
TEST(DriverStore, APackageIsStagedPublishedIndexedAndUninstalledWhole) {
  for (const Version& v : kStoreVersions) {
    SCOPED_TRACE(v.name);
    Machine& machine = Boot(v);
    WritePackage(machine);
    std::vector<std::string> before = machine.registry.Snapshot();
    std::vector<std::string> filesBefore = machine.files.Snapshot();
    ASSERT_EQ(CopyIn(), "oem0.inf");

    std::vector<std::string> ids = PhonePackages(machine);
    ASSERT_EQ(ids.size(), 1u);
    const std::string id = ids[0];
    EXPECT_NE(id.find(v.windows64 ? "_amd64_" : "_x86_"), std::string::npos) << id;
    const std::string package = DriverStore::RepositoryFolder(machine.files) + "\\" + id + "\\";
    for (const char* file : {"phone.inf", "phone.cat", "phone.sys", "phone64.sys"}) {
      EXPECT_TRUE(machine.files.FileExists(package + file)) << file;
    }
    EXPECT_EQ(DriverStore::PackageOf(machine.files, machine.registry, "oem0.inf"), id);
    char location[MAX_PATH] = {};
    DWORD needed = 0;
    ASSERT_TRUE(plat::SetupGetInfDriverStoreLocationA("oem0.inf", nullptr, nullptr, location,
                                                      sizeof location, &needed));
    EXPECT_EQ(std::string(location), package + "phone.inf");
    EXPECT_EQ(needed, std::string(location).size() + 1);
    EXPECT_FALSE(plat::SetupGetInfDriverStoreLocationA("oem0.inf", nullptr, nullptr, location,
                                                       needed - 1, &needed));
    EXPECT_EQ(plat::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    bool indexed = v.version >= WindowsVersion::Windows81;
    const std::string infKey = std::string(kDatabase) + "\\DriverInfFiles\\oem0.inf";
    EXPECT_EQ(machine.registry.GetString(kLm, infKey, "Active").value_or(""), indexed ? id : "");
    EXPECT_EQ(machine.registry.GetString(kLm, std::string(kDatabase) + "\\DriverPackages\\" + id, "")
                  .value_or(""),
              indexed ? "oem0.inf" : "");
    EXPECT_EQ(machine.registry.ValueExists(
                  kLm, std::string(kDatabase) + "\\DeviceIds\\USB\\VID_1F3C&PID_6B07&MI_03",
                  "oem0.inf"),
              indexed);

    ASSERT_TRUE(plat::SetupUninstallOEMInfA("oem0.inf", 0, nullptr));
    EXPECT_FALSE(plat::SetupGetInfDriverStoreLocationA("oem0.inf", nullptr, nullptr, location,
                                                       sizeof location, &needed));
    EXPECT_EQ(plat::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(machine.registry.Snapshot(), before);
    EXPECT_EQ(machine.files.Snapshot(), filesBefore);
  }
}

// The in-use rule holds for the store too: while a device's driver key names
// the published INF nothing goes, unless forced.
TEST(DriverStore, APackageInUseStaysUnlessForced) {
  Machine& machine = Boot(kStoreVersions[4]);
  WritePackage(machine);
  ASSERT_EQ(CopyIn(), "oem0.inf");
  const std::string modem = "SYSTEM\\ControlSet001\\Control\\Class\\"
                            "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0009";
  machine.registry.SetString(kLm, modem, "InfPath", "oem0.inf");
  machine.registry.SetString(kLm, "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6BFF\\1",
                             "Driver", "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0009");
  EXPECT_FALSE(plat::SetupUninstallOEMInfA("oem0.inf", 0, nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_INF_IN_USE_BY_DEVICES);
  EXPECT_EQ(PhonePackages(machine).size(), 1u);
  EXPECT_TRUE(machine.registry.KeyExists(kLm, std::string(kDatabase) + "\\DriverInfFiles\\oem0.inf"));
  EXPECT_TRUE(plat::SetupUninstallOEMInfA("oem0.inf", SUOI_FORCEDELETE, nullptr));
  EXPECT_TRUE(PhonePackages(machine).empty());
}

// A package that names no catalog: staged on Vista and 7 (where the
// administrator is asked to allow a driver Windows cannot verify), refused
// by every Windows from 8 on. Before Vista there is no store and the INF is
// copied as before.
TEST(DriverStore, AnUnsignedPackageIsRefusedWhereOnlySignedOnesInstall) {
  std::string unsignedInf = kSignedInf;
  unsignedInf.erase(unsignedInf.find("CatalogFile=phone.cat\r\n"), 23);
  const std::pair<Version, bool> cases[] = {
      {{"XP 64-bit", WindowsVersion::WindowsXPSP3, true}, true},
      {kStoreVersions[0], true},  {kStoreVersions[1], true},  {kStoreVersions[2], true},
      {kStoreVersions[3], false}, {kStoreVersions[5], false}, {kStoreVersions[6], false},
  };
  for (const auto& [v, staged] : cases) {
    SCOPED_TRACE(v.name);
    Machine& machine = Boot(v);
    WritePackage(machine, unsignedInf);
    std::vector<std::string> filesBefore = machine.files.Snapshot();
    std::string answer = CopyIn();
    if (staged) {
      EXPECT_EQ(answer, "oem0.inf");
    } else {
      EXPECT_EQ(answer, "error " + std::to_string(ERROR_NO_CATALOG_FOR_OEM_INF));
      EXPECT_EQ(machine.files.Snapshot(), filesBefore);
    }
  }
}

// The store is what Plug and Play installs from: after the published INF and
// its PNF were deleted by hand, the phone plugged in again gets the old
// driver from the store, published anew.
TEST(DriverStore, APhonePluggedInAfterItsInfWasDeletedByHandGetsTheStoresDriver) {
  Machine& machine = Boot(kStoreVersions[4]);
  WritePackage(machine);
  ASSERT_EQ(CopyIn(), "oem0.inf");
  machine.files.Remove(machine.files.WindowsDirectory() + "\\INF\\oem0.inf");
  machine.files.Remove(machine.files.WindowsDirectory() + "\\INF\\oem0.PNF");
  ASSERT_TRUE(PlugInFunction(machine, 1));
  EXPECT_EQ(machine.files.ReadFile(machine.files.WindowsDirectory() + "\\INF\\oem0.inf"),
            kSignedInf);
  EXPECT_TRUE(machine.registry.KeyExists(kLm, std::string(kDatabase) + "\\DriverInfFiles\\oem0.inf"));
}

// GetVersionExA from 8.1 on tells the real version only to a program whose
// manifest names 8.1 and 10; others are told 6.2, Windows 8.
TEST(DriverStore, LaterWindowsTellTheirVersionOnlyToAProgramThatNamesThem) {
  struct Case {
    WindowsVersion version;
    bool manifest;
    DWORD major, minor, build;
  };
  const Case cases[] = {
      {WindowsVersion::Windows7, false, 6, 1, 7601},   {WindowsVersion::Windows81, true, 6, 3, 9600},
      {WindowsVersion::Windows81, false, 6, 2, 9200},  {WindowsVersion::Windows10, true, 10, 0, 19045},
      {WindowsVersion::Windows11, true, 10, 0, 22631}, {WindowsVersion::Windows11, false, 6, 2, 9200},
  };
  for (const Case& c : cases) {
    MachineOptions options;
    options.version = c.version;
    options.manifestNamesWindows10 = c.manifest;
    ResetMachine(options);
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(plat::GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion * 100000 + info.dwMinorVersion * 10000 + info.dwBuildNumber,
              c.major * 100000 + c.minor * 10000 + c.build)
        << static_cast<int>(c.version) << " manifest " << c.manifest;
  }
}

}  // namespace
}  // namespace sim
