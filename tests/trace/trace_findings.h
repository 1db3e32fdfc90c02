// The differences of two snapshots, each with the rule that explains it or
// none (a trace).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tests/trace/snapshot_diff.h"
#include "tests/trace/trace_rules.h"

namespace trace {

struct Finding {
  Difference difference;
  Category category = Category::kTrace;
  int rule = -1;  // index into Findings::rules, -1 for a trace
};

struct Findings {
  std::vector<Rule> rules;
  std::vector<Finding> items;           // in the order of the differences
  std::vector<size_t> ruleUses;         // per rule: the differences it explains
  std::array<size_t, 4> perCategory{};  // indexed by Category

  size_t Traces() const { return perCategory[static_cast<size_t>(Category::kTrace)]; }
};

Findings Classify(std::vector<Difference> differences, std::vector<Rule> rules);

}  // namespace trace
