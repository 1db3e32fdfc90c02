#include "tests/fail_each_call.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "tests/sim_test_support.h"

namespace {

// Every call fails in turn; the slower sanitizer build takes every third
// call and the first of each operation.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kStep = 3;
#else
constexpr size_t kStep = 1;
#endif

// Calls that cannot fail on Windows either, and the releases: a handle whose
// release fails cannot be released another way.
bool CannotFail(const std::string& operation) {
  for (const char* name : {"IsDBCSLeadByte", "lstrlenA", "lstrcmpA", "lstrcmpiA", "GetACP",
                           "RegCloseKey", "FreeSid", "HeapFree", "LocalFree", "FindClose",
                           "CloseHandle", "CloseServiceHandle", "SetupDiDestroyDeviceInfoList",
                           "SetupCloseInfFile", "GetLastError", "SetLastError", "FreeLibrary"}) {
    if (operation == name) return true;
  }
  return false;
}

// The lines of `before` that `after` lacks.
std::string Missing(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  std::string missing;
  for (const std::string& line : before) {
    if (std::find(after.begin(), after.end(), line) == after.end()) missing += line + "\n";
  }
  return missing;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

struct Neighbours {
  std::vector<std::string> registry;
  std::vector<std::string> files;
};

sim::Machine& Prepare(const FailureStep& step, Neighbours* neighbours) {
  sim::Machine& machine = FreshMachine(step.options);
  step.plantNeighbours(machine);
  neighbours->registry = machine.registry.Snapshot();
  neighbours->files = SplitLines(machine.files.SnapshotText());
  step.plantPhone(machine);
  machine.faults.ResetCounts();
  return machine;
}

}  // namespace

std::vector<unsigned long> FailureCodesFor(const std::string& operation) {
  if (operation == "RegEnumKeyExA" || operation == "RegEnumValueA") {
    return {ERROR_ACCESS_DENIED, ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA};
  }
  if (operation == "RegQueryValueExA") return {ERROR_ACCESS_DENIED, ERROR_MORE_DATA};
  if (operation == "RegOpenKeyExA" || operation == "FindFirstFileA") {
    return {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND};
  }
  if (operation == "SetupDiEnumDeviceInfo") return {ERROR_ACCESS_DENIED, ERROR_NO_MORE_ITEMS};
  if (operation == "SetupDiGetDeviceRegistryPropertyA") {
    return {ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_DATA};
  }
  return {ERROR_ACCESS_DENIED};
}

int FailEachCall(const FailureStep& step) {
  Neighbours neighbours;
  sim::Machine& baseline = Prepare(step, &neighbours);
  baseline.faults.StartCallLog();
  EXPECT_EQ(step.run(), 1) << step.name;
  std::vector<std::string> calls = baseline.faults.CallLog();
  int cases = 0;
  std::set<std::string> seen;
  for (size_t n = 1; n <= calls.size(); ++n) {
    if (CannotFail(calls[n - 1])) continue;
    bool first = seen.insert(calls[n - 1]).second;
    if (!first && (n - 1) % kStep != 0) continue;
    for (unsigned long code : FailureCodesFor(calls[n - 1])) {
      sim::Machine& machine = Prepare(step, &neighbours);
      machine.faults.FailOnAnyCall(n, static_cast<uint32_t>(code));
      int result = step.run();
      std::string what = std::string(step.name) + ": call " + std::to_string(n) + " " +
                         calls[n - 1] + " fails with " + std::to_string(code);
      EXPECT_TRUE(result == 0 || result == 1) << what;
      EXPECT_EQ(OpenHandles(), "") << what;
      EXPECT_EQ(Missing(neighbours.registry, machine.registry.Snapshot()), "") << what;
      EXPECT_EQ(Missing(neighbours.files, SplitLines(machine.files.SnapshotText())), "") << what;
      ++cases;
    }
  }
  return cases;
}
