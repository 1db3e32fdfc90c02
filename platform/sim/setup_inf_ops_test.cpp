// The INF operations of the Setup API on the simulated machine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/sim/inf_parser.h"
#include "platform/sim/machine.h"

namespace {

const char kInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
    "[Manufacturer]\r\n%Maker%=ORVEX\r\n"
    "[orvex]\r\n%Desc%=Install, USB\\VID_1F3C&PID_6B07&MI_07, USB\\VID_1F3C&PID_6B07\r\n"
    "[Empty]\r\n"
    "[Strings]\r\nMaker=\"ORVEX\"\r\nDesc=\"ORVEX 3G GSM USB Modem\"\r\n";

class SetupInfOps : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &sim::ResetMachine(); }
  HINF Open(const char* path, DWORD style = INF_STYLE_WIN4) {
    UINT line = 0xdead;
    plat::SetLastError(0xdeadbeef);
    HINF inf = plat::SetupOpenInfFileA(path, nullptr, style, &line);
    lastLine_ = line;
    return inf;
  }
  std::string Inf(const char* name) {
    return machine_->files.WindowsDirectory() + "\\INF\\" + name;
  }
  sim::Machine* machine_ = nullptr;
  UINT lastLine_ = 0;
};

TEST_F(SetupInfOps, OpenFailsAsWindowsDoes) {
  machine_->files.WriteFile("C:\\pkg\\noversion.inf", "[Strings]\r\na=b\r\n");
  machine_->files.WriteFile("C:\\pkg\\bad.inf", "[Version]\r\nSignature=$Chicago$\r\n[ab\r\n");
  machine_->files.WriteFile("C:\\pkg\\held.inf", kInf);
  machine_->files.HoldOpen("C:\\pkg\\held.inf", GENERIC_READ | GENERIC_WRITE, 0);
  machine_->files.CreateFolder("C:\\pkg\\folder.inf");
  const std::pair<const char*, DWORD> cases[] = {
      {"C:\\pkg\\missing.inf", ERROR_FILE_NOT_FOUND},
      {"C:\\nowhere\\x.inf", ERROR_PATH_NOT_FOUND},
      {"C:\\pkg\\noversion.inf", sim::kErrorWrongInfStyle},
      {"C:\\pkg\\bad.inf", sim::kErrorBadSectionNameLine},
      {"C:\\pkg\\held.inf", ERROR_SHARING_VIOLATION},
      {"C:\\pkg\\folder.inf", ERROR_ACCESS_DENIED},
  };
  for (const auto& [path, error] : cases) {
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE) << path;
    EXPECT_EQ(plat::GetLastError(), error) << path;
  }
  Open("C:\\pkg\\bad.inf");
  EXPECT_EQ(lastLine_, 3u);
  // A file without [Version] opens only when the old style is asked for.
  HINF old = Open("C:\\pkg\\noversion.inf", INF_STYLE_OLDNT);
  EXPECT_NE(old, INVALID_HANDLE_VALUE);
  plat::SetupCloseInfFile(old);
  EXPECT_EQ(machine_->handles.OpenCount(), 0u);
}

TEST_F(SetupInfOps, LinesAndFieldsAreReadWithWindowsErrors) {
  machine_->files.WriteFile(Inf("phone.inf"), kInf);
  HINF inf = Open("phone.inf");  // a bare name is looked for in the INF folder
  ASSERT_NE(inf, INVALID_HANDLE_VALUE);
  EXPECT_EQ(machine_->handles.OpenCount(sim::HandleKind::InfFile), 1u);
  INFCONTEXT context;
  EXPECT_FALSE(plat::SetupFindFirstLineA(inf, "Missing", nullptr, &context));
  EXPECT_EQ(plat::GetLastError(), ERROR_LINE_NOT_FOUND);
  EXPECT_FALSE(plat::SetupFindFirstLineA(inf, "Empty", nullptr, &context));
  EXPECT_EQ(plat::GetLastError(), ERROR_LINE_NOT_FOUND);
  EXPECT_FALSE(plat::SetupFindFirstLineA(inf, "Version", "NoSuchKey", &context));
  EXPECT_EQ(plat::GetLastError(), ERROR_LINE_NOT_FOUND);
  ASSERT_TRUE(plat::SetupFindFirstLineA(inf, "version", "CLASS", &context));
  char field[64];
  ASSERT_TRUE(plat::SetupGetStringFieldA(&context, 1, field, sizeof field, nullptr));
  EXPECT_STREQ(field, "Modem");

  ASSERT_TRUE(plat::SetupFindFirstLineA(inf, "ORVEX", nullptr, &context));
  EXPECT_TRUE(plat::SetupGetStringFieldA(&context, 0, field, sizeof field, nullptr));
  EXPECT_STREQ(field, "ORVEX 3G GSM USB Modem");  // the key, substituted
  EXPECT_EQ(plat::GetLastError(), 0u);
  DWORD needed = 0;
  EXPECT_TRUE(plat::SetupGetStringFieldA(&context, 2, nullptr, 0, &needed));
  EXPECT_EQ(needed, 28u);  // "USB\VID_1F3C&PID_6B07&MI_07" and the terminator
  std::memset(field, '#', sizeof field);
  EXPECT_FALSE(plat::SetupGetStringFieldA(&context, 2, field, 27, &needed));
  EXPECT_EQ(plat::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, 28u);
  EXPECT_EQ(field[0], '#');  // nothing written
  EXPECT_TRUE(plat::SetupGetStringFieldA(&context, 2, field, 28, nullptr));
  EXPECT_STREQ(field, "USB\\VID_1F3C&PID_6B07&MI_07");
  EXPECT_TRUE(plat::SetupGetStringFieldA(&context, 3, field, sizeof field, nullptr));
  EXPECT_FALSE(plat::SetupGetStringFieldA(&context, 4, field, sizeof field, nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_INVALID_PARAMETER);

  plat::SetupCloseInfFile(inf);
  EXPECT_EQ(machine_->handles.OpenCount(), 0u);
  EXPECT_FALSE(plat::SetupFindFirstLineA(inf, "ORVEX", nullptr, &context));
  EXPECT_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
  plat::SetupCloseInfFile(INVALID_HANDLE_VALUE);  // ignored, as on Windows
}

TEST_F(SetupInfOps, CopyOemInfUsesTheLowestFreeOemNumberAndWritesTheTwin) {
  // The XP image holds another maker's oem3.inf; a stray oem1.PNF blocks 1.
  machine_->files.WriteFile(Inf("oem1.PNF"), "stray");
  const char* names[] = {"a", "b", "c"};
  std::string expected[] = {"oem0", "oem2", "oem4"};
  for (int i = 0; i < 3; ++i) {
    std::string source = std::string("C:\\pkg\\") + names[i] + ".inf";
    machine_->files.WriteFile(source, std::string(kInf) + "; " + names[i] + "\r\n");
    char stored[MAX_PATH];
    char* filePart = nullptr;
    DWORD needed = 0;
    ASSERT_TRUE(plat::SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, stored,
                                       sizeof stored, &needed, &filePart));
    EXPECT_EQ(std::string(stored), Inf((expected[i] + ".inf").c_str()));
    EXPECT_EQ(needed, std::string(stored).size() + 1);
    EXPECT_EQ(std::string(filePart), expected[i] + ".inf");
    EXPECT_EQ(machine_->files.ReadFile(stored), machine_->files.ReadFile(source));
    EXPECT_TRUE(machine_->files.FileExists(Inf((expected[i] + ".PNF").c_str())));
  }
  EXPECT_EQ(machine_->files.ReadFile(Inf("oem1.PNF")), "stray");
  EXPECT_EQ(machine_->handles.OpenCount(), 0u);
}

TEST_F(SetupInfOps, CopyOemInfAnswersAnInfThatIsAlreadyThere) {
  machine_->files.WriteFile("C:\\pkg\\phone.inf", kInf);
  ASSERT_TRUE(plat::SetupCopyOEMInfA("C:\\pkg\\phone.inf", nullptr, SPOST_PATH, 0, nullptr, 0,
                                     nullptr, nullptr));
  char stored[MAX_PATH];
  machine_->files.WriteFile("D:\\cd\\phone.inf", kInf);  // the same INF from elsewhere
  ASSERT_TRUE(plat::SetupCopyOEMInfA("D:\\cd\\phone.inf", nullptr, SPOST_PATH, 0, stored,
                                     sizeof stored, nullptr, nullptr));
  EXPECT_EQ(std::string(stored), Inf("oem0.inf"));
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem1.inf")));
  EXPECT_FALSE(plat::SetupCopyOEMInfA("D:\\cd\\phone.inf", nullptr, SPOST_PATH,
                                      SP_COPY_NOOVERWRITE, stored, sizeof stored, nullptr,
                                      nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(std::string(stored), Inf("oem0.inf"));
  // An INF in the INF folder keeps its own name.
  ASSERT_TRUE(plat::SetupCopyOEMInfA(Inf("machine.inf").c_str(), nullptr, SPOST_PATH, 0, stored,
                                     sizeof stored, nullptr, nullptr));
  EXPECT_EQ(std::string(stored), Inf("machine.inf"));
}

TEST_F(SetupInfOps, CopyOemInfFailures) {
  machine_->files.WriteFile("C:\\pkg\\phone.inf", kInf);
  machine_->files.WriteFile("C:\\pkg\\plain.inf", "[Strings]\r\n");
  char small[8];
  DWORD needed = 0;
  EXPECT_FALSE(plat::SetupCopyOEMInfA("C:\\pkg\\phone.inf", nullptr, SPOST_PATH, 0, small,
                                      sizeof small, &needed, nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, Inf("oem0.inf").size() + 1);
  EXPECT_TRUE(machine_->files.FileExists(Inf("oem0.inf")));  // copied all the same

  const std::pair<const char*, DWORD> cases[] = {
      {"C:\\pkg\\missing.inf", ERROR_FILE_NOT_FOUND},
      {"C:\\pkg\\plain.inf", sim::kErrorWrongInfStyle},
  };
  for (const auto& [path, error] : cases) {
    EXPECT_FALSE(plat::SetupCopyOEMInfA(path, nullptr, SPOST_PATH, 0, nullptr, 0, nullptr,
                                        nullptr));
    EXPECT_EQ(plat::GetLastError(), error) << path;
  }
  machine_->files.WriteFile("C:\\pkg\\other.inf", std::string(kInf) + ";other\r\n");
  machine_->faults.FailOn("SetupCopyOEMInfA", 1, ERROR_NO_CATALOG_FOR_OEM_INF);
  EXPECT_FALSE(plat::SetupCopyOEMInfA("C:\\pkg\\other.inf", nullptr, SPOST_PATH, 0, nullptr, 0,
                                      nullptr, nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_NO_CATALOG_FOR_OEM_INF);
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem1.inf")));

  sim::MachineOptions user;
  user.administrator = false;
  machine_ = &sim::ResetMachine(user);
  machine_->files.WriteFile("C:\\pkg\\phone.inf", kInf);
  EXPECT_FALSE(plat::SetupCopyOEMInfA("C:\\pkg\\phone.inf", nullptr, SPOST_PATH, 0, nullptr, 0,
                                      nullptr, nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace

// SetupUninstallOEMInf on what the contract test cannot show under Wine: a
// device that still uses the INF, present or not (only its keys), refuses
// the uninstall with ERROR_INF_IN_USE_BY_DEVICES and leaves every file,
// unless SUOI_FORCEDELETE; a name with a folder or one the store does not
// give is refused (the function takes "the file name, without path, of the
// .inf file in the Windows Inf directory"); a caller without administrative
// privileges fails (Microsoft, SetupUninstallOEMInf).
TEST_F(SetupInfOps, UninstallOemInfRefusesAnInfADeviceUses) {
  const std::string catalog = sim::InfStore::CatalogFolder(machine_->files) + "\\oem7.cat";
  auto plant = [&] {
    machine_->files.WriteFile(Inf("oem7.inf"), kInf);
    machine_->files.WriteFile(Inf("oem7.PNF"), "PNF");
    machine_->files.WriteFile(catalog, "catalog");
  };
  plant();
  // The keys of a device that is not plugged in.
  const char modem[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
  machine_->registry.SetString(HKEY_LOCAL_MACHINE,
                               "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&MI_07\\0000",
                               "Driver", std::string(modem) + "\\0042");
  const std::string driverKey = std::string("SYSTEM\\ControlSet001\\Control\\Class\\") + modem +
                                "\\0042";
  machine_->registry.SetString(HKEY_LOCAL_MACHINE, driverKey, "InfPath", "OEM7.INF");
  EXPECT_FALSE(plat::SetupUninstallOEMInfA("oem7.inf", 0, nullptr));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INF_IN_USE_BY_DEVICES));
  EXPECT_TRUE(machine_->files.FileExists(Inf("oem7.inf")));
  EXPECT_TRUE(machine_->files.FileExists(Inf("oem7.PNF")));
  EXPECT_TRUE(machine_->files.FileExists(catalog));

  ASSERT_TRUE(plat::SetupUninstallOEMInfA("oem7.inf", SUOI_FORCEDELETE, nullptr));
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem7.inf")));
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem7.PNF")));
  EXPECT_FALSE(machine_->files.FileExists(catalog));

  // Once the device's driver key names another INF, nothing holds oem7.
  plant();
  machine_->registry.SetString(HKEY_LOCAL_MACHINE, driverKey, "InfPath", "oem8.inf");
  ASSERT_TRUE(plat::SetupUninstallOEMInfA("oem7.inf", 0, nullptr));
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem7.inf")));
  EXPECT_FALSE(machine_->files.FileExists(catalog));
}

TEST_F(SetupInfOps, UninstallOemInfFailures) {
  machine_->files.WriteFile(Inf("oem7.inf"), kInf);
  const std::pair<const char*, DWORD> cases[] = {
      {"oem9.inf", ERROR_FILE_NOT_FOUND},
      {"machine.inf", ERROR_INVALID_PARAMETER},  // Windows' own INF
      {"C:\\WINDOWS\\INF\\oem7.inf", ERROR_INVALID_PARAMETER},
      {"..\\INF\\oem7.inf", ERROR_INVALID_PARAMETER},
  };
  for (const auto& [name, error] : cases) {
    plat::SetLastError(0);
    EXPECT_FALSE(plat::SetupUninstallOEMInfA(name, 0, nullptr)) << name;
    EXPECT_EQ(plat::GetLastError(), error) << name;
  }
  EXPECT_TRUE(machine_->files.FileExists(Inf("oem7.inf")));
  EXPECT_TRUE(machine_->files.FileExists(Inf("machine.inf")));

  sim::MachineOptions user;
  user.administrator = false;
  machine_ = &sim::ResetMachine(user);
  machine_->files.WriteFile(Inf("oem7.inf"), kInf);
  EXPECT_FALSE(plat::SetupUninstallOEMInfA("oem7.inf", 0, nullptr));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(machine_->files.FileExists(Inf("oem7.inf")));
}

// SetupUninstallOEMInf came with Windows XP ("Minimum supported client:
// Windows XP"): on Windows 2000 setupapi.dll has no such export, and the
// program's lookup of it fails with ERROR_PROC_NOT_FOUND.
TEST_F(SetupInfOps, UninstallOemInfIsNotThereBeforeWindowsXp) {
  for (sim::WindowsVersion version :
       {sim::WindowsVersion::Windows2000, sim::WindowsVersion::WindowsNT4}) {
    sim::MachineOptions options;
    options.version = version;
    machine_ = &sim::ResetMachine(options);
    machine_->files.WriteFile(Inf("oem7.inf"), kInf);
    EXPECT_FALSE(plat::SetupUninstallOEMInfA("oem7.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(machine_->files.FileExists(Inf("oem7.inf")));
  }
  machine_ = &sim::ResetMachine();
  machine_->files.WriteFile(Inf("oem7.inf"), kInf);
  EXPECT_TRUE(plat::SetupUninstallOEMInfA("oem7.inf", 0, nullptr));
}

// A signed INF brings its catalog along as oemN.cat, and is the same as a
// copy already there only with the same catalog installed under that copy's
// name; a named catalog that is missing fails the copy with nothing written.
TEST_F(SetupInfOps, CopyOemInfInstallsTheCatalogAndMatchesCopiesByItToo) {
  const std::string signedInf =
      std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"
                  "CatalogFile=phone.cat\r\n") +
      (kInf + std::strlen("[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n"));
  const std::string catalogs = sim::InfStore::CatalogFolder(machine_->files) + "\\";
  machine_->files.WriteFile("D:\\cd\\phone.inf", signedInf);
  machine_->files.WriteFile("D:\\cd\\phone.cat", "catalog 1");
  char stored[MAX_PATH];
  ASSERT_TRUE(plat::SetupCopyOEMInfA("D:\\cd\\phone.inf", nullptr, SPOST_PATH, 0, stored,
                                     sizeof stored, nullptr, nullptr));
  EXPECT_EQ(std::string(stored), Inf("oem0.inf"));
  EXPECT_EQ(machine_->files.ReadFile(catalogs + "oem0.cat"), "catalog 1");
  // The same INF with the same catalog: the copy that is there.
  ASSERT_TRUE(plat::SetupCopyOEMInfA("D:\\cd\\phone.inf", nullptr, SPOST_PATH, 0, stored,
                                     sizeof stored, nullptr, nullptr));
  EXPECT_EQ(std::string(stored), Inf("oem0.inf"));
  // The same INF signed anew: a package of its own.
  machine_->files.WriteFile("D:\\cd\\phone.cat", "catalog 2");
  ASSERT_TRUE(plat::SetupCopyOEMInfA("D:\\cd\\phone.inf", nullptr, SPOST_PATH, 0, stored,
                                     sizeof stored, nullptr, nullptr));
  EXPECT_EQ(std::string(stored), Inf("oem1.inf"));
  EXPECT_EQ(machine_->files.ReadFile(catalogs + "oem1.cat"), "catalog 2");
  EXPECT_EQ(machine_->files.ReadFile(catalogs + "oem0.cat"), "catalog 1");

  machine_->files.Remove("D:\\cd\\phone.cat");
  machine_->files.WriteFile("D:\\cd\\phone.inf", signedInf + "; changed\r\n");
  EXPECT_FALSE(plat::SetupCopyOEMInfA("D:\\cd\\phone.inf", nullptr, SPOST_PATH, 0, stored,
                                      sizeof stored, nullptr, nullptr));
  EXPECT_EQ(plat::GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem2.inf")));
  EXPECT_FALSE(machine_->files.FileExists(Inf("oem2.PNF")));
  EXPECT_FALSE(machine_->files.FileExists(catalogs + "oem2.cat"));
}
