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

// Calls `look` with each raw name of an escaped path (keys, the value's
// name, folders, the file) until it answers true.
template <typename Look>
bool AnyNameOf(std::string_view path, Look look) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\|", start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view name = path.substr(start, end - start);
    std::string raw;
    if (name.find('%') == std::string_view::npos) {
      if (look(name)) return true;
    } else if (trace::UnescapeBytes(name, &raw) && look(raw)) {
      return true;
    }
    start = end + 1;
  }
  return false;
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
    if (IsNameId(entries[i].id)) {
      names_.insert(sim::UpperName(entries[i].utf8));
      lengths_.insert(std::string_view(entries[i].utf8).size());
    }
  }
}

bool PhoneNames::TextHoldsHardwareId(std::string_view text) const {
  size_t length = hardwareId_.size();
  if (length == 0 || text.size() < length) return false;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (size_t at = 0; at + length <= text.size(); ++at) {
    size_t i = 0;
    while (i < length && upper(text[at + i]) == hardwareId_[i]) ++i;
    if (i < length) continue;
    size_t end = at + length;
    bool before = at == 0 || !IsAlphanumeric(text[at - 1]);
    bool after = end == text.size() || !IsAlphanumeric(text[end]);
    if (before && after) return true;
  }
  return false;
}

bool PhoneNames::IsPhoneName(std::string_view name) const {
  return lengths_.count(name.size()) != 0 && names_.count(sim::UpperName(name)) != 0;
}

bool PhoneNames::Names(const trace::Entry& entry) const {
  if (AnyNameOf(entry.path, [this](std::string_view name) {
        return IsPhoneName(name) || TextHoldsHardwareId(name);
      })) {
    return true;
  }
  // Only text values can name the phone in their data.
  const std::string& detail = entry.detail;
  bool text = detail.rfind("REG_SZ ", 0) == 0 || detail.rfind("REG_EXPAND_SZ ", 0) == 0 ||
              detail.rfind("REG_MULTI_SZ ", 0) == 0;
  if (entry.kind != 'V' || !text) return false;
  uint32_t type = 0;
  std::string data;
  if (!trace::ParseValueDetail(detail, &type, &data)) return false;
  return TextHoldsHardwareId(data);
}

}  // namespace preview
