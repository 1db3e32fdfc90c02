// The Plug and Play stand-in's driver search and the phone's function table.
#include <cctype>
#include <cstdio>

#include "platform/sim/driver_store.h"
#include "platform/sim/plug_and_play.h"
#include "platform/sim/plug_and_play_internal.h"
#include "platform/sim/plug_and_play_models.h"
#include "platform/sim/sim_util.h"

namespace sim::pnp {

namespace {

bool ContinuesId(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '&' || c == '_';
}

bool IsOemName(const std::string& name) {
  std::string upper = UpperAscii(name);
  return upper.size() > 7 && upper.compare(0, 3, "OEM") == 0 &&
         upper.compare(upper.size() - 4, 4, ".INF") == 0;
}

std::vector<std::string> InfNames(const FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& name : files.List(folder)) {
    if (MatchesFileMask("*.inf", name) && files.FileExists(folder + "\\" + name)) {
      names.push_back(name);
    }
  }
  return names;
}

DriverChoice Chosen(const Machine& machine, const std::string& folder, const std::string& name,
                    const std::string& inf, const std::string& hardwareId, int function) {
  DriverChoice choice;
  choice.found = true;
  choice.infName = name;
  choice.infPath = folder + "\\" + name;
  choice.infSection = InstallSectionFor(machine, inf, hardwareId);
  if (choice.infSection.empty()) choice.infSection = Function(function).defaultSection;
  return choice;
}

// The lowest oemN.inf name that neither an INF nor a PNF of the INF folder
// takes.
std::string FreeOemName(const FileSystem& files, const std::string& infFolder) {
  for (int n = 0;; ++n) {
    std::string stem = infFolder + "\\oem" + std::to_string(n);
    if (!files.FileExists(stem + ".inf") && !files.FileExists(stem + ".PNF")) {
      return "oem" + std::to_string(n) + ".inf";
    }
  }
}

DriverChoice Republished(Machine& machine, const StoreRules& rules, const std::string& hardwareId,
                         int function) {
  FileSystem& files = machine.files;
  const std::string infFolder = files.WindowsDirectory() + "\\INF";
  for (const std::string& id : DriverStore::Packages(files)) {
    std::string inf = DriverStore::PackageInf(files, id);
    std::optional<std::string> text = inf.empty() ? std::nullopt : files.ReadFile(inf);
    if (!text || InstallSectionFor(machine, *text, hardwareId).empty()) continue;
    bool published = false;
    for (const std::string& name : InfNames(files, infFolder)) {
      published = published || (IsOemName(name) && files.ReadFile(infFolder + "\\" + name) == text);
    }
    if (published) continue;
    std::string name = FreeOemName(files, infFolder);
    files.WriteFile(infFolder + "\\" + name, *text);
    files.WriteFile(infFolder + "\\" + name.substr(0, name.size() - 4) + ".PNF", "PNF " + name);
    if (rules.database) {
      InfFile parsed;
      unsigned line = 0;
      parsed.Parse(*text, &line);
      DriverStore::Index(machine.registry, name, id, inf, parsed, "");
    }
    return Chosen(machine, infFolder, name, *text, hardwareId, function);
  }
  return DriverChoice();
}

}  // namespace

const FunctionSpec& Function(int function) { return phone::kFunctions[function]; }
bool HasPort(int function) { return function > 0; }

std::string InstanceName(int function, int usbPort) {
  char name[40];
  unsigned port = static_cast<unsigned>(usbPort) & 0xFF;
  if (function == 0) {
    std::snprintf(name, sizeof name, "5&1A2B3C%02X&0&%u", port, port);
  } else {
    std::snprintf(name, sizeof name, "6&2C3D4E%02X&0&%04d", port,
                  Function(function).interfaceNumber);
  }
  return name;
}

bool NamesHardwareId(std::string_view text, std::string_view hardwareId) {
  std::string upperText = UpperAscii(std::string(text));
  std::string upperId = UpperAscii(std::string(hardwareId));
  if (upperId.empty()) return false;
  for (size_t at = upperText.find(upperId); at != std::string::npos;
       at = upperText.find(upperId, at + 1)) {
    bool startsClean = at == 0 || !ContinuesId(upperText[at - 1]) || upperText[at - 1] == '\\';
    size_t after = at + upperId.size();
    bool endsClean = after == upperText.size() || !ContinuesId(upperText[after]);
    if (startsClean && endsClean) return true;
  }
  return false;
}

std::string PackageFolder(const Machine& machine) {
  std::string program = machine.options().programPath;
  size_t slash = program.find_last_of('\\');
  std::string folder = slash == std::string::npos ? "" : program.substr(0, slash);
  size_t parent = folder.find_last_of('\\');
  std::string root = parent == std::string::npos ? folder : folder.substr(0, parent);
  return root + "\\Drivers";
}

DriverChoice FindDriver(Machine& machine, const std::string& hardwareId, int function,
                        bool ntStore) {
  FileSystem& files = machine.files;
  std::string infFolder = files.WindowsDirectory() + "\\INF";
  std::string package = PackageFolder(machine);

  // The package INFs that name the ID, with their contents.
  std::vector<std::pair<std::string, std::string>> packageInfs;
  for (const std::string& name : InfNames(files, package)) {
    std::optional<std::string> text = files.ReadFile(package + "\\" + name);
    if (text && !InstallSectionFor(machine, *text, hardwareId).empty()) packageInfs.emplace_back(name, *text);
  }

  std::vector<std::string> installed = InfNames(files, infFolder);
  // 1. The INF-store copy of the package INF.
  for (const std::string& name : installed) {
    if (!IsOemName(name)) continue;
    std::optional<std::string> text = files.ReadFile(infFolder + "\\" + name);
    for (const auto& [packageName, packageText] : packageInfs) {
      if (text && *text == packageText) {
        return Chosen(machine, infFolder, name, *text, hardwareId, function);
      }
    }
  }
  // 2. Any INF of the INF folder that names the ID, the INF-store copies first.
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& name : installed) {
      if (IsOemName(name) != (pass == 0)) continue;
      std::optional<std::string> text = files.ReadFile(infFolder + "\\" + name);
      if (text && !InstallSectionFor(machine, *text, hardwareId).empty()) {
        return Chosen(machine, infFolder, name, *text, hardwareId, function);
      }
    }
  }
  // 2b. From Vista on, a package of the driver store whose published INF is
  // gone (deleted by hand): Plug and Play installs from the store and
  // publishes the INF again.
  StoreRules rules = StoreRulesOf(machine.options());
  if (rules.store) {
    DriverChoice republished = Republished(machine, rules, hardwareId, function);
    if (republished.found) return republished;
  }
  // 3. The package INF, copied in by the Found New Hardware wizard.
  if (!packageInfs.empty()) {
    const auto& [packageName, packageText] = packageInfs.front();
    std::string name = packageName;
    if (ntStore) {
      int n = 0;
      while (files.FileExists(infFolder + "\\oem" + std::to_string(n) + ".inf")) ++n;
      name = "oem" + std::to_string(n) + ".inf";
      files.WriteFile(infFolder + "\\oem" + std::to_string(n) + ".PNF", "PNF " + name);
    }
    files.WriteFile(infFolder + "\\" + name, packageText);
    return Chosen(machine, infFolder, name, packageText, hardwareId, function);
  }
  // 4. No driver.
  return DriverChoice();
}

std::string NextFreeNumber(const RegistryModel& reg, const std::string& path) {
  std::vector<std::string> taken = reg.SubKeyNames(HKEY_LOCAL_MACHINE, path);
  for (int n = 0;; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d", n);
    bool used = false;
    for (const std::string& existing : taken) used = used || UpperAscii(existing) == name;
    if (!used) return name;
  }
}

std::vector<uint8_t> TextBytes(std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<std::string> PortsInSerialMap(const RegistryModel& reg, const std::string& path) {
  std::vector<std::string> ports;
  for (const std::string& name : reg.ValueNames(HKEY_LOCAL_MACHINE, path)) {
    std::optional<std::string> port = reg.GetString(HKEY_LOCAL_MACHINE, path, name);
    if (port) ports.push_back(UpperAscii(*port));
  }
  return ports;
}

void CopyPackageFile(Machine& machine, const std::string& name, const std::string& folder) {
  std::optional<std::string> contents =
      machine.files.ReadFile(PackageFolder(machine) + "\\" + name);
  machine.files.WriteFile(folder + "\\" + name,
                          contents ? *contents : "MZ " + name + " (no package file)");
}

}  // namespace sim::pnp
