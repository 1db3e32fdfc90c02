#include "tests/trace/report_writer.h"

#include <string_view>

namespace trace {
namespace {

const Category kCategories[] = {Category::kKept, Category::kHarness, Category::kWine};

size_t Count(const Findings& findings, Category category) {
  return findings.perCategory[static_cast<size_t>(category)];
}

// "added value HKLM\...|Name"; a changed entry names its kind after the change.
std::string Headline(const Difference& difference) {
  char kind = difference.kindAfter ? difference.kindAfter : difference.kindBefore;
  std::string text = ChangeName(difference.change);
  text += ' ';
  text += KindName(kind);
  if (difference.change == Change::kChanged && difference.kindBefore != difference.kindAfter) {
    text += std::string(" (was ") + KindName(difference.kindBefore) + ")";
  }
  text += ' ';
  text += difference.path;
  return text;
}

void WriteTextDifference(std::ostream& out, const Difference& difference) {
  out << "  " << Headline(difference) << '\n';
  if (difference.kindBefore && !difference.detailBefore.empty()) {
    out << "      before: " << difference.detailBefore << '\n';
  }
  if (difference.kindAfter && !difference.detailAfter.empty()) {
    out << "      after:  " << difference.detailAfter << '\n';
  }
}

std::string RuleText(const Rule& rule) {
  return "line " + std::to_string(rule.line) + ": " + CategoryName(rule.category) + " \"" +
         rule.pattern + "\" " + rule.reason;
}

// A relative link with every byte that is not plainly safe in a URL
// percent-encoded ('/' kept as the separator).
std::string UrlPath(std::string_view path) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string url;
  for (char c : path) {
    unsigned char byte = static_cast<unsigned char>(c);
    bool safe = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
                byte == '~' || byte == '/';
    if (safe) {
      url += c;
    } else {
      url += '%';
      url += kDigits[byte >> 4];
      url += kDigits[byte & 0x0F];
    }
  }
  return url;
}

}  // namespace

// "1 entry", "2 entries", "1 rule", "3 rules".
std::string Plural(size_t count, std::string_view word) {
  std::string text = std::to_string(count) + " ";
  if (count == 1) return text.append(word);
  if (word.size() > 1 && word.back() == 'y')
    return text.append(word.substr(0, word.size() - 1)) + "ies";
  return text.append(word) + "s";
}

std::string HtmlText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

const char kReportStyle[] =
    "body{font-family:sans-serif;margin:1.5em}"
    "table{border-collapse:collapse;font-size:90%}"
    "th,td{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top}"
    "td.path,td.data{font-family:monospace;word-break:break-all}"
    "tr.trace td{background:#fdd}tr.kept td{background:#eef}"
    "tr.harness td{background:#efe}tr.wine td{background:#ffe}"
    ".pass{color:#060}.fail{color:#a00}"
    "figure{display:inline-block;margin:0 1em 1em 0}img{border:1px solid #888}";



std::string SummaryLine(const Findings& findings) {
  return Plural(findings.items.size(), "difference") + ": " + Plural(findings.Traces(), "trace") +
         ", " + std::to_string(Count(findings, Category::kKept)) + " kept, " +
         std::to_string(Count(findings, Category::kHarness)) + " harness, " +
         std::to_string(Count(findings, Category::kWine)) + " wine";
}

void WriteTraceLines(std::ostream& out, const Findings& findings) {
  for (const Finding& finding : findings.items) {
    if (finding.category == Category::kTrace) {
      out << "trace: " << Headline(finding.difference) << '\n';
    }
  }
}

void WriteTextReport(std::ostream& out, const ReportHeader& header, const Findings& findings) {
  out << "Trace report: " << header.title << '\n'
      << "Before: " << header.beforeFile << " (" << Plural(header.beforeEntries, "entry") << ")\n"
      << "After:  " << header.afterFile << " (" << Plural(header.afterEntries, "entry") << ")\n"
      << "Rules:  " << header.rulesFile << " (" << Plural(findings.rules.size(), "rule") << ")\n"
      << SummaryLine(findings) << '\n'
      << (findings.Traces() == 0 ? "Result: no trace, every difference is explained\n"
                                 : "Result: TRACES LEFT\n");

  out << "\n== Traces: differences no rule explains (" << findings.Traces() << ")\n";
  for (const Finding& finding : findings.items) {
    if (finding.category == Category::kTrace) WriteTextDifference(out, finding.difference);
  }
  for (Category category : kCategories) {
    out << "\n== " << CategoryName(category) << " (" << Count(findings, category) << ")\n";
    for (size_t rule = 0; rule < findings.rules.size(); ++rule) {
      if (findings.rules[rule].category != category || findings.ruleUses[rule] == 0) continue;
      out << "-- " << RuleText(findings.rules[rule]) << " ("
          << Plural(findings.ruleUses[rule], "difference") << ")\n";
      for (const Finding& finding : findings.items) {
        if (finding.rule == static_cast<int>(rule)) WriteTextDifference(out, finding.difference);
      }
    }
  }
  out << "\n== Rules that explained nothing\n";
  for (size_t rule = 0; rule < findings.rules.size(); ++rule) {
    if (findings.ruleUses[rule] == 0) out << "  " << RuleText(findings.rules[rule]) << '\n';
  }
}

void WriteHtmlReport(std::ostream& out, const ReportHeader& header, const Findings& findings,
                     const std::vector<std::string>& screenshotLinks) {
  bool pass = findings.Traces() == 0;
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Trace report: "
      << HtmlText(header.title) << "</title>\n<style>" << kReportStyle << "</style></head><body>\n"
      << "<h1>Trace report: " << HtmlText(header.title) << "</h1>\n"
      << "<p>Before: <code>" << HtmlText(header.beforeFile) << "</code> ("
      << Plural(header.beforeEntries, "entry") << ")<br>After: <code>" << HtmlText(header.afterFile)
      << "</code> (" << Plural(header.afterEntries, "entry") << ")<br>Rules: <code>"
      << HtmlText(header.rulesFile) << "</code></p>\n"
      << "<p class=\"" << (pass ? "pass" : "fail") << "\"><b>" << HtmlText(SummaryLine(findings))
      << (pass ? " &mdash; no trace" : " &mdash; TRACES LEFT") << "</b></p>\n";

  out << "<h2>Differences</h2>\n<table>\n<tr><th>Category</th><th>Change</th><th>Kind</th>"
         "<th>Path</th><th>Before</th><th>After</th><th>Reason</th></tr>\n";
  // Traces first, then the explained differences by category.
  for (Category category :
       {Category::kTrace, Category::kKept, Category::kHarness, Category::kWine}) {
    for (const Finding& finding : findings.items) {
      if (finding.category != category) continue;
      const Difference& difference = finding.difference;
      char kind = difference.kindAfter ? difference.kindAfter : difference.kindBefore;
      std::string reason = finding.rule >= 0
                               ? findings.rules[finding.rule].reason + " (rule line " +
                                     std::to_string(findings.rules[finding.rule].line) + ")"
                               : "";
      out << "<tr class=\"" << CategoryName(category) << "\"><td>" << CategoryName(category)
          << "</td><td>" << ChangeName(difference.change) << "</td><td>" << KindName(kind)
          << "</td><td class=\"path\">" << HtmlText(difference.path) << "</td><td class=\"data\">"
          << HtmlText(difference.detailBefore) << "</td><td class=\"data\">"
          << HtmlText(difference.detailAfter) << "</td><td>" << HtmlText(reason) << "</td></tr>\n";
    }
  }
  out << "</table>\n<h2>Rules that explained nothing</h2>\n<ul>\n";
  bool anyIdle = false;
  for (size_t rule = 0; rule < findings.rules.size(); ++rule) {
    if (findings.ruleUses[rule] == 0) {
      out << "<li><code>" << HtmlText(RuleText(findings.rules[rule])) << "</code></li>\n";
      anyIdle = true;
    }
  }
  out << (anyIdle ? "" : "<li>none</li>\n") << "</ul>\n";
  if (!screenshotLinks.empty()) {
    out << "<h2>Screenshots</h2>\n";
    for (const std::string& link : screenshotLinks) {
      out << "<figure><img src=\"" << HtmlText(UrlPath(link)) << "\" alt=\"" << HtmlText(link)
          << "\"><figcaption>" << HtmlText(link) << "</figcaption></figure>\n";
    }
  }
  out << "</body></html>\n";
}

}  // namespace trace
