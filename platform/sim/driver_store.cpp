#include "platform/sim/driver_store.h"

#include <cstdio>

#include "platform/sim/file_system.h"
#include "platform/sim/registry_model.h"
#include "platform/sim/sim_util.h"

namespace sim {

namespace {

const char kDatabase[] = "SYSTEM\\DriverDatabase";
const HKEY kLm = HKEY_LOCAL_MACHINE;

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The models sections the INF's [Manufacturer] lines name, undecorated and
// with every decoration the lines give.
std::vector<std::string> ModelsSections(const InfFile& inf) {
  std::vector<std::string> names;
  int manufacturer = inf.FindSection("Manufacturer");
  if (manufacturer < 0) return names;
  for (const InfLine& line : inf.Section(manufacturer).lines) {
    if (line.fields.empty()) continue;
    const std::string& models = line.fields[0];
    names.push_back(models);
    for (size_t i = 1; i < line.fields.size(); ++i) names.push_back(models + "." + line.fields[i]);
  }
  return names;
}

// Every hardware and compatible ID the models sections name.
std::vector<std::string> DeviceIds(const InfFile& inf) {
  std::vector<std::string> ids;
  for (const std::string& models : ModelsSections(inf)) {
    int index = inf.FindSection(models);
    if (index < 0) continue;
    for (const InfLine& line : inf.Section(index).lines) {
      for (size_t i = 1; i < line.fields.size(); ++i) {
        if (!line.fields[i].empty()) ids.push_back(line.fields[i]);
      }
    }
  }
  return ids;
}

// The files a package brings: those its SourceDisksFiles sections name, for
// every platform.
std::vector<std::string> PackageFiles(const InfFile& inf) {
  std::vector<std::string> files;
  for (size_t s = 0; s < inf.SectionCount(); ++s) {
    const InfSection& section = inf.Section(static_cast<int>(s));
    std::string upper = UpperAscii(section.name);
    if (upper != "SOURCEDISKSFILES" && upper.rfind("SOURCEDISKSFILES.", 0) != 0) continue;
    for (const InfLine& line : section.lines) {
      if (line.hasKey && !line.key.empty()) files.push_back(line.key);
    }
  }
  return files;
}

std::string DatabaseInfKey(const std::string& published) {
  return std::string(kDatabase) + "\\DriverInfFiles\\" + LowerAscii(published);
}

}  // namespace

StoreRules StoreRulesOf(const MachineOptions& options) {
  StoreRules rules;
  rules.store = options.version >= WindowsVersion::WindowsVista;
  rules.database = options.version >= WindowsVersion::Windows81;
  rules.catalogRequired = rules.database;
  rules.arch = options.windows64 ? "amd64" : "x86";
  return rules;
}

std::string DriverStore::RepositoryFolder(const FileSystem& files) {
  return files.SystemDirectory() + "\\DriverStore\\FileRepository";
}

std::string DriverStore::PackageId(const std::string& infName, const std::string& arch,
                                   const std::string& infText, const std::string& catalogText) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (const std::string* part : {&infText, &catalogText}) {
    for (unsigned char c : *part) {
      hash ^= c;
      hash *= 1099511628211ull;
    }
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return LowerAscii(infName) + "_" + arch + "_" + digits;
}

std::string DriverStore::Stage(FileSystem& files, const std::string& source, const InfFile& inf,
                               const std::string& infText, const std::string& catalogName,
                               const std::string& id) {
  const std::string folder = RepositoryFolder(files) + "\\" + id;
  const std::string sourceFolder = FolderOf(source);
  auto beside = [&](const std::string& name) {
    return sourceFolder.empty() ? name : sourceFolder + "\\" + name;
  };
  files.WriteFile(folder + "\\" + NameOf(source), infText);
  std::vector<std::string> names = PackageFiles(inf);
  if (!catalogName.empty()) names.push_back(catalogName);
  for (const std::string& name : names) {
    std::optional<std::string> contents = files.ReadFile(beside(name));
    if (contents) files.WriteFile(folder + "\\" + name, *contents);
  }
  return folder;
}

void DriverStore::Index(RegistryModel& registry, const std::string& published,
                        const std::string& id, const std::string& source, const InfFile& inf,
                        const std::string& catalogName) {
  const std::string name = LowerAscii(published);
  registry.SetMultiString(kLm, DatabaseInfKey(published), "", {id});
  registry.SetString(kLm, DatabaseInfKey(published), "Active", id);
  const std::string package = std::string(kDatabase) + "\\DriverPackages\\" + id;
  registry.SetString(kLm, package, "", name);
  registry.SetString(kLm, package, "InfName", LowerAscii(NameOf(source)));
  if (!catalogName.empty()) registry.SetString(kLm, package, "Catalog", catalogName);
  registry.SetString(kLm, package, "OemPath", FolderOf(source));
  registry.SetString(kLm, package, "Provider", inf.VersionValue("Provider"));
  for (const std::string& deviceId : DeviceIds(inf)) {
    registry.SetValue(kLm, std::string(kDatabase) + "\\DeviceIds\\" + deviceId, name, REG_BINARY,
                      {0x01, 0xFF, 0x00, 0x00});
  }
}

std::vector<std::string> DriverStore::Packages(const FileSystem& files) {
  std::vector<std::string> ids;
  const std::string repository = RepositoryFolder(files);
  for (const std::string& name : files.List(repository)) {
    if (files.FolderExists(repository + "\\" + name)) ids.push_back(name);
  }
  return ids;
}

std::string DriverStore::PackageInf(const FileSystem& files, const std::string& id) {
  size_t cut = id.find(".inf_");
  if (cut == std::string::npos) return "";
  std::string inf = RepositoryFolder(files) + "\\" + id + "\\" + id.substr(0, cut + 4);
  return files.FileExists(inf) ? inf : "";
}

std::string DriverStore::PackageOf(const FileSystem& files, const RegistryModel& registry,
                                   const std::string& published) {
  std::optional<std::string> active =
      registry.GetString(kLm, DatabaseInfKey(published), "Active");
  if (active && files.FolderExists(RepositoryFolder(files) + "\\" + *active)) return *active;
  std::optional<std::string> text = files.ReadFile(files.WindowsDirectory() + "\\INF\\" + published);
  if (!text) return "";
  for (const std::string& id : Packages(files)) {
    std::string inf = PackageInf(files, id);
    if (!inf.empty() && files.ReadFile(inf) == text) return id;
  }
  return "";
}

void DriverStore::Remove(FileSystem& files, RegistryModel& registry, const StoreRules& rules,
                         const std::string& published, const std::string& id) {
  if (!id.empty()) files.Remove(RepositoryFolder(files) + "\\" + id);
  if (!rules.database) return;
  if (!id.empty()) registry.DeleteTree(kLm, std::string(kDatabase) + "\\DriverPackages\\" + id);
  registry.DeleteTree(kLm, DatabaseInfKey(published));
  // The package's values under DeviceIds, and a key that only they filled.
  const std::string deviceIds = std::string(kDatabase) + "\\DeviceIds";
  auto dropValue = [&](const std::string& key) {
    bool dropped = false;
    for (const std::string& value : registry.ValueNames(kLm, key)) {
      if (SameInfName(value, published)) dropped = registry.DeleteValue(kLm, key, value) || dropped;
    }
    bool empty = registry.ValueNames(kLm, key).empty() && registry.SubKeyNames(kLm, key).empty();
    return dropped && empty && registry.DeleteTree(kLm, key);
  };
  for (const std::string& bus : registry.SubKeyNames(kLm, deviceIds)) {
    std::string busKey = deviceIds + "\\" + bus;
    bool emptied = false;
    for (const std::string& device : registry.SubKeyNames(kLm, busKey)) {
      emptied = dropValue(busKey + "\\" + device) || emptied;
    }
    if (dropValue(busKey)) continue;
    if (emptied && registry.ValueNames(kLm, busKey).empty() &&
        registry.SubKeyNames(kLm, busKey).empty()) {
      registry.DeleteTree(kLm, busKey);
    }
  }
}

}  // namespace sim
