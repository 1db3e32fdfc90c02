#include "preview/folder_listing_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "preview/input_text.h"
#include "preview/registry_export_reader.h"
#include "tests/trace/snapshot_entry.h"

namespace preview {
namespace {

// UTF-16 little-endian, as cmd /u writes it (no byte-order mark).
std::string Utf16(const std::string& utf8) {
  std::u16string text;
  EXPECT_TRUE(FromUtf8(utf8, &text));
  std::string bytes;
  for (char16_t c : text) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  return bytes;
}

std::string EntryLines(const MachineInput& input) {
  std::string lines;
  for (const auto& [path, entry] : input.entries) lines += trace::FormatEntryLine(entry) + "\n";
  return lines;
}

const char kListing[] =
    "C:\\Windows\\inf\\oem3.inf\r\n"
    "C:\\Windows\\inf\\\u0151.PNF\r\n"
    "c:\\WINDOWS\\INF\\mdmgen.inf\r\n"
    "C:\\Windows\\system32\\drivers\\usbser.sys\r\n";

const char kExpected[] =
    "D\tC:\\Windows\t\n"
    "D\tC:\\Windows\\inf\t\n"
    "F\tC:\\Windows\\inf\\%F5.PNF\t\n"
    "F\tC:\\Windows\\inf\\mdmgen.inf\t\n"
    "F\tC:\\Windows\\inf\\oem3.inf\t\n"
    "D\tC:\\Windows\\system32\t\n"
    "D\tC:\\Windows\\system32\\drivers\t\n"
    "F\tC:\\Windows\\system32\\drivers\\usbser.sys\t\n";

TEST(FolderListingReader, ReadsEachEncodingIntoFilesAndTheirFolders) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"cmd /u: UTF-16 without a byte-order mark", Utf16(kListing)},
      {"PowerShell 5: UTF-16 with a byte-order mark", "\xFF\xFE" + Utf16(kListing)},
      {"UTF-8 with a byte-order mark, LF, a blank line", "\xEF\xBB\xBF" + std::string(kListing) + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(LooksLikeFolderListing(c.bytes));
    EXPECT_FALSE(LooksLikeRegistryExport(c.bytes));
    MachineInput input;
    std::string error;
    ASSERT_TRUE(ReadFolderListing(c.bytes, &input, &error)) << error;
    EXPECT_EQ(EntryLines(input), kExpected);
    ASSERT_EQ(input.notes.size(), 1u);
    EXPECT_NE(input.notes[0].find("4 files, known by name only"), std::string::npos);
  }
}

TEST(FolderListingReader, ReadsWinesCmdUListing) {
  std::ifstream file(USBINST_SOURCE_DIR "/tests/data/exports/wine-cmd-u-listing.txt",
                     std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  ASSERT_TRUE(LooksLikeFolderListing(bytes.str()));
  MachineInput input;
  std::string error;
  ASSERT_TRUE(ReadFolderListing(bytes.str(), &input, &error)) << error;
  ASSERT_EQ(input.entries.size(), 11u);
  EXPECT_EQ(input.entries.begin()->second.path, "C:\\windows");
  EXPECT_EQ(input.entries.count("C:\\windows\\inf\\winebus.inf"), 1u);
  EXPECT_EQ(input.entries.at("C:\\windows\\inf\\winebus.inf").kind, 'F');
}

TEST(FolderListingReader, KeepsWhatAnEarlierSnapshotSaidOfAFile) {
  MachineInput input;
  input.entries["C:\\windows\\inf"] = {'D', "C:\\windows\\inf", "attr=0x00000010"};
  input.entries["C:\\windows\\inf\\oem3.inf"] = {'F', "C:\\windows\\inf\\oem3.inf", "size=3"};
  std::string error;
  ASSERT_TRUE(ReadFolderListing("C:\\Windows\\inf\\OEM3.inf\nC:\\Windows\\inf\\\xE2\x9C\x93.inf\n",
                                &input, &error))
      << error;
  EXPECT_EQ(EntryLines(input),
            "D\tC:\\Windows\t\n"
            "D\tC:\\windows\\inf\tattr=0x00000010\n"
            "F\tC:\\windows\\inf\\?.inf\t\n"
            "F\tC:\\windows\\inf\\oem3.inf\tsize=3\n");
  EXPECT_NE(input.notes.back().find("became '?'"), std::string::npos);
}

TEST(FolderListingReader, RefusesHostileInputNamingTheLineAndLeavesTheInputAlone) {
  const std::string good = "C:\\Windows\\inf\\a.inf\r\n";
  const struct {
    const char* name;
    std::string bytes;
    const char* fragment;
  } cases[] = {
      {"dir without /b", " Volume in drive C is OS\r\n", "line 1: not a full path"},
      {"dir without /a-d", "C:\\Windows\\inf\\sub\r\nC:\\Windows\\inf\\sub\\a.inf\r\n",
       "line 2: C:\\Windows\\inf\\sub is a file in one place and a folder"},
      {"the console's OEM code page", good + "C:\\Windows\\inf\\\x8B.inf\r\n",
       "line 2: a byte that is not UTF-8"},
      {"a character dir could not write", good + "C:\\Windows\\inf\\?.inf", "line 2: a '?'"},
      {"two backslashes", good + "C:\\Windows\\\\a.inf", "line 2: an empty name"},
      {"a trailing backslash", good + "C:\\Windows\\", "line 2: an empty name"},
      {"a character no name holds", "C:\\Windows\\a<b", "line 1: a character no file name"},
      {"a name too long", "C:\\" + std::string(256, 'n'), "a name of 256 characters"},
      {"a path too long", "C:\\" + std::string(40000, '\\'), "a path longer than the 32767"},
      {"NUL inside a line", Utf16(good) + std::string("C\0\0\0", 4), "line 2: a NUL character"},
      {"UTF-16 big-endian", std::string("\0C\0:", 4), "UTF-16 big-endian"},
      {"UTF-16 cut in half a character", Utf16(good + good) + "C", "line 3: the file ends in half"},
      {"a last line cut short", good + "C:\\Windows\\inf\\oem3.i", "line 2: the last line has no"},
      {"no file at all", "\r\n\r\n", "names no file"},
      {"a file too big", good + std::string(kMaxListingBytes, ' '), "more than the 64 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MachineInput input;
    input.entries["C:\\Before"] = {'D', "C:\\Before", ""};
    std::string error;
    EXPECT_FALSE(ReadFolderListing(c.bytes, &input, &error));
    EXPECT_NE(error.find(c.fragment), std::string::npos) << error;
    EXPECT_EQ(EntryLines(input), "D\tC:\\Before\t\n");
    EXPECT_TRUE(input.notes.empty());
  }
}

}  // namespace
}  // namespace preview
