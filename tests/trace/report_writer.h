// The readable report of a comparison: plain text and a small HTML page.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/trace/trace_findings.h"

namespace trace {

struct ReportHeader {
  std::string title;
  std::string beforeFile;
  std::string afterFile;
  std::string rulesFile;
  size_t beforeEntries = 0;
  size_t afterEntries = 0;
};

// The full text: the summary, the traces, then each category's differences
// grouped by the rule that explains them, then the rules that explained
// nothing.
void WriteTextReport(std::ostream& out, const ReportHeader& header, const Findings& findings);

// A self-contained page (no scripts, no outside style sheets): the summary,
// one table of every difference with its category and reason, the rules that
// explained nothing, and the screenshots as <img> elements whose sources are
// the given links (relative to the page).
void WriteHtmlReport(std::ostream& out, const ReportHeader& header, const Findings& findings,
                     const std::vector<std::string>& screenshotLinks);

// One line per trace, for stderr: "trace: added value HKLM\...|Name".
void WriteTraceLines(std::ostream& out, const Findings& findings);

// The pieces the pages of other reports share: "1 entry", "2 entries";
// text with &, <, > and " escaped for HTML; the style sheet of the page.
std::string Plural(size_t count, std::string_view word);
std::string HtmlText(std::string_view text);
extern const char kReportStyle[];

// "12 differences: 1 trace, 9 kept, 2 harness, 0 wine".
std::string SummaryLine(const Findings& findings);

}  // namespace trace
