// The rules that explain differences between two snapshots.
//
// A rules file holds one rule per line; blank lines and lines starting with
// '#' are ignored:
//
//   CATEGORY PATTERN REASON...
//
// CATEGORY   kept     left on purpose by the program's design (Windows' own
//                     container keys, class keys, a tree NT 4 refuses to
//                     delete in one call)
//            harness  made by the test harness (the settings key it plants,
//                     its tool files)
//            wine     a difference only Wine makes (what its device removal
//                     keeps)
// PATTERN    an entry path as the snapshot writes it (escaped names, '\'
//            between names, '|' before a value name), compared without case
//            for ASCII letters. Written as one word, or in double quotes when
//            it holds spaces. Wildcards:
//              *     any run of characters except '\' (so within one name;
//                    "Key|*" is every value of Key, "Key\*" every sub-key of
//                    Key with its values)
//              **    any run of characters, '\' included
//            A pattern ending in "\**" also matches the key or folder before
//            it and that key's values: "HKLM\SOFTWARE\Maker\**" is the whole
//            tree. A literal '*' in a name is written %2A, as in the snapshot.
// REASON     the rest of the line, required: why the difference is expected.
//
// Each difference is explained by the first rule, in file order, whose
// pattern matches its path.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

enum class Category { kTrace, kKept, kHarness, kWine };

struct Rule {
  Category category = Category::kKept;
  std::string pattern;
  std::string reason;
  size_t line = 0;
};

// "trace", "kept", "harness", "wine".
const char* CategoryName(Category category);

// Reads a rules file. On failure returns false with "line N: reason".
bool ReadRules(std::istream& in, std::vector<Rule>* rules, std::string* error);

// True when the pattern matches the whole path (see above).
bool MatchPattern(std::string_view pattern, std::string_view path);

// The index of the first rule that matches path, or -1.
int FindRule(const std::vector<Rule>& rules, std::string_view path);

}  // namespace trace
