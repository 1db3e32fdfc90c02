#include "preview/live_machine_win.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "tests/trace/file_owner_win.h"
#include "tests/trace/folder_snapshot_win.h"
#include "tests/trace/registry_snapshot_win.h"
#include "tests/trace/snapshot_escape.h"
#include "tests/wine/native_view.h"

namespace preview {
namespace {

// Where Windows keeps the version the preview assumes by default
// (CurrentVersion, CurrentBuildNumber, CSDVersion); Windows 95/98/Me keep
// theirs (VersionNumber) in a tree that is read anyway.
const char kNtVersionKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  text.remove_prefix(text.size() - tail.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(tail[i])) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && EndsWithNoCase(a, b);
}

// Reads a whole file of at most kLiveInfLimit bytes: reads go on until the
// end of the file or one byte past the limit. On failure *note says why,
// with the file's path.
bool ReadBoundedFile(const std::string& path, const std::string& shownPath, std::string* bytes,
                     std::string* note) {
  trace::FileOwner file(::CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    DWORD openError = ::GetLastError();
    *note = "unread " + shownPath + ": error " + std::to_string(openError);
    return false;
  }
  constexpr DWORD kChunk = 1u << 16;
  bytes->clear();
  for (;;) {
    size_t used = bytes->size();
    if (used > kLiveInfLimit) {
      *note = "unread " + shownPath + ": larger than " + std::to_string(kLiveInfLimit) + " bytes";
      bytes->clear();
      return false;
    }
    bytes->resize(used + kChunk);
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes->data() + used, kChunk, &read, nullptr)) {
      DWORD readError = ::GetLastError();
      *note = "unread " + shownPath + ": error " + std::to_string(readError);
      bytes->clear();
      return false;
    }
    bytes->resize(used + read);
    if (read == 0) return true;
  }
}

// The contents of each *.inf file directly in one of the INF folders (the
// Windows folder's inf and LastGood\INF among the folders read).
void ReadInfContents(const std::vector<std::string>& folders, MachineInput* input) {
  for (const auto& [path, entry] : input->entries) {
    if (entry.kind != 'F' || !EndsWithNoCase(path, ".inf")) continue;
    std::string raw;
    if (!trace::UnescapeBytes(path, &raw)) continue;
    size_t slash = raw.rfind('\\');
    if (slash == std::string::npos) continue;
    std::string_view folder(raw.data(), slash);
    bool inInfFolder = false;
    for (const std::string& wanted : folders) {
      inInfFolder =
          inInfFolder || (EndsWithNoCase(wanted, "\\inf") && EqualsNoCase(folder, wanted));
    }
    if (!inInfFolder) continue;
    std::string bytes, note;
    if (ReadBoundedFile(raw, path, &bytes, &note)) {
      input->fileContents[path] = std::move(bytes);
    } else {
      input->notes.push_back(note);
    }
  }
}

}  // namespace

bool ReadLiveMachine(MachineInput* input, std::string* error) {
  std::vector<std::string> folders = trace::DefaultFolders();
  if (folders.empty()) {
    *error = "Windows names no Windows folder";
    return false;
  }
  native_view::NativeFileSystemScope nativeFiles;
  // On 64-bit Windows the removal is the 64-bit program's, which keeps
  // InstallFlag in SOFTWARE\Wow6432Node (read below with the other trees):
  // the preview's image is told, so that it looks for the flag there too.
  input->windows64 = sizeof(void*) == 8 || native_view::RunsUnderWow64();
  std::vector<trace::Entry> entries;
  std::vector<std::string> notes;
  for (const std::string& tree : trace::DefaultTrees()) {
    trace::TakeRegistryTree(tree, &entries, &notes);
  }
  trace::TakeRegistryKey(kNtVersionKey, &entries, &notes);
  if (entries.empty()) {
    *error = "no registry tree of the removal could be read";
    return false;
  }
  for (const std::string& folder : folders) trace::TakeFolder(folder, &entries, &notes);
  // The first of two entries with one path wins, as in trace_snapshot.exe:
  // overlapping trees, or names the ANSI code page makes equal.
  for (trace::Entry& entry : entries) {
    std::string path = entry.path;
    input->entries.emplace(std::move(path), std::move(entry));
  }
  // The snapshot code notes each tree or folder that does not exist as
  // "missing PATH".
  for (std::string& note : notes) {
    if (note.rfind("missing ", 0) == 0) note.replace(0, 8, "this PC has no ");
    input->notes.push_back(std::move(note));
  }
  ReadInfContents(folders, input);
  return true;
}

}  // namespace preview
