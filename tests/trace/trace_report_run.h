// The trace_report command:
//
//   trace_report --before A.txt --after B.txt --rules RULES.txt [--title TEXT]
//                [--shots DIR] [--text OUT.txt] [--html OUT.html]
//
// Prints a short summary to `out`, names each trace on `err`, and writes the
// full report to the --text and --html files. The page links the PNG files of
// DIR (sorted by name) by paths relative to the page's folder; they are not
// copied.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace trace {

constexpr int kNoTrace = 0;
constexpr int kTracesLeft = 1;
constexpr int kBadInput = 2;  // wrong command line, unreadable input, unwritable output

int RunTraceReport(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace trace
