// Contract of the code-page operations: MultiByteToWideChar and
// WideCharToMultiByte with Windows' length, size-query and error rules, the
// 1250, 1252 and 932 tables, and the ANSI code page of the machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/tests/contract_env.h"

namespace {

class CodePageContract : public ::testing::Test {
 protected:
  void SetUp() override { ResetContractMachine(); }
};

// The UTF-16 text of a narrow text, or an empty vector when the conversion fails.
std::vector<WCHAR> Wide(UINT codePage, DWORD flags, const char* text, int length = -1) {
  int needed = plat::MultiByteToWideChar(codePage, flags, text, length, nullptr, 0);
  std::vector<WCHAR> out(size_t(needed > 0 ? needed : 0));
  if (needed > 0) plat::MultiByteToWideChar(codePage, flags, text, length, out.data(), needed);
  return out;
}

std::vector<WCHAR> Units(std::initializer_list<unsigned> units) {
  std::vector<WCHAR> out;
  for (unsigned unit : units) out.push_back(WCHAR(unit));
  return out;
}

TEST_F(CodePageContract, LengthMinusOneCountsTheTerminatorAndZeroOutputAsksTheSize) {
  EXPECT_EQ(plat::MultiByteToWideChar(1250, 0, "COM3", -1, nullptr, 0), 5);
  EXPECT_EQ(plat::MultiByteToWideChar(1250, 0, "COM3", 4, nullptr, 0), 4);
  WCHAR out[8];
  std::fill(std::begin(out), std::end(out), WCHAR(0x2323));
  EXPECT_EQ(plat::MultiByteToWideChar(1250, 0, "COM3", 4, out, 8), 4);
  EXPECT_EQ(out[3], WCHAR('3'));
  EXPECT_EQ(out[4], WCHAR(0x2323));  // no terminator without length -1
  EXPECT_EQ(plat::MultiByteToWideChar(1250, 0, "COM3", -1, out, 8), 5);
  EXPECT_EQ(out[4], WCHAR(0));

  const WCHAR wide[] = {'C', 'O', 'M', '3', 0};
  EXPECT_EQ(plat::WideCharToMultiByte(1250, 0, wide, -1, nullptr, 0, nullptr, nullptr), 5);
  char narrow[8];
  std::memset(narrow, '#', sizeof(narrow));
  EXPECT_EQ(plat::WideCharToMultiByte(1250, 0, wide, 4, narrow, 8, nullptr, nullptr), 4);
  EXPECT_EQ(narrow[4], '#');
}

TEST_F(CodePageContract, TooSmallOutputFailsWithInsufficientBuffer) {
  WCHAR out[8];
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::MultiByteToWideChar(1252, 0, "USBDriverInstall", -1, out, 8), 0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  const WCHAR wide[] = {'a', 'b', 'c', 0};
  char narrow[3];
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::WideCharToMultiByte(1252, 0, wide, -1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(CodePageContract, InvalidArgumentsAreRefused) {
  WCHAR out[4];
  struct Case {
    const char* text;
    int length;
    WCHAR* output;
    int outputLength;
  } cases[] = {{nullptr, -1, out, 4}, {"abc", 0, out, 4}, {"abc", -1, nullptr, 4},
               {"abc", -1, out, -1}};
  for (const Case& c : cases) {
    plat::SetLastError(0xdeadbeef);
    int result = plat::MultiByteToWideChar(1250, 0, c.text, c.length, c.output, c.outputLength);
    DWORD error = plat::GetLastError();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, DWORD(ERROR_INVALID_PARAMETER));
  }
  // Microsoft (MultiByteToWideChar): for UTF-8 the flags must be 0 or
  // MB_ERR_INVALID_CHARS, otherwise ERROR_INVALID_FLAGS. Wine 8 accepts
  // MB_PRECOMPOSED and converts.
  plat::SetLastError(0xdeadbeef);
  int precomposed = plat::MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", -1, out, 4);
  DWORD precomposedError = plat::GetLastError();
  EXPECT_EQ(precomposed, SimElseWine(0, 4));
  EXPECT_EQ(precomposedError, SimElseWine<DWORD>(ERROR_INVALID_FLAGS, 0xdeadbeef));
  // Microsoft (WideCharToMultiByte): for UTF-8 lpUsedDefaultChar must be
  // NULL, otherwise ERROR_INVALID_PARAMETER. Wine 8 accepts it.
  const WCHAR wide[] = {'a', 0};
  BOOL used = FALSE;
  plat::SetLastError(0xdeadbeef);
  int withUsed = plat::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, &used);
  DWORD withUsedError = plat::GetLastError();
  EXPECT_EQ(withUsed, SimElseWine(0, 2));
  EXPECT_EQ(withUsedError, SimElseWine<DWORD>(ERROR_INVALID_PARAMETER, 0xdeadbeef));
}

TEST_F(CodePageContract, CentralEuropeanAndWesternTables) {
  // "ő ű €" in 1250, and the bytes 1250 leaves unassigned, which map to C1 controls.
  EXPECT_EQ(Wide(1250, MB_ERR_INVALID_CHARS, "\xF5\xFB\x80"), Units({0x151, 0x171, 0x20AC, 0}));
  EXPECT_EQ(Wide(1250, MB_ERR_INVALID_CHARS, "\x81\x83\x88\x90\x98"),
            Units({0x81, 0x83, 0x88, 0x90, 0x98, 0}));
  EXPECT_EQ(Wide(1252, MB_ERR_INVALID_CHARS, "\xF5\x9F\x81\x8D\x8F\x90\x9D"),
            Units({0xF5, 0x178, 0x81, 0x8D, 0x8F, 0x90, 0x9D, 0}));

  const WCHAR hungarian[] = {0x151, 0x171, 0x150, 0x170, 0};  // ő ű Ő Ű
  char narrow[8];
  BOOL used = TRUE;
  ASSERT_EQ(plat::WideCharToMultiByte(1250, 0, hungarian, -1, narrow, 8, nullptr, &used), 5);
  EXPECT_STREQ(narrow, "\xF5\xFB\xD5\xDB");
  EXPECT_FALSE(used);
  // 1252 has none of them: Windows gives the letter without its accent.
  ASSERT_EQ(plat::WideCharToMultiByte(1252, 0, hungarian, -1, narrow, 8, nullptr, &used), 5);
  EXPECT_STREQ(narrow, "ouOU");
  EXPECT_FALSE(used);
  // Without best fit the default character stands in.
  ASSERT_EQ(plat::WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, hungarian, -1, narrow, 8,
                                      nullptr, &used),
            5);
  EXPECT_STREQ(narrow, "????");
  EXPECT_TRUE(used);
}

TEST_F(CodePageContract, JapaneseDoubleByteCharacters) {
  // あ ア 表 (trail byte 0x5C, a backslash) ｱ.
  EXPECT_EQ(Wide(932, MB_ERR_INVALID_CHARS, "\x82\xA0\x83\x41\x95\x5C\xB1"),
            Units({0x3042, 0x30A2, 0x8868, 0xFF71, 0}));
  const WCHAR wide[] = {0x8868, 0x30BD, 0};  // 表 ソ
  char narrow[8];
  ASSERT_EQ(plat::WideCharToMultiByte(932, 0, wide, -1, narrow, 8, nullptr, nullptr), 5);
  EXPECT_STREQ(narrow, "\x95\x5C\x83\x5C");

  // A lead byte without its trail byte, or with a byte that cannot trail.
  for (const char* bad : {"a\x83", "\x83\x20", "\xFE"}) {
    plat::SetLastError(0xdeadbeef);
    EXPECT_EQ(plat::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bad, -1, nullptr, 0), 0);
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  }
  // Without the flag the conversion goes through.
  EXPECT_GT(plat::MultiByteToWideChar(932, 0, "\xFE", -1, nullptr, 0), 0);
}

TEST_F(CodePageContract, Utf8RoundTrip) {
  const char text[] = "K\xC3\xB6vetkez\xC5\x91";  // Következő
  EXPECT_EQ(Wide(CP_UTF8, MB_ERR_INVALID_CHARS, text),
            Units({'K', 0xF6, 'v', 'e', 't', 'k', 'e', 'z', 0x151, 0}));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3", -1, nullptr, 0), 0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  std::vector<WCHAR> wide = Wide(CP_UTF8, 0, text);
  char back[16];
  ASSERT_EQ(plat::WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, back, 16, nullptr, nullptr),
            12);
  EXPECT_STREQ(back, text);
}

TEST_F(CodePageContract, AnsiCodePageOfTheMachine) {
  UINT acp = plat::GetACP();
  if (acp != 1250) GTEST_SKIP() << "ANSI code page " << acp << " (1250 needs LANG=hu_HU.UTF-8)";
  EXPECT_EQ(Wide(CP_ACP, 0, "\xF5"), Units({0x151, 0}));
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_FALSE(plat::IsDBCSLeadByte(BYTE(byte))) << byte;
  }
  EXPECT_EQ(plat::lstrcmpiA("\xC1RV\xCDZT\xDBR\xD5", "\xE1rv\xEDzt\xFBr\xF5"), 0);  // ÁRVÍZTŰRŐ
}

}  // namespace
