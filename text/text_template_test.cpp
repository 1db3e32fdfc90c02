#include "text/text_template.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/sim_test_support.h"

namespace {

class Substitution : public ::testing::Test {
 protected:
  void SetUp() override { FreshMachine(); }

  // Runs Substitute over a copy of `text` in a buffer of `capacity` bytes.
  std::string Run(const TextTemplate& table, const std::string& text, int capacity,
                  bool* rewritten = nullptr) {
    std::string buffer(static_cast<size_t>(capacity) + 4, '#');
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    bool result = table.Substitute(buffer.data(), capacity);
    if (rewritten) *rewritten = result;
    EXPECT_EQ(buffer.substr(static_cast<size_t>(capacity), 4), "####") << "wrote past the buffer";
    return std::string(buffer.c_str());
  }

  TextTemplate table_;
};

TEST_F(Substitution, ReplacesEveryOccurrenceAndNothingElse) {
  table_.AddPlaceholder("<%SERIES%>", "K800");
  table_.AddPlaceholder("<%CATEGORY%>", "3G/GSM");
  bool rewritten = false;
  EXPECT_EQ(Run(table_, "a <%SERIES%> b <%SERIES%>c", 100, &rewritten), "a K800 b K800c");
  EXPECT_TRUE(rewritten);
  EXPECT_EQ(Run(table_, "<%CATEGORY%>", 100), "3G/GSM");
  EXPECT_EQ(Run(table_, "no placeholder here", 100, &rewritten), "no placeholder here");
  EXPECT_TRUE(rewritten);
  // Case matters.
  EXPECT_EQ(Run(table_, "<%series%>", 100), "<%series%>");
}

TEST_F(Substitution, LeavesTheBufferUntouchedOnEveryFailure) {
  table_.AddPlaceholder("<%SERIES%>", "K800");
  bool rewritten = true;
  EXPECT_EQ(Run(table_, "", 100, &rewritten), "");
  EXPECT_FALSE(rewritten);
  // Code page 1250 maps every byte (0x81 to U+0081, as Windows does); in code
  // page 932 a lead byte without its trail byte is not a character.
  EXPECT_EQ(Run(table_, "<%SERIES%> \x81", 100, &rewritten), "K800 \x81");
  sim::MachineOptions japanese;
  japanese.codePage = 932;
  FreshMachine(japanese);
  EXPECT_EQ(Run(table_, "<%SERIES%> \x95", 100, &rewritten), "<%SERIES%> \x95");
  EXPECT_FALSE(rewritten);

  TextTemplate emptyValue;
  emptyValue.AddPlaceholder("<%SERIES%>", "");
  EXPECT_EQ(Run(emptyValue, "x <%SERIES%>", 100, &rewritten), "x <%SERIES%>");
  EXPECT_FALSE(rewritten);
}

TEST_F(Substitution, AnEmptyTableOnlyRoundTripsTheText) {
  EXPECT_EQ(Run(table_, "<%SERIES%> x", 100), "<%SERIES%> x");
  std::string hungarian = "\xF5\xFB";  // ő ű in code page 1250
  EXPECT_EQ(Run(table_, hungarian, 100), hungarian);
}

TEST_F(Substitution, EndsForAValueThatHoldsItsOwnPlaceholder) {
  table_.AddPlaceholder("<%SERIES%>", "x<%SERIES%>y");
  EXPECT_EQ(table_.EntryCount(), 0u);  // refused: it would never end
  EXPECT_EQ(Run(table_, "<%SERIES%>", 100), "<%SERIES%>");

  // A value that forms a placeholder with the text before it is replaced again, and ends.
  TextTemplate forming;
  forming.AddPlaceholder("ab", "b");
  EXPECT_EQ(Run(forming, "aaab", 100), "b");
}

TEST_F(Substitution, LaterEntriesSeeWhatEarlierValuesBroughtIn) {
  table_.AddPlaceholder("<%SERIES%>", "<%CATEGORY%>");
  table_.AddPlaceholder("<%CATEGORY%>", "GSM <%SERIES%>");
  EXPECT_EQ(Run(table_, "[<%SERIES%>]", 100), "[GSM <%SERIES%>]");
}

TEST_F(Substitution, CutsAtTheCapacityAndStaysTerminated) {
  table_.AddPlaceholder("<%S%>", "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(Run(table_, "12<%S%>", 11), "12ABCDEFGH");
  // Capacity 0 writes nothing at all.
  std::string buffer = "<%SERIES%>";
  EXPECT_TRUE(table_.Substitute(buffer.data(), 0));
  EXPECT_EQ(buffer, "<%SERIES%>");
}

TEST(SubstitutionDoubleByte, NeverMatchesAcrossOrSplitsADoubleByteCharacter) {
  sim::MachineOptions options;
  options.codePage = 932;
  FreshMachine(options);
  TextTemplate table;
  // "\x5C" alone is a placeholder here; inside "表" (0x95 0x5C) it is a trail byte.
  table.AddPlaceholder("\\", "/");
  std::string text = "a\\\x95\x5C";
  std::string buffer = text;
  EXPECT_TRUE(table.Substitute(buffer.data(), 16));
  EXPECT_EQ(std::string(buffer.c_str()), "a/\x95\x5C");

  // A cut that would fall between lead and trail byte keeps the character out.
  TextTemplate growing;
  growing.AddPlaceholder("<%S%>", "\x95\x5C\x95\x5C");
  char small[8] = "<%S%>";
  EXPECT_TRUE(growing.Substitute(small, 4));
  EXPECT_STREQ(small, "\x95\x5C");
}

TEST(SubstituteForFormat, DoublesThePercentSignsThatValuesBringIn) {
  FreshMachine();
  TextTemplate table;
  table.AddPlaceholder("<%SERIES%>", "%s%n");
  char buffer[64] = "%d <%SERIES%>";
  EXPECT_TRUE(table.SubstituteForFormat(buffer, sizeof(buffer)));
  EXPECT_STREQ(buffer, "%d %%s%%n");
  char plain[64] = "<%SERIES%>";
  EXPECT_TRUE(table.Substitute(plain, sizeof(plain)));
  EXPECT_STREQ(plain, "%s%n");
}

// A token without a value must not stay a format directive: "%S" would make
// wvsprintfA read a wide-string argument that was never passed.
TEST(SubstituteForFormat, DoublesThePercentSignsOfAPlaceholderLeftInTheText) {
  sim::Machine& machine = FreshMachine();
  TextTemplate empty;
  char buffer[64] = "a <%SERIES%> b <%CATEGORY%>%d <%> <%x> c";
  EXPECT_TRUE(empty.SubstituteForFormat(buffer, sizeof(buffer)));
  EXPECT_STREQ(buffer, "a <%%SERIES%%> b <%%CATEGORY%%>%d <%> <%x> c");

  // A failed substitution leaves the text as it was, token and all.
  TextTemplate table;
  table.AddPlaceholder("<%SERIES%>", "K800");
  machine.faults.FailOn("WideCharToMultiByte", 1, ERROR_NO_UNICODE_TRANSLATION);
  char failed[32] = "x <%SERIES%>";
  EXPECT_FALSE(table.SubstituteForFormat(failed, sizeof(failed)));
  EXPECT_STREQ(failed, "x <%%SERIES%%>");

  // No room for the two extra signs: the text ends before the token, and
  // nothing is written past the capacity.
  char tight[20] = "ab <%SERIES%>";
  std::memset(tight + 14, '#', 6);
  EXPECT_TRUE(empty.SubstituteForFormat(tight, 15));
  EXPECT_STREQ(tight, "ab ");
  EXPECT_EQ(std::string(tight + 14, 6), "######");
  char exact[16] = "ab <%SERIES%>";  // 13 characters; 15 fit in a capacity of 16
  EXPECT_TRUE(empty.SubstituteForFormat(exact, sizeof(exact)));
  EXPECT_STREQ(exact, "ab <%%SERIES%%>");

  // A substitution cut at the capacity can end the text inside a token.
  TextTemplate category;
  category.AddPlaceholder("<%CATEGORY%>", "3G/GSM");
  char cutInside[32] = "<%CATEGORY%> <%SERIES%>";
  EXPECT_TRUE(category.SubstituteForFormat(cutInside, 12));
  EXPECT_STREQ(cutInside, "3G/GSM ");
}

}  // namespace
