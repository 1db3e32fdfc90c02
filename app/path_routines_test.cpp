#include "app/path_routines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "install/path_building.h"
#include "tests/sim_test_support.h"

namespace {

// "表" in code page 932: its trail byte is a backslash.
const char kTable932[] = "\x95\x5C";

class PathRoutines : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::MachineOptions options;
    options.codePage = 932;
    FreshMachine(options);
  }
};

TEST_F(PathRoutines, ByteKindAtFollowsLeadAndTrailBytes) {
  std::string text = std::string("a") + kTable932 + "b";
  EXPECT_EQ(ByteKindAt(text.c_str(), -1), 0);
  EXPECT_EQ(ByteKindAt(text.c_str(), 0), 0);
  EXPECT_EQ(ByteKindAt(text.c_str(), 1), 1);
  EXPECT_EQ(ByteKindAt(text.c_str(), 2), 2);
  EXPECT_EQ(ByteKindAt(text.c_str(), 3), 0);
}

TEST_F(PathRoutines, CopyBoundedCutsAtTheLimitWithoutSplittingACharacter) {
  std::string source(300, 'x');
  char destination[kPathCapacity + 8];
  std::memset(destination, '#', sizeof(destination));
  int length = -1;
  EXPECT_EQ(CopyBounded(destination, source.c_str(), kPathLimit, &length), 0);
  EXPECT_EQ(length, 260);
  EXPECT_EQ(std::string(destination), std::string(260, 'x'));
  EXPECT_EQ(destination[261], '#');  // nothing written past the terminator

  // Position 260 is the trail byte of a double-byte character: 259 bytes go in.
  std::string split = std::string(259, 'x') + kTable932 + "yyy";
  EXPECT_EQ(CopyBounded(destination, split.c_str(), kPathLimit, &length), 0);
  EXPECT_EQ(length, 259);
  EXPECT_EQ(std::string(destination), std::string(259, 'x'));

  EXPECT_EQ(CopyBounded(destination, "C:\\dir", kPathLimit, &length), 1);
  EXPECT_EQ(length, 6);
  EXPECT_EQ(CopyBounded(destination, "abc", 0, nullptr), 0);
  EXPECT_STREQ(destination, "");
}

TEST_F(PathRoutines, AppendBoundedKeepsTheWholeTextWithinTheLimit) {
  char destination[kPathCapacity] = "C:\\WINDOWS";
  int length = 0;
  EXPECT_EQ(AppendBounded(destination, "\\INF", kPathLimit, &length), 1);
  EXPECT_STREQ(destination, "C:\\WINDOWS\\INF");
  EXPECT_EQ(length, 14);

  std::string base(255, 'a');
  std::strcpy(destination, base.c_str());
  // Room for 5 bytes: "bbbb" and the lead byte would fit, the trail byte not.
  std::string tail = std::string("bbbb") + kTable932;
  EXPECT_EQ(AppendBounded(destination, tail.c_str(), kPathLimit, &length), 0);
  EXPECT_EQ(length, 259);
  EXPECT_EQ(std::string(destination), base + "bbbb");

  // A destination already past the limit is left alone.
  std::string longer(8, 'z');
  char small[16];
  std::strcpy(small, longer.c_str());
  EXPECT_EQ(AppendBounded(small, "q", 4, &length), 1);
  EXPECT_EQ(length, 8);
  EXPECT_STREQ(small, "zzzzzzzz");
}

TEST_F(PathRoutines, AppendAndStripTrailingBackslash) {
  char path[kPathCapacity] = "C:\\dir\\";
  EXPECT_EQ(AppendBackslash(path, kPathCapacity), 0);
  EXPECT_STREQ(path, "C:\\dir\\");
  char empty[kPathCapacity] = "";
  EXPECT_EQ(AppendBackslash(empty, kPathCapacity), 0);
  EXPECT_STREQ(empty, "");
  char dir[kPathCapacity] = "C:\\dir";
  EXPECT_EQ(AppendBackslash(dir, kPathCapacity), 1);
  EXPECT_STREQ(dir, "C:\\dir\\");
  std::string full(260, 'a');
  char fullPath[kPathCapacity];
  std::strcpy(fullPath, full.c_str());
  EXPECT_EQ(AppendBackslash(fullPath, kPathCapacity), 0);  // no room for the backslash

  char root[] = "C:\\";
  EXPECT_EQ(StripTrailingBackslash(root), 1);
  EXPECT_STREQ(root, "C:\\");
  char withSlash[] = "C:\\dir\\";
  EXPECT_EQ(StripTrailingBackslash(withSlash), 1);
  EXPECT_STREQ(withSlash, "C:\\dir");
  char without[] = "C:\\dir";
  EXPECT_EQ(StripTrailingBackslash(without), 0);
  // The last byte is the trail byte of "表", not a path separator.
  std::string dbcs = std::string("C:\\") + kTable932;
  std::vector<char> dbcsPath(dbcs.begin(), dbcs.end());
  dbcsPath.push_back('\0');
  EXPECT_EQ(StripTrailingBackslash(dbcsPath.data()), 0);
  EXPECT_EQ(std::string(dbcsPath.data()), dbcs);
}

// A folder ending in "表" once got no separator, so a file joined to it
// named another file ("C:\表name" for "C:\表\name").
TEST_F(PathRoutines, AppendBackslashAfterATrailByteThatLooksLikeOne) {
  char folder[kPathCapacity];
  std::snprintf(folder, sizeof folder, "C:\\%s", kTable932);
  EXPECT_EQ(AppendBackslash(folder, kPathCapacity), 1);
  EXPECT_EQ(std::string(folder), std::string("C:\\") + kTable932 + "\\");
  char joined[kPathCapacity];
  std::snprintf(folder, sizeof folder, "C:\\%s", kTable932);
  EXPECT_EQ(JoinPath(joined, folder, "oem3.inf"), 1);
  EXPECT_EQ(std::string(joined), std::string("C:\\") + kTable932 + "\\oem3.inf");
}

TEST_F(PathRoutines, ReplaceExtensionFindsTheLastDotEvenInAFolderName) {
  char inf[kPathCapacity] = "C:\\INF\\oem7.inf";
  EXPECT_EQ(ReplaceExtension(inf, ".PNF", kPathLimit), 1);
  EXPECT_STREQ(inf, "C:\\INF\\oem7.PNF");
  char folderDot[kPathCapacity] = "C:\\a.b\\file";
  EXPECT_EQ(ReplaceExtension(folderDot, ".PNF", kPathLimit), 1);
  EXPECT_STREQ(folderDot, "C:\\a.PNF");
  char noDot[kPathCapacity] = "file";
  EXPECT_EQ(ReplaceExtension(noDot, ".PNF", kPathLimit), 1);
  EXPECT_STREQ(noDot, "file.PNF");
  char empty[kPathCapacity] = "";
  EXPECT_EQ(ReplaceExtension(empty, ".PNF", kPathLimit), 0);
  // A full path without a dot cannot grow past the limit.
  std::string full(260, 'a');
  char fullPath[kPathCapacity];
  std::strcpy(fullPath, full.c_str());
  EXPECT_EQ(ReplaceExtension(fullPath, ".PNF", kPathLimit), 1);
  EXPECT_EQ(std::string(fullPath), full);
}

TEST_F(PathRoutines, GetProgramFolderKeepsTheLastSingleByteBackslash) {
  struct Case {
    const char* programPath;
    const char* folder;
  };
  const Case cases[] = {
      {"E:\\setup.exe", "E:\\"},
      {"D:\\CD\\SETUP\\USBINST.EXE", "D:\\CD\\SETUP\\"},
  };
  for (const Case& c : cases) {
    sim::MachineOptions options;
    options.programPath = c.programPath;
    FreshMachine(options);
    char folder[kPathCapacity];
    EXPECT_EQ(GetProgramFolder(folder, kPathCapacity), 1);
    EXPECT_STREQ(folder, c.folder);
  }
}

TEST_F(PathRoutines, GetProgramFolderRefusesAPathThatDoesNotFit) {
  sim::MachineOptions options;
  options.programPath = "D:\\" + std::string(40, 'p') + "\\USBINST.EXE";
  FreshMachine(options);
  char folder[32];
  std::memset(folder, '#', sizeof(folder));
  EXPECT_EQ(GetProgramFolder(folder, sizeof(folder)), 0);
  EXPECT_STREQ(folder, "");

  sim::Machine& machine = FreshMachine();
  machine.faults.FailOn("GetModuleFileNameA", 1, ERROR_INVALID_HANDLE);
  char failed[kPathCapacity] = "stale";
  EXPECT_EQ(GetProgramFolder(failed, kPathCapacity), 0);
  EXPECT_STREQ(failed, "");
}

TEST_F(PathRoutines, GetProgramFolderSkipsATrailByteThatLooksLikeABackslash) {
  sim::MachineOptions options;
  options.codePage = 932;
  options.programPath = std::string("D:\\CD") + kTable932 + "SETUP.EXE";
  FreshMachine(options);
  char folder[kPathCapacity];
  EXPECT_EQ(GetProgramFolder(folder, kPathCapacity), 1);
  EXPECT_STREQ(folder, "D:\\");
}

}  // namespace
