#include "preview/windows_version.h"

#include <cstdlib>

#include "platform/sim/registry_model.h"
#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_escape.h"

namespace preview {
namespace {

struct Named {
  const char* name;
  sim::WindowsVersion version;
};

const Named kNames[] = {{"win95", sim::WindowsVersion::Windows95},
                        {"win98", sim::WindowsVersion::Windows98},
                        {"winme", sim::WindowsVersion::WindowsMe},
                        {"nt40", sim::WindowsVersion::WindowsNT4},
                        {"win2k", sim::WindowsVersion::Windows2000},
                        {"winxp-sp1", sim::WindowsVersion::WindowsXPSP1},
                        {"winxp-sp2", sim::WindowsVersion::WindowsXPSP2},
                        {"winxp-sp3", sim::WindowsVersion::WindowsXPSP3},
                        {"vista", sim::WindowsVersion::WindowsVista},
                        {"win7", sim::WindowsVersion::Windows7},
                        {"win8.1", sim::WindowsVersion::Windows81},
                        {"win10", sim::WindowsVersion::Windows10},
                        {"win11", sim::WindowsVersion::Windows11}};

const char kNtCurrent[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion|";
const char k9xCurrent[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion|";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool NtVersion(const std::string& current, const std::string& servicePack,
               sim::WindowsVersion* version, std::string* reason) {
  if (current == "4.0") {
    *version = sim::WindowsVersion::WindowsNT4;
  } else if (current == "5.0") {
    *version = sim::WindowsVersion::Windows2000;
  } else if (current == "6.0") {
    *version = sim::WindowsVersion::WindowsVista;
  } else if (current == "6.1") {
    *version = sim::WindowsVersion::Windows7;
  } else if (current == "6.3") {
    *version = sim::WindowsVersion::Windows81;
  } else if (current == "5.1") {
    if (servicePack == "Service Pack 1") {
      *version = sim::WindowsVersion::WindowsXPSP1;
    } else if (servicePack == "Service Pack 2") {
      *version = sim::WindowsVersion::WindowsXPSP2;
    } else if (servicePack == "Service Pack 3") {
      *version = sim::WindowsVersion::WindowsXPSP3;
    } else {
      *reason = "the input names Windows XP with service pack \"" + servicePack +
                "\", which the preview has no image of";
      return false;
    }
  } else {
    *reason =
        "the input names Windows NT version \"" + current + "\", which the preview has no image of";
    return false;
  }
  return true;
}

}  // namespace

const char* VersionNames() {
  return "win95 win98 winme nt40 win2k winxp-sp1 winxp-sp2 winxp-sp3 vista win7 win8.1 win10 "
         "win11";
}

bool VersionFromName(std::string_view name, sim::WindowsVersion* version) {
  for (const Named& named : kNames) {
    if (name == named.name) {
      *version = named.version;
      return true;
    }
  }
  return false;
}

const char* NameOfVersion(sim::WindowsVersion version) {
  for (const Named& named : kNames) {
    if (named.version == version) return named.name;
  }
  return "?";
}

bool InputString(const MachineInput& input, std::string_view valuePath, std::string* text) {
  // Case variants of a path sort together, the all-capitals one first.
  std::string wanted = sim::UpperName(valuePath);
  for (auto it = input.entries.lower_bound(wanted);
       it != input.entries.end() && sim::UpperName(it->first) == wanted; ++it) {
    uint32_t type = 0;
    std::string data;
    if (it->second.kind != 'V' || !trace::ParseValueDetail(it->second.detail, &type, &data) ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return false;
    }
    *text = data.substr(0, data.find('\0'));
    return true;
  }
  return false;
}

namespace {

bool InputDword(const MachineInput& input, std::string_view valuePath, uint32_t* value) {
  auto it = input.entries.find(std::string(valuePath));
  uint32_t type = 0;
  std::string data;
  if (it == input.entries.end() || it->second.kind != 'V' ||
      !trace::ParseValueDetail(it->second.detail, &type, &data) || type != REG_DWORD ||
      data.size() != 4) {
    return false;
  }
  *value = uint8_t(data[0]) | uint8_t(data[1]) << 8 | uint8_t(data[2]) << 16 |
           uint32_t(uint8_t(data[3])) << 24;
  return true;
}

}  // namespace

bool VersionFromInput(const MachineInput& input, sim::WindowsVersion* version,
                      std::string* reason) {
  std::string current, servicePack, number;
  if (InputString(input, std::string(kNtCurrent) + "CurrentVersion", &current)) {
    InputString(input, std::string(kNtCurrent) + "CSDVersion", &servicePack);
    if (!NtVersion(current, servicePack, version, reason)) return false;
    // Windows 10 and 11 keep "6.3" there for old programs; their own number
    // is CurrentMajorVersionNumber, and 11 is 10 with a build from 22000 on.
    uint32_t major = 0;
    if (*version == sim::WindowsVersion::Windows81 &&
        InputDword(input, std::string(kNtCurrent) + "CurrentMajorVersionNumber", &major) &&
        major >= 10) {
      std::string build;
      InputString(input, std::string(kNtCurrent) + "CurrentBuildNumber", &build);
      *version = std::atoi(build.c_str()) >= 22000 ? sim::WindowsVersion::Windows11
                                                   : sim::WindowsVersion::Windows10;
    }
    return true;
  }
  if (InputString(input, std::string(k9xCurrent) + "VersionNumber", &number)) {
    if (StartsWith(number, "4.00.")) {
      *version = sim::WindowsVersion::Windows95;
    } else if (StartsWith(number, "4.10.")) {
      *version = sim::WindowsVersion::Windows98;
    } else if (StartsWith(number, "4.90.")) {
      *version = sim::WindowsVersion::WindowsMe;
    } else {
      *reason =
          "the input names Windows version \"" + number + "\", which the preview has no image of";
      return false;
    }
    return true;
  }
  *reason =
      "the input does not say which Windows it comes from (no CurrentVersion of "
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion, no VersionNumber of "
      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion)";
  return false;
}

}  // namespace preview
