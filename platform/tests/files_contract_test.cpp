// What the installer relies on from the file-system operations, checked the same
// way on the simulated machine and on Windows (under Wine). Every case works in
// the scratch folder; a call that must fail is preceded by SetLastError(0xdeadbeef)
// and both its result and its error code are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tests/contract_files_env.h"

namespace {

bool OnWine() { return !ContractOnSimulatedMachine(); }

class FilesContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetContractMachine();
    folder_ = ContractScratchFolder();
  }
  std::string Path(const std::string& name) const { return folder_ + name; }

  // The names a search finds, sorted (Wine lists in the host's order).
  static std::vector<std::string> Find(const std::string& pattern, DWORD* error) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    ContractSetLastError(0xdeadbeef);
    HANDLE search = plat::FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
      *error = ContractLastError();
      return names;
    }
    do {
      names.push_back(data.cFileName);
    } while (plat::FindNextFileA(search, &data));
    *error = ContractLastError();
    EXPECT_TRUE(plat::FindClose(search));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string folder_;
};

TEST_F(FilesContract, AttributesTellFilesFromFoldersAndMissingFileFromMissingFolder) {
  ASSERT_TRUE(PlantFile(Path("a.txt"), "abc"));
  DWORD attributes = plat::GetFileAttributesA(Path("a.txt").c_str());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  // Microsoft ("File Attribute Constants"): FILE_ATTRIBUTE_NORMAL is a file
  // without other attributes, and is reported alone. Wine reports every file
  // as FILE_ATTRIBUTE_ARCHIVE besides what was set.
  DWORD wineExtra = SimElseWine<DWORD>(0, FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(plat::SetFileAttributesA(Path("a.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(plat::GetFileAttributesA(Path("a.txt").c_str()),
            SimElseWine<DWORD>(FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(plat::SetFileAttributesA(Path("a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(plat::GetFileAttributesA(Path("a.txt").c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY) | wineExtra);
  std::string folder = folder_.substr(0, folder_.size() - 1);
  EXPECT_NE(plat::GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  ContractSetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileAttributesA(Path("missing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ContractSetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileAttributesA(Path("nofolder\\missing.txt").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::SetFileAttributesA(Path("missing.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesContract, DeleteRefusesFoldersAndReadOnlyFilesAndReportsWhatIsMissing) {
  ASSERT_TRUE(PlantFile(Path("ro.sys"), "driver"));
  ASSERT_TRUE(plat::SetFileAttributesA(Path("ro.sys").c_str(), FILE_ATTRIBUTE_READONLY));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::DeleteFileA(Path("ro.sys").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(plat::SetFileAttributesA(Path("ro.sys").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(plat::DeleteFileA(Path("ro.sys").c_str()));
  EXPECT_EQ(plat::GetFileAttributesA(Path("ro.sys").c_str()), INVALID_FILE_ATTRIBUTES);

  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::DeleteFileA(Path("ro.sys").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::DeleteFileA(Path("nofolder\\ro.sys").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  ASSERT_TRUE(plat::CreateDirectoryA(Path("sub").c_str(), nullptr));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::DeleteFileA(Path("sub").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FilesContract, FileOpenWithoutDeleteSharingCannotBeDeletedUntilClosed) {
  ASSERT_TRUE(PlantFile(Path("busy.dll"), "code"));
  HANDLE file = plat::CreateFileA(Path("busy.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::DeleteFileA(Path("busy.dll").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CopyFileA(Path("busy.dll").c_str(), Path("busy.dll").c_str(), FALSE));
  EXPECT_TRUE(ContractCloseFile(file));
  EXPECT_TRUE(plat::DeleteFileA(Path("busy.dll").c_str()));
}

TEST_F(FilesContract, CopyOverwritesOrRefusesAsAskedAndKeepsTheSourceAttributes) {
  ASSERT_TRUE(PlantFile(Path("src.inf"), "new contents"));
  ASSERT_TRUE(PlantFile(Path("dst.inf"), "old"));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CopyFileA(Path("src.inf").c_str(), Path("dst.inf").c_str(), TRUE));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadWholeFile(Path("dst.inf")), "old");
  EXPECT_TRUE(plat::CopyFileA(Path("src.inf").c_str(), Path("dst.inf").c_str(), FALSE));
  EXPECT_EQ(ReadWholeFile(Path("dst.inf")), "new contents");

  ASSERT_TRUE(plat::SetFileAttributesA(Path("dst.inf").c_str(), FILE_ATTRIBUTE_READONLY));
  ContractSetLastError(0xdeadbeef);
  BOOL copied = plat::CopyFileA(Path("src.inf").c_str(), Path("dst.inf").c_str(), FALSE);
  DWORD error = ContractLastError();
  // Microsoft (CopyFile): with bFailIfExists FALSE, a destination that is
  // read-only makes the call fail with ERROR_ACCESS_DENIED. Wine keeps the
  // attribute as the Unix write permission, which the root user overrides:
  // Wine run as root overwrites the file (and clears the last error).
  bool overwrites = OnWine() && ContractWineRunsAsRoot();
  EXPECT_EQ(copied, overwrites ? TRUE : FALSE);
  EXPECT_EQ(error, overwrites ? DWORD(ERROR_SUCCESS) : static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(plat::SetFileAttributesA(Path("dst.inf").c_str(), FILE_ATTRIBUTE_NORMAL));

  // A read-only source (a file from the CD) gives a read-only copy.
  ASSERT_TRUE(plat::SetFileAttributesA(Path("src.inf").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(plat::CopyFileA(Path("src.inf").c_str(), Path("new.inf").c_str(), FALSE));
  EXPECT_NE(plat::GetFileAttributesA(Path("new.inf").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  plat::SetFileAttributesA(Path("new.inf").c_str(), FILE_ATTRIBUTE_NORMAL);
  plat::SetFileAttributesA(Path("src.inf").c_str(), FILE_ATTRIBUTE_NORMAL);

  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CopyFileA(Path("none.inf").c_str(), Path("x.inf").c_str(), FALSE));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CopyFileA(Path("src.inf").c_str(), Path("nofolder\\x.inf").c_str(), FALSE));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesContract, SearchFollowsWindowsWildcardsAndListsDotEntriesInAFolder) {
  for (const char* name : {"oem1.inf", "oem12.inf", "OEM2.INF", "oem1.pnf", "readme", "a.b.inf"}) {
    ASSERT_TRUE(PlantFile(Path(name), "x")) << name;
  }
  DWORD error = 0;
  EXPECT_EQ(Find(Path("oem*.inf"), &error),
            (std::vector<std::string>{"OEM2.INF", "oem1.inf", "oem12.inf"}));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(Find(Path("oem?.inf"), &error), (std::vector<std::string>{"OEM2.INF", "oem1.inf"}));
  EXPECT_EQ(Find(Path("*.inf"), &error),
            (std::vector<std::string>{"OEM2.INF", "a.b.inf", "oem1.inf", "oem12.inf"}));
  EXPECT_EQ(Find(Path("OEM1.*"), &error), (std::vector<std::string>{"oem1.inf", "oem1.pnf"}));
  EXPECT_EQ(Find(Path("readme"), &error), std::vector<std::string>{"readme"});
  std::vector<std::string> all = Find(Path("*"), &error);
  EXPECT_EQ(all.size(), 8u);
  EXPECT_EQ(all[0], ".");
  EXPECT_EQ(all[1], "..");
  EXPECT_EQ(Find(Path("*.*"), &error), all);

  EXPECT_TRUE(Find(Path("*.sys"), &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Find(Path("nofolder\\*.inf"), &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// A search also matches each file's short 8.3 name (Microsoft's Raymond Chen,
// "Why does FindFirstFile find short names?", 2005: "*.htm" finds "x.html"
// through X~1.HTM): a backup named "oem12.info" is found by "oem*.inf" through
// OEM12~1.INF, and the caller must look at the long name it gets.
TEST_F(FilesContract, SearchAlsoMatchesShortNames) {
  ASSERT_TRUE(PlantFile(Path("oem12.info"), "x"));
  ASSERT_TRUE(PlantFile(Path("oem3.inf"), "x"));
  DWORD error = 0;
  EXPECT_EQ(Find(Path("oem*.inf"), &error),
            (std::vector<std::string>{"oem12.info", "oem3.inf"}));
  WIN32_FIND_DATAA data;
  HANDLE search = plat::FindFirstFileA(Path("oem12.info").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::string shortName = data.cAlternateFileName;
  EXPECT_TRUE(plat::FindClose(search));
  // Windows names it OEM12~1.INF; Wine makes up an alias of the first four
  // characters, '~' and three hashed ones, with the extension cut to three
  // ("OEM1~3PU.INF").
  if (OnWine()) {
    EXPECT_EQ(shortName.size(), 12u) << shortName;
    EXPECT_EQ(shortName.substr(0, 5), "OEM1~") << shortName;
    EXPECT_EQ(shortName.substr(8), ".INF") << shortName;
  } else {
    EXPECT_EQ(shortName, "OEM12~1.INF");
  }
}

TEST_F(FilesContract, SearchHandleEndsWithNoMoreFilesAndClosesOnce) {
  ASSERT_TRUE(PlantFile(Path("only.inf"), "x"));
  WIN32_FIND_DATAA data;
  HANDLE search = plat::FindFirstFileA(Path("only.inf").c_str(), &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "only.inf");
  EXPECT_EQ(data.nFileSizeLow, 1u);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::FindNextFileA(search, &data));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(plat::FindClose(search));
}

TEST_F(FilesContract, FoldersAreCreatedOnceAndRemovedOnlyWhenEmpty) {
  ASSERT_TRUE(plat::CreateDirectoryA(Path("dir").c_str(), nullptr));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CreateDirectoryA(Path("dir").c_str(), nullptr));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CreateDirectoryA(Path("none\\dir").c_str(), nullptr));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  ASSERT_TRUE(PlantFile(Path("dir\\f.txt"), "x"));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::RemoveDirectoryA(Path("dir").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  ASSERT_TRUE(plat::DeleteFileA(Path("dir\\f.txt").c_str()));
  EXPECT_TRUE(plat::RemoveDirectoryA(Path("dir").c_str()));
  ContractSetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::RemoveDirectoryA(Path("dir").c_str()));
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesContract, CreateFileDispositionsAndContents) {
  ContractSetLastError(0xdeadbeef);
  HANDLE file = plat::CreateFileA(Path("none.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  0, nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(PlantFile(Path("data.bin"), std::string("a\0b", 3)));
  ContractSetLastError(0xdeadbeef);
  file = plat::CreateFileA(Path("data.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                           nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadWholeFile(Path("data.bin")), std::string("a\0b", 3));
  file = plat::CreateFileA(Path("data.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ContractLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(ContractCloseFile(file));
  EXPECT_EQ(ReadWholeFile(Path("data.bin")), "");
}

TEST_F(FilesContract, WindowsFoldersReportTheirLengthOrTheSizeTheyNeed) {
  char windows[MAX_PATH + 1];
  UINT length = plat::GetWindowsDirectoryA(windows, sizeof windows);
  ASSERT_GT(length, 2u);
  EXPECT_EQ(length, std::strlen(windows));
  EXPECT_EQ(windows[1], ':');
  char small[4];
  EXPECT_EQ(plat::GetWindowsDirectoryA(small, sizeof small), length + 1);
  EXPECT_EQ(plat::GetWindowsDirectoryA(windows, length), length + 1);
  EXPECT_EQ(plat::GetWindowsDirectoryA(windows, length + 1), length);

  char system[MAX_PATH + 1];
  UINT systemLength = plat::GetSystemDirectoryA(system, sizeof system);
  EXPECT_EQ(systemLength, std::strlen(system));
  EXPECT_EQ(std::string(system).substr(0, length + 1), std::string(windows) + "\\");
  EXPECT_EQ(plat::GetSystemDirectoryA(system, systemLength), systemLength + 1);
  EXPECT_NE(plat::GetFileAttributesA(system) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// kernel32 has GetSystemWindowsDirectoryA (Windows 2000 and later; the
// contract machines are XP and Wine's Windows 7), found by name as the
// program finds it; on a machine without Terminal Services it names the same
// folder as GetWindowsDirectoryA ("GetSystemWindowsDirectory").
TEST_F(FilesContract, TheSharedWindowsFolderIsTheWindowsFolderForOneUser) {
  HMODULE kernel = plat::GetModuleHandleA("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  auto shared = reinterpret_cast<plat::GetSystemWindowsDirectoryAProc>(
      reinterpret_cast<void (*)()>(plat::GetProcAddress(kernel, "GetSystemWindowsDirectoryA")));
  ASSERT_NE(shared, nullptr);
  char windows[MAX_PATH + 1];
  char sharedFolder[MAX_PATH + 1];
  UINT length = plat::GetWindowsDirectoryA(windows, sizeof windows);
  ASSERT_GT(length, 2u);
  EXPECT_EQ(shared(sharedFolder, sizeof sharedFolder), length);
  EXPECT_STREQ(sharedFolder, windows);
  char small[4];
  EXPECT_EQ(shared(small, sizeof small), length + 1);
}

TEST_F(FilesContract, ModuleFileNameIsTheProgramAndIsCutToASmallBuffer) {
  char path[MAX_PATH + 1];
  DWORD length = plat::GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(length, std::strlen(path));
  EXPECT_NE(plat::GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);

  char cut[8];
  std::memset(cut, 'x', sizeof cut);
  ContractSetLastError(0xdeadbeef);
  DWORD cutLength = plat::GetModuleFileNameA(nullptr, cut, 6);
  DWORD error = ContractLastError();
  EXPECT_EQ(cutLength, 6u);
  // Microsoft (GetModuleFileName): on Windows XP a name that does not fit is
  // cut to the buffer's size without a terminator and the last error is not
  // set; Wine also sets ERROR_INSUFFICIENT_BUFFER, as Windows Vista and later
  // do.
  EXPECT_EQ(std::memcmp(cut, path, 6), 0);
  EXPECT_EQ(cut[6], 'x');
  EXPECT_EQ(error, SimElseWine<DWORD>(0xdeadbeef, ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
