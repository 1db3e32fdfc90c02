#include "preview/sim_snapshot.h"

#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "platform/sim/key_security.h"
#include "preview/key_sddl.h"
#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_escape.h"

namespace preview {
namespace {

struct Root {
  const char* name;
  HKEY key;
};
const Root kRoots[] = {
    {"HKLM", HKEY_LOCAL_MACHINE}, {"HKCU", HKEY_CURRENT_USER}, {"HKU", HKEY_USERS}};

// The target the control set link stands for, as Windows names it.
std::string ControlSetTarget(const sim::Machine& machine) {
  auto current = machine.registry.GetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", "Current");
  char name[64];
  std::snprintf(name, sizeof name, "\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet%03u",
                current ? *current : 0u);
  return name;
}

// The walk gives keys, values and files almost in the snapshot's order, so
// each entry is placed after the last one first (one comparison), and only
// where the order differs (an escaped name, values in the order they were
// written) is its place looked for.
void Add(trace::Snapshot* snapshot, char kind, std::string path, std::string detail) {
  trace::Entry entry{kind, path, std::move(detail)};
  snapshot->emplace_hint(snapshot->end(), std::move(path), std::move(entry));
}

bool IsLink(const sim::RegKey& key) { return key.currentControlSetLink || !key.linkTarget.empty(); }

// The entry of a key as the snapshot writes it: a link with its target, or a
// key with its security.
trace::Entry KeyEntry(const sim::Machine& machine, const sim::RegKey& key, std::string path) {
  if (IsLink(key)) {
    std::string target = key.linkTarget.empty() ? ControlSetTarget(machine) : key.linkTarget;
    return trace::Entry{'L', std::move(path), trace::EscapeData(target)};
  }
  return trace::Entry{'K', std::move(path), KeySecurityDetail(machine, key)};
}

std::string ValueDetail(const sim::RegValue& value) {
  std::string_view data(reinterpret_cast<const char*>(value.data.data()), value.data.size());
  return trace::FormatValueDetail(value.type, data);
}

trace::Entry NodeEntry(const sim::FsNode& node, std::string path) {
  if (node.directory) {
    char detail[24];
    std::snprintf(detail, sizeof detail, "attr=0x%08lx",
                  static_cast<unsigned long>(node.attributes));
    return trace::Entry{'D', std::move(path), detail};
  }
  uint64_t hash =
      trace::Fnv1a64(trace::kFnvOffsetBasis, node.contents.data(), node.contents.size());
  return trace::Entry{'F', std::move(path),
                      trace::FormatFileDetail(node.contents.size(), hash, node.attributes)};
}

void TakeKey(const sim::Machine& machine, const sim::RegKey& key, const std::string& path,
             trace::Snapshot* snapshot) {
  trace::Entry entry = KeyEntry(machine, key, path);
  Add(snapshot, entry.kind, path, std::move(entry.detail));
  if (IsLink(key)) return;
  for (const sim::RegValue& value : key.values) {
    Add(snapshot, 'V', path + '|' + trace::EscapeName(value.name), ValueDetail(value));
  }
  for (const auto& [upper, child] : key.children) {
    TakeKey(machine, *child, path + '\\' + trace::EscapeName(child->name), snapshot);
  }
}

void TakeFolder(const sim::FsNode& folder, const std::string& path, trace::Snapshot* snapshot) {
  for (const auto& [upper, node] : folder.children) {
    std::string child = path + '\\' + trace::EscapeName(node->name);
    trace::Entry entry = NodeEntry(*node, child);
    Add(snapshot, entry.kind, child, std::move(entry.detail));
    if (node->directory) TakeFolder(*node, child, snapshot);
  }
}

bool EndsWithInf(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = sim::UpperName(path.substr(path.size() - 4));
  return tail == ".INF";
}

// The raw names of an escaped path; false for wrong escapes.
bool RawNames(std::string_view path, std::vector<std::string>* names) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string raw;
    if (!trace::UnescapeBytes(path.substr(start, end - start), &raw)) return false;
    names->push_back(std::move(raw));
    start = end + 1;
  }
  return true;
}

std::optional<trace::Entry> RegistryEntry(const sim::Machine& machine, const std::string& path) {
  size_t bar = path.find('|');
  std::vector<std::string> names;
  if (!RawNames(std::string_view(path).substr(0, bar), &names)) return std::nullopt;
  sim::KeyRef key;
  for (const Root& root : kRoots) {
    if (names[0] == root.name) key = machine.registry.PredefinedRoot(root.key);
  }
  // Snapshots never go through a link, so neither does the walk.
  for (size_t i = 1; key && i < names.size(); ++i) {
    if (IsLink(*key)) return std::nullopt;
    auto child = key->children.find(sim::UpperName(names[i]));
    key = child == key->children.end() ? nullptr : child->second;
  }
  if (!key) return std::nullopt;
  if (bar == std::string::npos) return KeyEntry(machine, *key, path);
  std::string name;
  if (IsLink(*key) || !trace::UnescapeBytes(std::string_view(path).substr(bar + 1), &name)) {
    return std::nullopt;
  }
  const sim::RegValue* value = sim::RegistryModel::FindValue(*key, name);
  if (!value) return std::nullopt;
  return trace::Entry{'V', path, ValueDetail(*value)};
}

std::optional<trace::Entry> FileEntry(const sim::Machine& machine, const std::string& path) {
  std::vector<std::string> names;
  if (!RawNames(path, &names) || names.size() < 2 || names[0].size() != 2) return std::nullopt;
  sim::FsRef node = machine.files.Root(sim::UpperName(names[0])[0]);
  for (size_t i = 1; node && i < names.size(); ++i) {
    auto child = node->children.find(sim::UpperName(names[i]));
    node = child == node->children.end() ? nullptr : child->second;
  }
  if (!node) return std::nullopt;
  return NodeEntry(*node, path);
}

}  // namespace

std::optional<trace::Entry> SimEntry(const sim::Machine& machine, const std::string& path) {
  if (path.size() > 1 && path[1] == ':') return FileEntry(machine, path);
  return RegistryEntry(machine, path);
}

std::string KeySecurityDetail(const sim::Machine& machine, const sim::RegKey& key) {
  if (!machine.IsNt()) return "";
  // A machine has few descriptors: each is written out once.
  static std::map<std::vector<uint8_t>, std::string> written;
  auto found = written.find(key.security);
  if (found != written.end()) return found->second;
  std::string detail = "sddl " + trace::EscapeData(FormatKeySddl(sim::SecurityOfKey(key)));
  if (written.size() < 4096) written.emplace(key.security, detail);
  return detail;
}

trace::Snapshot SnapshotOfSim(const sim::Machine& machine) {
  trace::Snapshot snapshot;
  for (const Root& root : kRoots) {
    if (sim::KeyRef key = machine.registry.PredefinedRoot(root.key)) {
      TakeKey(machine, *key, root.name, &snapshot);
    }
  }
  if (sim::FsRef drive = machine.files.Root('C')) TakeFolder(*drive, "C:", &snapshot);
  return snapshot;
}

MachineInput MachineInputOfSim(const sim::Machine& machine) {
  MachineInput input;
  input.entries = SnapshotOfSim(machine);
  for (const auto& [path, entry] : input.entries) {
    if (entry.kind != 'F' || !EndsWithInf(path)) continue;
    std::string raw;
    if (!trace::UnescapeBytes(path, &raw)) continue;
    if (auto contents = machine.files.ReadFile(raw)) input.fileContents[path] = *contents;
  }
  return input;
}

}  // namespace preview
