// The preview's report: plain text for the terminal, and a self-contained
// HTML page in the style of the trace report.
//
// Each step of the removal, in the order the steps ran, lists what it would
// change: the devices (device instance keys) and services it deletes, the
// files, the keys (a deleted key once, with the count of what goes below it),
// the values, and the COM numbers it releases (bits of "ComDB", "Ports" and
// SERIALCOMM entries), then the message boxes it shows. Then come the INF
// files that could not be judged, and what survives that looks like the
// phone's.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "preview/preview.h"

namespace preview {

// What one step's changes amount to, in the categories of the report.
struct StepSummary {
  std::vector<std::string> devices;   // instance paths as the input spells them
  std::vector<std::string> services;  // service key paths
  std::vector<std::string> files;
  // Keys deleted with everything below them: the key and the count of
  // entries below it that go with it.
  std::vector<std::pair<std::string, size_t>> keys;
  std::vector<const trace::Difference*> values;  // removed or changed values of kept keys
  std::vector<std::string> comNumbers;           // "COM5 (ComDB bit released)" and the like
  std::vector<const trace::Difference*> other;   // added entries, changed keys
};
StepSummary SummarizeStep(const PreviewStep& step);

void WriteTextPreview(std::ostream& out, const PreviewResult& result);
void WriteHtmlPreview(std::ostream& out, const PreviewResult& result);

}  // namespace preview
