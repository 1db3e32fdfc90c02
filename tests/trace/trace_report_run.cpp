#include "tests/trace/trace_report_run.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "tests/trace/report_writer.h"
#include "tests/trace/snapshot_entry.h"
#include "tests/trace/trace_findings.h"

namespace trace {
namespace {

namespace fs = std::filesystem;

struct Options {
  std::string before, after, rules, title, shots, text, html;
};

const char kUsage[] =
    "usage: trace_report --before A.txt --after B.txt --rules RULES.txt [--title TEXT]\n"
    "                    [--shots DIR] [--text OUT.txt] [--html OUT.html]\n";

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  struct Flag {
    const char* name;
    std::string Options::*field;
  };
  const Flag kFlags[] = {{"--before", &Options::before}, {"--after", &Options::after},
                         {"--rules", &Options::rules},   {"--title", &Options::title},
                         {"--shots", &Options::shots},   {"--text", &Options::text},
                         {"--html", &Options::html}};
  for (size_t i = 0; i < arguments.size(); ++i) {
    const Flag* flag = nullptr;
    for (const Flag& candidate : kFlags) {
      if (arguments[i] == candidate.name) flag = &candidate;
    }
    if (!flag) {
      *error = "unknown argument " + arguments[i];
      return false;
    }
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      *error = arguments[i] + " needs a value";
      return false;
    }
    options->*(flag->field) = arguments[++i];
  }
  if (options->before.empty() || options->after.empty() || options->rules.empty()) {
    *error = "--before, --after and --rules are required";
    return false;
  }
  if (options->title.empty()) options->title = options->after;
  return true;
}

bool LoadSnapshot(const std::string& file, Snapshot* snapshot, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot read " + file;
    return false;
  }
  if (!ReadSnapshot(in, snapshot, error)) {
    *error = file + ": " + *error;
    return false;
  }
  return true;
}

bool LoadRules(const std::string& file, std::vector<Rule>* rules, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot read " + file;
    return false;
  }
  if (!ReadRules(in, rules, error)) {
    *error = file + ": " + *error;
    return false;
  }
  return true;
}

// The PNG files of the folder, sorted by name, as links relative to the
// folder that will hold the page.
bool ScreenshotLinks(const std::string& folder, const std::string& pageFile,
                     std::vector<std::string>* links, std::string* error) {
  std::error_code code;
  if (!fs::is_directory(folder, code)) {
    *error = "cannot read the screenshot folder " + folder;
    return false;
  }
  std::vector<fs::path> files;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    std::string extension = it->path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::error_code typeCode;
    if (it->is_regular_file(typeCode) && extension == ".png") files.push_back(it->path());
  }
  if (code) {
    *error = "cannot list the screenshot folder " + folder;
    return false;
  }
  std::sort(files.begin(), files.end());
  fs::path pageFolder = fs::path(pageFile).parent_path();
  pageFolder = fs::absolute(pageFolder.empty() ? fs::path(".") : pageFolder, code);
  for (const fs::path& file : files) {
    fs::path link;
    if (!pageFile.empty()) link = fs::relative(fs::absolute(file, code), pageFolder, code);
    links->push_back((code || link.empty() ? file : link).generic_string());
  }
  return true;
}

template <typename Write>
bool WriteFile(const std::string& file, Write write, std::string* error) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (out) write(out);
  out.close();
  if (!out) {
    *error = "cannot write " + file;
    return false;
  }
  return true;
}

}  // namespace

int RunTraceReport(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
  Options options;
  std::string error;
  if (!ParseOptions(arguments, &options, &error)) {
    err << "trace_report: " << error << '\n' << kUsage;
    return kBadInput;
  }
  Snapshot before, after;
  std::vector<Rule> rules;
  std::vector<std::string> shots;
  if (!LoadSnapshot(options.before, &before, &error) ||
      !LoadSnapshot(options.after, &after, &error) || !LoadRules(options.rules, &rules, &error) ||
      (!options.shots.empty() && !ScreenshotLinks(options.shots, options.html, &shots, &error))) {
    err << "trace_report: " << error << '\n';
    return kBadInput;
  }

  Findings findings = Classify(DiffSnapshots(before, after), std::move(rules));
  ReportHeader header{options.title, options.before, options.after,
                      options.rules, before.size(),  after.size()};
  if (!options.text.empty() && !WriteFile(
                                   options.text,
                                   [&](std::ostream& file) {
                                     WriteTextReport(file, header, findings);
                                     if (!shots.empty()) file << "\n== Screenshots\n";
                                     for (const std::string& shot : shots)
                                       file << "  " << shot << '\n';
                                   },
                                   &error)) {
    err << "trace_report: " << error << '\n';
    return kBadInput;
  }
  if (!options.html.empty() &&
      !WriteFile(
          options.html, [&](std::ostream& file) { WriteHtmlReport(file, header, findings, shots); },
          &error)) {
    err << "trace_report: " << error << '\n';
    return kBadInput;
  }

  WriteTraceLines(err, findings);
  size_t unused = std::count(findings.ruleUses.begin(), findings.ruleUses.end(), size_t{0});
  out << "trace_report: " << options.title << '\n' << "  " << SummaryLine(findings) << '\n';
  if (unused > 0) out << "  " << unused << " rule(s) explained nothing\n";
  if (!options.text.empty()) out << "  text: " << options.text << '\n';
  if (!options.html.empty()) out << "  html: " << options.html << '\n';
  out << (findings.Traces() == 0 ? "  PASS: every difference is explained\n"
                                 : "  FAIL: traces left\n");
  return findings.Traces() == 0 ? kNoTrace : kTracesLeft;
}

}  // namespace trace
