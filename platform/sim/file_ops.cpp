// The file-system and process-environment operations of the platform layer on
// the simulated machine. Failures return Windows' failure value and leave the
// error code as the thread's last error, as Windows XP does.
#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "platform/sim/machine.h"

namespace plat {

namespace {

using sim::FsLookup;
using sim::FsNode;
using sim::FsRef;

constexpr DWORD kAttributeBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
#ifndef TRUNCATE_EXISTING
constexpr DWORD kTruncateExisting = 5;
#else
constexpr DWORD kTruncateExisting = TRUNCATE_EXISTING;
#endif

sim::Machine& Machine() { return sim::CurrentMachine(); }
sim::FileSystem& Files() { return sim::CurrentMachine().files; }

void SetError(DWORD error) { Machine().lastError = error; }

BOOL FailWith(DWORD error) {
  SetError(error);
  return FALSE;
}

DWORD ReportedAttributes(const FsNode& node) {
  return node.attributes ? node.attributes : FILE_ATTRIBUTE_NORMAL;
}

// Copies a folder path for Get*DirectoryA: the length without terminator when it
// fits, otherwise the size needed with the terminator and the buffer untouched.
UINT CopyFolder(const std::string& folder, LPSTR buffer, UINT size) {
  UINT length = static_cast<UINT>(folder.size());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, folder.c_str(), length + 1);
  return length;
}

void FillFindData(const std::string& name, const FsNode& node, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = ReportedAttributes(node);
  FILETIME time{static_cast<DWORD>(node.writeTime), static_cast<DWORD>(node.writeTime >> 32)};
  data->ftCreationTime = time;
  data->ftLastAccessTime = time;
  data->ftLastWriteTime = time;
  uint64_t size = node.directory ? 0 : node.contents.size();
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  size_t length = std::min(name.size(), sizeof data->cFileName - 1);
  std::memcpy(data->cFileName, name.data(), length);
  // The dot entries are reported without a short name.
  if (name != "." && name != "..") {
    length = std::min(node.shortName.size(), sizeof data->cAlternateFileName - 1);
    std::memcpy(data->cAlternateFileName, node.shortName.data(), length);
  }
}

// The folder part of a search pattern and its last component (the mask).
void SplitPattern(const std::string& pattern, std::string* folder, std::string* mask) {
  size_t slash = pattern.find_last_of("\\/");
  if (slash == std::string::npos) {
    bool driveRelative = pattern.size() >= 2 && pattern[1] == ':';
    *folder = driveRelative ? pattern.substr(0, 2) + "\\" : Files().CurrentDirectory();
    *mask = driveRelative ? pattern.substr(2) : pattern;
    return;
  }
  *folder = pattern.substr(0, slash + 1);
  *mask = pattern.substr(slash + 1);
}

bool IsWritingAccess(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL | 0x0006); }

}  // namespace

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
  uint32_t error = 0;
  if (sim::EnterCall("GetModuleFileNameA", &error)) return 0;
  const std::string& path = Machine().options().programPath;
  bool vistaOrLater = Machine().options().version >= sim::WindowsVersion::WindowsVista;
  if (!fileName || size == 0) {
    if (vistaOrLater) SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  DWORD length = static_cast<DWORD>(path.size());
  if (length < size) {
    std::memcpy(fileName, path.c_str(), length + 1);
    return length;
  }
  // Too small: Windows XP and earlier fill the whole buffer without terminator and
  // report success; Vista and later keep room for the terminator and set
  // ERROR_INSUFFICIENT_BUFFER. Both return the size.
  if (vistaOrLater) {
    std::memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = '\0';
    SetError(ERROR_INSUFFICIENT_BUFFER);
  } else {
    std::memcpy(fileName, path.data(), size);
  }
  return size;
}

// On a Terminal Server the program, as one not marked Terminal Server aware,
// gets the user's private Windows folder (MachineOptions).
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  uint32_t error = 0;
  if (sim::EnterCall("GetWindowsDirectoryA", &error)) return 0;
  const std::string& userFolder = Machine().options().terminalServerUserWindowsFolder;
  return CopyFolder(userFolder.empty() ? Files().WindowsDirectory() : userFolder, buffer, size);
}

// kernel32's GetSystemWindowsDirectoryA, reached through GetProcAddress: the
// shared Windows folder, on a Terminal Server as everywhere else.
UINT WINAPI SimGetSystemWindowsDirectoryA(LPSTR buffer, UINT size) {
  uint32_t error = 0;
  if (sim::EnterCall("GetSystemWindowsDirectoryA", &error)) return 0;
  return CopyFolder(Files().WindowsDirectory(), buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
  uint32_t error = 0;
  if (sim::EnterCall("GetSystemDirectoryA", &error)) return 0;
  return CopyFolder(Files().SystemDirectory(), buffer, size);
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  uint32_t error = 0;
  if (sim::EnterCall("FindFirstFileA", &error)) return INVALID_HANDLE_VALUE;
  if (!pattern || !data) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string folderPath;
  std::string mask;
  SplitPattern(pattern, &folderPath, &mask);
  FsLookup lookup = Files().Lookup(folderPath);
  if (lookup.error != ERROR_SUCCESS || !lookup.node || !lookup.node->directory) {
    SetError(lookup.error == ERROR_FILENAME_EXCED_RANGE ? lookup.error : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const FsNode& folder = *lookup.node;
  sim::FileSystem::Search search;
  WIN32_FIND_DATAA entry;
  if (folder.parent && !mask.empty()) {
    for (const char* dots : {".", ".."}) {
      if (!sim::MatchesFileMask(mask, dots)) continue;
      FillFindData(dots, folder, &entry);
      search.entries.push_back(entry);
    }
  }
  // The mask is matched against the short name too, as Windows does ("Why does
  // FindFirstFile find short names?", The Old New Thing, 2005): "oem*.inf" also
  // finds "oem12.info" through its short name OEM12~1.INF.
  for (const auto& [upper, child] : folder.children) {
    if (mask.empty()) continue;
    if (!sim::MatchesFileMask(mask, child->name) &&
        (child->shortName.empty() || !sim::MatchesFileMask(mask, child->shortName))) {
      continue;
    }
    FillFindData(child->name, *child, &entry);
    search.entries.push_back(entry);
  }
  if (search.entries.empty()) {
    SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = search.entries[0];
  search.next = 1;
  uintptr_t handle = Machine().handles.Open(sim::HandleKind::FindSearch);
  Files().BindSearch(handle, std::move(search));
  return reinterpret_cast<HANDLE>(handle);
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
  uint32_t error = 0;
  if (sim::EnterCall("FindNextFileA", &error)) return FALSE;
  sim::FileSystem::Search* search = Files().FindSearch(reinterpret_cast<uintptr_t>(handle));
  if (!search) return FailWith(ERROR_INVALID_HANDLE);
  if (search->next >= search->entries.size()) return FailWith(ERROR_NO_MORE_FILES);
  if (!data) return FailWith(ERROR_INVALID_PARAMETER);
  *data = search->entries[search->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  uint32_t error = 0;
  if (sim::EnterCall("FindClose", &error)) return FALSE;
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (!Machine().handles.Close(value, sim::HandleKind::FindSearch)) {
    return FailWith(ERROR_INVALID_HANDLE);
  }
  Files().UnbindSearch(value);
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
  uint32_t error = 0;
  if (sim::EnterCall("GetFileAttributesA", &error)) return INVALID_FILE_ATTRIBUTES;
  if (!path) {
    SetError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  FsLookup lookup = Files().Lookup(path);
  DWORD failure = lookup.error;
  if (failure == ERROR_SUCCESS && !lookup.node) failure = ERROR_FILE_NOT_FOUND;
  if (failure == ERROR_SUCCESS && lookup.trailingSeparator && !lookup.node->directory) {
    failure = ERROR_INVALID_NAME;
  }
  if (failure != ERROR_SUCCESS) {
    SetError(failure);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ReportedAttributes(*lookup.node);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
  uint32_t error = 0;
  if (sim::EnterCall("SetFileAttributesA", &error)) return FALSE;
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  FsLookup lookup = Files().Lookup(path);
  if (lookup.error != ERROR_SUCCESS) return FailWith(lookup.error);
  if (!lookup.node) return FailWith(ERROR_FILE_NOT_FOUND);
  FsNode& node = *lookup.node;
  node.attributes = (attributes & kAttributeBits) | (node.directory ? FILE_ATTRIBUTE_DIRECTORY : 0);
  return TRUE;
}

BOOL CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  uint32_t error = 0;
  if (sim::EnterCall("CopyFileA", &error)) return FALSE;
  if (!existing || !target) return FailWith(ERROR_INVALID_PARAMETER);
  FsLookup source = Files().Lookup(existing);
  if (source.error != ERROR_SUCCESS) return FailWith(source.error);
  if (!source.node) return FailWith(ERROR_FILE_NOT_FOUND);
  if (source.node->directory) return FailWith(ERROR_ACCESS_DENIED);
  if (!sim::FileSystem::SharingAllows(*source.node, GENERIC_READ, FILE_SHARE_READ)) {
    return FailWith(ERROR_SHARING_VIOLATION);
  }
  FsLookup destination = Files().Lookup(target);
  if (destination.error != ERROR_SUCCESS) return FailWith(destination.error);
  if (!destination.folder && !destination.node) return FailWith(ERROR_PATH_NOT_FOUND);
  FsRef node = destination.node;
  const FsNode& from = *source.node;
  if (node) {
    if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
    if (node->directory) return FailWith(ERROR_ACCESS_DENIED);
    if (node == source.node) return FailWith(ERROR_SHARING_VIOLATION);
    if (!sim::FileSystem::SharingAllows(*node, GENERIC_WRITE | DELETE, 0)) {
      return FailWith(ERROR_SHARING_VIOLATION);
    }
    // A read-only target refuses the overwrite, and so does a hidden or system
    // target when the source does not carry the same attribute.
    DWORD guarded = node->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if ((node->attributes & FILE_ATTRIBUTE_READONLY) || (guarded & ~from.attributes)) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
  } else {
    node = Files().AddChild(destination.folder, destination.name, false);
  }
  node->contents = from.contents;
  node->attributes = (from.attributes & kAttributeBits) | FILE_ATTRIBUTE_ARCHIVE;
  node->writeTime = from.writeTime;
  SetError(ERROR_SUCCESS);
  return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
  uint32_t error = 0;
  if (sim::EnterCall("DeleteFileA", &error)) return FALSE;
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  FsLookup lookup = Files().Lookup(path);
  if (lookup.error != ERROR_SUCCESS) return FailWith(lookup.error);
  if (!lookup.node) return FailWith(ERROR_FILE_NOT_FOUND);
  FsNode& node = *lookup.node;
  if (node.directory) return FailWith(ERROR_ACCESS_DENIED);
  if (lookup.trailingSeparator) return FailWith(ERROR_INVALID_NAME);
  if (!sim::FileSystem::SharingAllows(node, DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return FailWith(ERROR_SHARING_VIOLATION);
  }
  if (node.attributes & FILE_ATTRIBUTE_READONLY) return FailWith(ERROR_ACCESS_DENIED);
  Files().RemoveChild(node);
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  uint32_t error = 0;
  if (sim::EnterCall("CreateDirectoryA", &error)) return FALSE;
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  FsLookup lookup = Files().Lookup(path);
  if (lookup.error != ERROR_SUCCESS) return FailWith(lookup.error);
  if (lookup.node) return FailWith(ERROR_ALREADY_EXISTS);
  Files().AddChild(lookup.folder, lookup.name, true);
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  uint32_t error = 0;
  if (sim::EnterCall("RemoveDirectoryA", &error)) return FALSE;
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  FsLookup lookup = Files().Lookup(path);
  if (lookup.error != ERROR_SUCCESS) return FailWith(lookup.error);
  if (!lookup.node) return FailWith(ERROR_FILE_NOT_FOUND);
  FsNode& node = *lookup.node;
  if (!node.directory) return FailWith(ERROR_DIRECTORY);
  if (!node.parent || (node.attributes & FILE_ATTRIBUTE_READONLY)) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  if (!node.children.empty()) return FailWith(ERROR_DIR_NOT_EMPTY);
  // The process's current folder is held open.
  FsLookup current = Files().Lookup(Files().CurrentDirectory());
  if (current.node.get() == &node) return FailWith(ERROR_SHARING_VIOLATION);
  Files().RemoveChild(node);
  return TRUE;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  uint32_t error = 0;
  if (sim::EnterCall("CreateFileA", &error)) return INVALID_HANDLE_VALUE;
  auto fail = [](DWORD code) {
    SetError(code);
    return INVALID_HANDLE_VALUE;
  };
  if (!path || disposition < CREATE_NEW || disposition > kTruncateExisting) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  FsLookup lookup = Files().Lookup(path);
  if (lookup.error != ERROR_SUCCESS) return fail(lookup.error);
  FsRef node = lookup.node;
  DWORD lastError = ERROR_SUCCESS;
  bool truncate = false;
  if (node) {
    if (node->directory || !lookup.folder) return fail(ERROR_ACCESS_DENIED);
    if (disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    bool replaces = disposition == CREATE_ALWAYS || disposition == kTruncateExisting;
    if ((node->attributes & FILE_ATTRIBUTE_READONLY) && (replaces || IsWritingAccess(access))) {
      return fail(ERROR_ACCESS_DENIED);
    }
    DWORD guarded = node->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (disposition == CREATE_ALWAYS && (guarded & ~flags)) return fail(ERROR_ACCESS_DENIED);
    if (!sim::FileSystem::SharingAllows(*node, access, share)) {
      return fail(ERROR_SHARING_VIOLATION);
    }
    truncate = replaces;
    if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
      lastError = ERROR_ALREADY_EXISTS;
    if (disposition == CREATE_ALWAYS) {
      node->attributes = (flags & kAttributeBits) | FILE_ATTRIBUTE_ARCHIVE;
    }
  } else {
    if (disposition == OPEN_EXISTING || disposition == kTruncateExisting) {
      return fail(ERROR_FILE_NOT_FOUND);
    }
    if (lookup.trailingSeparator) return fail(ERROR_INVALID_NAME);
    node = Files().AddChild(lookup.folder, lookup.name, false);
    node->attributes = (flags & kAttributeBits) | FILE_ATTRIBUTE_ARCHIVE;
  }
  if (truncate) {
    node->contents.clear();
    Files().Touch(*node);
  }
  uintptr_t handle = Machine().handles.Open(sim::HandleKind::File);
  Files().BindFile(handle, node, access, share);
  SetError(lastError);
  return reinterpret_cast<HANDLE>(handle);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPVOID) {
  uint32_t error = 0;
  if (sim::EnterCall("WriteFile", &error)) return FALSE;
  if (written) *written = 0;
  sim::FileSystem::FileHandle* handle = Files().File(reinterpret_cast<uintptr_t>(file));
  if (!handle) return FailWith(ERROR_INVALID_HANDLE);
  if (!IsWritingAccess(handle->access)) return FailWith(ERROR_ACCESS_DENIED);
  if (!data && length) return FailWith(ERROR_INVALID_PARAMETER);
  std::vector<uint8_t>& contents = handle->node->contents;
  size_t end = handle->position + length;
  if (contents.size() < end) contents.resize(end);
  if (length) std::memcpy(contents.data() + handle->position, data, length);
  handle->position = end;
  Files().Touch(*handle->node);
  if (written) *written = length;
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID data, DWORD length, LPDWORD read, LPVOID) {
  uint32_t error = 0;
  if (sim::EnterCall("ReadFile", &error)) return FALSE;
  if (read) *read = 0;
  sim::FileSystem::FileHandle* handle = Files().File(reinterpret_cast<uintptr_t>(file));
  if (!handle) return FailWith(ERROR_INVALID_HANDLE);
  if (!(handle->access & (GENERIC_READ | GENERIC_ALL | 0x0001))) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  const std::vector<uint8_t>& contents = handle->node->contents;
  size_t available = handle->position < contents.size() ? contents.size() - handle->position : 0;
  DWORD count = static_cast<DWORD>(std::min<size_t>(available, length));
  if (count && !data) return FailWith(ERROR_INVALID_PARAMETER);
  if (count) std::memcpy(data, contents.data() + handle->position, count);
  handle->position += count;
  if (read) *read = count;
  return TRUE;
}

}  // namespace plat
