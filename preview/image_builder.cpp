#include "preview/image_builder.h"

#include <cstring>
#include <optional>
#include <set>
#include <unordered_map>

#include "app/application_state.h"
#include "platform/sim/key_security.h"
#include "platform/sim/token_groups.h"
#include "preview/input_paths.h"
#include "preview/key_sddl.h"
#include "preview/windows_version.h"
#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_escape.h"
#include "text/text_template.h"

namespace preview {
namespace {

bool Is9x(sim::WindowsVersion version) { return !sim::IsNtFamily(version); }

// Counts of what the image could not take, for one note each.
struct Untaken {
  size_t otherRoots = 0;
  size_t badNames = 0;
  size_t unreadableKeys = 0;
  size_t unreadableValues = 0;
  size_t badValues = 0;
  size_t badSecurity = 0;
  size_t badFiles = 0;
};

// The bytes a key keeps for an escaped SDDL text; none when it cannot be read.
// The machine's default descriptor is kept as no descriptor of its own.
std::optional<std::vector<uint8_t>> DescriptorBytes(const std::string& text) {
  std::string sddl, error;
  sim::KeySecurity security;
  if (!trace::UnescapeBytes(text, &sddl) || !ParseKeySddl(sddl, &security, &error)) {
    return std::nullopt;
  }
  if (security.owner == sim::AdministratorsSid() && !security.daclPresent) {
    return std::vector<uint8_t>();
  }
  sim::RegKey holder;
  sim::SetSecurityOfKey(holder, security);
  return holder.security;
}

class RegistryBuilder {
 public:
  RegistryBuilder(sim::Machine& machine, const MachineInput& input, const InputIndex& index,
                  Untaken* untaken)
      : machine_(machine),
        reg_(machine.registry),
        input_(input),
        index_(index),
        untaken_(untaken) {}

  void Build() {
    RemoveReplacedTrees();
    for (const auto& [path, entry] : input_.entries) {
      if (entry.kind == 'K') AddKey(path, entry.detail);
      if (entry.kind == 'L') AddLink(path, entry.detail);
      if (entry.kind == 'V') AddValue(path, entry.detail);
    }
    if (machine_.IsNt()) ApplySecurity();
  }

 private:
  // Each tree of the input takes the place of the image's key at its path:
  // the image's key goes, with everything below it, and without following it
  // when it is a link.
  void RemoveReplacedTrees() {
    for (const std::string& tree : index_.Trees()) {
      RegistryPath place;
      if (!SplitRegistryPath(tree, &place)) continue;
      sim::KeyRef root = reg_.PredefinedRoot(place.root);
      if (place.names.empty()) {
        std::vector<std::string> children;
        for (const auto& [upper, child] : root->children) children.push_back(upper);
        for (const std::string& upper : children) root->children.Erase(upper);
        continue;
      }
      std::string parentPath = JoinNames(place.names, place.names.size() - 1);
      sim::KeyRef parent;
      if (reg_.Find(root, parentPath, &parent) != ERROR_SUCCESS) continue;
      parent->children.Erase(sim::UpperName(place.names.back()));
    }
  }

  // The key at an input path, made with the keys above it; null (counted)
  // when the path names no key the registry can hold.
  sim::KeyRef MakeKey(const std::string& path) {
    if (path == lastPath_) return lastKey_;
    sim::KeyRef key;
    bool created = false;
    // Parents come first: a key is made below the one made for its parent.
    std::string parentPath = ParentPath(path);
    auto parent = made_.find(parentPath);
    std::string name;
    if (parent != made_.end() && trace::UnescapeBytes(path.substr(parentPath.size() + 1), &name) &&
        !name.empty() && name.find('\\') == std::string::npos &&
        name.size() <= sim::RegistryModel::kMaxKeyNameLength) {
      if (reg_.Create(parent->second, name, &key, &created) != ERROR_SUCCESS) key = nullptr;
    } else {
      RegistryPath place;
      if (!SplitRegistryPath(path, &place)) {
        ++(place.known ? untaken_->badNames : untaken_->otherRoots);
        return nullptr;
      }
      if (reg_.Create(reg_.PredefinedRoot(place.root), JoinNames(place.names, place.names.size()),
                      &key, &created) != ERROR_SUCCESS) {
        key = nullptr;
      }
    }
    if (!key) {
      ++untaken_->badNames;
      return nullptr;
    }
    lastPath_ = path;
    lastKey_ = key;
    made_[path] = key;
    return key;
  }

  void AddKey(const std::string& path, const std::string& detail) {
    sim::KeyRef key = MakeKey(path);
    if (!key) return;
    if (detail.rfind("unreadable", 0) == 0) ++untaken_->unreadableKeys;
    size_t sddl = detail.find("sddl ");
    if (sddl != std::string::npos && detail.compare(sddl, 16, "sddl unreadable ") != 0) {
      security_.emplace_back(key, detail.substr(sddl + 5));
    }
  }

  // A link key: the control set link of Windows follows "Select"; any other
  // link keeps its target.
  void AddLink(const std::string& path, const std::string& detail) {
    std::string target;
    if (!trace::UnescapeBytes(detail, &target) || target.rfind("unreadable", 0) == 0) {
      ++untaken_->unreadableKeys;
      AddKey(path, "");
      return;
    }
    sim::KeyRef key = MakeKey(path);
    if (!key) return;
    std::string upperPath = sim::UpperName(path);
    std::string upperTarget = sim::UpperName(target);
    const std::string kSets = "\\REGISTRY\\MACHINE\\SYSTEM\\CONTROLSET";
    bool controlSetLink = upperPath == "HKLM\\SYSTEM\\CURRENTCONTROLSET" &&
                          upperTarget.compare(0, kSets.size(), kSets) == 0 &&
                          upperTarget.size() == kSets.size() + 3;
    if (controlSetLink) {
      key->currentControlSetLink = true;
    } else {
      key->linkTarget = target;
    }
    lastPath_.clear();
  }

  void AddValue(const std::string& path, const std::string& detail) {
    size_t bar = path.find('|');
    std::string name;
    if (bar == std::string::npos || !trace::UnescapeBytes(path.substr(bar + 1), &name)) {
      ++untaken_->badNames;
      return;
    }
    uint32_t type = 0;
    std::string data;
    if (detail.rfind("unreadable", 0) == 0) {
      ++untaken_->unreadableValues;
      return;
    }
    if (!trace::ParseValueDetail(detail, &type, &data)) {
      ++untaken_->badValues;
      return;
    }
    sim::KeyRef key = MakeKey(path.substr(0, bar));
    if (!key) return;
    reg_.WriteValue(*key, name, type, reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }

  // Keys without a descriptor of their own get what the version's image gives
  // a key there (the device trees and SOFTWARE are protected on 2000 and
  // later); then the descriptors the input names.
  void ApplySecurity() {
    if (machine_.options().version >= sim::WindowsVersion::Windows2000) {
      sim::KeyRef system;
      sim::KeyRef lm = reg_.PredefinedRoot(HKEY_LOCAL_MACHINE);
      if (reg_.Find(lm, "SYSTEM", &system) == ERROR_SUCCESS) {
        for (const auto& [upper, set] : system->children) {
          if (upper.rfind("CONTROLSET", 0) != 0 || !set->linkTarget.empty() ||
              set->currentControlSetLink) {
            continue;
          }
          auto deviceTree = set->children.find("ENUM");
          if (deviceTree != set->children.end()) sim::ProtectAsDeviceTree(*deviceTree->second);
        }
      }
      sim::KeyRef software;
      if (reg_.Find(lm, "SOFTWARE", &software) == ERROR_SUCCESS) {
        sim::ProtectAsSoftwareTree(*software);
      }
    }
    // A machine has few descriptors: each text is read once.
    std::unordered_map<std::string, std::optional<std::vector<uint8_t>>> read;
    for (const auto& [key, text] : security_) {
      auto found = read.find(text);
      if (found == read.end()) found = read.emplace(text, DescriptorBytes(text)).first;
      if (!found->second) {
        ++untaken_->badSecurity;
        continue;
      }
      key->security = *found->second;
    }
  }

  sim::Machine& machine_;
  sim::RegistryModel& reg_;
  const MachineInput& input_;
  const InputIndex& index_;
  Untaken* untaken_;
  std::string lastPath_;
  sim::KeyRef lastKey_;
  std::unordered_map<std::string, sim::KeyRef> made_;
  std::vector<std::pair<sim::KeyRef, std::string>> security_;
};

uint32_t AttributesOf(const std::string& detail, uint32_t fallback) {
  size_t at = detail.find("attr=0x");
  if (at == std::string::npos) return fallback;
  return static_cast<uint32_t>(std::strtoul(detail.c_str() + at + 7, nullptr, 16));
}

class FileBuilder {
 public:
  FileBuilder(sim::Machine& machine, const MachineInput& input, const InputIndex& index,
              BuiltImage* built, Untaken* untaken)
      : files_(machine.files), input_(input), index_(index), built_(built), untaken_(untaken) {}

  void Build() {
    for (const std::string& folder : index_.Folders()) EmptyFolder(folder);
    for (const auto& [path, entry] : input_.entries) {
      if (entry.kind != 'D' && entry.kind != 'F') continue;
      std::string raw;
      if (!UnescapePath(path, &raw)) {
        ++untaken_->badFiles;
        continue;
      }
      if (entry.kind == 'D') {
        if (!files_.CreateFolder(raw)) ++untaken_->badFiles;
        continue;
      }
      AddFile(path, raw, entry.detail);
    }
  }

 private:
  // The image's entries of a folder the input lists go, unless the input
  // lists them too (a sub-folder whose own listing the input may not hold).
  void EmptyFolder(const std::string& folder) {
    std::string raw;
    if (!UnescapePath(folder, &raw)) return;
    for (const std::string& name : files_.List(raw)) {
      std::string child = folder + '\\' + trace::EscapeName(name);
      if (!index_.Has(child)) files_.Remove(raw + '\\' + name);
    }
  }

  void AddFile(const std::string& path, const std::string& raw, const std::string& detail) {
    uint32_t attributes = AttributesOf(detail, FILE_ATTRIBUTE_ARCHIVE);
    auto contents = input_.fileContents.find(path);
    if (contents != input_.fileContents.end()) {
      if (!files_.WriteFile(raw, contents->second, attributes)) ++untaken_->badFiles;
      return;
    }
    if (!files_.WriteFile(raw, "", attributes)) {
      ++untaken_->badFiles;
      return;
    }
    uint64_t size = 0, hash = 0;
    uint32_t parsedAttributes = 0;
    bool empty = trace::ParseFileDetail(detail, &size, &hash, &parsedAttributes) && size == 0;
    if (!empty && IsInfName(path)) built_->nameOnlyInfs.push_back(path);
  }

  sim::FileSystem& files_;
  const MachineInput& input_;
  const InputIndex& index_;
  BuiltImage* built_;
  Untaken* untaken_;
};

void NoteUntaken(const Untaken& untaken, std::vector<std::string>* notes) {
  auto note = [notes](size_t count, const char* text) {
    if (count > 0) notes->push_back(std::to_string(count) + " " + text);
  };
  note(untaken.otherRoots, "entries below HKCR or HKCC: not used (the removal works below HKLM)");
  note(untaken.badNames, "entries whose path names no key or file the preview can make: not used");
  note(untaken.unreadableKeys,
       "keys that could not be read on the machine: the preview sees them empty");
  note(untaken.unreadableValues, "values that could not be read on the machine: not used");
  note(untaken.badValues, "values whose type and data could not be read from the input: not used");
  note(untaken.badSecurity,
       "keys whose security descriptor could not be read: the version's usual one is used");
  note(untaken.badFiles, "files or folders that could not be placed: not used");
}

}  // namespace

std::string InputWindowsFolder(const MachineInput& input, sim::WindowsVersion version) {
  std::string folder;
  const char* value = Is9x(version)
                          ? "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion|SystemRoot"
                          : "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion|SystemRoot";
  if (!InputString(input, value, &folder)) folder = FolderHoldingInf(input);
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  // Only a folder of a drive's root ("C:\WINNT") is taken.
  bool plain = folder.size() > 3 && folder[1] == ':' && folder[2] == '\\' &&
               folder.find('\\', 3) == std::string::npos;
  return plain ? folder : "";
}

void BuildImage(const MachineInput& input, const InputIndex& index, const ImageOptions& options,
                BuiltImage* built) {
  sim::MachineOptions machineOptions;
  machineOptions.version = options.version;
  machineOptions.administrator = options.administrator;
  machineOptions.windowsFolder = InputWindowsFolder(input, options.version);
  if (!options.programPath.empty()) machineOptions.programPath = options.programPath;
  machineOptions.windows64 = options.windows64;
  sim::Machine& machine = sim::ResetMachine(machineOptions);
  machine.system.process64Bit = options.windows64;
  // A fresh start of the program: its process-wide state is empty.
  std::memset(&App(), 0, sizeof(ApplicationState));
  Placeholders().Clear();

  Untaken untaken;
  RegistryBuilder(machine, input, index, &untaken).Build();
  FileBuilder(machine, input, index, built, &untaken).Build();
  NoteUntaken(untaken, &built->notes);
}

}  // namespace preview
