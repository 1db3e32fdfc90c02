// The Setup API state of the simulated machine: the INF files opened with
// SetupOpenInfFileA, and the OEM INF store of the INF folder that
// SetupCopyOEMInfA fills.
//
// The store behaves as Windows 2000 and later: an INF is copied into the INF
// folder as oemN.inf with the lowest N from 0 that neither oemN.inf nor
// oemN.PNF takes, and a precompiled twin oemN.PNF is written beside it. An
// INF whose contents are already there as an oem*.inf is answered with that
// name and not copied again; an INF that already lies in the INF folder is
// answered with its own name. (Wine differs: it keeps the INF's own name
// unless a different file holds it.) A test makes the store refuse a copy
// through the failure switch, e.g.
// faults.FailOn("SetupCopyOEMInfA", 2, ERROR_NO_CATALOG_FOR_OEM_INF).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/inf_parser.h"

namespace sim {

class FileSystem;

class InfStore {
 public:
  // Reads and parses an INF from the file system for SetupOpenInfFileA.
  // Returns ERROR_SUCCESS or the Windows error, with *errorLine for syntax
  // errors. A name without a folder is looked for in the INF folder. A file
  // that starts with the byte-order mark FF FE is UTF-16 (little-endian)
  // text, which the ANSI functions hand out in the machine's code page
  // `codePage`; any other file is read as ANSI text ("Unicode text files
  // should contain the standard 0xFEFF byte-order mark", Microsoft, Setup API
  // overview; an INF is UTF-16 LE or ANSI, "General Unicode requirement in
  // INF files"). Strings are substituted for the language `languageId`.
  uint32_t Load(const FileSystem& files, const std::string& path, uint32_t style,
                uint32_t codePage, uint16_t languageId, InfFile* inf,
                unsigned* errorLine) const;

  void Bind(uintptr_t handle, InfFile inf) { open_[handle] = std::move(inf); }
  const InfFile* Find(uintptr_t handle) const;
  bool Unbind(uintptr_t handle) { return open_.erase(handle) == 1; }

  // The work of SetupCopyOEMInfA: *stored receives the full path of the INF
  // in the INF folder. `mayWrite` is false for a user who cannot write to
  // the INF folder.
  uint32_t CopyOemInf(FileSystem& files, const std::string& source, uint32_t copyStyle,
                      bool mayWrite, uint32_t codePage, std::string* stored) const;

  static std::string InfFolder(const FileSystem& files);

  // Every file name SetupOpenInfFileA was given, in order, as given: for a
  // tool that must know which INF files a run read.
  std::vector<std::string> opened;

 private:
  std::map<uintptr_t, InfFile> open_;
};

}  // namespace sim
