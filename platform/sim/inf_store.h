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
//
// Catalogs, as on Windows 2000 and XP (Microsoft, SetupCopyOEMInf and
// SetupUninstallOEMInf): an INF whose [Version] names a catalog with
// CatalogFile= brings it along from beside itself, and the store installs it
// as oemN.cat, the INF's own stem, in system32\CatRoot\{F750E6C3-38EE-11D1-
// 85E5-00C04FC295EE}; a named catalog that is not there fails the copy with
// ERROR_FILE_NOT_FOUND before anything is written. A signed INF matches a
// copy already there only when that copy's oemN.cat is the same catalog.
// SetupUninstallOEMInf (XP and later) takes the INF, its PNF and that
// catalog away again.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/inf_parser.h"

namespace sim {

class FileSystem;
class RegistryModel;
struct StoreRules;

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
  // From Vista on (`rules`) the package is staged in the driver store first,
  // and indexed from Windows 8 on; where the store takes only signed
  // packages, an INF that names no catalog fails with
  // ERROR_NO_CATALOG_FOR_OEM_INF.
  uint32_t CopyOemInf(FileSystem& files, RegistryModel& registry, const StoreRules& rules,
                      const std::string& source, uint32_t copyStyle, bool mayWrite,
                      uint32_t codePage, std::string* stored) const;

  // The work of SetupUninstallOEMInfA for the published name `name`
  // ("oem3.inf"): ERROR_SUCCESS when the INF, its PNF and its catalog are
  // gone. A name with a folder or one the store does not give fails with
  // ERROR_INVALID_PARAMETER, a missing INF with ERROR_FILE_NOT_FOUND. While a
  // device, present or not, has a driver key whose InfPath names the INF, the
  // call fails with ERROR_INF_IN_USE_BY_DEVICES unless `flags` holds
  // SUOI_FORCEDELETE. From Vista on the package leaves the driver store too,
  // and from Windows 8 on its index entries.
  uint32_t UninstallOemInf(FileSystem& files, RegistryModel& registry, const StoreRules& rules,
                           const std::string& name, uint32_t flags, bool mayWrite) const;

  static std::string InfFolder(const FileSystem& files);
  // The folder the store installs catalogs in, without a trailing backslash.
  static std::string CatalogFolder(const FileSystem& files);

  // Every file name SetupOpenInfFileA was given, in order, as given: for a
  // tool that must know which INF files a run read.
  std::vector<std::string> opened;

 private:
  std::map<uintptr_t, InfFile> open_;
};

}  // namespace sim
