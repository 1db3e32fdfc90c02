#include "preview/phone_names.h"

#include "platform/sim/registry_model.h"
#include "resources/string_table.h"
#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_escape.h"

namespace preview {
namespace {

bool IsNameId(int id) {
  return id == IDS_MAKER || id == IDS_PORT_DEVICE || id == IDS_MODEM_DESCRIPTION_MAKER ||
         (id >= IDS_SERVICE_BUS && id <= IDS_SERVICE_OBEX) ||
         (id >= IDS_LEGACY_INF_BUS && id <= IDS_LEGACY_INF_SDMW) ||
         (id >= IDS_NT_INF_BUS && id <= IDS_NT_INF_MDM2) ||
         (id >= IDS_PACKAGE_DRIVER_00 && id <= IDS_PACKAGE_DRIVER_13) ||
         (id >= IDS_INSTALLED_DRIVER_00 && id <= IDS_INSTALLED_DRIVER_13) ||
         (id >= IDS_NT_DRIVER_0 && id <= IDS_NT_DRIVER_8);
}

bool IsAlphanumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The raw names of an escaped path: keys, the value's name, folders, the file.
std::vector<std::string> NamesOf(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\|", start);
    if (end == std::string::npos) end = path.size();
    std::string raw;
    if (trace::UnescapeBytes(path.substr(start, end - start), &raw)) names.push_back(raw);
    start = end + 1;
  }
  return names;
}

}  // namespace

std::string StringTableText(int id) {
  int count = 0;
  const StringTableEntry* entries = StringTableEntries(&count);
  for (int i = 0; i < count; ++i) {
    if (entries[i].id == id) return entries[i].utf8;
  }
  return "";
}

PhoneNames::PhoneNames() {
  int count = 0;
  const StringTableEntry* entries = StringTableEntries(&count);
  for (int i = 0; i < count; ++i) {
    if (entries[i].id == IDS_HWID_FUNCTION0) hardwareId_ = sim::UpperName(entries[i].utf8);
    if (IsNameId(entries[i].id)) names_.push_back(sim::UpperName(entries[i].utf8));
  }
}

bool PhoneNames::TextHoldsHardwareId(std::string_view text) const {
  if (hardwareId_.empty()) return false;
  std::string upper = sim::UpperName(text);
  for (size_t at = upper.find(hardwareId_); at != std::string::npos;
       at = upper.find(hardwareId_, at + 1)) {
    size_t end = at + hardwareId_.size();
    bool before = at == 0 || !IsAlphanumeric(upper[at - 1]);
    bool after = end == upper.size() || !IsAlphanumeric(upper[end]);
    if (before && after) return true;
  }
  return false;
}

bool PhoneNames::IsPhoneName(std::string_view name) const {
  std::string upper = sim::UpperName(name);
  for (const std::string& phone : names_) {
    if (upper == phone) return true;
  }
  return false;
}

bool PhoneNames::Names(const trace::Entry& entry) const {
  for (const std::string& name : NamesOf(entry.path)) {
    if (IsPhoneName(name) || TextHoldsHardwareId(name)) return true;
  }
  if (entry.kind != 'V') return false;
  uint32_t type = 0;
  std::string data;
  if (!trace::ParseValueDetail(entry.detail, &type, &data)) return false;
  bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  return text && TextHoldsHardwareId(data);
}

}  // namespace preview
