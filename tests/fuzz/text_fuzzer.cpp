// Fuzzer of the placeholder substitution and the bounded text and path
// routines. Every routine writes into a buffer of the size the program uses
// (261 bytes for paths, or a capacity the input picks below that), followed
// by guard bytes that must come out untouched; AddressSanitizer catches a
// read or write further out. Each result must be terminated within its
// capacity and keep the routine's documented bound:
//   Substitute / SubstituteForFormat: at most capacity - 1 bytes; untouched
//     when the result is false (the format variant may still double the '%'
//     of a placeholder left in the text); no double-byte character split at
//     the cut;
//   SubstituteForFormat: wvsprintfA over the result with no arguments never
//     reads one (no directive that takes an argument is left);
//   CopyBounded, AppendBounded: at most `limit` bytes, a prefix of the whole;
//   AppendBackslash, StripTrailingBackslash, ReplaceExtension: within the
//     capacity, the path before the change kept;
//   AppendText, AppendTextWhole, JoinPath and the Windows folder builders: at
//     most 260 bytes, and a builder that answers 1 gives the whole path.
// The code page (1250, 1252 or Shift-JIS 932) comes from the input, so the
// double-byte rules are exercised too.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/branding.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "install/driver_installer.h"
#include "install/path_building.h"
#include "platform/platform.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "text/text_template.h"

namespace {

constexpr size_t kGuard = 16;
constexpr char kGuardByte = '\x5A';

void Fail(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "%s %s\n", what, detail.c_str());
  std::abort();
}

// A buffer of `capacity` bytes followed by guard bytes.
class Guarded {
 public:
  Guarded(size_t capacity, const std::string& text) : capacity_(capacity) {
    bytes_.assign(capacity + kGuard, kGuardByte);
    size_t n = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(bytes_.data(), text.data(), n);
    bytes_[n] = '\0';
  }
  char* data() { return bytes_.data(); }
  int capacity() const { return int(capacity_); }
  // The text; fails when it is not terminated within the capacity or a guard
  // byte changed.
  std::string Checked(const char* routine) const {
    for (size_t i = capacity_; i < bytes_.size(); ++i) {
      if (bytes_[i] != kGuardByte) Fail(routine, "wrote past its buffer");
    }
    size_t length = strnlen(bytes_.data(), capacity_);
    if (length == capacity_) Fail(routine, "left no terminator");
    return std::string(bytes_.data(), length);
  }

 private:
  size_t capacity_;
  std::vector<char> bytes_;
};

std::string Text(FuzzedDataProvider& in, size_t most) {
  std::string text = in.ConsumeRandomLengthString(most);
  return text;
}

// True when a double-byte character of the code page ends the text half.
bool EndsInLeadByte(const std::string& text) {
  int i = 0;
  int n = int(text.size());
  bool lead = false;
  while (i < n) {
    lead = plat::IsDBCSLeadByte(BYTE(text[size_t(i)])) != 0;
    i += lead ? 2 : 1;
  }
  return lead && i > n;
}

void FormatWithoutArguments(char* output, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  plat::wvsprintfA(output, format, arguments);
  va_end(arguments);
}

void FuzzSubstitute(FuzzedDataProvider& in) {
  // A text used as a format is a string-table text: its only '%' are those
  // of the two placeholder tokens, and the table holds those two only.
  bool forFormat = in.ConsumeBool();
  const char* const tokens[] = {"<%SERIES%>", "<%CATEGORY%>"};
  TextTemplate table;
  int entries = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < entries; ++i) {
    std::string placeholder = forFormat || in.ConsumeBool() ? tokens[in.ConsumeBool() ? 1 : 0]
                                                            : Text(in, 12);
    std::string value = Text(in, 40);
    table.AddPlaceholder(placeholder.c_str(), value.c_str());
  }
  size_t capacity = in.ConsumeIntegralInRange<size_t>(1, 1100);
  std::string text = Text(in, 1100);
  if (forFormat) {
    // Pieces of text without '%', with whole tokens between them.
    std::erase(text, '%');
    std::string pieces;
    for (int i = in.ConsumeIntegralInRange<int>(0, 4); i > 0 && !text.empty(); --i) {
      size_t cut = in.ConsumeIntegralInRange<size_t>(0, text.size());
      pieces += text.substr(0, cut) + tokens[in.ConsumeBool() ? 1 : 0];
      text.erase(0, cut);
    }
    text = pieces + text;
  }
  Guarded buffer(capacity, text);
  std::string before = buffer.Checked("Substitute (input)");
  bool rewritten = forFormat ? table.SubstituteForFormat(buffer.data(), buffer.capacity())
                             : table.Substitute(buffer.data(), buffer.capacity());
  std::string after = buffer.Checked(forFormat ? "SubstituteForFormat" : "Substitute");
  if (!rewritten && !forFormat && after != before) Fail("Substitute", "changed a text it refused");
  if (rewritten && EndsInLeadByte(after)) Fail("Substitute", "split a double-byte character");
  if (forFormat) {
    // No argument is passed, so the format must not ask for one: every '%'
    // is doubled, or the last byte.
    for (size_t i = 0; i < after.size(); ++i) {
      if (after[i] != '%') continue;
      if (i + 1 < after.size() && after[i + 1] != '%') {
        Fail("SubstituteForFormat left a directive:", "[" + text + "] -> [" + after + "]");
      }
      ++i;
    }
    char output[1100];
    FormatWithoutArguments(output, buffer.data());
    if (strnlen(output, sizeof output) >= 1025) Fail("wvsprintfA", "wrote more than 1024 bytes");
  }
}

void FuzzBounded(FuzzedDataProvider& in) {
  std::string start = Text(in, 300);
  std::string source = Text(in, 300);
  int limit = in.ConsumeIntegralInRange<int>(0, kPathLimit);
  Guarded copy(size_t(limit) + 1, "");
  int length = -1;
  int whole = CopyBounded(copy.data(), source.c_str(), limit, &length);
  std::string copied = copy.Checked("CopyBounded");
  if (int(copied.size()) > limit || source.compare(0, copied.size(), copied) != 0) {
    Fail("CopyBounded", "exceeded its limit or changed the text");
  }
  if (whole == 1 && copied != source.c_str()) Fail("CopyBounded", "claimed the whole source");

  Guarded append(size_t(limit) + 1, start);
  std::string old = append.Checked("AppendBounded (input)");
  AppendBounded(append.data(), source.c_str(), limit, &length);
  std::string appended = append.Checked("AppendBounded");
  if (int(appended.size()) > limit && appended != old) Fail("AppendBounded", "exceeded its limit");

  Guarded path(kPathCapacity, start);
  std::string pathBefore = path.Checked("AppendBackslash (input)");
  AppendBackslash(path.data(), kPathCapacity);
  std::string withSlash = path.Checked("AppendBackslash");
  if (withSlash.compare(0, pathBefore.size(), pathBefore) != 0) Fail("AppendBackslash", "lost text");
  StripTrailingBackslash(path.data());
  path.Checked("StripTrailingBackslash");

  Guarded renamed(kPathCapacity, start);
  std::string extension = in.ConsumeBool() ? ".PNF" : "." + Text(in, 8);
  int extensionLimit = in.ConsumeIntegralInRange<int>(0, kPathLimit);
  ReplaceExtension(renamed.data(), extension.c_str(), extensionLimit);
  renamed.Checked("ReplaceExtension");
}

void FuzzStringTableAppends(FuzzedDataProvider& in) {
  int count = 0;
  const StringTableEntry* entries = StringTableEntries(&count);
  int id = entries[in.ConsumeIntegralInRange<int>(0, count - 1)].id;
  if (in.ConsumeBool()) RegisterPlaceholders(Text(in, 16).c_str(), Text(in, 16).c_str());
  std::string start = Text(in, 300);
  int capacity = in.ConsumeIntegralInRange<int>(1, kPathCapacity);
  Guarded buffer(size_t(capacity), start);
  AppendText(id, buffer.data(), capacity);
  buffer.Checked("AppendText");

  Guarded path(kPathCapacity, start);
  std::string before = path.Checked("AppendTextWhole (input)");
  int whole = AppendTextWhole(id, path.data());
  std::string after = path.Checked("AppendTextWhole");
  if (whole == 1 && after.compare(0, before.size(), before) != 0) Fail("AppendTextWhole", "lost text");

  Guarded joined(kPathCapacity, "");
  std::string folder = Text(in, 300).c_str();
  std::string name = Text(in, 300).c_str();
  int fits = JoinPath(joined.data(), folder.c_str(), name.c_str());
  std::string result = joined.Checked("JoinPath");
  // The separator is added unless the folder already ends in one (a single
  // byte, not the trail byte of a double-byte character).
  bool endsInSeparator = !folder.empty() && folder.back() == '\\' &&
                         ByteKindAt(folder.c_str(), int(folder.size()) - 1) == 0;
  std::string expected = folder + (endsInSeparator ? "" : "\\") + name;
  // (An empty folder or name is no path; callers never pass one.)
  if (fits == 1 && !folder.empty() && !name.empty() && result != expected) {
    Fail("JoinPath answered 1 with another path:", "[" + folder + "] [" + name + "] -> [" + result + "]");
  }
  if (fits == 0 && !result.empty()) Fail("JoinPath", "answered 0 and kept text");
}

void FuzzFolders(FuzzedDataProvider& in, sim::Machine& machine) {
  std::string windows = "C:\\" + std::string(Text(in, 300).c_str());
  machine.files.SetWindowsFolders(windows, windows + "\\SYSTEM32");
  DriverInstaller installer(in.ConsumeBool() ? 12 : 1);
  using Builder = int (DriverInstaller::*)(char*);
  const Builder builders[] = {&DriverInstaller::GetInfFolder, &DriverInstaller::GetLastGoodInfFolder,
                              &DriverInstaller::GetDriversFolder,
                              &DriverInstaller::GetLastGoodDriversFolder,
                              &DriverInstaller::GetPackageSourceFolder};
  for (Builder builder : builders) {
    Guarded folder(kPathCapacity, "");
    int built = (installer.*builder)(folder.data());
    std::string text = folder.Checked("folder builder");
    if (built == 1 && builder != &DriverInstaller::GetPackageSourceFolder &&
        text.rfind(windows, 0) != 0) {
      Fail("folder builder answered 1 with a path outside the Windows folder:",
           "[" + windows + "] -> [" + text + "]");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const uint32_t codePages[] = {1250, 1252, 932};
  sim::MachineOptions options;
  options.codePage = codePages[in.ConsumeIntegralInRange<int>(0, 2)];
  if (in.ConsumeBool()) options.programPath = "D:\\" + Text(in, 280) + "\\USBINST.EXE";
  sim::Machine& machine = FreshMachine(options);
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      FuzzSubstitute(in);
      break;
    case 1:
      FuzzBounded(in);
      break;
    case 2:
      FuzzStringTableAppends(in);
      break;
    default:
      FuzzFolders(in, machine);
      break;
  }
  if (!OpenHandles().empty()) Fail("handles left open:", OpenHandles());
  return 0;
}
