// Takes a snapshot of the registry trees and folders that an installation or
// a removal could change, so that trace_report can compare two of them.
//
//   trace_snapshot.exe OUTFILE [--tree ROOT\PATH]... [--folder C:\PATH]...
//
// Without --tree and --folder it takes the default set (DefaultTrees and
// DefaultFolders). The format is described in
// snapshot_entry.h. Exit code 0, 1 when OUTFILE cannot be written, 2 for a
// wrong command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/trace/folder_snapshot_win.h"
#include "tests/trace/registry_snapshot_win.h"
#include "tests/trace/snapshot_entry.h"
#include "tests/trace/snapshot_escape.h"
#include "tests/wine/native_view.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: trace_snapshot.exe OUTFILE [--tree ROOT\\PATH]... [--folder C:\\PATH]...\n");
  return 2;
}

// Keeps the first of entries with the same path: overlapping trees, or two
// names that the ANSI code page turns into the same text.
void RemoveDuplicates(std::vector<trace::Entry>* entries) {
  std::stable_sort(entries->begin(), entries->end(),
                   [](const auto& a, const auto& b) { return trace::PathLess()(a.path, b.path); });
  auto end = std::unique(entries->begin(), entries->end(),
                         [](const auto& a, const auto& b) { return a.path == b.path; });
  entries->erase(end, entries->end());
}

}  // namespace

int main(int argc, char** argv) {
  native_view::UseNativeFileSystem();
  if (argc < 2 || argv[1][0] == '-') return Usage();
  std::string outFile = argv[1];
  std::vector<std::string> trees, folders;
  for (int i = 2; i < argc; ++i) {
    std::string word = argv[i];
    if (i + 1 >= argc) return Usage();
    if (word == "--tree") {
      trees.push_back(argv[++i]);
    } else if (word == "--folder") {
      folders.push_back(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (trees.empty() && folders.empty()) {
    trees = trace::DefaultTrees();
    folders = trace::DefaultFolders();
  }

  DWORD start = ::GetTickCount();
  std::vector<trace::Entry> entries;
  std::vector<std::string> notes;
  for (const std::string& tree : trees) {
    notes.push_back("tree " + trace::EscapeData(tree));
    if (!trace::TakeRegistryTree(tree, &entries, &notes)) {
      std::fprintf(stderr, "trace_snapshot: %s names no registry root\n", tree.c_str());
      return 2;
    }
  }
  for (const std::string& folder : folders) {
    notes.push_back("folder " + trace::EscapeData(folder));
    trace::TakeFolder(folder, &entries, &notes);
  }
  RemoveDuplicates(&entries);

  std::ofstream out(outFile, std::ios::binary | std::ios::trunc);
  if (out) trace::WriteSnapshot(out, notes, entries);
  out.close();
  if (!out) {
    std::fprintf(stderr, "trace_snapshot: cannot write %s\n", outFile.c_str());
    return 1;
  }
  size_t unreadable = std::count_if(entries.begin(), entries.end(), [](const auto& entry) {
    return entry.detail.find("unreadable") != std::string::npos ||
           entry.detail.rfind("incomplete", 0) == 0;
  });
  std::printf("trace_snapshot: %lu entries (%lu unreadable) in %lu ms to %s\n",
              static_cast<unsigned long>(entries.size()), static_cast<unsigned long>(unreadable),
              static_cast<unsigned long>(::GetTickCount() - start), outFile.c_str());
  return 0;
}
