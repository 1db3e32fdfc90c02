#include "tests/trace/trace_report_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace trace {
namespace {

namespace fs = std::filesystem;

const char kBefore[] =
    "# trace snapshot 1\n"
    "K\tHKLM\\SOFTWARE\\ORVEX\t\n"
    "K\tHKLM\\SYSTEM\\Setup\t\n"
    "V\tHKLM\\SYSTEM\\Setup|Flag\tREG_DWORD 0x00000000\n";
const char kAfter[] =
    "# trace snapshot 1\n"
    "K\tHKLM\\SOFTWARE\\ORVEX\t\n"
    "K\tHKLM\\SOFTWARE\\ORVEX\\Settings\t\n"
    "V\tHKLM\\SOFTWARE\\ORVEX\\Settings|Flag\tREG_DWORD 0x00000001\n"
    "K\tHKLM\\SYSTEM\\Setup\t\n"
    "V\tHKLM\\SYSTEM\\Setup|Flag\tREG_SZ \"<b>\"\n";

class TraceReportRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("trace_report_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "shots");
    fs::create_directories(dir_ / "out");
    Write("before.txt", kBefore);
    Write("after.txt", kAfter);
    Write("shots/2 wizard.png", "png");
    Write("shots/1 notice.PNG", "png");
    Write("shots/notes.txt", "not a picture");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string P(const std::string& name) { return (dir_ / name).string(); }

  int Run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    return RunTraceReport(arguments, out_, err_);
  }
  int RunWithRules(const std::string& rules) {
    Write("rules.txt", rules);
    return Run({"--before", P("before.txt"), "--after", P("after.txt"), "--rules", P("rules.txt"),
                "--title", "removal <XP>", "--shots", P("shots"), "--text", P("out/report.txt"),
                "--html", P("out/report.html")});
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(TraceReportRun, UnexplainedDifferencesAreTracesNamedOnStderrAndInTheText) {
  EXPECT_EQ(RunWithRules("harness HKLM\\SOFTWARE\\ORVEX\\Settings\\** planted by the harness\n"
                         "wine C:\\windows\\inf\\*.pnf never used\n"),
            kTracesLeft);
  EXPECT_EQ(err_.str(), "trace: changed value HKLM\\SYSTEM\\Setup|Flag\n");
  EXPECT_NE(out_.str().find("3 differences: 1 trace, 0 kept, 2 harness, 0 wine"), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("FAIL"), std::string::npos);

  std::string text = Read("out/report.txt");
  EXPECT_NE(text.find("Result: TRACES LEFT"), std::string::npos);
  // The trace with both sides, the explained entries under their rule, the idle rule.
  EXPECT_NE(text.find("  changed value HKLM\\SYSTEM\\Setup|Flag\n"
                      "      before: REG_DWORD 0x00000000\n"
                      "      after:  REG_SZ \"<b>\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("-- line 1: harness \"HKLM\\SOFTWARE\\ORVEX\\Settings\\**\" planted by the "
                      "harness (2 differences)\n"
                      "  added key HKLM\\SOFTWARE\\ORVEX\\Settings\n"
                      "  added value HKLM\\SOFTWARE\\ORVEX\\Settings|Flag\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("== Rules that explained nothing\n"
                      "  line 2: wine \"C:\\windows\\inf\\*.pnf\" never used\n"),
            std::string::npos)
      << text;
}

TEST_F(TraceReportRun, EveryDifferenceExplainedPassesAndThePageShowsAllOfThem) {
  EXPECT_EQ(RunWithRules("kept HKLM\\SYSTEM\\Setup|Flag the flag's type is the caller's\n"
                         "harness HKLM\\SOFTWARE\\ORVEX\\** planted by the harness\n"),
            kNoTrace);
  EXPECT_EQ(err_.str(), "");
  EXPECT_NE(out_.str().find("PASS"), std::string::npos);

  std::string html = Read("out/report.html");
  EXPECT_NE(html.find("<title>Trace report: removal &lt;XP&gt;</title>"), std::string::npos);
  EXPECT_EQ(html.find("<b>\""), std::string::npos) << "data must be escaped";
  EXPECT_NE(html.find("REG_SZ &quot;&lt;b&gt;&quot;"), std::string::npos);
  EXPECT_NE(html.find("<tr class=\"kept\"><td>kept</td><td>changed</td><td>value</td>"),
            std::string::npos);
  EXPECT_NE(html.find("the flag's type is the caller's (rule line 1)"), std::string::npos);
  // Screenshots by name, linked relative to the page, other files left out.
  size_t first = html.find("<img src=\"../shots/1%20notice.PNG\"");
  size_t second = html.find("<img src=\"../shots/2%20wizard.png\"");
  EXPECT_NE(first, std::string::npos) << html;
  EXPECT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  EXPECT_EQ(html.find("notes.txt"), std::string::npos);
}

TEST_F(TraceReportRun, ScreenshotLinksAreRelativeToAPageNamedWithoutAFolder) {
  Write("rules.txt", "kept HKLM\\** everything\n");
  fs::path previous = fs::current_path();
  fs::current_path(dir_ / "out");
  int status = Run({"--before", "../before.txt", "--after", "../after.txt", "--rules",
                    "../rules.txt", "--html", "page.html", "--shots", P("shots")});
  fs::current_path(previous);
  EXPECT_EQ(status, kNoTrace) << err_.str();
  EXPECT_NE(Read("out/page.html").find("<img src=\"../shots/1%20notice.PNG\""), std::string::npos);
}

TEST_F(TraceReportRun, BadUsageAndUnreadableInputGiveTwo) {
  Write("rules.txt", "kept HKLM\\** everything\n");
  Write("broken.txt", "# trace snapshot 1\nK\tHKLM\\A\n");
  Write("bad-rules.txt", "keep HKLM\\** everything\n");
  std::string before = P("before.txt"), after = P("after.txt"), rules = P("rules.txt");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--before", before, "--after", after},
      {"--before", before, "--after", after, "--rules"},
      {"--before", before, "--after", after, "--rules", rules, "--colour"},
      {"--before", P("missing.txt"), "--after", after, "--rules", rules},
      {"--before", before, "--after", P("broken.txt"), "--rules", rules},
      {"--before", before, "--after", after, "--rules", P("bad-rules.txt")},
      {"--before", before, "--after", after, "--rules", rules, "--shots", P("no-such-dir")},
      {"--before", before, "--after", after, "--rules", rules, "--text", P("no-dir/r.txt")},
      {"--before", before, "--after", after, "--rules", rules, "--html", P("no-dir/r.html")},
  };
  for (const auto& arguments : cases) {
    EXPECT_EQ(Run(arguments), kBadInput) << testing::PrintToString(arguments);
    EXPECT_NE(err_.str().find("trace_report: "), std::string::npos);
  }
  std::string brokenError =
      (Run({"--before", before, "--after", P("broken.txt"), "--rules", rules}), err_.str());
  EXPECT_NE(brokenError.find("broken.txt: line 2:"), std::string::npos) << brokenError;
  // The same input with good arguments is fine: only the outputs are optional.
  EXPECT_EQ(Run({"--before", before, "--after", after, "--rules", rules}), kNoTrace);
}

}  // namespace
}  // namespace trace
