// The Plug and Play stand-in's choice of models and install sections by platform.
#include "platform/sim/plug_and_play_models.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/sim/inf_parser.h"
#include "platform/sim/machine.h"
#include "platform/sim/plug_and_play_internal.h"
#include "platform/sim/sim_util.h"

namespace sim::pnp {

namespace {

enum class Platform { Legacy, Windows2000, X86, Amd64 };

struct OsVersion {
  int major;
  int minor;
};

Platform PlatformOf(const Machine& machine) {
  WindowsVersion version = machine.options().version;
  if (!IsNtFamily(version) || version == WindowsVersion::WindowsNT4) return Platform::Legacy;
  if (version == WindowsVersion::Windows2000) return Platform::Windows2000;
  return machine.options().windows64 ? Platform::Amd64 : Platform::X86;
}

OsVersion VersionOf(const Machine& machine) {
  switch (machine.options().version) {
    case WindowsVersion::WindowsVista:
      return {6, 0};
    case WindowsVersion::Windows7:
      return {6, 1};
    default:
      return {5, 1};
  }
}

bool StartsWithName(const std::string& text, const char* prefix) {
  std::string upper = UpperAscii(text);
  std::string wanted = UpperAscii(prefix);
  return upper.compare(0, wanted.size(), wanted) == 0;
}

// How well a decoration ("NTx86", "NTamd64.6.0", "NT") fits the platform: -1
// when it does not, else a rank that grows with the OS version it names and
// with a named architecture.
long DecorationRank(const std::string& decoration, Platform platform, OsVersion os) {
  if (!StartsWithName(decoration, "NT")) return -1;
  std::string rest = decoration.substr(2);
  bool named = false;
  const char* own = platform == Platform::Amd64 ? "amd64" : "x86";
  const char* other[] = {"x86", "amd64", "ia64", "arm64", "arm"};
  if (StartsWithName(rest, own)) {
    named = true;
    rest = rest.substr(std::string(own).size());
  } else {
    for (const char* architecture : other) {
      if (StartsWithName(rest, architecture)) return -1;
    }
  }
  // On 64-bit Windows a models section must name its architecture.
  if (platform == Platform::Amd64 && !named) return -1;
  int major = 0;
  int minor = 0;
  if (!rest.empty()) {
    if (rest[0] != '.') return -1;
    char* end = nullptr;
    major = static_cast<int>(std::strtol(rest.c_str() + 1, &end, 10));
    if (*end == '.') minor = static_cast<int>(std::strtol(end + 1, &end, 10));
  }
  if (major > os.major || (major == os.major && minor > os.minor)) return -1;
  return (static_cast<long>(major) * 100 + minor) * 2 + (named ? 1 : 0);
}

// The models sections the platform reads, from the [Manufacturer] lines.
std::vector<std::string> ModelsSections(const InfFile& inf, Platform platform, OsVersion os) {
  std::vector<std::string> sections;
  int manufacturer = inf.FindSection("Manufacturer");
  if (manufacturer < 0) return sections;
  for (const InfLine& line : inf.Section(manufacturer).lines) {
    if (line.fields.empty() || line.fields[0].empty()) continue;
    const std::string& base = line.fields[0];
    if (platform == Platform::Legacy || platform == Platform::Windows2000) {
      sections.push_back(base);
      continue;
    }
    long best = -1;
    std::string chosen;
    for (size_t i = 1; i < line.fields.size(); ++i) {
      long rank = DecorationRank(line.fields[i], platform, os);
      if (rank > best) {
        best = rank;
        chosen = base + "." + line.fields[i];
      }
    }
    if (best >= 0) {
      sections.push_back(chosen);
    } else if (platform == Platform::X86) {
      sections.push_back(base);
    }
  }
  return sections;
}

bool Parse(const std::string& text, InfFile* inf) {
  unsigned errorLine = 0;
  return inf->Parse(text, &errorLine) == ERROR_SUCCESS;
}

}  // namespace

std::string InstallSectionFor(const Machine& machine, const std::string& infText,
                              const std::string& hardwareId) {
  InfFile inf;
  if (!Parse(infText, &inf)) return "";
  for (const std::string& name : ModelsSections(inf, PlatformOf(machine), VersionOf(machine))) {
    int models = inf.FindSection(name);
    if (models < 0) continue;
    for (const InfLine& line : inf.Section(models).lines) {
      for (size_t i = 1; i < line.fields.size(); ++i) {
        if (UpperAscii(line.fields[i]) == UpperAscii(hardwareId)) {
          return line.fields[0];
        }
      }
    }
  }
  return "";
}

std::vector<std::pair<std::string, std::string>> InstallFilesFor(const Machine& machine,
                                                                 const std::string& infText,
                                                                 const std::string& section) {
  std::vector<std::pair<std::string, std::string>> files;
  InfFile inf;
  if (section.empty() || !Parse(infText, &inf)) return files;
  Platform platform = PlatformOf(machine);
  std::vector<std::string> candidates;
  if (platform == Platform::Amd64) candidates.push_back(section + ".NTamd64");
  if (platform == Platform::X86 || platform == Platform::Windows2000) {
    candidates.push_back(section + ".NTx86");
  }
  if (platform != Platform::Legacy) candidates.push_back(section + ".NT");
  candidates.push_back(section);
  int install = -1;
  for (const std::string& name : candidates) {
    install = inf.FindSection(name);
    if (install >= 0) break;
  }
  if (install < 0) return files;
  for (const InfLine& line : inf.Section(install).lines) {
    if (!line.hasKey || !SameInfName(line.key, "CopyFiles")) continue;
    for (const std::string& list : line.fields) {
      if (!list.empty() && list[0] == '@') {
        files.emplace_back(list.substr(1), list.substr(1));
        continue;
      }
      int copy = inf.FindSection(list);
      if (copy < 0) continue;
      for (const InfLine& entry : inf.Section(copy).lines) {
        // A line "name" alone is its own key; "destination,source" has no key.
        std::vector<std::string> fields = entry.fields;
        if (fields.empty() && entry.hasKey) fields.push_back(entry.key);
        if (fields.empty() || fields[0].empty()) continue;
        std::string source = fields.size() > 1 && !fields[1].empty() ? fields[1] : fields[0];
        files.emplace_back(fields[0], source);
      }
    }
  }
  return files;
}

std::vector<std::string> CopyInstallFiles(Machine& machine, const std::string& infPath,
                                          const std::string& section, const std::string& folder) {
  std::vector<std::string> written;
  std::optional<std::string> text = machine.files.ReadFile(infPath);
  if (!text) return written;
  std::string package = PackageFolder(machine);
  for (const auto& [installed, source] : InstallFilesFor(machine, *text, section)) {
    std::optional<std::string> contents = machine.files.ReadFile(package + "\\" + source);
    if (!contents) continue;
    machine.files.WriteFile(folder + "\\" + installed, *contents);
    written.push_back(UpperAscii(installed));
  }
  return written;
}

}  // namespace sim::pnp
