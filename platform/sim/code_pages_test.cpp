// The code page tables of the simulated machine and LoadStringA's conversion.
#include "platform/sim/code_pages.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

std::u16string Decode(uint32_t codePage, const std::string& text, bool strict, bool* ok) {
  std::u16string out;
  *ok = DecodeNarrow(codePage, text.data(), text.size(), strict, &out);
  return out;
}

TEST(CodePageTables, SingleByteUpperHalvesAreTheWindowsTables) {
  bool ok = false;
  // 1250: ő ű Ő Ű € š; 1252: € Ÿ ÿ.
  EXPECT_EQ(Decode(1250, "\xF5\xFB\xD5\xDB\x80\x9A", true, &ok), u"őűŐŰ€š");
  EXPECT_EQ(Decode(1252, "\x80\x9F\xFF", true, &ok), u"€Ÿÿ");
  // Bytes the code page leaves unassigned map to the C1 control of the same value.
  EXPECT_EQ(Decode(1250, "\x81\x83\x88\x90\x98", true, &ok), u"\u0081\u0083\u0088\u0090\u0098");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Decode(1252, "\x81\x8D\x8F\x90\x9D", true, &ok), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_TRUE(ok);
  // Every byte of 1250 and 1252 survives a round trip.
  for (uint32_t page : {1250u, 1252u}) {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      std::string narrow(1, char(byte));
      std::u16string wide = Decode(page, narrow, true, &ok);
      std::string back;
      bool used = false;
      EncodeNarrow(page, wide.data(), wide.size(), false, nullptr, &used, &back);
      EXPECT_EQ(back, narrow) << page << " " << byte;
      EXPECT_FALSE(used);
    }
  }
}

TEST(CodePageTables, ShiftJisPairsSingleBytesAndUndefinedInput) {
  bool ok = false;
  // ア (0x8341), あ (0x82A0), 表 (0x955C, trail byte is a backslash), half-width ｱ.
  EXPECT_EQ(Decode(932, "\x83\x41\x82\xA0\x95\x5C\xB1" "A", true, &ok), u"アあ表ｱA");
  EXPECT_TRUE(ok);
  // A lead byte without a trail byte, or with an invalid one.
  Decode(932, "\x83", true, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Decode(932, "\x83", false, &ok), u"\u30FB");
  EXPECT_EQ(Decode(932, "\x83\x20", false, &ok), u"\u30FB ");
  // A well-formed pair outside the table counts as undefined.
  Decode(932, "\x88\x9F", true, &ok);
  EXPECT_FALSE(ok);
  // 0xFD-0xFF are private-use characters, refused by strict decoding.
  EXPECT_EQ(Decode(932, "\xFE", false, &ok), u"\uF8F2");
  Decode(932, "\xFE", true, &ok);
  EXPECT_FALSE(ok);
  std::string back;
  std::u16string wide = u"表ソ?";
  EncodeNarrow(932, wide.data(), wide.size(), true, nullptr, nullptr, &back);
  EXPECT_EQ(back, "\x95\x5C\x83\x5C?");
  EXPECT_TRUE(IsLeadByteIn(932, 0x81) && IsLeadByteIn(932, 0x9F) && IsLeadByteIn(932, 0xE0));
  EXPECT_FALSE(IsLeadByteIn(932, 0x80) || IsLeadByteIn(932, 0xA0) || IsLeadByteIn(932, 0xFD));
  EXPECT_FALSE(IsLeadByteIn(1250, 0x81));
}

TEST(CodePageTables, MissingCharactersUseBestFitOrTheDefault) {
  std::u16string wide = u"őŁ€あ";
  std::string out;
  bool used = false;
  EncodeNarrow(1252, wide.data(), wide.size(), true, nullptr, &used, &out);
  EXPECT_EQ(out, "oL\x80?");
  EXPECT_TRUE(used);
  out.clear();
  used = false;
  EncodeNarrow(1252, wide.data(), 2, false, "#", &used, &out);
  EXPECT_EQ(out, "##");
  EXPECT_TRUE(used);
}

TEST(CodePageTables, Utf8DecodingRefusesMalformedSequences) {
  bool ok = false;
  EXPECT_EQ(Decode(65001, "K\xC3\xB6vetkez\xC5\x91", true, &ok), u"Következő");
  EXPECT_TRUE(ok);
  for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xC3", "\xFF"}) {
    Decode(65001, bad, true, &ok);
    EXPECT_FALSE(ok) << bad;
  }
  EXPECT_EQ(Decode(65001, "a\xFF" "b", false, &ok), u"a\uFFFDb");
}

TEST(CodePageTables, LowerCaseCoversLatinLetters) {
  EXPECT_EQ(LowerCaseOf(u'Ő'), u'ő');
  EXPECT_EQ(LowerCaseOf(u'Ł'), u'ł');
  EXPECT_EQ(LowerCaseOf(u'Ž'), u'ž');
  EXPECT_EQ(LowerCaseOf(u'Á'), u'á');
  EXPECT_EQ(LowerCaseOf(u'×'), u'×');
  EXPECT_EQ(LowerCaseOf(u'ő'), u'ő');
}

// MB_ERR_INVALID_CHARS is newer than Windows NT 4, which refuses it as an
// unknown flag; the other versions check the text with it.
TEST(MultiByteToWideChar, TheInvalidCharsFlagIsRefusedOnNt4Only) {
  for (WindowsVersion version : {WindowsVersion::Windows95, WindowsVersion::WindowsMe,
                                 WindowsVersion::WindowsNT4, WindowsVersion::Windows2000}) {
    MachineOptions options;
    options.version = version;
    ResetMachine(options);
    bool nt4 = version == WindowsVersion::WindowsNT4;
    plat::SetLastError(0xdeadbeef);
    EXPECT_EQ(plat::MultiByteToWideChar(1250, MB_ERR_INVALID_CHARS, "abc", -1, nullptr, 0),
              nt4 ? 0 : 4);
    EXPECT_EQ(plat::GetLastError(), nt4 ? DWORD(ERROR_INVALID_FLAGS) : 0xdeadbeef);
    EXPECT_EQ(plat::MultiByteToWideChar(1250, 0, "abc", -1, nullptr, 0), 4);
  }
}

TEST(LoadString, ConvertsToTheMachineCodePage) {
  MachineOptions options;
  char text[32];
  options.codePage = 1250;
  ResetMachine(options);
  ASSERT_EQ(plat::LoadStringA(nullptr, 15050, text, sizeof(text)), 9);
  EXPECT_STREQ(text, "K\xF6vetkez\xF5");  // Következő
  options.codePage = 1252;
  ResetMachine(options);
  ASSERT_EQ(plat::LoadStringA(nullptr, 15050, text, sizeof(text)), 9);
  EXPECT_STREQ(text, "K\xF6vetkezo");
  options.codePage = 932;
  ResetMachine(options);
  ASSERT_EQ(plat::LoadStringA(nullptr, 15050, text, sizeof(text)), 9);
  EXPECT_STREQ(text, "K?vetkez?");
}

TEST(LoadString, CutsToTheBufferAndTellsMissingEntries) {
  ResetMachine();
  char text[8];
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(plat::LoadStringA(nullptr, 100, text, 6), 5);
  EXPECT_STREQ(text, "ORVEX");
  EXPECT_EQ(text[6], 'x');
  EXPECT_EQ(plat::LoadStringA(nullptr, 100, text, 1), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(plat::LoadStringA(nullptr, 100, text, 0), 0);
  // 103 lies in the block of 100-102 and 104: empty, no error.
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadStringA(nullptr, 103, text, sizeof(text)), 0);
  EXPECT_EQ(plat::GetLastError(), 0xdeadbeefu);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadStringA(nullptr, 40000, text, sizeof(text)), 0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
}  // namespace sim
