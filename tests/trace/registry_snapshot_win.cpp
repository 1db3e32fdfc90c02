#include "tests/trace/registry_snapshot_win.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <string_view>

#include "tests/trace/entry_detail.h"
#include "tests/trace/snapshot_escape.h"
#include "tests/wine/native_view.h"

namespace trace {
namespace {

// Key names have at most 255 characters and value names at most 16,383; a
// longer answer means the registry changed under us, which one retry with a
// larger buffer absorbs. Value data is read up to 64 MB.
constexpr DWORD kKeyNameCapacity = 1024;
constexpr DWORD kValueNameCapacity = 16384 + 1;
constexpr DWORD kMaxDataCapacity = 64u << 20;
constexpr int kReadAttempts = 4;

struct RootName {
  const char* shortName;
  const char* longName;
  HKEY key;
};

const RootName kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

class KeyOwner {
 public:
  KeyOwner() = default;
  KeyOwner(const KeyOwner&) = delete;
  KeyOwner& operator=(const KeyOwner&) = delete;
  ~KeyOwner() {
    if (key_) ::RegCloseKey(key_);
  }
  HKEY* Receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return upper(x) == upper(y); });
}

// "HKLM\SYSTEM\Setup" -> root key, "HKLM\SYSTEM\Setup" (each name escaped) and
// "SYSTEM\Setup". Empty names (doubled or trailing backslashes) are dropped.
bool SplitRootPath(const std::string& text, HKEY* root, std::string* path, std::string* subKey) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (names.empty()) return false;
  const RootName* found = nullptr;
  for (const RootName& candidate : kRoots) {
    if (EqualsNoCase(names[0], candidate.shortName) || EqualsNoCase(names[0], candidate.longName)) {
      found = &candidate;
    }
  }
  if (!found) return false;
  *root = found->key;
  *path = found->shortName;
  subKey->clear();
  for (size_t i = 1; i < names.size(); ++i) {
    *path += '\\' + EscapeName(names[i]);
    if (i > 1) *subKey += '\\';
    *subKey += names[i];
  }
  return true;
}

// Opens a sub-key without following it when it is a link. Windows 95/98/Me
// know no link keys and may refuse the option: there the key is opened plainly.
LSTATUS OpenKeyNoFollow(HKEY parent, const char* name, HKEY* key) {
  LSTATUS status =
      ::RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_READ | NativeView(), key);
  if (status == ERROR_INVALID_PARAMETER)
    status = ::RegOpenKeyExA(parent, name, 0, KEY_READ | NativeView(), key);
  return status;
}

// The key's owner, group and DACL as SDDL ("sddl O:SYG:SYD:(A;CI;KA;;;SY)"),
// so that a DACL changed on a key that stays shows as a changed key; "sddl
// unreadable N" when the descriptor cannot be read, "" where keys have no
// security at all (Windows 95/98/Me).
std::string SecurityDetail(HKEY key) {
  const SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  LSTATUS status = ::RegGetKeySecurity(key, parts, nullptr, &size);
  if (status == ERROR_CALL_NOT_IMPLEMENTED) return "";
  std::vector<BYTE> descriptor(size > 0 ? size : 1);
  if (status == ERROR_INSUFFICIENT_BUFFER) {
    status = ::RegGetKeySecurity(key, parts, descriptor.data(), &size);
  }
  if (status != ERROR_SUCCESS) return "sddl " + FormatUnreadable(static_cast<uint32_t>(status));
  char* sddl = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                              parts, &sddl, nullptr)) {
    return "sddl " + FormatUnreadable(::GetLastError());
  }
  std::string text = "sddl " + EscapeData(sddl);
  ::LocalFree(sddl);
  return text;
}

class TreeWalker {
 public:
  TreeWalker(std::vector<Entry>* entries, bool subKeys)
      : entries_(entries), subKeys_(subKeys), name_(kValueNameCapacity), data_(4096) {}

  // Records the key open in `key` (opened without following a final link) and
  // everything below it.
  void Walk(HKEY key, const std::string& path) {
    if (RecordIfLink(key, path)) return;
    DWORD subKeys = 0, maxSubKeyLength = 0, values = 0, maxValueName = 0, maxData = 0;
    LSTATUS status =
        ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength, nullptr,
                           &values, &maxValueName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
      Add('K', path, FormatUnreadable(status));
      return;
    }
    size_t keyEntry = entries_->size();
    std::string security = SecurityDetail(key);
    Add('K', path, security);
    if (maxData > data_.size() && maxData <= kMaxDataCapacity) data_.resize(maxData);
    // A key whose values could not all be read is still walked below.
    LSTATUS valuesStatus = RecordValues(key, path);
    std::vector<std::string> names;
    LSTATUS keysStatus = subKeys_ ? ListSubKeys(key, &names) : ERROR_SUCCESS;
    status = valuesStatus != ERROR_SUCCESS ? valuesStatus : keysStatus;
    if (status != ERROR_SUCCESS) {
      std::string incomplete = "incomplete " + std::to_string(status);
      (*entries_)[keyEntry].detail = security.empty() ? incomplete : incomplete + " " + security;
    }
    for (const std::string& name : names) WalkChild(key, path, name);
  }

  void WalkChild(HKEY parent, const std::string& parentPath, const std::string& name) {
    std::string path = parentPath + '\\' + EscapeName(name);
    KeyOwner child;
    LSTATUS status = OpenKeyNoFollow(parent, name.c_str(), child.Receive());
    if (status != ERROR_SUCCESS) {
      Add('K', path, FormatUnreadable(status));
      return;
    }
    Walk(child.get(), path);
  }

 private:
  void Add(char kind, const std::string& path, std::string detail) {
    entries_->push_back(Entry{kind, path, std::move(detail)});
  }

  // A link key holds its target in the REG_LINK value "SymbolicLinkValue",
  // as UTF-16 text without a terminator.
  bool RecordIfLink(HKEY key, const std::string& path) {
    DWORD type = 0;
    wchar_t target[1024];
    DWORD length = sizeof target;
    LSTATUS status = ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type,
                                        reinterpret_cast<BYTE*>(target), &length);
    if (status == ERROR_MORE_DATA && type == REG_LINK) {
      Add('L', path, FormatUnreadable(status));
      return true;
    }
    if (status != ERROR_SUCCESS || type != REG_LINK) return false;
    std::string utf8;
    size_t count = length / sizeof(wchar_t);
    if (count > 0) {
      int size = ::WideCharToMultiByte(CP_UTF8, 0, target, static_cast<int>(count), nullptr, 0,
                                       nullptr, nullptr);
      utf8.resize(size > 0 ? size : 0);
      if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, target, static_cast<int>(count), utf8.data(), size,
                              nullptr, nullptr);
      }
    }
    Add('L', path, EscapeData(utf8));
    return true;
  }

  // Reads value `index` into name_ and data_, growing data_ as the registry
  // asks, up to kMaxDataCapacity.
  LSTATUS ReadValue(HKEY key, DWORD index, DWORD* nameLength, DWORD* type, DWORD* dataLength) {
    LSTATUS status = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kReadAttempts && status == ERROR_MORE_DATA; ++attempt) {
      *nameLength = static_cast<DWORD>(name_.size());
      *dataLength = static_cast<DWORD>(data_.size());
      status = ::RegEnumValueA(key, index, name_.data(), nameLength, nullptr, type, data_.data(),
                               dataLength);
      if (status != ERROR_MORE_DATA) break;
      DWORD wanted = std::max<DWORD>(*dataLength, static_cast<DWORD>(data_.size()) * 2);
      if (wanted > kMaxDataCapacity) break;
      data_.resize(wanted);
    }
    return status;
  }

  LSTATUS RecordValues(HKEY key, const std::string& path) {
    for (DWORD index = 0;; ++index) {
      DWORD nameLength = 0, type = 0, dataLength = 0;
      LSTATUS status = ReadValue(key, index, &nameLength, &type, &dataLength);
      if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (status == ERROR_MORE_DATA) {
        // The data is too large: name the value from a read without data.
        nameLength = static_cast<DWORD>(name_.size());
        if (::RegEnumValueA(key, index, name_.data(), &nameLength, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
          return status;
        }
        Add('V', path + '|' + EscapeName(std::string_view(name_.data(), nameLength)),
            FormatUnreadable(status));
        continue;
      }
      if (status != ERROR_SUCCESS) return status;
      std::string_view name(name_.data(), std::min<size_t>(nameLength, name_.size()));
      std::string_view data(reinterpret_cast<const char*>(data_.data()),
                            std::min<size_t>(dataLength, data_.size()));
      Add('V', path + '|' + EscapeName(name), FormatValueDetail(type, data));
    }
  }

  LSTATUS ListSubKeys(HKEY key, std::vector<std::string>* names) {
    char name[kKeyNameCapacity];
    for (DWORD index = 0;; ++index) {
      DWORD length = kKeyNameCapacity;
      LSTATUS status =
          ::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (status != ERROR_SUCCESS) return status;
      names->emplace_back(name, std::min<DWORD>(length, kKeyNameCapacity - 1));
    }
  }

  std::vector<Entry>* entries_;
  bool subKeys_;
  std::vector<char> name_;
  std::vector<BYTE> data_;
};

// Records the key at rootPath, and below it all sub-keys when subKeys is set.
bool TakeRegistryPath(const std::string& rootPath, bool subKeys, std::vector<Entry>* entries,
                      std::vector<std::string>* notes) {
  HKEY root = nullptr;
  std::string path, subKey;
  if (!SplitRootPath(rootPath, &root, &path, &subKey)) return false;
  TreeWalker walker(entries, subKeys);
  if (subKey.empty()) {
    walker.Walk(root, path);
    return true;
  }
  KeyOwner key;
  LSTATUS status = OpenKeyNoFollow(root, subKey.c_str(), key.Receive());
  if (status == ERROR_FILE_NOT_FOUND) {
    notes->push_back("missing " + path);
  } else if (status != ERROR_SUCCESS) {
    entries->push_back(Entry{'K', path, FormatUnreadable(status)});
  } else {
    walker.Walk(key.get(), path);
  }
  return true;
}

}  // namespace

bool TakeRegistryTree(const std::string& rootPath, std::vector<Entry>* entries,
                      std::vector<std::string>* notes) {
  return TakeRegistryPath(rootPath, true, entries, notes);
}

bool TakeRegistryKey(const std::string& keyPath, std::vector<Entry>* entries,
                     std::vector<std::string>* notes) {
  return TakeRegistryPath(keyPath, false, entries, notes);
}

// The trees the installer reads or writes, and a canary set it must never
// touch (CLSID, the user's software settings, Wine's own settings). On 64-bit
// Windows a 32-bit installer's SOFTWARE keys land below Wow6432Node; a tree
// that does not exist only adds a note. CLSID is taken whole: under Wine it is
// a few thousand keys, read in well under a second.
std::vector<std::string> DefaultTrees() {
  return {
      "HKLM\\SYSTEM",
      "HKLM\\Enum",
      "HKLM\\Hardware\\DeviceMap\\SerialComm",
      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
      "HKLM\\SOFTWARE\\ORVEX",
      "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion",
      "HKLM\\SOFTWARE\\Wow6432Node\\ORVEX",
      "HKLM\\SOFTWARE\\Classes\\CLSID",
      "HKCU\\Software",
      "HKLM\\SOFTWARE\\Wine",
  };
}

}  // namespace trace
