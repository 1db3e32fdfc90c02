// The file system of the simulated machine.
//
// Drive letters hold trees of folders and files; names compare without regard to
// case and keep the case they were created with; folders list their entries sorted
// by upper-cased name, as NTFS does. Files have byte contents and attributes, and
// remember who holds them open with which sharing, so that a delete or an overwrite
// of a file that another process holds fails with ERROR_SHARING_VIOLATION.
//
// Every file and folder whose name is not already a valid 8.3 name also gets a
// short name, as FAT and NTFS give one (see ShortNameFor); a path may name an
// entry by either, and a search matches its mask against both.
//
// Paths take '\' or '/' as separator; a relative path starts from the current
// folder (the program's folder). "." and ".." components are resolved, and
// trailing dots and spaces of a name dropped, as Win32 does before it reaches the
// file system.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif
#ifndef ERROR_DIRECTORY
#define ERROR_DIRECTORY 267L
#endif

namespace sim {

struct FsNode {
  std::string name;
  // The 8.3 alias ("OEM12~1.INF" for "oem12.info"); empty when `name` is itself
  // a valid 8.3 name and so needs none.
  std::string shortName;
  bool directory = false;
  // FILE_ATTRIBUTE_* bits; a folder always has FILE_ATTRIBUTE_DIRECTORY.
  uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE;
  std::vector<uint8_t> contents;
  std::map<std::string, std::shared_ptr<FsNode>> children;  // by upper-cased name
  FsNode* parent = nullptr;
  uint64_t writeTime = 0;
  // Open handles (and test holds) by id, with the access and sharing they asked for.
  struct Opener {
    uint32_t access;
    uint32_t share;
  };
  std::map<uintptr_t, Opener> openers;
};
using FsRef = std::shared_ptr<FsNode>;

// Where a path leads: the folder that would hold it and, when it exists, the entry.
struct FsLookup {
  DWORD error = ERROR_SUCCESS;  // ERROR_PATH_NOT_FOUND when the folder is missing
  FsRef folder;                 // null for a drive's root
  FsRef node;                   // null when the entry is missing
  std::string name;             // the last component as written
  bool trailingSeparator = false;
};

// DOS wildcard match of a file name: '*', '?', and the rules Windows applies to
// '.' ("*.inf", "*.*", "name.???"); case-insensitive.
bool MatchesFileMask(std::string_view mask, std::string_view name);

// Whether a name is a valid 8.3 name (any letter case): a base of 1 to 8 and an
// extension of at most 3 characters, one dot at most, none of the characters
// that short names exclude. Such a name gets no separate short name.
bool IsShortName(std::string_view name);

// The short name Windows generates for a long name (Microsoft, "How Windows
// generates 8.3 file names from long file names", KB 142982) in a folder whose
// entries already hold `taken` short names (upper case): the characters that short names
// cannot hold dropped (spaces, dots but the last) or replaced by '_' ("+,;=[]"),
// the first six of the base, "~1" (or the first free number), and the first
// three characters of the extension, all in upper case: "oem12.info" ->
// "OEM12~1.INF", "oem1.inf_old" -> "OEM1~1.INF". Empty for a valid 8.3 name.
std::string ShortNameFor(std::string_view name, const std::vector<std::string>& taken);

class FileSystem {
 public:
  FileSystem();

  // --- Machine layout ------------------------------------------------------------
  void SetWindowsFolders(const std::string& windows, const std::string& system);
  const std::string& WindowsDirectory() const { return windowsDirectory_; }
  const std::string& SystemDirectory() const { return systemDirectory_; }
  void SetCurrentDirectory(const std::string& folder) { currentDirectory_ = folder; }
  const std::string& CurrentDirectory() const { return currentDirectory_; }

  // --- For the platform operations -------------------------------------------------
  // The absolute path with '\' separators and "."/".." resolved, or an error
  // (ERROR_FILENAME_EXCED_RANGE beyond MAX_PATH, ERROR_INVALID_NAME).
  DWORD Normalize(std::string_view path, std::string* absolute) const;
  FsLookup Lookup(std::string_view path) const;
  // Whether a new opener with this access and sharing can join the node's openers.
  static bool SharingAllows(const FsNode& node, uint32_t access, uint32_t share);
  FsRef AddChild(const FsRef& folder, const std::string& name, bool directory);
  // The entry of a folder with this long or short name; null when there is none.
  static FsRef Child(const FsNode& folder, std::string_view name);
  void RemoveChild(FsNode& node);
  void Touch(FsNode& node) { node.writeTime = ++clock_; }
  FsRef Root(char drive) const;

  struct FileHandle {
    FsRef node;
    uint32_t access;
    size_t position = 0;
  };
  void BindFile(uintptr_t handle, const FsRef& node, uint32_t access, uint32_t share);
  FileHandle* File(uintptr_t handle);
  // Closes a file handle of CreateFileA: releases the handle count and the file's
  // sharing. False when the value is no open file handle. plat::CloseHandle calls it.
  bool CloseFileHandle(uintptr_t handle);

  struct Search {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
  };
  void BindSearch(uintptr_t handle, Search search) { searches_[handle] = std::move(search); }
  Search* FindSearch(uintptr_t handle);
  bool UnbindSearch(uintptr_t handle) { return searches_.erase(handle) == 1; }

  // --- Test API: paths absolute or relative, as above ----------------------------------
  // Creates a folder and the folders above it.
  bool CreateFolder(std::string_view path);
  // Creates or replaces a file (and its folders) with the contents and attributes.
  bool WriteFile(std::string_view path, std::string_view contents,
                 uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE);
  std::optional<std::string> ReadFile(std::string_view path) const;
  bool FileExists(std::string_view path) const;
  bool FolderExists(std::string_view path) const;
  // The attributes as GetFileAttributesA reports them; INVALID_FILE_ATTRIBUTES if missing.
  uint32_t Attributes(std::string_view path) const;
  bool SetAttributes(std::string_view path, uint32_t attributes);
  bool Remove(std::string_view path);  // a file, or a folder with everything in it
  // Marks a file as held open by another process with the given access and sharing
  // (by default a reader that lets others read only: deleting or overwriting it
  // fails with ERROR_SHARING_VIOLATION) until ReleaseHold.
  bool HoldOpen(std::string_view path, uint32_t access = GENERIC_READ,
                uint32_t share = FILE_SHARE_READ);
  bool ReleaseHold(std::string_view path);
  // Names in a folder, sorted as listed; empty if the folder is missing.
  std::vector<std::string> List(std::string_view folder) const;
  // Every folder and file, one line each ("C:\WINDOWS\INF\x.inf  12 bytes  0x20").
  std::vector<std::string> Snapshot() const;
  std::string SnapshotText() const;

  size_t OpenFileCount() const { return files_.size(); }
  size_t OpenSearchCount() const { return searches_.size(); }

 private:
  FsRef Find(std::string_view path) const;
  void Dump(const FsNode& node, const std::string& path, std::vector<std::string>* out) const;

  std::map<char, FsRef> drives_;
  std::map<uintptr_t, FileHandle> files_;
  std::map<uintptr_t, Search> searches_;
  std::string windowsDirectory_ = "C:\\WINDOWS";
  std::string systemDirectory_ = "C:\\WINDOWS\\system32";
  std::string currentDirectory_ = "C:\\";
  uintptr_t nextHoldId_ = 1;
  uint64_t clock_ = 0x01C0000000000000ull;
};

}  // namespace sim
