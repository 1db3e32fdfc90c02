#include "platform/sim/inf_store.h"

#include <optional>

#include "platform/sim/code_pages.h"
#include "platform/sim/driver_store.h"
#include "platform/sim/file_system.h"
#include "platform/sim/registry_model.h"

namespace sim {

namespace {

bool HasFolder(const std::string& path) {
  return path.find_first_of("\\/:") != std::string::npos;
}

// Reads a whole file as a reader that lets others read, as the Setup API opens it.
uint32_t ReadWhole(const FileSystem& files, const std::string& path, std::string* text) {
  FsLookup lookup = files.Lookup(path);
  if (lookup.error != ERROR_SUCCESS) return lookup.error;
  if (!lookup.node) return ERROR_FILE_NOT_FOUND;
  if (lookup.node->directory) return ERROR_ACCESS_DENIED;
  if (!FileSystem::SharingAllows(*lookup.node, GENERIC_READ, FILE_SHARE_READ)) {
    return ERROR_SHARING_VIOLATION;
  }
  text->assign(lookup.node->contents.begin(), lookup.node->contents.end());
  return ERROR_SUCCESS;
}

// The text of an INF as the ANSI functions see it: UTF-16 LE after its
// byte-order mark converted to the code page, as WideCharToMultiByte does
// with its defaults (best fit, '?' for the rest); anything else as it is.
std::string AnsiText(const std::string& raw, uint32_t codePage) {
  if (raw.size() < 2 || uint8_t(raw[0]) != 0xFF || uint8_t(raw[1]) != 0xFE) return raw;
  std::u16string wide;
  for (size_t i = 2; i + 1 < raw.size(); i += 2) {
    wide += static_cast<char16_t>(uint8_t(raw[i]) | (uint8_t(raw[i + 1]) << 8));
  }
  std::string narrow;
  bool usedDefault = false;
  EncodeNarrow(codePage, wide.data(), wide.size(), true, nullptr, &usedDefault, &narrow);
  return narrow;
}

// "OEM12.INF" and the like: the names the store gives.
bool IsOemInfName(const std::string& name) {
  std::string upper = UpperName(name);
  if (upper.size() < 8 || upper.compare(0, 3, "OEM") != 0) return false;
  if (upper.compare(upper.size() - 4, 4, ".INF") != 0) return false;
  for (size_t i = 3; i + 4 < upper.size(); ++i) {
    if (upper[i] < '0' || upper[i] > '9') return false;
  }
  return true;
}

// The folder part of a path, without the separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Whether a device, present or not, is driven from the INF `name`: the
// driver key its Driver value names has InfPath `name`. Every instance
// under Enum counts, as a device that is not plugged in keeps its keys.
bool InfDrivesADevice(const RegistryModel& registry, const std::string& name) {
  const std::string enumPath = "SYSTEM\\CurrentControlSet\\Enum";
  const std::string classPath = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
  for (const std::string& bus : registry.SubKeyNames(HKEY_LOCAL_MACHINE, enumPath)) {
    std::string busPath = enumPath + "\\" + bus;
    for (const std::string& device : registry.SubKeyNames(HKEY_LOCAL_MACHINE, busPath)) {
      std::string devicePath = busPath + "\\" + device;
      for (const std::string& instance : registry.SubKeyNames(HKEY_LOCAL_MACHINE, devicePath)) {
        std::optional<std::string> driver =
            registry.GetString(HKEY_LOCAL_MACHINE, devicePath + "\\" + instance, "Driver");
        if (!driver || driver->empty()) continue;
        std::optional<std::string> infPath =
            registry.GetString(HKEY_LOCAL_MACHINE, classPath + *driver, "InfPath");
        if (infPath && SameInfName(*infPath, name)) return true;
      }
    }
  }
  return false;
}

// The catalog [Version] names for the platform: CatalogFile.NTx86 or
// CatalogFile.NTamd64, then CatalogFile.NT, then CatalogFile ("INF Version
// Section", Microsoft: a decorated entry wins on its platform).
std::string CatalogOf(const InfFile& inf, const std::string& arch) {
  for (std::string key : {std::string("CatalogFile.NT") + arch, std::string("CatalogFile.NT"),
                          std::string("CatalogFile")}) {
    std::string name = inf.VersionValue(key);
    if (!name.empty()) return name;
  }
  return "";
}

}  // namespace

std::string InfStore::CatalogFolder(const FileSystem& files) {
  return files.SystemDirectory() + "\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}";
}

std::string InfStore::InfFolder(const FileSystem& files) {
  return files.WindowsDirectory() + "\\INF";
}

uint32_t InfStore::Load(const FileSystem& files, const std::string& path, uint32_t style,
                        uint32_t codePage, uint16_t languageId, InfFile* inf,
                        unsigned* errorLine) const {
  *errorLine = 0;
  std::string full = HasFolder(path) ? path : InfFolder(files) + "\\" + path;
  std::string text;
  uint32_t error = ReadWhole(files, full, &text);
  if (error != ERROR_SUCCESS) return error;
  error = inf->Parse(AnsiText(text, codePage), errorLine, languageId);
  if (error != ERROR_SUCCESS) return error;
  bool win4 = inf->IsWin4();
  bool wanted = win4 ? (style & INF_STYLE_WIN4) != 0 : (style & INF_STYLE_OLDNT) != 0;
  return wanted ? ERROR_SUCCESS : kErrorWrongInfStyle;
}

const InfFile* InfStore::Find(uintptr_t handle) const {
  auto it = open_.find(handle);
  return it == open_.end() ? nullptr : &it->second;
}

uint32_t InfStore::CopyOemInf(FileSystem& files, RegistryModel& registry, const StoreRules& rules,
                              const std::string& source, uint32_t copyStyle, bool mayWrite,
                              uint32_t codePage, std::string* stored) const {
  std::string text;
  uint32_t error = ReadWhole(files, source, &text);
  if (error != ERROR_SUCCESS) return error;
  InfFile inf;
  unsigned errorLine = 0;
  error = inf.Parse(AnsiText(text, codePage), &errorLine);
  if (error != ERROR_SUCCESS) return error;
  if (!inf.IsWin4()) return kErrorWrongInfStyle;

  const std::string folder = InfFolder(files);
  FsLookup sourceLookup = files.Lookup(source);
  FsLookup folderLookup = files.Lookup(folder);
  if (folderLookup.error != ERROR_SUCCESS || !folderLookup.node) return ERROR_PATH_NOT_FOUND;
  FsRef infFolder = folderLookup.node;
  std::string catalogName = CatalogOf(inf, rules.arch);
  std::string catalogText;
  uint32_t catalogError = ERROR_SUCCESS;
  if (!catalogName.empty()) {
    std::string sourceFolder = FolderOf(source);
    std::string catalogSource = sourceFolder.empty() ? catalogName
                                                     : sourceFolder + "\\" + catalogName;
    catalogError = ReadWhole(files, catalogSource, &catalogText);
    if (catalogError == ERROR_PATH_NOT_FOUND) catalogError = ERROR_FILE_NOT_FOUND;
  }
  std::string existing;
  if (sourceLookup.folder == infFolder) {
    existing = sourceLookup.node->name;
  } else {
    for (const auto& [upper, child] : infFolder->children) {
      if (child->directory || !IsOemInfName(child->name)) continue;
      if (std::string(child->contents.begin(), child->contents.end()) != text) continue;
      // A copy of a signed INF is the same only with the same catalog
      // installed under its name; otherwise the search goes on and the
      // package gets a new name (Microsoft, SetupCopyOEMInf, Remarks).
      if (!catalogName.empty()) {
        std::string stem = child->name.substr(0, child->name.size() - 4);
        std::optional<std::string> installed =
            files.ReadFile(CatalogFolder(files) + "\\" + stem + ".cat");
        if (catalogError != ERROR_SUCCESS || !installed || *installed != catalogText) continue;
      }
      existing = child->name;
      break;
    }
  }
  if (!existing.empty()) {
    *stored = folder + "\\" + existing;
    return (copyStyle & SP_COPY_NOOVERWRITE) ? ERROR_FILE_EXISTS : ERROR_SUCCESS;
  }
  if (copyStyle & SP_COPY_REPLACEONLY) return ERROR_FILE_NOT_FOUND;
  if (!mayWrite) return ERROR_ACCESS_DENIED;
  // The catalog the INF names, beside it; one that is not there fails the
  // copy before anything is written.
  if (catalogError != ERROR_SUCCESS) return catalogError;
  // Where the store takes only signed packages, one that names no catalog
  // is refused ("The third-party INF does not contain digital signature
  // information").
  if (rules.catalogRequired && catalogName.empty()) return ERROR_NO_CATALOG_FOR_OEM_INF;
  for (int n = 0;; ++n) {
    std::string number = "oem" + std::to_string(n);
    std::string stem = folder + "\\" + number;
    if (files.Lookup(stem + ".inf").node || files.Lookup(stem + ".PNF").node) continue;
    if (rules.store) {
      size_t cut = source.find_last_of("\\/");
      std::string infName = cut == std::string::npos ? source : source.substr(cut + 1);
      std::string id = DriverStore::PackageId(infName, rules.arch, text, catalogText);
      DriverStore::Stage(files, source, inf, text, catalogName, id);
      if (rules.database) DriverStore::Index(registry, number + ".inf", id, source, inf, catalogName);
    }
    files.WriteFile(stem + ".inf", text);
    files.WriteFile(stem + ".PNF", "PNF of " + source);
    if (!catalogName.empty()) {
      files.WriteFile(CatalogFolder(files) + "\\" + number + ".cat", catalogText);
    }
    *stored = stem + ".inf";
    return ERROR_SUCCESS;
  }
}

uint32_t InfStore::UninstallOemInf(FileSystem& files, RegistryModel& registry,
                                   const StoreRules& rules, const std::string& name,
                                   uint32_t flags, bool mayWrite) const {
  if (HasFolder(name) || !IsOemInfName(name)) return ERROR_INVALID_PARAMETER;
  if (!mayWrite) return ERROR_ACCESS_DENIED;
  const std::string stem = name.substr(0, name.size() - 4);
  const std::string inf = InfFolder(files) + "\\" + name;
  FsLookup lookup = files.Lookup(inf);
  if (lookup.error != ERROR_SUCCESS) return lookup.error;
  if (!lookup.node || lookup.node->directory) return ERROR_FILE_NOT_FOUND;
  if (!(flags & SUOI_FORCEDELETE) && InfDrivesADevice(registry, name)) {
    return ERROR_INF_IN_USE_BY_DEVICES;
  }
  // An INF another program holds open cannot be deleted, by the store either.
  if (!FileSystem::SharingAllows(*lookup.node, DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return ERROR_SHARING_VIOLATION;
  }
  // From Vista on the package leaves the store, and from 8 on its index.
  if (rules.store) {
    DriverStore::Remove(files, registry, rules, name, DriverStore::PackageOf(files, registry, name));
  }
  files.Remove(inf);
  files.Remove(InfFolder(files) + "\\" + stem + ".PNF");
  files.Remove(CatalogFolder(files) + "\\" + stem + ".cat");
  return ERROR_SUCCESS;
}

}  // namespace sim
