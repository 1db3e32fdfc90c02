#include "tests/driver_cd.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/path_routines.h"
#include "platform/sim/plug_and_play.h"
#include "resources/resource.h"

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

std::string DriverCdFolder(CdVariant variant) {
  if (variant == CdVariant::Signed) return USBINST_SIGNED_CD_DIR;
  return (DataFolder() / "cd").string();
}

int LoadDriverCd(sim::Machine& machine, const std::string& root, CdVariant variant) {
  std::filesystem::path cd = DriverCdFolder(variant);
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

void InstallThePhoneFromCd(sim::Machine& machine) {
  GetProgramFolder(App().programFolder, sizeof(App().programFolder));
  auto plug = [&machine](int function) {
    return sim::DialogEvent::Inspect(
        [&machine, function](HWND) { sim::PlugInFunction(machine, function); });
  };
  machine.dialogs.script = {plug(0), plug(1), plug(2), plug(3), sim::DialogEvent::DeviceChange(),
                            sim::DialogEvent::Click(IDC_WIZARD_NEXT)};
  RunInstaller(nullptr, "/i");
  machine.dialogs.script.clear();
}

std::string FixtureText(const std::string& relativePath) {
  return ReadHostFile(DataFolder() / relativePath);
}
