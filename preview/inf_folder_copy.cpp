#include "preview/inf_folder_copy.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/sim/sim_util.h"

namespace preview {
namespace {

// "C:\WINDOWS\inf\oem3.inf" -> "OEM3.INF" when the file lies directly in a
// folder named "inf"; "" otherwise.
std::string InfFolderName(const std::string& path) {
  size_t name = path.find_last_of('\\');
  if (name == std::string::npos || name < 4) return "";
  std::string folder = sim::UpperName(path.substr(0, name));
  if (folder.size() < 4 || folder.compare(folder.size() - 4, 4, "\\INF") != 0) return "";
  return sim::UpperName(path.substr(name + 1));
}

}  // namespace

bool ReadInfFolderCopy(const std::string& folder, MachineInput* input, std::string* error) {
  std::error_code failure;
  std::filesystem::directory_iterator files(folder, failure);
  if (failure) {
    *error = "cannot read the INF folder copy " + folder + ": " + failure.message();
    return false;
  }
  for (const std::filesystem::directory_entry& file : files) {
    if (!file.is_regular_file(failure)) continue;
    std::string name = sim::UpperName(file.path().filename().string());
    std::ifstream stream(file.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (!stream.good() && !stream.eof()) {
      *error = "cannot read " + file.path().string();
      return false;
    }
    bool listed = false;
    for (const auto& [path, entry] : input->entries) {
      if (entry.kind != 'F' || InfFolderName(path) != name) continue;
      input->fileContents[path] = bytes;
      listed = true;
    }
    if (!listed) {
      input->notes.push_back("the INF folder copy holds " + file.path().filename().string() +
                             ", which no listed INF folder holds: left out");
    }
  }
  return true;
}

}  // namespace preview
