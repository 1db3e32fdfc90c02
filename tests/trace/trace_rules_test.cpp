#include "tests/trace/trace_rules.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/trace/trace_findings.h"

namespace trace {
namespace {

TEST(RulePattern, OneStarStaysWithinANameTwoStarsCrossNames) {
  const char* const kKey = "HKLM\\SYSTEM\\ControlSet001\\Services\\KV6mdm";
  EXPECT_TRUE(MatchPattern(kKey, kKey));
  EXPECT_TRUE(MatchPattern("hklm\\system\\controlset001\\services\\kv6MDM", kKey));
  EXPECT_TRUE(MatchPattern("HKLM\\SYSTEM\\*\\Services\\KV6*", kKey));
  EXPECT_FALSE(MatchPattern("HKLM\\SYSTEM\\*\\KV6*", kKey));
  EXPECT_TRUE(MatchPattern("HKLM\\SYSTEM\\**\\KV6*", kKey));
  EXPECT_TRUE(MatchPattern("HKLM\\**", kKey));
  EXPECT_FALSE(MatchPattern("HKLM\\SYSTEM\\ControlSet001\\Services\\KV6", kKey));
  EXPECT_FALSE(MatchPattern("HKLM\\SYSTEM\\ControlSet001\\Services\\KV6mdm\\*", kKey));
  // A star reaches over the '|' before a value name, not over a '\'.
  EXPECT_TRUE(MatchPattern("HKLM\\S\\*", "HKLM\\S\\Key|Value"));
  EXPECT_TRUE(MatchPattern("HKLM\\S\\Key|*", "HKLM\\S\\Key|"));
  EXPECT_FALSE(MatchPattern("HKLM\\S\\Key|*", "HKLM\\S\\Key\\Sub|Value"));
  EXPECT_TRUE(MatchPattern("*.inf", "oem3.inf"));
  EXPECT_FALSE(MatchPattern("C:\\windows\\inf\\*.inf", "C:\\windows\\inf\\oem3.pnf"));
  EXPECT_TRUE(MatchPattern("C:\\windows\\inf\\oem*.?nf", "C:\\windows\\inf\\oem3.?nf"));
  EXPECT_FALSE(MatchPattern("C:\\windows\\inf\\oem*.?nf", "C:\\windows\\inf\\oem3.inf"));
  // A '*' inside a name is escaped in the snapshot, so a pattern names it as %2A.
  EXPECT_TRUE(MatchPattern("HKLM\\Odd%2AName", "HKLM\\Odd%2AName"));
  EXPECT_FALSE(MatchPattern("HKLM\\Odd%2AName", "HKLM\\OddXName"));
}

TEST(RulePattern, TrailingTreeWildcardTakesTheRootAndItsValues) {
  const char* const kTree = "HKLM\\SOFTWARE\\ORVEX\\**";
  for (const char* path : {"HKLM\\SOFTWARE\\ORVEX", "HKLM\\SOFTWARE\\ORVEX|",
                           "HKLM\\SOFTWARE\\ORVEX|Name", "HKLM\\SOFTWARE\\ORVEX\\A\\B|c"}) {
    EXPECT_TRUE(MatchPattern(kTree, path)) << path;
  }
  for (const char* path : {"HKLM\\SOFTWARE\\ORVEXX", "HKLM\\SOFTWARE\\ORVEXX\\A", "HKLM\\SOFTWARE",
                           "HKLM\\SOFTWARE|ORVEX"}) {
    EXPECT_FALSE(MatchPattern(kTree, path)) << path;
  }
  EXPECT_FALSE(MatchPattern("HKLM\\SOFTWARE\\ORVEX\\*", "HKLM\\SOFTWARE\\ORVEX"));
}

TEST(RulesFile, CategoriesQuotedPatternsCommentsAndReasons) {
  std::istringstream in(
      "# rules of the removal run\n"
      "\n"
      "kept \"HKLM\\SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6|InstallFlag\" the flag is reset\n"
      "  harness   C:\\windows\\temp\\*   tool files \r\n"
      "wine HKLM\\SYSTEM\\**\\Enum\\ROOT\\**\tWine keeps the device tree\n");
  std::vector<Rule> rules;
  std::string error;
  ASSERT_TRUE(ReadRules(in, &rules, &error)) << error;
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(rules[0].category, Category::kKept);
  EXPECT_EQ(rules[0].pattern, "HKLM\\SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6|InstallFlag");
  EXPECT_EQ(rules[0].reason, "the flag is reset");
  EXPECT_EQ(rules[0].line, 3u);
  EXPECT_EQ(rules[1].category, Category::kHarness);
  EXPECT_EQ(rules[1].pattern, "C:\\windows\\temp\\*");
  EXPECT_EQ(rules[1].reason, "tool files");
  EXPECT_EQ(rules[2].category, Category::kWine);
  EXPECT_EQ(rules[2].reason, "Wine keeps the device tree");
}

TEST(RulesFile, RejectsBadLinesWithTheLineNumber) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"trace HKLM\\A why\n", "line 1: unknown category"},
      {"Kept HKLM\\A why\n", "line 1: unknown category"},
      {"# c\nkept HKLM\\A\n", "line 2: no reason"},
      {"kept HKLM\\A   \n", "line 1: no reason"},
      {"kept\n", "line 1: no pattern"},
      {"kept \"HKLM\\A B why\n", "line 1: no pattern"},
      {"kept \"\" why\n", "line 1: no pattern"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    std::vector<Rule> rules;
    std::string error;
    EXPECT_FALSE(ReadRules(in, &rules, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave " << error;
  }
}

TEST(Classify, FirstMatchingRuleExplainsUnmatchedDifferencesAreTraces) {
  std::vector<Rule> rules = {
      {Category::kHarness, "HKLM\\SOFTWARE\\ORVEX\\**", "the harness plants the settings key", 1},
      {Category::kKept, "HKLM\\SOFTWARE\\**", "shadowed by the rule before", 2},
      {Category::kWine, "C:\\windows\\inf\\*.pnf", "Wine writes precompiled INFs", 3},
      {Category::kKept, "HKLM\\Nothing\\**", "never matches", 4},
  };
  auto Diff = [](Change change, const char* path) {
    Difference d;
    d.change = change;
    d.path = path;
    d.kindAfter = 'K';
    return d;
  };
  Findings findings = Classify({Diff(Change::kAdded, "HKLM\\SOFTWARE\\ORVEX"),
                                Diff(Change::kAdded, "HKLM\\SOFTWARE\\ORVEX|InstallFlag"),
                                Diff(Change::kRemoved, "C:\\windows\\inf\\oem0.pnf"),
                                Diff(Change::kAdded, "C:\\windows\\inf\\oem0.inf"),
                                Diff(Change::kChanged, "HKLM\\SYSTEM\\Select|Current")},
                               rules);
  ASSERT_EQ(findings.items.size(), 5u);
  EXPECT_EQ(findings.items[0].category, Category::kHarness);
  EXPECT_EQ(findings.items[1].rule, 0);
  EXPECT_EQ(findings.items[2].category, Category::kWine);
  EXPECT_EQ(findings.items[3].category, Category::kTrace);
  EXPECT_EQ(findings.items[3].rule, -1);
  EXPECT_EQ(findings.items[4].category, Category::kTrace);
  EXPECT_EQ(findings.Traces(), 2u);
  EXPECT_EQ(findings.ruleUses, (std::vector<size_t>{2, 0, 1, 0}));
}

}  // namespace
}  // namespace trace
