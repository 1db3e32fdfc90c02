#include "tests/driver_cd.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::filesystem::path DataFolder() {
  return std::filesystem::path(USBINST_SOURCE_DIR) / "tests" / "data";
}

std::string ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int LoadDriverCd(sim::Machine& machine, const std::string& root) {
  std::filesystem::path cd = DataFolder() / "cd";
  int loaded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cd)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = std::filesystem::relative(entry.path(), cd).string();
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    std::string target = root;
    if (!target.empty() && target.back() != '\\') target += '\\';
    machine.files.WriteFile(target + relative, ReadHostFile(entry.path()),
                            FILE_ATTRIBUTE_READONLY);
    ++loaded;
  }
  return loaded;
}

std::string FixtureText(const std::string& relativePath) {
  return ReadHostFile(DataFolder() / relativePath);
}
