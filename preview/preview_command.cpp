#include "preview/preview_command.h"

#include <fstream>
#include <sstream>

#include "preview/inf_folder_copy.h"
#include "preview/preview.h"
#include "preview/preview_report.h"
#include "preview/read_input.h"
#include "preview/windows_version.h"
#if defined(_WIN32)
#include "preview/live_machine_win.h"
#endif

namespace preview {
namespace {

const char kUsage[] =
    "usage: usbinst_preview [--version V] [--html OUT.html] [--changes OUT.txt] "
    "[--standard-user] [--inf-folder DIR] (--live | INPUT...)";

struct Command {
  PreviewOptions options;
  std::string htmlFile;
  std::string changesFile;
  bool live = false;
  std::string infFolder;
  std::vector<std::string> inputs;
};

int Fail(std::ostream& err, const std::string& message) {
  err << "usbinst_preview: " << message << '\n';
  return 2;
}

// False with the message for a command line that cannot be run.
bool ParseCommand(const std::vector<std::string>& arguments, Command* command, std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    bool takesValue = word == "--version" || word == "--html" || word == "--changes" ||
                      word == "--inf-folder";
    if (takesValue && i + 1 >= arguments.size()) {
      *error = word + " needs a value; " + kUsage;
      return false;
    }
    if (word == "--version") {
      const std::string& name = arguments[++i];
      if (!VersionFromName(name, &command->options.version)) {
        *error = "unknown version \"" + name + "\" for --version (one of " + VersionNames() + ")";
        return false;
      }
      command->options.versionGiven = true;
    } else if (word == "--html") {
      command->htmlFile = arguments[++i];
    } else if (word == "--changes") {
      command->changesFile = arguments[++i];
    } else if (word == "--inf-folder") {
      command->infFolder = arguments[++i];
    } else if (word == "--standard-user") {
      command->options.administrator = false;
    } else if (word == "--live") {
      command->live = true;
    } else if (word.size() > 1 && word[0] == '-') {
      *error = "unknown option \"" + word + "\"; " + kUsage;
      return false;
    } else {
      command->inputs.push_back(word);
    }
  }
  if (command->live && !command->inputs.empty()) {
    *error = std::string("--live takes no INPUT; ") + kUsage;
    return false;
  }
  if (!command->live && command->inputs.empty()) {
    *error = std::string("no INPUT given; ") + kUsage;
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) *error = "cannot write " + path;
  return static_cast<bool>(file);
}

}  // namespace

int PreviewCommand(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
  Command command;
  std::string error;
  if (!ParseCommand(arguments, &command, &error)) return Fail(err, error);
  MachineInput input;
  if (command.live) {
#if defined(_WIN32)
    if (!ReadLiveMachine(&input, &error)) return Fail(err, error);
#else
    return Fail(err, "only the Windows build reads the live machine (--live)");
#endif
  }
  for (const std::string& path : command.inputs) {
    if (!ReadInputFile(path, &input, &error)) return Fail(err, error);
  }
  if (!command.infFolder.empty() && !ReadInfFolderCopy(command.infFolder, &input, &error)) {
    return Fail(err, error);
  }
  PreviewResult result;
  if (!RunPreview(input, command.options, &result, &error)) return Fail(err, error);
  WriteTextPreview(out, result);
  if (!command.htmlFile.empty()) {
    std::ostringstream page;
    WriteHtmlPreview(page, result);
    if (!WriteFile(command.htmlFile, page.str(), &error)) return Fail(err, error);
  }
  if (!command.changesFile.empty() &&
      !WriteFile(command.changesFile, ChangeLines(result), &error)) {
    return Fail(err, error);
  }
  return 0;
}

}  // namespace preview
