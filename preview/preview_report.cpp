#include "preview/preview_report.h"

#include <functional>

#include "preview/input_paths.h"
#include "preview/windows_version.h"
#include "tests/trace/entry_detail.h"
#include "tests/trace/report_writer.h"

namespace preview {
namespace {

// HKLM\SYSTEM\<set>\Enum\<enumerator>\<device>\<instance> (2000 and later),
// HKLM\Enum\<enumerator>\<device>\<instance> (95/98/Me).
bool IsDeviceInstanceKey(const std::string& path) {
  std::vector<std::string> parts = PathNames(FoldedPath(path));
  if (parts.size() == 7 && parts[0] == "HKLM" && parts[1] == "SYSTEM" && parts[3] == "ENUM") {
    return true;
  }
  return parts.size() == 5 && parts[0] == "HKLM" && parts[1] == "ENUM";
}

bool IsServiceKey(const std::string& path) {
  std::vector<std::string> parts = PathNames(FoldedPath(path));
  return parts.size() == 5 && parts[0] == "HKLM" && parts[1] == "SYSTEM" && parts[3] == "SERVICES";
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string ValueName(const std::string& path) {
  size_t bar = path.find('|');
  return bar == std::string::npos ? "" : path.substr(bar + 1);
}

std::string TextData(const std::string& detail) {
  uint32_t type = 0;
  std::string data;
  if (!trace::ParseValueDetail(detail, &type, &data)) return "";
  return data.substr(0, data.find('\0'));
}

// The ports whose bit is set in before and clear in after ("ComDB": bit n-1
// of the bitmap stands for COMn).
void ReleasedComDbBits(const trace::Difference& change, std::vector<std::string>* out) {
  uint32_t type = 0;
  std::string before, after;
  if (!trace::ParseValueDetail(change.detailBefore, &type, &before)) return;
  if (change.kindAfter && !trace::ParseValueDetail(change.detailAfter, &type, &after)) return;
  for (size_t byte = 0; byte < before.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      bool was = (static_cast<unsigned char>(before[byte]) >> bit) & 1;
      bool is = byte < after.size() && ((static_cast<unsigned char>(after[byte]) >> bit) & 1);
      if (was && !is) {
        out->push_back("COM" + std::to_string(byte * 8 + bit + 1) + " (bit released in " +
                       change.path + ")");
      }
    }
  }
}

void NoteComNumber(const trace::Difference& change, StepSummary* summary) {
  std::string folded = FoldedPath(change.path);
  if (EndsWith(folded, "\\COM NAME ARBITER|COMDB")) {
    ReleasedComDbBits(change, &summary->comNumbers);
  } else if (change.change == trace::Change::kRemoved &&
             FoldedPath(ParentPath(change.path)).find("\\CURRENTVERSION\\PORTS") !=
                 std::string::npos) {
    summary->comNumbers.push_back(ValueName(change.path) + " (\"Ports\" entry deleted)");
  } else if (change.change == trace::Change::kRemoved &&
             EndsWith(FoldedPath(ParentPath(change.path)), "\\DEVICEMAP\\SERIALCOMM")) {
    summary->comNumbers.push_back(TextData(change.detailBefore) + " (SERIALCOMM entry " +
                                  ValueName(change.path) + " deleted)");
  }
}

bool IsBelow(const std::string& path, const std::string& key) {
  return path.size() > key.size() && FoldedPath(path.substr(0, key.size())) == FoldedPath(key) &&
         (path[key.size()] == '\\' || path[key.size()] == '|');
}

}  // namespace

StepSummary SummarizeStep(const PreviewStep& step) {
  StepSummary summary;
  std::string deletedKey;  // the last key deleted with what is below it
  for (const trace::Difference& change : step.changes) {
    bool removed = change.change == trace::Change::kRemoved;
    if (removed && !deletedKey.empty() && IsBelow(change.path, deletedKey)) {
      ++summary.keys.back().second;
      if (change.kindBefore == 'K' && IsDeviceInstanceKey(change.path)) {
        summary.devices.push_back(change.path);
      }
      if (change.kindBefore == 'V') NoteComNumber(change, &summary);
      continue;
    }
    char kind = change.kindBefore ? change.kindBefore : change.kindAfter;
    if (removed && (kind == 'K' || kind == 'L')) {
      deletedKey = change.path;
      summary.keys.emplace_back(change.path, 0);
      if (IsDeviceInstanceKey(change.path)) summary.devices.push_back(change.path);
      if (IsServiceKey(change.path)) summary.services.push_back(change.path);
    } else if (removed && kind == 'F') {
      summary.files.push_back(change.path);
    } else if (kind == 'V' && change.change != trace::Change::kAdded) {
      summary.values.push_back(&change);
      NoteComNumber(change, &summary);
    } else {
      summary.other.push_back(&change);
    }
  }
  return summary;
}

namespace {

std::string ChangeText(const trace::Difference& change) {
  char kind = change.kindBefore ? change.kindBefore : change.kindAfter;
  std::string text = std::string(trace::ChangeName(change.change)) + " " + trace::KindName(kind) +
                     " " + change.path;
  if (change.change == trace::Change::kChanged) {
    text += ": " + change.detailBefore + " -> " + change.detailAfter;
  }
  return text;
}

struct Totals {
  size_t devices = 0, services = 0, files = 0, keys = 0, values = 0, comNumbers = 0, boxes = 0;
};

Totals Count(const PreviewResult& result) {
  Totals totals;
  for (const PreviewStep& step : result.steps) {
    StepSummary summary = SummarizeStep(step);
    totals.devices += summary.devices.size();
    totals.services += summary.services.size();
    totals.files += summary.files.size();
    totals.keys += summary.keys.size();
    totals.values += summary.values.size();
    totals.comNumbers += summary.comNumbers.size();
    totals.boxes += step.messageBoxes.size();
  }
  return totals;
}

std::string TotalsLine(const Totals& totals) {
  return trace::Plural(totals.devices, "device") + ", " +
         trace::Plural(totals.services, "service") + ", " + trace::Plural(totals.files, "file") +
         ", " + trace::Plural(totals.keys, "key tree") + ", " +
         trace::Plural(totals.values, "value") + ", " +
         trace::Plural(totals.comNumbers, "COM number") + "; " + std::to_string(totals.boxes) +
         (totals.boxes == 1 ? " message box" : " message boxes");
}

// Calls `line(heading, items)` for each non-empty category of a step.
void ForEachCategory(
    const StepSummary& summary, const PreviewStep& step,
    const std::function<void(const std::string&, const std::vector<std::string>&)>& line) {
  auto keys = [&summary] {
    std::vector<std::string> items;
    for (const auto& [key, below] : summary.keys) {
      items.push_back(below ? key + " (and " + trace::Plural(below, "entry") + " below it)" : key);
    }
    return items;
  };
  auto texts = [](const std::vector<const trace::Difference*>& changes) {
    std::vector<std::string> items;
    for (const trace::Difference* change : changes) items.push_back(ChangeText(*change));
    return items;
  };
  const std::pair<std::string, std::vector<std::string>> categories[] = {
      {"devices deleted", summary.devices},
      {"services deleted", summary.services},
      {"files deleted", summary.files},
      {"keys deleted", keys()},
      {"values deleted or changed", texts(summary.values)},
      {"COM numbers released", summary.comNumbers},
      {"other changes", texts(summary.other)},
      {"message boxes shown", step.messageBoxes}};
  for (const auto& [heading, items] : categories) {
    if (!items.empty()) line(heading, items);
  }
}

std::string BoxText(const std::string& text) {
  std::string flat;
  for (char c : text) flat += (c == '\n' || c == '\r') ? ' ' : c;
  return "\"" + flat + "\"";
}

}  // namespace

void WriteTextPreview(std::ostream& out, const PreviewResult& result) {
  out << "Removal preview: " << NameOfVersion(result.version) << " (" << result.versionSource
      << "), " << trace::Plural(result.inputEntries, "input entry") << "\n";
  for (const std::string& note : result.notes) out << "  note: " << note << '\n';
  out << "Summary: " << TotalsLine(Count(result)) << '\n';
  if (result.changesOutsideInput > 0) {
    out << "  (" << trace::Plural(result.changesOutsideInput, "change")
        << " to parts the input does not hold are not shown)\n";
  }
  int number = 0;
  for (const PreviewStep& step : result.steps) {
    out << "\nStep " << number++ << ": " << step.name << '\n';
    bool any = false;
    ForEachCategory(
        SummarizeStep(step), step,
        [&out, &any](const std::string& heading, const std::vector<std::string>& items) {
          any = true;
          out << "  " << heading << " (" << items.size() << "):\n";
          for (const std::string& item : items) {
            out << "    " << (heading == "message boxes shown" ? BoxText(item) : item) << '\n';
          }
        });
    if (!any) out << "  no change\n";
  }
  out << "\nNot judged: the input holds no contents (" << result.notJudged.size() << "):\n";
  for (const std::string& path : result.notJudged) out << "  " << path << '\n';
  out << "\nLeft that looks like the phone's (" << result.leftLooksLikePhone.size() << "):\n";
  for (const trace::Entry& entry : result.leftLooksLikePhone) {
    out << "  " << trace::KindName(entry.kind) << ' ' << entry.path
        << (entry.kind == 'V' ? "  " + entry.detail : std::string()) << '\n';
  }
  out << "\nThe CD launcher " << (result.launcherNotified ? "was" : "was not")
      << " told of the change.\n";
}

void WriteHtmlPreview(std::ostream& out, const PreviewResult& result) {
  using trace::HtmlText;
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Removal preview</title>\n"
      << "<style>" << trace::kReportStyle << "h3{margin-bottom:0.2em}</style></head><body>\n"
      << "<h1>Removal preview: " << HtmlText(NameOfVersion(result.version)) << "</h1>\n"
      << "<p>Version " << HtmlText(result.versionSource) << "; "
      << HtmlText(trace::Plural(result.inputEntries, "input entry")) << ".</p>\n";
  if (!result.notes.empty()) {
    out << "<ul>\n";
    for (const std::string& note : result.notes) out << "<li>" << HtmlText(note) << "</li>\n";
    out << "</ul>\n";
  }
  out << "<p><b>" << HtmlText(TotalsLine(Count(result))) << "</b></p>\n"
      << "<h2>Steps</h2>\n<table>\n<tr><th>Step</th><th>What</th><th>Entries</th></tr>\n";
  int number = 0;
  for (const PreviewStep& step : result.steps) {
    std::string name = std::to_string(number++) + ": " + step.name;
    bool any = false;
    ForEachCategory(SummarizeStep(step), step,
                    [&](const std::string& heading, const std::vector<std::string>& items) {
                      any = true;
                      out << "<tr><td>" << HtmlText(name) << "</td><td>" << HtmlText(heading)
                          << "</td><td class=\"path\">";
                      for (const std::string& item : items) out << HtmlText(item) << "<br>";
                      out << "</td></tr>\n";
                    });
    if (!any) out << "<tr><td>" << HtmlText(name) << "</td><td>no change</td><td></td></tr>\n";
  }
  out << "</table>\n<h2>Not judged: the input holds no contents</h2>\n<ul>\n";
  for (const std::string& path : result.notJudged)
    out << "<li><code>" << HtmlText(path) << "</code></li>\n";
  out << (result.notJudged.empty() ? "<li>none</li>\n" : "")
      << "</ul>\n<h2>Left that looks like the phone's</h2>\n<table>\n"
      << "<tr><th>Kind</th><th>Path</th><th>Detail</th></tr>\n";
  for (const trace::Entry& entry : result.leftLooksLikePhone) {
    out << "<tr class=\"trace\"><td>" << trace::KindName(entry.kind) << "</td><td class=\"path\">"
        << HtmlText(entry.path) << "</td><td class=\"data\">" << HtmlText(entry.detail)
        << "</td></tr>\n";
  }
  out << "</table>\n<p>The CD launcher " << (result.launcherNotified ? "was" : "was not")
      << " told of the change.</p>\n</body></html>\n";
}

}  // namespace preview
