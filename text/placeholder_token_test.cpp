// Texts used as formats may hold text that only looks like a placeholder:
// names of other letters, no name, no closing, or a token the cut at the
// capacity ended inside. Only a whole token is escaped; a token cut short
// goes with the rest of the text.
#include <gtest/gtest.h>

#include <string>

#include "tests/sim_test_support.h"
#include "text/text_template.h"

namespace {

std::string Format(const TextTemplate& table, const std::string& text, int capacity = 64) {
  char buffer[64] = {};
  text.copy(buffer, sizeof buffer - 1);
  table.SubstituteForFormat(buffer, capacity);
  return buffer;
}

TEST(PlaceholderToken, OnlyWholeTokensAreEscapedAndCutOnesGo) {
  FreshMachine();
  TextTemplate table;
  EXPECT_EQ(Format(table, "x <%a_1%> y"), "x <%%a_1%%> y");
  EXPECT_EQ(Format(table, "x <%Z9%>"), "x <%%Z9%%>");
  for (const char* plain : {"<x <%%> <%-%> <%SER> 100%%", "<", "a <%SER x", "%%d"}) {
    EXPECT_EQ(Format(table, plain), plain);
  }
  EXPECT_EQ(Format(table, "abc <%SE"), "abc ");
  EXPECT_EQ(Format(table, "abc <%SERIES%"), "abc ");
  EXPECT_EQ(Format(table, "abc <%"), "abc ");
  // No room: nothing is read or written.
  char untouched[8] = "<%S%>";
  table.SubstituteForFormat(untouched, 0);
  EXPECT_STREQ(untouched, "<%S%>");
}

}  // namespace
