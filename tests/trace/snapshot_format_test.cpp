#include <gtest/gtest.h>

#include <sstream>

#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_entry.h"
#include "tests/trace/snapshot_escape.h"

namespace trace {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

TEST(SnapshotEscape, EveryByteSurvivesARoundTripAndTheTextIsAsciiSafe) {
  for (auto escape : {EscapeName, EscapeData}) {
    std::string escaped = escape(AllBytes());
    EXPECT_TRUE(IsAsciiSafe(escaped));
    EXPECT_EQ(escaped.find('\t'), std::string::npos);
    std::string raw;
    ASSERT_TRUE(UnescapeBytes(escaped, &raw));
    EXPECT_EQ(raw, AllBytes());
  }
}

TEST(SnapshotEscape, NamesHideSeparatorsAndWildcardsDataKeepsThemReadable) {
  EXPECT_EQ(EscapeName("a\\b|c*d\"e%f g"), "a%5Cb%7Cc%2Ad%22e%25f g");
  EXPECT_EQ(EscapeData("C:\\windows\\inf|*\"%"), "C:\\windows\\inf|*%22%25");
  EXPECT_EQ(EscapeName("\xF5r\xFClet"), "%F5r%FClet");  // code page 1250 letters
}

TEST(SnapshotEscape, RejectsTextNoEscapingCanHaveWritten) {
  std::string raw;
  for (const char* bad : {"50%", "50%4", "%G0", "a\tb", "\x80", "end%"}) {
    EXPECT_FALSE(UnescapeBytes(bad, &raw)) << bad;
  }
  EXPECT_TRUE(UnescapeBytes("%2a%2A", &raw));
  EXPECT_EQ(raw, "**");
}

TEST(EntryDetail, ValueTypesAndData) {
  using namespace std::string_literals;
  EXPECT_EQ(FormatValueDetail(1, "C:\\x\0"s), "REG_SZ \"C:\\x\"");
  EXPECT_EQ(FormatValueDetail(1, "ab"), "REG_SZ \"ab\" unterminated");
  EXPECT_EQ(FormatValueDetail(1, ""), "REG_SZ \"\" unterminated");
  EXPECT_EQ(FormatValueDetail(7, "a\0b\0\0"s), "REG_MULTI_SZ \"a%00b%00\"");
  EXPECT_EQ(FormatValueDetail(2, "%SystemRoot%\0"s), "REG_EXPAND_SZ \"%25SystemRoot%25\"");
  EXPECT_EQ(FormatValueDetail(4, "\x01\x02\x00\x80"s), "REG_DWORD 0x80000201");
  EXPECT_EQ(FormatValueDetail(4, "\x01\x02"s), "REG_DWORD hex:0102");
  EXPECT_EQ(FormatValueDetail(11, "\x01\0\0\0\0\0\0\xff"s), "REG_QWORD 0xff00000000000001");
  EXPECT_EQ(FormatValueDetail(3, ""), "REG_BINARY hex:");
  EXPECT_EQ(FormatValueDetail(3, "\x00\xff\x10"s), "REG_BINARY hex:00ff10");
  EXPECT_EQ(FormatValueDetail(0x1234, "\x7f"), "type 0x00001234 hex:7f");
  EXPECT_EQ(FormatUnreadable(5), "unreadable 5");
}

// Every type and data read back from its detail gives the same type and
// bytes; text no formatting can have written is refused.
TEST(EntryDetail, ValueDetailsReadBackToTheirTypeAndData) {
  using namespace std::string_literals;
  const std::pair<uint32_t, std::string> kValues[] = {
      {1, "C:\\x\0"s}, {1, "ab"}, {1, ""}, {1, "\0"s}, {2, "%SystemRoot%\0"s},
      {6, "\\Registry\\Machine"}, {7, "a\0b\0\0"s}, {7, "a\0"s}, {4, "\x01\x02\x00\x80"s},
      {4, "\x01\x02"s}, {4, ""}, {11, "\x01\0\0\0\0\0\0\xff"s}, {11, "1234"},
      {3, ""}, {3, AllBytes()}, {0, "\"quoted\""}, {0x1234, "\x7f"}, {0xFFFFFFFF, "x\0"s}};
  for (const auto& [type, data] : kValues) {
    std::string detail = FormatValueDetail(type, data);
    uint32_t readType = 0;
    std::string readData = "stale";
    ASSERT_TRUE(ParseValueDetail(detail, &readType, &readData)) << detail;
    EXPECT_EQ(readType, type) << detail;
    EXPECT_EQ(readData, data) << detail;
  }
  uint32_t type = 0;
  std::string data;
  for (const char* bad :
       {"", "REG_SZ", "REG_SZ ab", "REG_SZ \"a", "REG_SZ \"a\" extra", "REG_SZ \"a\tb\"",
        "REG_DWORD 0x1", "REG_DWORD hex:01020304", "REG_QWORD 0x00000001", "REG_BINARY 0x01",
        "REG_BINARY hex:0", "REG_BINARY hex:zz", "REG_SOMETHING hex:", "type 0x1 ", "type x hex:",
        "REG_SZ  \"a\""}) {
    EXPECT_FALSE(ParseValueDetail(bad, &type, &data)) << bad;
  }
}

TEST(EntryDetail, FnvHashAndFileDetail) {
  EXPECT_EQ(Fnv1a64(kFnvOffsetBasis, "", 0), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1a64(kFnvOffsetBasis, "a", 1), 0xaf63dc4c8601ec8cull);
  // Fed in pieces, as a file is read in chunks, the hash is the same.
  EXPECT_EQ(Fnv1a64(Fnv1a64(kFnvOffsetBasis, "foo", 3), "bar", 3),
            Fnv1a64(kFnvOffsetBasis, "foobar", 6));
  EXPECT_EQ(FormatFileDetail(5000000000ull, 0xaf63dc4c8601ec8cull, 0x21),
            "size=5000000000 fnv=af63dc4c8601ec8c attr=0x00000021");
  uint64_t size = 0, hash = 0;
  uint32_t attributes = 0;
  ASSERT_TRUE(ParseFileDetail("size=5000000000 fnv=af63dc4c8601ec8c attr=0x00000021", &size,
                              &hash, &attributes));
  EXPECT_EQ(size, 5000000000ull);
  EXPECT_EQ(hash, 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(attributes, 0x21u);
  for (const char* bad : {"size=1 fnv=0 attr=0x1", "size=1 fnv=af63dc4c8601ec8c attr=0x00000021 ",
                          "size=-1 fnv=af63dc4c8601ec8c attr=0x00000021", ""}) {
    EXPECT_FALSE(ParseFileDetail(bad, &size, &hash, &attributes)) << bad;
  }
}

TEST(SnapshotFile, WrittenInTreeOrderAndReadBack) {
  std::vector<Entry> entries = {
      {'K', "HKLM\\A\\B", ""},
      {'V', "HKLM\\A|x", "REG_SZ \"1\""},
      {'K', "HKLM\\A B", ""},
      {'K', "HKLM\\a", "unreadable 5"},  // differs from HKLM\A only in case
      {'K', "HKLM\\A", ""},
      {'V', "HKLM\\A|", "REG_DWORD 0x00000001"},
      {'L', "HKLM\\A\\Link", "\\Registry\\Machine\\System\\CurrentControlSet"},
      {'F', "C:\\windows\\inf\\x.inf", "size=1 fnv=0000000000000000 attr=0x00000020"},
  };
  std::ostringstream out;
  WriteSnapshot(out, {"tree HKLM\\A", "missing HKLM\\Nothing"}, entries);
  std::string text = out.str();
  EXPECT_EQ(text,
            "# trace snapshot 1\n"
            "# tree HKLM\\A\n"
            "# missing HKLM\\Nothing\n"
            "F\tC:\\windows\\inf\\x.inf\tsize=1 fnv=0000000000000000 attr=0x00000020\n"
            "K\tHKLM\\A\t\n"
            "K\tHKLM\\a\tunreadable 5\n"
            "V\tHKLM\\A|\tREG_DWORD 0x00000001\n"
            "V\tHKLM\\A|x\tREG_SZ \"1\"\n"
            "K\tHKLM\\A\\B\t\n"
            "L\tHKLM\\A\\Link\t\\Registry\\Machine\\System\\CurrentControlSet\n"
            "K\tHKLM\\A B\t\n");

  std::istringstream in(text);
  Snapshot snapshot;
  std::string error;
  ASSERT_TRUE(ReadSnapshot(in, &snapshot, &error)) << error;
  ASSERT_EQ(snapshot.size(), entries.size());
  EXPECT_EQ(snapshot.at("HKLM\\A\\Link").kind, 'L');
  EXPECT_EQ(snapshot.at("HKLM\\a").detail, "unreadable 5");
  EXPECT_EQ(snapshot.at("HKLM\\A|").detail, "REG_DWORD 0x00000001");
}

TEST(SnapshotFile, RejectsMalformedFilesWithTheLineNumber) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "line 1:"},
      {"K\tHKLM\\A\t\n", "line 1:"},
      {"# trace snapshot 1\nX\tHKLM\\A\t\n", "line 2:"},
      {"# trace snapshot 1\nK\tHKLM\\A\n", "line 2:"},
      {"# trace snapshot 1\nK\t\t\n", "line 2:"},
      {"# trace snapshot 1\nV\tHKLM\\A|x\tREG_SZ \"50%\"\n", "line 2:"},
      {"# trace snapshot 1\n# note\n\nK\tHKLM\\A\t\nV\tHKLM\\A\tREG_SZ \"\"\n",
       "line 5: the path is listed twice"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    Snapshot snapshot;
    std::string error;
    EXPECT_FALSE(ReadSnapshot(in, &snapshot, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave " << error;
  }
  // Line ends written on Windows are accepted.
  std::istringstream crlf("# trace snapshot 1\r\nK\tHKLM\\A\t\r\n");
  Snapshot snapshot;
  std::string error;
  ASSERT_TRUE(ReadSnapshot(crlf, &snapshot, &error)) << error;
  EXPECT_EQ(snapshot.at("HKLM\\A").detail, "");
}

}  // namespace
}  // namespace trace
