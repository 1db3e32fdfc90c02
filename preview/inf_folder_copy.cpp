#include "preview/inf_folder_copy.h"

#include <fstream>
#include <iterator>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

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

// The names of the files (not the folders) directly in `folder`. The
// Windows build lists with FindFirstFileA rather than std::filesystem, whose
// wide-character run-time functions the program's import check does not
// admit.
bool ListFiles(const std::string& folder, std::vector<std::string>* names) {
#if defined(_WIN32)
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names->push_back(found.cFileName);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return true;
#else
  DIR* directory = ::opendir(folder.c_str());
  if (!directory) return false;
  while (const dirent* entry = ::readdir(directory)) {
    struct stat status;
    std::string path = folder + "/" + entry->d_name;
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
      names->push_back(entry->d_name);
    }
  }
  ::closedir(directory);
  return true;
#endif
}

}  // namespace

bool ReadInfFolderCopy(const std::string& folder, MachineInput* input, std::string* error) {
  std::vector<std::string> fileNames;
  if (!ListFiles(folder, &fileNames)) {
    *error = "cannot read the INF folder copy " + folder;
    return false;
  }
#if defined(_WIN32)
  const char separator = '\\';
#else
  const char separator = '/';
#endif
  for (const std::string& fileName : fileNames) {
    std::string name = sim::UpperName(fileName);
    std::string copyPath = folder + separator + fileName;
    std::ifstream stream(copyPath, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (!stream.good() && !stream.eof()) {
      *error = "cannot read " + copyPath;
      return false;
    }
    bool listed = false;
    for (const auto& [path, entry] : input->entries) {
      if (entry.kind != 'F' || InfFolderName(path) != name) continue;
      input->fileContents[path] = bytes;
      listed = true;
    }
    if (!listed) {
      input->notes.push_back("the INF folder copy holds " + fileName +
                             ", which no listed INF folder holds: left out");
    }
  }
  return true;
}

}  // namespace preview
