// Compares two snapshots of trace_snapshot.exe against a rules file; see
// trace_report_run.h. Exit code 0 when every difference is explained, 1 when
// a trace is left, 2 for bad usage or unreadable input.
#include <iostream>
#include <string>
#include <vector>

#include "tests/trace/trace_report_run.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return trace::RunTraceReport(arguments, std::cout, std::cerr);
}
