#include "tests/trace/folder_snapshot_win.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/trace/entry_detail.h"
#include "tests/trace/file_owner_win.h"
#include "tests/trace/snapshot_escape.h"

namespace trace {
namespace {

constexpr DWORD kReadChunk = 1u << 16;

class SearchOwner {
 public:
  explicit SearchOwner(HANDLE handle) : handle_(handle) {}
  SearchOwner(const SearchOwner&) = delete;
  SearchOwner& operator=(const SearchOwner&) = delete;
  ~SearchOwner() {
    if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// "C:\windows\inf" with each name escaped.
std::string EscapePath(const std::string& path) {
  std::string escaped;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      if (!escaped.empty()) escaped += '\\';
      escaped += EscapeName(std::string_view(path).substr(start, end - start));
    }
    start = end + 1;
  }
  return escaped;
}

// The content hash, or the error that stopped the read.
bool HashFile(const std::string& path, uint64_t* hash, DWORD* error) {
  FileOwner file(::CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    *error = ::GetLastError();
    return false;
  }
  std::vector<char> buffer(kReadChunk);
  *hash = kFnvOffsetBasis;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer.data(), kReadChunk, &read, nullptr)) {
      *error = ::GetLastError();
      return false;
    }
    if (read == 0) return true;
    *hash = Fnv1a64(*hash, buffer.data(), read);
  }
}

std::string TrimmedFolder(std::string folder) {
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

}  // namespace

void TakeFolder(const std::string& givenFolder, std::vector<Entry>* entries,
                std::vector<std::string>* notes) {
  std::string folder = TrimmedFolder(givenFolder);
  std::string escapedFolder = EscapePath(folder);
  DWORD attributes = ::GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    notes->push_back(std::string("missing ").append(escapedFolder));
    return;
  }
  char attributeText[24];
  std::snprintf(attributeText, sizeof attributeText, "attr=0x%08lx",
                static_cast<unsigned long>(attributes));
  entries->push_back(Entry{'D', escapedFolder, attributeText});

  WIN32_FIND_DATAA found;
  std::string pattern = folder + (folder.back() == '\\' ? "*" : "\\*");
  SearchOwner search(::FindFirstFileA(pattern.c_str(), &found));
  if (search.get() == INVALID_HANDLE_VALUE) {
    DWORD error = ::GetLastError();
    entries->back().detail += ' ';
    entries->back().detail += FormatUnreadable(error);
    return;
  }
  do {
    if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) {
      continue;
    }
    std::string name = found.cFileName;
    std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
    std::string escaped = escapedFolder + '\\' + EscapeName(name);
    std::snprintf(attributeText, sizeof attributeText, "attr=0x%08lx",
                  static_cast<unsigned long>(found.dwFileAttributes));
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entries->push_back(Entry{'D', escaped, attributeText});
      continue;
    }
    uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    uint64_t hash = 0;
    DWORD error = 0;
    if (HashFile(path, &hash, &error)) {
      entries->push_back(Entry{'F', escaped, FormatFileDetail(size, hash, found.dwFileAttributes)});
    } else {
      entries->push_back(Entry{
          'F', escaped,
          "size=" + std::to_string(size) + " " + FormatUnreadable(error) + " " + attributeText});
    }
  } while (::FindNextFileA(search.get(), &found));
}

std::vector<std::string> DefaultFolders() {
  char windows[MAX_PATH + 1];
  char system[MAX_PATH + 1];
  UINT windowsLength = ::GetWindowsDirectoryA(windows, sizeof windows);
  UINT systemLength = ::GetSystemDirectoryA(system, sizeof system);
  std::vector<std::string> folders;
  if (windowsLength == 0 || windowsLength >= sizeof windows || systemLength == 0 ||
      systemLength >= sizeof system) {
    return folders;
  }
  std::string windowsFolder = TrimmedFolder(windows);
  std::string systemFolder = TrimmedFolder(system);
  folders.push_back(windowsFolder + "\\inf");
  folders.push_back(windowsFolder + "\\system");
  folders.push_back(systemFolder);
  folders.push_back(systemFolder + "\\drivers");
  // Windows XP's last-known-good copies of replaced INF and driver files.
  folders.push_back(windowsFolder + "\\LastGood\\INF");
  folders.push_back(windowsFolder + "\\LastGood\\SYSTEM32\\DRIVERS");
  return folders;
}

}  // namespace trace
