#include "platform/sim/file_system.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/files.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

TEST(FileMask, FollowsTheDosRulesForDotsAndQuestionMarks) {
  EXPECT_TRUE(MatchesFileMask("*.inf", "OEM12.INF"));
  EXPECT_TRUE(MatchesFileMask("*.inf", "a.b.inf"));
  EXPECT_FALSE(MatchesFileMask("*.inf", "a.inf.bak"));
  EXPECT_TRUE(MatchesFileMask("oem?.inf", "oem1.inf"));
  EXPECT_FALSE(MatchesFileMask("oem?.inf", "oem12.inf"));
  // A '?' before a dot or the end also matches nothing.
  EXPECT_TRUE(MatchesFileMask("a??", "a"));
  EXPECT_TRUE(MatchesFileMask("a??.txt", "ab.txt"));
  EXPECT_FALSE(MatchesFileMask("a??", "abcd"));
  EXPECT_TRUE(MatchesFileMask("name.*", "name"));
  EXPECT_TRUE(MatchesFileMask("*.*", "noext"));
  EXPECT_TRUE(MatchesFileMask("*", ".."));
  EXPECT_FALSE(MatchesFileMask("*.inf", ".."));
}

TEST(ShortNames, AreMadeOnlyForNamesThatAreNoValid83Name) {
  const std::pair<const char*, const char*> cases[] = {
      {"oem12.inf", ""}, {"OEM12.INF", ""}, {"readme", ""}, {"$x-(1).a_b", ""},
      {"oem12.info", "OEM12~1.INF"}, {"oem1.inf_old", "OEM1~1.INF"},
      {"a.b.inf", "AB~1.INF"}, {"Program Files", "PROGRA~1"},
      {"long name+x.text", "LONGNA~1.TEX"}, {"a+b.inf", "A_B~1.INF"},
      {".profile", "PROFIL~1"}, {"Verylongname", "VERYLO~1"}};
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(ShortNameFor(name, {}), expected) << name;
  }
  // The first number that no entry of the folder holds yet.
  EXPECT_EQ(ShortNameFor("oem12.info", {"OEM12~1.INF", "OEM12~2.INF"}), "OEM12~3.INF");
  EXPECT_EQ(ShortNameFor("abcdefghij", {"ABCDEF~1", "ABCDEF~2", "ABCDEF~3", "ABCDEF~4",
                                         "ABCDEF~5", "ABCDEF~6", "ABCDEF~7", "ABCDEF~8",
                                         "ABCDEF~9"}),
            "ABCDE~10");
}

TEST(ShortNames, NameAFileAndAreSearchedAsWindowsDoes) {
  Machine& machine = ResetMachine();
  ASSERT_TRUE(machine.files.WriteFile("C:\\INF\\oem12.info", "backup"));
  ASSERT_TRUE(machine.files.WriteFile("C:\\INF\\oem12.infx", "other"));
  EXPECT_EQ(machine.files.ReadFile("C:\\INF\\OEM12~1.INF"), "backup");
  EXPECT_EQ(machine.files.ReadFile("C:\\inf\\oem12~2.inf"), "other");
  WIN32_FIND_DATAA found;
  HANDLE search = plat::FindFirstFileA("C:\\INF\\oem*.inf", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "oem12.info");
  EXPECT_STREQ(found.cAlternateFileName, "OEM12~1.INF");
  ASSERT_TRUE(plat::FindNextFileA(search, &found));
  EXPECT_STREQ(found.cFileName, "oem12.infx");
  EXPECT_FALSE(plat::FindNextFileA(search, &found));
  plat::FindClose(search);
  // A name that is a valid 8.3 name reports no short name.
  ASSERT_TRUE(machine.files.WriteFile("C:\\INF\\oem3.inf", "x"));
  search = plat::FindFirstFileA("C:\\INF\\oem3.inf", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cAlternateFileName, "");
  plat::FindClose(search);
}

TEST(FileSystem, AFileHeldOpenRefusesDeleteAndOverwriteUntilReleased) {
  Machine& machine = ResetMachine();
  FileSystem& files = machine.files;
  ASSERT_TRUE(files.WriteFile("C:\\WINDOWS\\system32\\drivers\\phone.sys", "old"));
  ASSERT_TRUE(files.WriteFile("D:\\Drivers\\phone.sys", "new"));
  ASSERT_TRUE(files.HoldOpen("c:\\windows\\SYSTEM32\\drivers\\PHONE.SYS"));
  machine.lastError = 0;
  EXPECT_FALSE(plat::DeleteFileA("C:\\WINDOWS\\system32\\drivers\\phone.sys"));
  EXPECT_EQ(machine.lastError, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(plat::CopyFileA("D:\\Drivers\\phone.sys",
                               "C:\\WINDOWS\\system32\\drivers\\phone.sys", FALSE));
  EXPECT_EQ(machine.lastError, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  // Reading it is allowed: the holder shares reading.
  EXPECT_TRUE(plat::CopyFileA("C:\\WINDOWS\\system32\\drivers\\phone.sys", "C:\\copy.sys", TRUE));
  ASSERT_TRUE(files.ReleaseHold("C:\\WINDOWS\\system32\\drivers\\phone.sys"));
  EXPECT_TRUE(plat::DeleteFileA("C:\\WINDOWS\\system32\\drivers\\phone.sys"));
  EXPECT_FALSE(files.FileExists("C:\\WINDOWS\\system32\\drivers\\phone.sys"));
}

TEST(FileSystem, SearchAndFileHandlesAreCountedUntilClosed) {
  Machine& machine = ResetMachine();
  WIN32_FIND_DATAA data;
  HANDLE search = plat::FindFirstFileA("C:\\WINDOWS\\INF\\*.inf", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(machine.handles.OpenCount(HandleKind::FindSearch), 1u);
  EXPECT_TRUE(plat::FindClose(search));
  EXPECT_FALSE(plat::FindClose(search));
  EXPECT_EQ(machine.lastError, static_cast<uint32_t>(ERROR_INVALID_HANDLE));
  HANDLE file = plat::CreateFileA("C:\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(machine.handles.OpenCount(HandleKind::File), 1u);
  EXPECT_TRUE(machine.files.CloseFileHandle(reinterpret_cast<uintptr_t>(file)));
  EXPECT_FALSE(machine.files.CloseFileHandle(reinterpret_cast<uintptr_t>(file)));
  // A search at the root lists no "." and ".." entries.
  search = plat::FindFirstFileA("C:\\*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STRNE(data.cFileName, ".");
  plat::FindClose(search);
}

TEST(FileSystem, ModuleFileNameOnVistaAndLaterKeepsRoomForTheTerminator) {
  MachineOptions options;
  options.version = WindowsVersion::Windows7;
  Machine& machine = ResetMachine(options);
  char cut[8];
  std::memset(cut, 'x', sizeof cut);
  machine.lastError = 0;
  EXPECT_EQ(plat::GetModuleFileNameA(nullptr, cut, 6), 6u);
  EXPECT_STREQ(cut, "D:\\US");
  EXPECT_EQ(machine.lastError, static_cast<uint32_t>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(cut[6], 'x');
}

TEST(FileSystem, ProfileFileWithoutAFolderIsInTheWindowsFolder) {
  Machine& machine = ResetMachine();
  ASSERT_TRUE(machine.files.WriteFile("C:\\WINDOWS\\brand.ini", "[S]\r\nK=windows\r\n"));
  char value[16];
  EXPECT_EQ(plat::GetPrivateProfileStringA("S", "K", "", value, sizeof value, "brand.ini"), 7u);
  EXPECT_STREQ(value, "windows");
  ASSERT_TRUE(plat::WritePrivateProfileStringA("S", "New", "1", "C:\\WINDOWS\\brand.ini"));
  EXPECT_EQ(*machine.files.ReadFile("C:\\WINDOWS\\brand.ini"), "[S]\r\nK=windows\r\nNew=1\r\n");
}

}  // namespace
}  // namespace sim
