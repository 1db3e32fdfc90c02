// The removal preview: builds the simulated image of an input machine, runs
// the removal there step by step, and tells what it would change, what
// message boxes it would show, what it could not judge, and what it would
// leave that looks like the phone's.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/machine_options.h"
#include "preview/machine_input.h"
#include "tests/trace/snapshot_diff.h"

namespace preview {

struct PreviewOptions {
  // The version to assume; when not given, the one the input says.
  bool versionGiven = false;
  sim::WindowsVersion version = sim::WindowsVersion::WindowsXPSP3;
  bool administrator = true;
};

struct PreviewStep {
  std::string name;
  // The step's changes to the entries the input holds, spelled as the input
  // spells them, in path order.
  std::vector<trace::Difference> changes;
  std::vector<std::string> messageBoxes;  // the texts, in order
};

struct PreviewResult {
  sim::WindowsVersion version = sim::WindowsVersion::WindowsXPSP3;
  std::string versionSource;  // how the version was decided
  // 64-bit Windows: the removal run is the 64-bit program's (ImageOptions).
  bool windows64 = false;
  size_t inputEntries = 0;
  // What the input did not hold (the version's standard image stood in) and
  // what of it the image could not take.
  std::vector<std::string> notes;
  std::vector<PreviewStep> steps;
  // The whole difference of the input's entries, in path order.
  std::vector<trace::Difference> changes;
  // Changes the run made to parts of the image the input does not hold.
  size_t changesOutsideInput = 0;
  // INF files the removal read to decide whether they are the phone's, known
  // to the input by name only.
  std::vector<std::string> notJudged;
  // Entries of the input that survive and name the phone.
  std::vector<trace::Entry> leftLooksLikePhone;
  bool launcherNotified = false;
};

// False (with the reason) only when no version is given and the input does
// not say one the preview has an image of.
bool RunPreview(const MachineInput& input, const PreviewOptions& options, PreviewResult* result,
                std::string* error);

// One line per change of the input's entries: "removed<TAB>K<TAB>PATH".
std::string ChangeLines(const PreviewResult& result);
std::string ChangeLines(const std::vector<trace::Difference>& changes);

}  // namespace preview
