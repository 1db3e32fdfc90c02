#include "tests/run_checks.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "app/application_state.h"
#include "platform/platform.h"
#include "resources/string_table.h"
#include "text/text_template.h"

namespace runcheck {

namespace {

const char kComDbKey[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

std::set<std::string> AsSet(const std::vector<std::string>& lines) {
  return std::set<std::string>(lines.begin(), lines.end());
}

// Every text the simulated Windows has for a system error code, by text.
// Filled once: the Windows codes up to 16000 and the Setup API's, which the
// message table holds in their HRESULT form 0x800Fxxxx.
const std::set<std::string>& SystemTexts() {
  static std::set<std::string> texts;
  static bool filled = false;
  if (filled) return texts;
  filled = true;
  auto add = [](DWORD code) {
    char* text = nullptr;
    DWORD length = plat::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text),
        0, nullptr);
    if (length != 0 && text != nullptr) texts.insert(text);
    if (text != nullptr) plat::LocalFree(text);
  };
  for (DWORD code = 0; code < 16000; ++code) add(code);
  for (DWORD code = 0x800F0000; code < 0x800F0400; ++code) add(code);
  return texts;
}

// The program's texts as LoadStringA gives them, branding words filled in.
std::set<std::string> ProgramTexts() {
  std::set<std::string> texts;
  int count = 0;
  const StringTableEntry* entries = StringTableEntries(&count);
  for (int i = 0; i < count; ++i) {
    char text[4096] = {};
    if (plat::LoadStringA(App().instance, UINT(entries[i].id), text, sizeof text) <= 0) continue;
    Placeholders().Substitute(text, sizeof text);
    texts.insert(text);
  }
  return texts;
}

// "Error 5 (0x00000005)": the form a code without a system text is shown in.
bool IsBareErrorCode(const std::string& text) {
  unsigned int decimal = 0;
  unsigned int hex = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "Error %u (0x%8X)%c", &decimal, &hex, &tail) != 2) return false;
  char expected[64];
  std::snprintf(expected, sizeof expected, "Error %u (0x%08X)", decimal, decimal);
  return text == expected && decimal == hex;
}

}  // namespace

void Survivors::CaptureAll(const sim::Machine& machine) {
  registry_ = AsSet(machine.registry.Snapshot());
  files_ = AsSet(machine.files.Snapshot());
  comPorts_ = ComDbPorts(machine);
}

void Survivors::KeepUnchanged(const sim::Machine& machine) {
  std::set<std::string> registry = AsSet(machine.registry.Snapshot());
  std::set<std::string> files = AsSet(machine.files.Snapshot());
  std::set<int> ports = ComDbPorts(machine);
  std::erase_if(registry_, [&](const std::string& line) { return !registry.count(line); });
  std::erase_if(files_, [&](const std::string& line) { return !files.count(line); });
  std::erase_if(comPorts_, [&](int port) { return !ports.count(port); });
}

void Survivors::Forget(const std::function<bool(const std::string& line)>& isPhones) {
  std::erase_if(registry_, isPhones);
  std::erase_if(files_, isPhones);
}

std::string Survivors::Losses(const sim::Machine& machine) const {
  std::set<std::string> registry = AsSet(machine.registry.Snapshot());
  std::set<std::string> files = AsSet(machine.files.Snapshot());
  std::set<int> ports = ComDbPorts(machine);
  std::string losses;
  for (const std::string& line : registry_) {
    if (!registry.count(line)) losses += "registry: " + line + "\n";
  }
  for (const std::string& line : files_) {
    if (!files.count(line)) losses += "file: " + line + "\n";
  }
  for (int port : comPorts_) {
    if (!ports.count(port)) losses += "ComDB: COM" + std::to_string(port) + "\n";
  }
  return losses;
}

KeySecurityMap KeySecurity(const sim::Machine& machine) {
  static const std::string kSecurity = "  (security) ";
  KeySecurityMap keys;
  for (const std::string& line : machine.registry.Snapshot()) {
    size_t at = line.find(kSecurity);
    if (at != std::string::npos) {
      keys[line.substr(0, at)] = line.substr(at + kSecurity.size());
    } else if (line.find("  \"") == std::string::npos && line.find("  -> ") == std::string::npos) {
      keys.emplace(line, "");
    }
  }
  return keys;
}

std::string SecurityChanges(const KeySecurityMap& before, const sim::Machine& machine) {
  KeySecurityMap after = KeySecurity(machine);
  std::string changes;
  for (const auto& [key, security] : before) {
    auto now = after.find(key);
    if (now == after.end() || now->second == security) continue;
    changes += "security of " + key + ": " + (security.empty() ? "default" : security) +
               " became " + (now->second.empty() ? "default" : now->second) + "\n";
  }
  return changes;
}

std::set<int> ComDbPorts(const sim::Machine& machine) {
  std::set<int> ports;
  std::optional<sim::RegValue> comDb =
      machine.registry.GetValue(HKEY_LOCAL_MACHINE, kComDbKey, "ComDB");
  if (!comDb) return ports;
  for (size_t byte = 0; byte < comDb->data.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      if (comDb->data[byte] & (1u << bit)) ports.insert(int(byte * 8 + bit + 1));
    }
  }
  return ports;
}

std::string ValueLine(const sim::Machine& machine, HKEY root, const std::string& path,
                      const std::string& name) {
  std::string rootName = root == HKEY_LOCAL_MACHINE ? "HKLM" : root == HKEY_CURRENT_USER ? "HKCU"
                                                                                        : "HKU";
  std::string prefix = sim::UpperName(rootName + "\\" + path + "  \"" + name + "\" = ");
  for (const std::string& line : machine.registry.Snapshot()) {
    if (sim::UpperName(line.substr(0, prefix.size())) == prefix) return line;
  }
  return "";
}

std::string UnexpectedMessageBoxes(const sim::Machine& machine, size_t first) {
  const auto& boxes = machine.windows.messageBoxes;
  if (first >= boxes.size()) return "";
  std::set<std::string> programTexts = ProgramTexts();
  const std::set<std::string>& systemTexts = SystemTexts();
  std::string unexpected;
  for (size_t i = first; i < boxes.size(); ++i) {
    const sim::MessageBoxRecord& box = boxes[i];
    bool fromTable = box.caption == App().title && programTexts.count(box.text);
    bool systemError =
        box.caption == "Error" && (systemTexts.count(box.text) || IsBareErrorCode(box.text));
    if (!fromTable && !systemError) {
      unexpected += "box \"" + box.caption + "\": \"" + box.text + "\"\n";
    }
  }
  return unexpected;
}

bool HeardDeviceChange(const sim::Machine& machine, HWND window) {
  const sim::Window* entry = machine.windows.Find(window);
  if (!entry) return false;
  for (const sim::WindowMessage& message : entry->messages) {
    if (message.message == WM_DEVICECHANGE && !message.posted) return true;
  }
  return false;
}

}  // namespace runcheck
