#include "tests/trace/trace_rules.h"

namespace trace {
namespace {

char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void SkipBlanks(std::string_view line, size_t* at) {
  while (*at < line.size() && IsBlank(line[*at])) ++*at;
}

// The next word, or the text between double quotes.
bool NextToken(std::string_view line, size_t* at, std::string* token) {
  SkipBlanks(line, at);
  if (*at >= line.size()) return false;
  if (line[*at] == '"') {
    size_t close = line.find('"', *at + 1);
    if (close == std::string_view::npos) return false;
    token->assign(line.substr(*at + 1, close - *at - 1));
    *at = close + 1;
    return *at >= line.size() || IsBlank(line[*at]);
  }
  size_t end = *at;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  token->assign(line.substr(*at, end - *at));
  *at = end;
  return true;
}

bool ParseCategory(const std::string& word, Category* category) {
  if (word == "kept") {
    *category = Category::kKept;
  } else if (word == "harness") {
    *category = Category::kHarness;
  } else if (word == "wine") {
    *category = Category::kWine;
  } else {
    return false;
  }
  return true;
}

bool LineError(size_t line, const std::string& reason, std::string* error) {
  *error = "line " + std::to_string(line) + ": " + reason;
  return false;
}

// Glob matching with backtracking over the wildcards; each wildcard tries the
// shortest run first.
bool Match(std::string_view pattern, std::string_view path) {
  while (!pattern.empty()) {
    if (pattern[0] != '*') {
      if (path.empty() || FoldCase(pattern[0]) != FoldCase(path[0])) return false;
      pattern.remove_prefix(1);
      path.remove_prefix(1);
      continue;
    }
    bool crossesNames = pattern.size() > 1 && pattern[1] == '*';
    size_t stars = 1;
    while (stars < pattern.size() && pattern[stars] == '*') ++stars;
    std::string_view rest = pattern.substr(stars);
    for (size_t take = 0; take <= path.size(); ++take) {
      if (Match(rest, path.substr(take))) return true;
      if (take < path.size() && path[take] == '\\' && !crossesNames) return false;
    }
    return false;
  }
  return path.empty();
}

}  // namespace

const char* CategoryName(Category category) {
  switch (category) {
    case Category::kTrace:
      return "trace";
    case Category::kKept:
      return "kept";
    case Category::kHarness:
      return "harness";
    case Category::kWine:
      return "wine";
  }
  return "?";
}

bool ReadRules(std::istream& in, std::vector<Rule>* rules, std::string* error) {
  rules->clear();
  std::string text;
  size_t lineNumber = 0;
  while (std::getline(in, text)) {
    ++lineNumber;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::string_view line = text;
    size_t at = 0;
    SkipBlanks(line, &at);
    if (at >= line.size() || line[at] == '#') continue;
    Rule rule;
    rule.line = lineNumber;
    std::string word;
    NextToken(line, &at, &word);
    if (!ParseCategory(word, &rule.category)) {
      return LineError(lineNumber, "unknown category \"" + word + "\" (kept, harness or wine)",
                       error);
    }
    if (!NextToken(line, &at, &rule.pattern) || rule.pattern.empty()) {
      return LineError(lineNumber, "no pattern, or an unclosed quote", error);
    }
    SkipBlanks(line, &at);
    rule.reason.assign(line.substr(at));
    while (!rule.reason.empty() && IsBlank(rule.reason.back())) rule.reason.pop_back();
    if (rule.reason.empty()) return LineError(lineNumber, "no reason given", error);
    rules->push_back(std::move(rule));
  }
  if (in.bad()) return LineError(lineNumber, "read error", error);
  return true;
}

bool MatchPattern(std::string_view pattern, std::string_view path) {
  if (Match(pattern, path)) return true;
  constexpr std::string_view kTree = "\\**";
  if (pattern.size() <= kTree.size() || pattern.substr(pattern.size() - kTree.size()) != kTree) {
    return false;
  }
  // "X\**" also matches X itself and X's values.
  std::string_view base = pattern.substr(0, pattern.size() - kTree.size());
  if (Match(base, path)) return true;
  std::string values(base);
  values += "|*";
  return Match(values, path);
}

int FindRule(const std::vector<Rule>& rules, std::string_view path) {
  for (size_t i = 0; i < rules.size(); ++i) {
    if (MatchPattern(rules[i].pattern, path)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace trace
