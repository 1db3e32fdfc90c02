#include "preview/sim_snapshot.h"

#include <cstdio>

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

void Add(trace::Snapshot* snapshot, char kind, std::string path, std::string detail) {
  trace::Entry entry{kind, path, std::move(detail)};
  snapshot->emplace(std::move(path), std::move(entry));
}

void TakeKey(const sim::Machine& machine, const sim::RegKey& key, const std::string& path,
             trace::Snapshot* snapshot) {
  if (key.currentControlSetLink || !key.linkTarget.empty()) {
    std::string target = key.linkTarget.empty() ? ControlSetTarget(machine) : key.linkTarget;
    Add(snapshot, 'L', path, trace::EscapeData(target));
    return;
  }
  Add(snapshot, 'K', path, KeySecurityDetail(machine, key));
  for (const sim::RegValue& value : key.values) {
    std::string_view data(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    Add(snapshot, 'V', path + '|' + trace::EscapeName(value.name),
        trace::FormatValueDetail(value.type, data));
  }
  for (const auto& [upper, child] : key.children) {
    TakeKey(machine, *child, path + '\\' + trace::EscapeName(child->name), snapshot);
  }
}

void TakeFolder(const sim::FsNode& folder, const std::string& path, trace::Snapshot* snapshot) {
  for (const auto& [upper, node] : folder.children) {
    std::string child = path + '\\' + trace::EscapeName(node->name);
    if (node->directory) {
      char detail[24];
      std::snprintf(detail, sizeof detail, "attr=0x%08lx",
                    static_cast<unsigned long>(node->attributes));
      Add(snapshot, 'D', child, detail);
      TakeFolder(*node, child, snapshot);
    } else {
      uint64_t hash =
          trace::Fnv1a64(trace::kFnvOffsetBasis, node->contents.data(), node->contents.size());
      Add(snapshot, 'F', child,
          trace::FormatFileDetail(node->contents.size(), hash, node->attributes));
    }
  }
}

bool EndsWithInf(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = sim::UpperName(path.substr(path.size() - 4));
  return tail == ".INF";
}

}  // namespace

std::string KeySecurityDetail(const sim::Machine& machine, const sim::RegKey& key) {
  if (!machine.IsNt()) return "";
  return "sddl " + trace::EscapeData(FormatKeySddl(sim::SecurityOfKey(key)));
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
