#include "preview/preview.h"

#include <algorithm>

#include "platform/sim/driver_store.h"
#include "platform/sim/machine.h"
#include "preview/image_builder.h"
#include "preview/input_paths.h"
#include "preview/phone_names.h"
#include "preview/removal_run.h"
#include "preview/windows_version.h"
#include "resources/string_table.h"

namespace preview {
namespace {

// The settings key as the removal opens it: on 64-bit Windows in the 32-bit
// view of HKLM\SOFTWARE.
std::string SettingsTree(bool windows64) {
  std::string path = StringTableText(IDS_SETTINGS_KEY);
  if (windows64) path.insert(8, "\\Wow6432Node");  // after "SOFTWARE"
  return path;
}

// The registry trees and folders the removal reads or changes on the version.
std::vector<std::string> RemovalTrees(sim::WindowsVersion version, bool windows64) {
  std::vector<std::string> trees;
  auto add = [&trees](const std::string& path) { trees.push_back("HKLM\\" + path); };
  if (sim::IsNtFamily(version)) {
    add("SYSTEM");
    add("HARDWARE\\DEVICEMAP\\SERIALCOMM");
    add(StringTableText(IDS_REG_PORTS));
    add(StringTableText(IDS_REG_UNIMODEM_DEVICE_SPECIFIC));
  } else {
    add(StringTableText(IDS_REG9X_ENUM));
    add("System\\CurrentControlSet");
    add(StringTableText(IDS_REG9X_SERIALCOMM));
    add(StringTableText(IDS_REG9X_OEM_NAME));
    add(StringTableText(IDS_REG9X_PHANTOM));
  }
  add(SettingsTree(windows64));
  return trees;
}

std::vector<std::string> RemovalFolders(const sim::Machine& machine) {
  const std::string& windows = machine.files.WindowsDirectory();
  const std::string& system = machine.files.SystemDirectory();
  std::vector<std::string> folders = {windows + "\\inf", system};
  if (machine.IsNt()) {
    folders.push_back(system + "\\drivers");
  } else {
    folders.push_back(windows + "\\inf\\other");
  }
  if (sim::KeepsLastGood(machine.options().version)) {
    folders.push_back(windows + "\\LastGood\\INF");
    folders.push_back(windows + "\\LastGood\\system32\\DRIVERS");
  }
  // Where SetupUninstallOEMInf takes the catalogs (XP and later) and the
  // driver store's packages (Vista and later).
  if (machine.options().version >= sim::WindowsVersion::WindowsXPSP1) {
    folders.push_back(system + "\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}");
  }
  if (sim::StoreRulesOf(machine.options()).store) {
    folders.push_back(sim::DriverStore::RepositoryFolder(machine.files));
  }
  return folders;
}

bool Below(const std::string& path, const std::string& top) {
  std::string folded = FoldedPath(path), prefix = FoldedPath(top);
  return folded == prefix ||
         (folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0 &&
          folded[prefix.size()] == '\\');
}

void NoteMissingParts(const InputIndex& index, const sim::Machine& machine,
                      std::vector<std::string>* notes) {
  std::string image = std::string("the standard ") + NameOfVersion(machine.options().version) +
                      " image stood in for it";
  for (const std::string& tree :
       RemovalTrees(machine.options().version, machine.options().windows64)) {
    bool held = std::any_of(index.Trees().begin(), index.Trees().end(),
                            [&tree](const std::string& top) { return Below(tree, top); });
    if (!held) notes->push_back("not in the input: " + tree + " (" + image + ")");
  }
  for (const std::string& folder : RemovalFolders(machine)) {
    bool held = std::any_of(
        index.Folders().begin(), index.Folders().end(),
        [&folder](const std::string& listed) { return FoldedPath(listed) == FoldedPath(folder); });
    if (!held) notes->push_back("not in the input: " + folder + " (" + image + ")");
  }
}

// The differences that concern the input's entries, spelled as the input
// spells them; *outside counts the others.
std::vector<trace::Difference> InputChanges(const std::vector<trace::Difference>& differences,
                                            const InputIndex& index, size_t* outside) {
  std::vector<trace::Difference> changes;
  for (const trace::Difference& difference : differences) {
    if (!index.InScope(difference.path)) {
      ++*outside;
      continue;
    }
    trace::Difference change = difference;
    if (const std::string* spelled = index.Find(difference.path)) change.path = *spelled;
    changes.push_back(std::move(change));
  }
  std::stable_sort(changes.begin(), changes.end(),
                   [](const auto& a, const auto& b) { return trace::PathLess()(a.path, b.path); });
  return changes;
}

// "C:\WINDOWS\INF\oem4.inf" or "oem4.inf" (in the INF folder) as an image path.
std::string OpenedPath(const std::string& name, const sim::Machine& machine) {
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  return machine.files.WindowsDirectory() + "\\INF\\" + name;
}

void FindNotJudged(const BuiltImage& image, const RemovalRecord& removal,
                   const sim::Machine& machine, PreviewResult* result) {
  for (const std::string& infPath : image.nameOnlyInfs) {
    std::string raw;
    if (!UnescapePath(infPath, &raw)) continue;
    bool read = std::any_of(removal.infsOpened.begin(), removal.infsOpened.end(),
                            [&](const std::string& opened) {
                              return FoldedPath(OpenedPath(opened, machine)) == FoldedPath(raw);
                            });
    if (read) result->notJudged.push_back(infPath);
  }
}

void FindLeftovers(const RemovalRecord& removal, const InputIndex& index, PreviewResult* result) {
  PhoneNames phone;
  for (const auto& [path, entry] : removal.after) {
    const std::string* spelled = index.Find(path);
    if (!spelled || !phone.Names(entry)) continue;
    trace::Entry left = entry;
    left.path = *spelled;
    result->leftLooksLikePhone.push_back(std::move(left));
  }
}

// 64-bit Windows, as the live reader found it or as the input's keys below
// SOFTWARE\Wow6432Node show; only XP and later NT versions come in 64 bits.
bool Is64BitWindows(const MachineInput& input, sim::WindowsVersion version) {
  if (!sim::IsNtFamily(version) || version < sim::WindowsVersion::WindowsXPSP1) return false;
  if (input.windows64) return true;
  const std::string view32 = FoldedPath("HKLM\\SOFTWARE\\Wow6432Node");
  auto below = input.entries.lower_bound(view32);
  if (below == input.entries.end()) return false;
  std::string found = FoldedPath(below->first);
  return found.rfind(view32, 0) == 0 &&
         (found.size() == view32.size() || found[view32.size()] == '\\' ||
          found[view32.size()] == '|');
}

}  // namespace

bool RunPreview(const MachineInput& input, const PreviewOptions& options, PreviewResult* result,
                std::string* error) {
  *result = PreviewResult();
  sim::WindowsVersion said = options.version;
  std::string reason;
  bool inputSays = VersionFromInput(input, &said, &reason);
  if (options.versionGiven) {
    result->version = options.version;
    result->versionSource = "given with --version";
    if (inputSays && said != options.version) {
      result->versionSource += std::string("; the input says ") + NameOfVersion(said);
    }
  } else if (inputSays) {
    result->version = said;
    result->versionSource = "as the input says";
  } else {
    *error = reason + "; give the version with --version (" + VersionNames() + ")";
    return false;
  }

  result->windows64 = Is64BitWindows(input, result->version);
  if (result->windows64) result->versionSource += ", 64-bit";
  result->inputEntries = input.entries.size();
  result->notes = input.notes;
  InputIndex index(input);
  BuiltImage image;
  RemovalRecord removal;
  RunRemoval(
      [&] {
        image = BuiltImage();
        BuildImage(input, index,
                   ImageOptions{.version = result->version,
                                  .administrator = options.administrator,
                                  .windows64 = result->windows64},
                   &image);
      },
      &removal);
  sim::Machine& machine = sim::CurrentMachine();
  NoteMissingParts(index, machine, &result->notes);
  result->notes.insert(result->notes.end(), image.notes.begin(), image.notes.end());
  if (!removal.runsAgree) {
    result->notes.push_back(
        "the two runs of the removal on the image ended differently: the "
        "steps may be wrong, the whole difference is the first run's");
  }
  size_t ignored = 0;
  for (const StepRecord& step : removal.steps) {
    PreviewStep previewStep{step.name, InputChanges(step.differences, index, &ignored), {}};
    for (const auto& box : step.messageBoxes) previewStep.messageBoxes.push_back(box.text);
    result->steps.push_back(std::move(previewStep));
  }
  result->changes = InputChanges(trace::DiffSnapshots(removal.before, removal.after), index,
                                 &result->changesOutsideInput);
  FindNotJudged(image, removal, machine, result);
  FindLeftovers(removal, index, result);
  result->launcherNotified = removal.launcherNotified;
  return true;
}

std::string ChangeLines(const PreviewResult& result) { return ChangeLines(result.changes); }

std::string ChangeLines(const std::vector<trace::Difference>& changes) {
  std::string lines;
  for (const trace::Difference& change : changes) {
    char kind = change.change == trace::Change::kAdded ? change.kindAfter : change.kindBefore;
    lines +=
        std::string(trace::ChangeName(change.change)) + '\t' + kind + '\t' + change.path + '\n';
  }
  return lines;
}

}  // namespace preview
