#include "platform/sim/inf_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/realworld/real_infs.h"

namespace {

const char kHeader[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

struct Parsed {
  uint32_t error;
  unsigned line;
  sim::InfFile inf;
};

Parsed ParseText(const std::string& text) {
  Parsed parsed;
  parsed.error = parsed.inf.Parse(text, &parsed.line);
  return parsed;
}

// The first line of [Test] in a file made of the header, [Test] and `body`.
sim::InfLine FirstLine(const std::string& body) {
  Parsed parsed = ParseText(std::string(kHeader) + "[Test]\n" + body);
  EXPECT_EQ(parsed.error, 0u) << body;
  int section = parsed.inf.FindSection("test");
  EXPECT_GE(section, 0) << body;
  if (section < 0 || parsed.inf.Section(section).lines.empty()) return {};
  return parsed.inf.Section(section).lines[0];
}

TEST(InfParser, KeysFieldsQuotesAndSpaces) {
  struct Case {
    const char* body;
    bool hasKey;
    const char* key;
    std::vector<std::string> fields;
  } cases[] = {
      {"ab=cd,ef,gh", true, "ab", {"cd", "ef", "gh"}},
      {"ab", true, "ab", {"ab"}},  // one field and no '=': its own key
      {"ab,cd", false, "", {"ab", "cd"}},
      {"ab,cd=ef", false, "", {"ab", "cd=ef"}},
      {"=abcd,ef", true, "", {"abcd", "ef"}},
      {"a=", true, "a", {""}},
      {"a=b,,,c", true, "a", {"b", "", "", "c"}},
      {" a b = c , d \r", true, "a b", {"c", "d"}},
      {" a b = c ,\" d\" ", true, "a b", {"c", " d"}},
      {"Ab\"Cd\"=Ef", true, "AbCd", {"Ef"}},
      {"ab=cd\",\"ef", true, "ab", {"cd,ef"}},
      {"ab=cd\"\"ef", true, "ab", {"cdef"}},
      {"ab=\"say \"\"hi\"\"\"", true, "ab", {"say \"hi\""}},
      {"ab=cd\",ef", true, "ab", {"cd,ef"}},  // an open quote ends with the line
      {"ab=cd ; comment, with comma", true, "ab", {"cd"}},
      {"ab=\"c;d\"", true, "ab", {"c;d"}},
      {"HKLM,A,'C'", false, "", {"HKLM", "A", "'C'"}},
      {"ab=c\x1a" "d", true, "ab", {"c"}},  // Ctrl-Z ends the file
  };
  for (const Case& c : cases) {
    sim::InfLine line = FirstLine(c.body);
    EXPECT_EQ(line.hasKey, c.hasKey) << c.body;
    if (c.hasKey) {
      EXPECT_EQ(line.key, c.key) << c.body;
    }
    EXPECT_EQ(line.fields, c.fields) << c.body;
  }
}

TEST(InfParser, BackslashJoinsLinesOnlyAtTheEnd) {
  EXPECT_EQ(FirstLine("ba\\\ncd=ef").key, "bacd");
  EXPECT_EQ(FirstLine("ab  \\ ;note\ncd=ef").key, "abcd");
  EXPECT_EQ(FirstLine("ab \\ \\ \ncd=ef").key, "abcd");
  EXPECT_EQ(FirstLine("ba \\ dc=xx").key, "ba \\ dc");
  EXPECT_EQ(FirstLine("a=b\\\\c").fields, std::vector<std::string>{"b\\\\c"});
  EXPECT_EQ(FirstLine("ba=c \\\n \\\n a").fields, std::vector<std::string>{"ca"});
  EXPECT_EQ(FirstLine("ab=cd \\ ").fields, std::vector<std::string>{"cd"});
  sim::InfLine joined = FirstLine("ab=USB\\VID_1,\\\r\n   USB\\VID_2\r\nnext=1");
  EXPECT_EQ(joined.fields, (std::vector<std::string>{"USB\\VID_1", "USB\\VID_2"}));
}

TEST(InfParser, StringsAreSubstitutedOnceAndUnknownOnesStay) {
  const std::string strings =
      "[Strings]\nfoo=aaa\nbar=\"b,b\"\nloop=%loop2%\nloop2=%loop%\nper=1\ncent=2\n";
  auto line = [&](const std::string& body) { return FirstLine(body + "\n" + strings); };
  EXPECT_EQ(line("%foo%=%bar%").key, "aaa");
  EXPECT_EQ(line("%foo%=%bar%").fields, std::vector<std::string>{"b,b"});  // no new field
  EXPECT_EQ(line("%FOO%xx=yy").key, "aaaxx");                            // any case
  EXPECT_EQ(line("%% %foo%=1").key, "% aaa");
  EXPECT_EQ(line("k=%missing%").fields, std::vector<std::string>{"%missing%"});
  EXPECT_EQ(line("k=%loop%").fields, std::vector<std::string>{"%loop2%"});
  EXPECT_EQ(line("%per%%cent%=100").key, "12");
  EXPECT_EQ(line("k=%bar;x%").fields, std::vector<std::string>{"%bar"});
  EXPECT_EQ(line("k=\"%foo%\"").fields, std::vector<std::string>{"aaa"});
}

TEST(InfParser, SectionsJoinAndCompareWithoutCase) {
  Parsed parsed = ParseText(std::string(kHeader) +
                            "; [Hidden]\n[Models]\na=1\n [other] trailing\nb=2\n[MODELS]\nc=3\n"
                            "[  Spaced Name  ]\nd=4\n[Empty]\n");
  ASSERT_EQ(parsed.error, 0u);
  EXPECT_LT(parsed.inf.FindSection("Hidden"), 0);
  int models = parsed.inf.FindSection("models");
  ASSERT_GE(models, 0);
  ASSERT_EQ(parsed.inf.Section(models).lines.size(), 2u);
  EXPECT_EQ(parsed.inf.Section(models).lines[1].key, "c");
  EXPECT_GE(parsed.inf.FindSection("OTHER"), 0);
  EXPECT_GE(parsed.inf.FindSection("  spaced name  "), 0);
  EXPECT_TRUE(parsed.inf.Section(parsed.inf.FindSection("Empty")).lines.empty());
}

TEST(InfParser, SyntaxErrorsNameTheirLine) {
  Parsed text = ParseText("garbage\r\n" + std::string(kHeader));
  EXPECT_EQ(text.error, sim::kErrorExpectedSectionName);
  EXPECT_EQ(text.line, 1u);
  Parsed open = ParseText(std::string(kHeader) + "[ab\r\n");
  EXPECT_EQ(open.error, sim::kErrorBadSectionNameLine);
  EXPECT_EQ(open.line, 3u);
  Parsed longName = ParseText(std::string(kHeader) + "[" + std::string(256, 'a') + "]\r\n");
  EXPECT_EQ(longName.error, sim::kErrorSectionNameTooLong);
  EXPECT_EQ(ParseText(std::string(kHeader) + "[" + std::string(255, 'a') + "]\r\n").error, 0u);
  EXPECT_EQ(ParseText("").error, sim::kErrorGeneralSyntax);
  EXPECT_EQ(ParseText(";a\n;b\n" + std::string(kHeader)).error, 0u);
}

TEST(InfParser, OnlyTheThreeSignaturesMakeAWin4Inf) {
  const std::pair<const char*, bool> cases[] = {
      {"[Version]\nSignature=\"$Windows NT$\"\n", true},
      {"[version]\nsignature=$chicago$\n", true},
      {"[VERSION]\nSIGNATURE=$WINDOWS 95$,extra\n", true},
      {"[Version]\nabc=def\n[Version]\nSignature=$Chicago$\n", true},
      {"[Version]\r\n", false},
      {"[Version]\nSignature=\n", false},
      {"[Version]\nSignature=foo\n", false},
      {"[Strings]\na=b\n", false},  // no [Version] at all
      {"\r\n", false},
  };
  for (const auto& [text, win4] : cases) {
    Parsed parsed = ParseText(text);
    EXPECT_EQ(parsed.error, 0u) << text;
    EXPECT_EQ(parsed.inf.IsWin4(), win4) << text;
  }
}

}  // namespace

// Another maker's INF with a [Strings] section and translations, among them
// one named by its primary language only (Strings.0a: every Spanish locale)
// and a section given twice (Strings.041B). The thread locale's language
// picks the section; a name the section lacks comes from [Strings].
TEST(InfParser, TheLanguageSectionOfTheThreadLocaleWins) {
  std::string text;
  for (const RealInf& file : RealInfs()) {
    if (std::string(file.name) == "usbport.inf") text.assign(file.bytes, file.size);
  }
  if (RealInfs().empty()) GTEST_SKIP() << kRealInfsAbsent;
  ASSERT_FALSE(text.empty()) << "usbport.inf is missing from " USBINST_REALWORLD_DIR "/infs";
  struct Case {
    uint16_t language;
    const char* genericMaker;
    const char* intelMaker;
  } cases[] = {
      {0, "(Generic USB devices)", "Intel"},
      {0x040E, "(Generic USB devices)", "Intel"},  // Hungarian: no section of its own
      {0x0407, "(Generische USB-Ger\xC3\xA4te)", "Intel"},  // German lacks IntelMfg
      {0x0C0A, "(Dispositivo USB est\xC3\xA1ndar)", "Intel"},  // Spanish, by Strings.0a
      {0x041B, "(Generick\xC3\xA9 USB zariadenia)", "Intel"},  // the first of two joined
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    sim::InfFile inf;
    unsigned line = 0;
    ASSERT_EQ(inf.Parse(text, &line, c.language), 0u);
    const sim::InfSection& makers = inf.Section(inf.FindSection("Manufacturer"));
    ASSERT_EQ(makers.lines.size(), 2u);
    EXPECT_EQ(makers.lines[0].key, c.genericMaker);
    EXPECT_EQ(makers.lines[1].key, c.intelMaker);
  }
}
