// INF files as the Setup API reads them, for the simulated machine.
//
// The rules followed are Windows': a file is a list of [sections]; section
// names and keys compare without regard to case, and sections of the same
// name are joined. A line is "key = field, field, ..." or just "field, ...";
// a line with one field and no '=' is also its own key. ';' starts a comment
// outside quotes. Inside double quotes commas, '=' and ';' are plain text
// and "" is one quote. Spaces around a field are dropped unless quoted. A
// backslash followed only by spaces or a comment joins the next line.
// %name% is replaced by the value of name in the strings sections (a missing
// name stays as written, %% is one '%'); the strings sections' values
// themselves are kept as written. The setup functions choose among
// [Strings.LanguageID] sections by the thread locale's language: a name is
// looked up in the section whose four hex digits are that language exactly
// (Strings.040E for Hungarian), then in the one that names only its primary
// language (Strings.000E, the default for every Hungarian locale), then in
// [Strings]. The digits are compared as a number, so Strings.0e is
// Strings.000E. A name missing from the language's section falls back to the
// next section in that order, as Wine's reader does (Windows' documentation
// says only which section matches best). A Ctrl-Z ends the file. Directory ids such as %10% are
// not expanded.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Setup API error codes not in win_types.h.
constexpr uint32_t kErrorExpectedSectionName = 0xE0000000u;
constexpr uint32_t kErrorBadSectionNameLine = 0xE0000001u;
constexpr uint32_t kErrorSectionNameTooLong = 0xE0000002u;
constexpr uint32_t kErrorGeneralSyntax = 0xE0000003u;
constexpr uint32_t kErrorWrongInfStyle = 0xE0000100u;

struct InfLine {
  bool hasKey = false;
  std::string key;
  std::vector<std::string> fields;  // field 1 onwards
};

struct InfSection {
  std::string name;
  std::vector<InfLine> lines;
};

class InfFile {
 public:
  // Parses the text, substituting strings for the language `languageId`
  // (a LANGID; 0 for [Strings] alone). Returns ERROR_SUCCESS, or a syntax
  // error code with the 1-based number of the offending line in *errorLine.
  uint32_t Parse(std::string_view text, unsigned* errorLine, uint16_t languageId = 0);

  // The section of that name (any case), or -1.
  int FindSection(std::string_view name) const;
  const InfSection& Section(int index) const { return sections_[index]; }
  size_t SectionCount() const { return sections_.size(); }
  // True when [Version] has Signature "$Windows NT$", "$Chicago$" or
  // "$Windows 95$" (any case): a Windows 95 / NT 4 style INF.
  bool IsWin4() const;
  // Field 1 of the line `key` of [Version], or "" when there is none.
  std::string VersionValue(std::string_view key) const;

 private:
  InfSection& SectionNamed(const std::string& name);
  void Substitute(uint16_t languageId);

  std::vector<InfSection> sections_;
};

// ASCII case-insensitive equality, as the Setup API compares names.
bool SameInfName(std::string_view a, std::string_view b);

}  // namespace sim
