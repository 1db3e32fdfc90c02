// Compares a predicted difference of a machine with the real difference of two
// snapshots of it, entry by entry:
//
//   changes_check BEFORE.txt AFTER.txt PREDICTED.txt RULES.txt
//
// PREDICTED holds one line per entry, CHANGE <tab> KIND <tab> PATH (CHANGE
// "removed", "changed" or "added", KIND the snapshot kind letter), as
// `usbinst_preview --changes` writes it. Paths are compared without regard to
// the case of ASCII letters, as Windows compares key, value and file names
// (two snapshots may name one folder "SYSTEM32" and "system32"). A line on one side only is a
// mismatch unless a rule of RULES (trace_rules.h) names its path: each is
// printed with its side, and with the rule's reason when one explains it.
// Exit code 0 when every mismatch is explained, 1 when one is not, 2 for bad
// input (and for an empty prediction or an empty real difference, which would
// make the comparison prove nothing).
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "tests/trace/snapshot_diff.h"
#include "tests/trace/snapshot_entry.h"
#include "tests/trace/trace_rules.h"

namespace {

std::string FoldCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return text;
}

struct Change {
  std::string change;
  char kind = 0;
  std::string path;
  bool operator<(const Change& other) const {
    std::string folded = FoldCase(path), otherFolded = FoldCase(other.path);
    if (folded != otherFolded) return trace::PathLess()(folded, otherFolded);
    if (change != other.change) return change < other.change;
    return kind < other.kind;
  }
};

std::string Line(const Change& change) {
  return change.change + '\t' + change.kind + '\t' + change.path;
}

bool Fail(const std::string& message) {
  std::cerr << "changes_check: " << message << '\n';
  return false;
}

bool LoadSnapshot(const char* file, trace::Snapshot* snapshot) {
  std::ifstream in(file, std::ios::binary);
  std::string error;
  if (!in) return Fail(std::string("cannot read ") + file);
  if (!trace::ReadSnapshot(in, snapshot, &error)) return Fail(file + (": " + error));
  return true;
}

bool LoadPredicted(const char* file, std::set<Change>* changes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return Fail(std::string("cannot read ") + file);
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    size_t tab1 = line.find('\t');
    size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    Change change;
    if (tab2 == tab1 + 2) change = {line.substr(0, tab1), line[tab1 + 1], line.substr(tab2 + 1)};
    bool known = change.change == "removed" || change.change == "changed" ||
                 change.change == "added";
    if (!known || !trace::IsEntryKind(change.kind) || change.path.empty()) {
      return Fail(std::string(file) + ": line " + std::to_string(number) +
                  ": not CHANGE<tab>KIND<tab>PATH");
    }
    changes->insert(change);
  }
  return true;
}

bool LoadRules(const char* file, std::vector<trace::Rule>* rules) {
  std::ifstream in(file, std::ios::binary);
  std::string error;
  if (!in) return Fail(std::string("cannot read ") + file);
  if (!trace::ReadRules(in, rules, &error)) return Fail(file + (": " + error));
  return true;
}

// Prints the changes of `side` missing from `other`; false when a rule
// explains not every one of them.
bool Report(const std::set<Change>& side, const std::set<Change>& other, const char* label,
            const std::vector<trace::Rule>& rules) {
  bool explained = true;
  for (const Change& change : side) {
    if (other.count(change)) continue;
    int rule = trace::FindRule(rules, change.path);
    if (rule < 0) {
      std::cout << label << ", unexplained: " << Line(change) << '\n';
      explained = false;
    } else {
      std::cout << label << ", " << trace::CategoryName(rules[size_t(rule)].category) << ": "
                << Line(change) << " (" << rules[size_t(rule)].reason << ")\n";
    }
  }
  return explained;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: changes_check BEFORE.txt AFTER.txt PREDICTED.txt RULES.txt\n";
    return 2;
  }
  trace::Snapshot before, after;
  std::set<Change> predicted, real;
  std::vector<trace::Rule> rules;
  if (!LoadSnapshot(argv[1], &before) || !LoadSnapshot(argv[2], &after) ||
      !LoadPredicted(argv[3], &predicted) || !LoadRules(argv[4], &rules)) {
    return 2;
  }
  for (const trace::Difference& difference : trace::DiffSnapshots(before, after)) {
    char kind = difference.kindBefore ? difference.kindBefore : difference.kindAfter;
    real.insert({trace::ChangeName(difference.change), kind, difference.path});
  }
  if (predicted.empty() || real.empty()) {
    std::cerr << "changes_check: " << predicted.size() << " predicted and " << real.size()
              << " real changes: nothing to compare\n";
    return 2;
  }
  bool explained = Report(predicted, real, "predicted only", rules);
  explained = Report(real, predicted, "real only", rules) && explained;
  size_t same = 0;
  for (const Change& change : predicted) same += real.count(change);
  std::cout << "changes_check: " << predicted.size() << " predicted, " << real.size()
            << " real, " << same << " in both\n";
  return explained ? 0 : 1;
}
