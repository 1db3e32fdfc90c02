// Test tool of the removal on real machines under Wine: writes the export of
// a real PC's HKLM\SYSTEM (hivexregedit's, see registry_export_file.h) into
// the prefix, stages the INF files of other makers beside it, and afterwards
// compares both with their sources.
//
//   real_machine.exe import EXPORT          every key and value of EXPORT, with
//                                           its exact type and bytes
//   real_machine.exe check EXPORT           exit 0 when every key and value of
//                                           EXPORT is in the registry unchanged
//   real_machine.exe stage EXPORT FOLDER    the real machine's own OEM INF files
//                                           (stand-ins under each oemN.inf name an
//                                           InfPath of EXPORT gives) and every INF
//                                           of FOLDER as another maker's oemN.inf
//                                           from oem40.inf on, each with a PNF
//   real_machine.exe check-files            exit 0 when every staged file is there
//                                           byte for byte
//
// Each command prints what it counted. Exit code 0, 1 when a check or a step
// failed, 2 for a wrong command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/wine/registry_export_file.h"

// NtSetValueKey stores the bytes as given. RegSetValueExW does not: a string
// value whose data ends without a NUL gets one added when the character after
// the data is NUL (on Windows as in Wine), and the real machines hold such
// values (SymbolicName of many devices).
struct CountedUnicodeString {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
extern "C" LONG WINAPI NtSetValueKey(HANDLE key, CountedUnicodeString* name, ULONG index,
                                     ULONG type, PVOID data, ULONG size);

namespace {

const char kManifest[] = "C:\\real_machine_files.txt";
constexpr int kFirstCorpusNumber = 40;
constexpr int kDifferencesShown = 40;

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0],
                        length, nullptr, nullptr);
  return narrow;
}

// Wine difference: the prefix's mount manager owns SYSTEM\MountedDevices and
// writes it anew at every start of Wine (the real machine's volumes go, its
// \DosDevices\C: becomes Wine's), as Windows' mount manager keeps it for the
// machine's own disks. The removal never reads it; the real machine's copy
// is left out of the prefix.
bool WineOwns(const std::wstring& path) {
  return ::lstrcmpiW(path.c_str(), L"SYSTEM\\MountedDevices") == 0;
}

// The export without the keys Wine owns.
bool ReadExport(const char* file, std::vector<real_export::Key>* keys) {
  std::string error;
  if (!real_export::ReadExportFile(file, keys, &error)) {
    std::printf("real_machine: FAIL %s: %s\n", file, error.c_str());
    return false;
  }
  for (auto key = keys->begin(); key != keys->end();) {
    if (!WineOwns(key->path)) {
      ++key;
      continue;
    }
    std::printf("real_machine: left out %s with %zu values (Wine's mount manager owns it)\n",
                Narrow(key->path).c_str(), key->values.size());
    key = keys->erase(key);
  }
  return true;
}

size_t CountValues(const std::vector<real_export::Key>& keys) {
  size_t values = 0;
  for (const real_export::Key& key : keys) values += key.values.size();
  return values;
}

// --- The registry --------------------------------------------------------------------

int Import(const char* file) {
  std::vector<real_export::Key> keys;
  if (!ReadExport(file, &keys)) return 1;
  DWORD start = ::GetTickCount();
  size_t failed = 0, keysWineHad = 0, valuesWineHad = 0;
  for (const real_export::Key& key : keys) {
    HKEY handle = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.path.c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &handle,
                          &disposition) != ERROR_SUCCESS) {
      if (++failed <= kDifferencesShown) std::printf("  cannot create %s\n", Narrow(key.path).c_str());
      continue;
    }
    bool existed = disposition == REG_OPENED_EXISTING_KEY;
    keysWineHad += existed;
    for (const real_export::Value& value : key.values) {
      if (existed && ::RegQueryValueExW(handle, value.name.c_str(), nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS) {
        ++valuesWineHad;
        std::printf("  the prefix had %s|%s: the real machine's value replaces it\n",
                    Narrow(key.path).c_str(), Narrow(value.name).c_str());
      }
      std::wstring name = value.name;
      CountedUnicodeString counted = {static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                                      static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                                      &name[0]};
      std::vector<BYTE> data = value.data;
      if (NtSetValueKey(handle, &counted, 0, value.type, data.empty() ? nullptr : data.data(),
                        static_cast<ULONG>(data.size())) != 0) {
        if (++failed <= kDifferencesShown) {
          std::printf("  cannot write %s|%s\n", Narrow(key.path).c_str(),
                      Narrow(value.name).c_str());
        }
      }
    }
    ::RegCloseKey(handle);
  }
  std::printf("real_machine: imported %zu keys (%zu of them the prefix had) and %zu values "
              "(%zu of them the prefix had) in %.1f s, %zu failed\n",
              keys.size(), keysWineHad, CountValues(keys), valuesWineHad,
              (::GetTickCount() - start) / 1000.0, failed);
  return failed == 0 ? 0 : 1;
}

// Every key and value of the export, read back: the same type and bytes.
int Check(const char* file) {
  std::vector<real_export::Key> keys;
  if (!ReadExport(file, &keys)) return 1;
  DWORD start = ::GetTickCount();
  size_t differences = 0;
  auto report = [&differences](const std::string& what) {
    if (++differences <= kDifferencesShown) std::printf("  %s\n", what.c_str());
  };
  std::vector<BYTE> data;
  for (const real_export::Key& key : keys) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.path.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS) {
      report("real key gone: " + Narrow(key.path));
      differences += key.values.size();
      continue;
    }
    for (const real_export::Value& value : key.values) {
      std::string where = Narrow(key.path) + "|" + Narrow(value.name);
      // One byte more than the export's, so that longer data shows.
      data.assign(value.data.size() + 1, 0);
      DWORD type = 0, size = static_cast<DWORD>(data.size());
      LSTATUS status =
          ::RegQueryValueExW(handle, value.name.c_str(), nullptr, &type, data.data(), &size);
      if (status == ERROR_FILE_NOT_FOUND) {
        report("real value gone: " + where);
      } else if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        report("real value unreadable (" + std::to_string(status) + "): " + where);
      } else if (status == ERROR_MORE_DATA || type != value.type ||
                 size != value.data.size() ||
                 !std::equal(value.data.begin(), value.data.end(), data.begin())) {
        report("real value changed: " + where + " (type " + std::to_string(value.type) + " -> " +
               std::to_string(type) + ", " + std::to_string(value.data.size()) + " -> " +
               std::to_string(size) + " bytes)");
      }
    }
    ::RegCloseKey(handle);
  }
  std::printf("real_machine: %zu real keys and %zu real values checked in %.1f s: %zu differ\n",
              keys.size(), CountValues(keys), (::GetTickCount() - start) / 1000.0, differences);
  return differences == 0 ? 0 : 1;
}

// --- Files ---------------------------------------------------------------------------

std::string InfFolder() {
  char folder[MAX_PATH + 1] = {};
  ::GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\inf\\";
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteNewFile(const std::string& path, const std::string& bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  ::CloseHandle(file);
  return ok;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "oem" followed by digits and ".inf", whole.
bool IsOemInfName(const std::string& name) {
  if (name.size() < 8 || name.compare(0, 3, "oem") != 0 || !EndsWith(name, ".inf")) return false;
  for (size_t i = 3; i + 4 < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

// The oemN.inf names that the real machine's driver keys give as InfPath.
std::vector<std::string> MachinesOemInfs(const std::vector<real_export::Key>& keys) {
  std::vector<std::string> names;
  for (const real_export::Key& key : keys) {
    for (const real_export::Value& value : key.values) {
      if (Lower(Narrow(value.name)) != "infpath" || value.type != REG_SZ) continue;
      std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()),
                        value.data.size() / sizeof(wchar_t));
      std::string name = Lower(Narrow(text.c_str()));
      if (IsOemInfName(name) && std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(name);
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The corpus's INF files (and the .inx and .inf.in templates that Setup reads
// as INF files), in name order.
std::vector<std::string> CorpusInfs(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found = {};
  HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    std::string lower = Lower(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (EndsWith(lower, ".inf") || EndsWith(lower, ".inx") || EndsWith(lower, ".inf.in")) {
      names.push_back(name);
    }
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string StandIn(const std::string& name) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\n; " + name + " of the real machine\r\n";
}

// What one staged file must hold: a copy of a corpus file, a stand-in of the
// machine's own INF of that name, or a PNF naming its INF.
std::string ExpectedBytes(const std::string& kind, const std::string& argument, bool* known) {
  *known = true;
  if (kind == "stand-in") return StandIn(argument);
  if (kind == "pnf") return "PNF of " + argument;
  std::string bytes;
  *known = kind == "copy" && ReadWholeFile(argument, &bytes);
  return bytes;
}

// Writes the files and the manifest, one line per file: its path, its kind
// and what its contents follow from (see ExpectedBytes).
int Stage(const char* file, const char* folder) {
  std::vector<real_export::Key> keys;
  if (!ReadExport(file, &keys)) return 1;
  std::vector<std::string> corpus = CorpusInfs(folder);
  if (corpus.empty()) {
    std::printf("real_machine: FAIL no INF files in %s\n", folder);
    return 1;
  }
  std::string inf = InfFolder();
  std::string manifest;
  bool ok = true;
  auto stage = [&](const std::string& path, const std::string& kind, const std::string& argument) {
    bool known = false;
    std::string bytes = ExpectedBytes(kind, argument, &known);
    bool written = known && WriteNewFile(path, bytes);
    if (!written) std::printf("  cannot stage %s (its source is unreadable, or it was there)\n", path.c_str());
    ok = ok && written;
    manifest += path + "\t" + kind + "\t" + argument + "\n";
  };
  std::vector<std::string> own = MachinesOemInfs(keys);
  for (const std::string& name : own) {
    stage(inf + name, "stand-in", name);
    stage(inf + name.substr(0, name.size() - 4) + ".PNF", "pnf", name);
  }
  int number = kFirstCorpusNumber;
  for (const std::string& name : corpus) {
    std::string stem = "oem" + std::to_string(number++);
    stage(inf + stem + ".inf", "copy", std::string(folder) + "\\" + name);
    stage(inf + stem + ".PNF", "pnf", name);
  }
  std::ofstream(kManifest, std::ios::binary) << manifest;
  std::printf("real_machine: staged %zu stand-ins of the machine's own OEM INF files and %zu "
              "corpus INF files (oem%d.inf to oem%d.inf), each with its PNF\n",
              own.size(), corpus.size(), kFirstCorpusNumber, number - 1);
  return ok ? 0 : 1;
}

int CheckFiles() {
  std::ifstream in(kManifest, std::ios::binary);
  if (!in) {
    std::printf("real_machine: FAIL no manifest %s (stage first)\n", kManifest);
    return 1;
  }
  std::string line;
  size_t files = 0, differences = 0;
  while (std::getline(in, line)) {
    size_t first = line.find('\t');
    size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    std::string path = line.substr(0, first);
    bool known = false;
    std::string expected = ExpectedBytes(line.substr(first + 1, second - first - 1),
                                         line.substr(second + 1), &known);
    std::string now;
    ++files;
    if (!known) {
      std::printf("  cannot read the source of %s\n", path.c_str());
      ++differences;
    } else if (!ReadWholeFile(path, &now)) {
      std::printf("  gone: %s\n", path.c_str());
      ++differences;
    } else if (now != expected) {
      std::printf("  changed: %s\n", path.c_str());
      ++differences;
    }
  }
  std::printf("real_machine: %zu staged files checked byte for byte: %zu differ\n", files,
              differences);
  return differences == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  int result = 2;
  if (command == "import" && argc == 3) {
    result = Import(argv[2]);
  } else if (command == "check" && argc == 3) {
    result = Check(argv[2]);
  } else if (command == "stage" && argc == 4) {
    result = Stage(argv[2], argv[3]);
  } else if (command == "check-files" && argc == 2) {
    result = CheckFiles();
  } else {
    std::fprintf(stderr, "usage: real_machine.exe import EXPORT | check EXPORT | "
                         "stage EXPORT FOLDER | check-files\n");
  }
  std::fflush(stdout);
  return result;
}
