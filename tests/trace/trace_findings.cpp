#include "tests/trace/trace_findings.h"

namespace trace {

Findings Classify(std::vector<Difference> differences, std::vector<Rule> rules) {
  Findings findings;
  findings.rules = std::move(rules);
  findings.ruleUses.assign(findings.rules.size(), 0);
  findings.items.reserve(differences.size());
  for (Difference& difference : differences) {
    Finding finding;
    finding.rule = FindRule(findings.rules, difference.path);
    if (finding.rule >= 0) {
      finding.category = findings.rules[finding.rule].category;
      ++findings.ruleUses[finding.rule];
    }
    ++findings.perCategory[static_cast<size_t>(finding.category)];
    finding.difference = std::move(difference);
    findings.items.push_back(std::move(finding));
  }
  return findings;
}

}  // namespace trace
