// The placeholder table: every text loaded from the string table passes
// through Substitute, which replaces "<%SERIES%>" and "<%CATEGORY%>" by the
// branding words of the INI file.
#pragma once
#include <list>
#include <string>

#include "platform/win_types.h"

struct PlaceholderEntry {
  std::string placeholder;
  std::string value;
};

class TextTemplate {
 public:
  TextTemplate() = default;
  ~TextTemplate() = default;
  TextTemplate(const TextTemplate&) = delete;
  TextTemplate& operator=(const TextTemplate&) = delete;

  // Adds an entry at the end of the table. A value that holds its own
  // placeholder would make the substitution endless, so such an entry is
  // not added.
  void AddPlaceholder(const char* placeholder, const char* value);

  // Rewrites the terminated text in `buffer` in place. Returns true when the
  // buffer was rewritten (also when nothing matched), false when it was left
  // untouched: an empty text, a text or entry that is not valid in the code
  // page, or a substitution that would not end. A result longer than
  // capacity - 1 bytes is cut there without splitting a double-byte
  // character and stays terminated.
  bool Substitute(char* buffer, int capacity) const;

  // The same, for a text that is then used as a wvsprintfA format: each '%'
  // that a value brings in is doubled, so that a value is printed as it is
  // and never read as a format directive. A placeholder token left in the
  // text (no entry for it, or a failed substitution) has its '%' doubled as
  // well, also when the result is false; a token without room for that is
  // cut off with the rest of the text.
  bool SubstituteForFormat(char* buffer, int capacity) const;

  size_t EntryCount() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  bool Apply(char* buffer, int capacity, bool escapePercent) const;

  std::list<PlaceholderEntry> entries_;
  UINT codePage_ = CP_ACP;
};

// The process-wide table, empty until the branding fills it (RegisterPlaceholders).
TextTemplate& Placeholders();
