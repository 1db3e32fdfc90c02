// The registry operations of the platform layer on the simulated machine's
// registry. Results and buffer handling follow Windows XP: every result is a Win32
// error code and the registry functions leave the thread's last error alone.
#include <algorithm>
#include <cstring>

#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

namespace plat {

namespace {

using sim::KeyRef;

sim::Machine& Machine() { return sim::CurrentMachine(); }

// The specific key rights a requested access stands for.
REGSAM MapAccess(REGSAM access) {
  REGSAM mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                             MAXIMUM_ALLOWED | KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (access & GENERIC_READ) mapped |= KEY_READ;
  if (access & GENERIC_WRITE) mapped |= KEY_WRITE;
  if (access & GENERIC_EXECUTE) mapped |= KEY_EXECUTE;
  if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) mapped |= KEY_ALL_ACCESS;
  return mapped;
}

// The key behind a handle, when the handle grants the rights the operation needs.
// Windows 95/98/Me have no key rights and accept any open handle.
LSTATUS KeyOf(HKEY handle, REGSAM needed, KeyRef* key) {
  REGSAM granted = 0;
  *key = Machine().registry.ResolveHandle(handle, &granted);
  if (!*key) return ERROR_INVALID_HANDLE;
  if (Machine().IsNt() && (granted & needed) != needed) return ERROR_ACCESS_DENIED;
  if ((*key)->deleted) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

HKEY OpenHandle(const KeyRef& key, REGSAM access) {
  uintptr_t handle = Machine().handles.Open(sim::HandleKind::RegistryKey);
  Machine().registry.BindHandle(handle, key, access);
  return reinterpret_cast<HKEY>(handle);
}

FILETIME ToFileTime(uint64_t time) {
  return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

// Copies a name with its terminator when it fits in `capacity` characters
// (terminator included); false, and nothing written, when it does not.
bool CopyName(const std::string& text, LPSTR out, DWORD capacity) {
  if (text.size() >= capacity) return false;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

// The empty class string every key has here.
LSTATUS ReportEmptyClass(LPSTR keyClass, LPDWORD keyClassLength) {
  if (!keyClassLength) return ERROR_SUCCESS;
  if (keyClass) {
    if (*keyClassLength == 0) return ERROR_MORE_DATA;
    keyClass[0] = '\0';
  }
  *keyClassLength = 0;
  return ERROR_SUCCESS;
}

bool IsText(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The size of a value's data as Windows stores it: the NT family keeps text as
// UTF-16, two bytes for each character of this single-byte model.
DWORD StoredSize(const sim::RegValue& value) {
  DWORD size = static_cast<DWORD>(value.data.size());
  return IsText(value.type) && Machine().IsNt() ? size * 2 : size;
}

// On 64-bit Windows HKLM\SOFTWARE has a 32-bit view, SOFTWARE\Wow6432Node: a
// 32-bit program sees it in place of SOFTWARE, and so does a 64-bit one that
// asks for KEY_WOW64_32KEY. Paths below other roots, or relative to an open
// key, are not redirected here.
std::string ViewPath(HKEY root, LPCSTR subKey, REGSAM access) {
  std::string path = subKey ? subKey : "";
  const sim::Machine& machine = Machine();
  if (root != HKEY_LOCAL_MACHINE || !machine.options().windows64) return path;
  bool view32 = (access & KEY_WOW64_32KEY) ||
                (!machine.system.process64Bit && !(access & KEY_WOW64_64KEY));
  if (!view32) return path;
  std::string upper = sim::UpperAscii(path);
  if (upper.rfind("SOFTWARE", 0) != 0 || (upper.size() > 8 && upper[8] != '\\')) return path;
  if (upper.rfind("SOFTWARE\\WOW6432NODE", 0) == 0) return path;
  return path.substr(0, 8) + "\\Wow6432Node" + path.substr(8);
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  uint32_t error = 0;
  if (sim::EnterCall("RegOpenKeyExA", &error)) return static_cast<LSTATUS>(error);
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyRef base;
  LSTATUS status = KeyOf(root, 0, &base);
  if (status != ERROR_SUCCESS) return status;
  KeyRef key;
  status = Machine().registry.Find(base, ViewPath(root, subKey, access), &key);
  if (status != ERROR_SUCCESS) return status;
  REGSAM mapped = MapAccess(access);
  status = Machine().registry.CheckAccess(*key, mapped);
  if (status != ERROR_SUCCESS) return status;
  *result = OpenHandle(key, mapped);
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR, DWORD, REGSAM access,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  uint32_t error = 0;
  if (sim::EnterCall("RegCreateKeyExA", &error)) return static_cast<LSTATUS>(error);
  if (!result || reserved != 0) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyRef base;
  LSTATUS status = KeyOf(root, 0, &base);
  if (status != ERROR_SUCCESS) return status;
  KeyRef key;
  bool created = false;
  status = Machine().registry.Create(base, ViewPath(root, subKey, access), &key, &created);
  if (status != ERROR_SUCCESS) return status;
  REGSAM mapped = MapAccess(access);
  status = Machine().registry.CheckAccess(*key, mapped);
  if (status != ERROR_SUCCESS) return status;
  *result = OpenHandle(key, mapped);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKeyA(HKEY handle, LPSTR keyClass, LPDWORD keyClassLength, LPDWORD reserved,
                         LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                         LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                         LPDWORD securityDescriptorLength, PFILETIME lastWriteTime) {
  uint32_t error = 0;
  if (sim::EnterCall("RegQueryInfoKeyA", &error)) return static_cast<LSTATUS>(error);
  if (reserved) return ERROR_INVALID_PARAMETER;
  KeyRef key;
  LSTATUS status = KeyOf(handle, KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  // The longest names and data are looked for only when asked, so that counting
  // the sub-keys or values of a large key stays one step.
  if (maxSubKeyLength) {
    DWORD longestKey = 0;
    for (const auto& [upper, child] : key->children) {
      longestKey = std::max<DWORD>(longestKey, static_cast<DWORD>(child->name.size()));
    }
    *maxSubKeyLength = longestKey;
  }
  if (maxValueNameLength || maxValueLength) {
    DWORD longestName = 0;
    DWORD longestData = 0;
    for (const sim::RegValue& value : key->values) {
      longestName = std::max<DWORD>(longestName, static_cast<DWORD>(value.name.size()));
      longestData = std::max<DWORD>(longestData, StoredSize(value));
    }
    if (maxValueNameLength) *maxValueNameLength = longestName;
    if (maxValueLength) *maxValueLength = longestData;
  }
  if (subKeys) *subKeys = static_cast<DWORD>(key->children.size());
  if (maxClassLength) *maxClassLength = 0;
  if (values) *values = static_cast<DWORD>(key->values.size());
  if (securityDescriptorLength) {
    *securityDescriptorLength = static_cast<DWORD>(key->security.size());
  }
  if (lastWriteTime) *lastWriteTime = ToFileTime(key->lastWriteTime);
  return ReportEmptyClass(keyClass, keyClassLength);
}

LSTATUS RegEnumKeyExA(HKEY handle, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                      LPSTR keyClass, LPDWORD keyClassLength, PFILETIME lastWriteTime) {
  uint32_t error = 0;
  if (sim::EnterCall("RegEnumKeyExA", &error)) return static_cast<LSTATUS>(error);
  if (reserved || !name || !nameLength) return ERROR_INVALID_PARAMETER;
  KeyRef key;
  LSTATUS status = KeyOf(handle, KEY_ENUMERATE_SUB_KEYS, &key);
  if (status != ERROR_SUCCESS) return status;
  auto it = key->children.AtIndex(index);
  if (it == key->children.end()) return ERROR_NO_MORE_ITEMS;
  const sim::RegKey& child = *it->second;
  // A name that does not fit leaves the buffer and its size as they were.
  if (!CopyName(child.name, name, *nameLength)) return ERROR_MORE_DATA;
  *nameLength = static_cast<DWORD>(child.name.size());
  if (lastWriteTime) *lastWriteTime = ToFileTime(child.lastWriteTime);
  return ReportEmptyClass(keyClass, keyClassLength);
}

LSTATUS RegEnumValueA(HKEY handle, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataLength) {
  uint32_t error = 0;
  if (sim::EnterCall("RegEnumValueA", &error)) return static_cast<LSTATUS>(error);
  if (reserved || !name || !nameLength || (data && !dataLength)) return ERROR_INVALID_PARAMETER;
  KeyRef key;
  LSTATUS status = KeyOf(handle, KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
  const sim::RegValue& value = key->values[index];
  DWORD size = static_cast<DWORD>(value.data.size());
  if (type) *type = value.type;
  // As Windows XP: when the name or the data does not fit, neither buffer is
  // touched, the name size stays and the data size tells what the data needs.
  bool nameFits = value.name.size() < *nameLength;
  bool dataFits = !data || size <= *dataLength;
  if (!nameFits || !dataFits) {
    if (dataLength) *dataLength = size;
    return ERROR_MORE_DATA;
  }
  CopyName(value.name, name, *nameLength);
  *nameLength = static_cast<DWORD>(value.name.size());
  if (data && size) std::memcpy(data, value.data.data(), size);
  if (dataLength) *dataLength = size;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY handle, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataLength) {
  uint32_t error = 0;
  if (sim::EnterCall("RegQueryValueExA", &error)) return static_cast<LSTATUS>(error);
  if (reserved || (data && !dataLength)) return ERROR_INVALID_PARAMETER;
  KeyRef key;
  LSTATUS status = KeyOf(handle, KEY_QUERY_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  const sim::RegValue* value = sim::RegistryModel::FindValue(*key, valueName ? valueName : "");
  if (!value) return ERROR_FILE_NOT_FOUND;
  DWORD size = static_cast<DWORD>(value->data.size());
  if (type) *type = value->type;
  if (data) {
    if (size > *dataLength) {
      *dataLength = size;
      return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(data, value->data.data(), size);
    // A text stored without its terminator gets one from the NT family when the
    // buffer has room; it is not counted in the size.
    if (Machine().IsNt() && IsText(value->type) && size && size < *dataLength && data[size - 1])
      data[size] = 0;
  }
  if (dataLength) *dataLength = size;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY handle, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                       DWORD dataLength) {
  uint32_t error = 0;
  if (sim::EnterCall("RegSetValueExA", &error)) return static_cast<LSTATUS>(error);
  KeyRef key;
  LSTATUS status = KeyOf(handle, KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  const char* name = valueName ? valueName : "";
  if (std::strlen(name) > sim::RegistryModel::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  if (!data && dataLength) return ERROR_NOACCESS;
  if (!Machine().IsNt() && type == REG_SZ && data) {
    // Windows 95/98/Me take a text's length from the text itself.
    dataLength = static_cast<DWORD>(std::strlen(reinterpret_cast<const char*>(data)) + 1);
  } else if (IsText(type) && dataLength && data[dataLength - 1] && !data[dataLength]) {
    // The NT family counts a terminator the caller left out when it follows the
    // data; it reads that one byte beyond the given length, as Windows does.
    ++dataLength;
  }
  // Stored exactly as given: a REG_SZ whose length leaves out the terminator is
  // kept without one, as Windows keeps it.
  Machine().registry.WriteValue(*key, name, type, data, dataLength);
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyA(HKEY handle, LPCSTR subKey) {
  uint32_t error = 0;
  if (sim::EnterCall("RegDeleteKeyA", &error)) return static_cast<LSTATUS>(error);
  if (!subKey) return ERROR_INVALID_PARAMETER;
  KeyRef base;
  LSTATUS status = KeyOf(handle, 0, &base);
  if (status != ERROR_SUCCESS) return status;
  return Machine().registry.Delete(base, subKey);
}

LSTATUS RegDeleteValueA(HKEY handle, LPCSTR valueName) {
  uint32_t error = 0;
  if (sim::EnterCall("RegDeleteValueA", &error)) return static_cast<LSTATUS>(error);
  KeyRef key;
  LSTATUS status = KeyOf(handle, KEY_SET_VALUE, &key);
  if (status != ERROR_SUCCESS) return status;
  if (!sim::RegistryModel::EraseValue(*key, valueName ? valueName : "")) {
    return ERROR_FILE_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY handle) {
  uint32_t error = 0;
  if (sim::EnterCall("RegCloseKey", &error)) return static_cast<LSTATUS>(error);
  sim::Machine& machine = Machine();
  if (machine.registry.PredefinedRoot(handle)) return ERROR_SUCCESS;
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (!machine.handles.Close(value, sim::HandleKind::RegistryKey)) return ERROR_INVALID_HANDLE;
  machine.registry.UnbindHandle(value);
  return ERROR_SUCCESS;
}

}  // namespace plat
