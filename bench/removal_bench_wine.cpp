// What a removal run costs on a real registry (Wine's), next to the least
// work a program can do there: one pass over the same trees.
//
// Seeds the prefix with foreign device-interface keys below the DeviceClasses
// trees the removal walks (ControlSet001, ControlSet002 and CurrentControlSet,
// with ControlSet001 made a link to CurrentControlSet as Windows has them),
// then, several times over: plants the phone's footprint in every control
// set (with its OEM INF copies in the INF folder and their LastGood entries,
// as an installation leaves them), times (a) a plain pass over the three
// DeviceClasses trees (enumerate each key, open it, read "DeviceInstance",
// close) and (b) the removal run (DriverRemover for Windows XP), and checks
// that the footprint is gone and that every foreign key, and another maker's
// INF copy with its LastGood entries, is still there. Prints each repeat, the
// medians and the ratio (b)/(a) of the medians. Times here are noisy; the
// median is the figure.
//
// Usage: removal_bench_wine.exe [foreign keys (10000)] [repeats (7)]
// (the test command runs it with 1000 keys and one repeat as a check of the
// footprint and the foreign entries only; no time is judged there).
// Exit code 0 when every check held. Run it under answer_dialogs --no-dialog:
// the removal shows a message box only for an error.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "uninstall/driver_remover.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const int kOsKindXp = 12;
const char kCurrent[] = "SYSTEM\\CurrentControlSet";
const char kSet1[] = "SYSTEM\\ControlSet001";
const char kSet2[] = "SYSTEM\\ControlSet002";
// The trees the removal walks, in its order; the first and the last are one tree.
const char* const kWalkedSets[] = {kSet1, kSet2, kCurrent};
// Where the footprint goes: ControlSet001 is reached through the link.
const char* const kStoredSets[] = {kCurrent, kSet2};
const char kDeviceClasses[] = "\\Control\\DeviceClasses";
const char kLastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
const char kPorts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kUnimodem[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific\\"
    "ORVEX 3G GSM USB Modem::ORVEX::ORVEX";
const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const char kPortsClass[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
const char kComPortInterface[] = "{86E0D1E0-8089-11D0-9CE4-08003E301F73}";
// The phone's interface class and other devices' classes.
const char* const kInterfaceClasses[] = {
    "{A5DCBF10-6530-11D2-901F-00C04FB951ED}", kComPortInterface,
    "{2C7089AA-2E0E-11D1-B114-00C04FC2AAE4}", "{53F56307-B6BF-11D0-94F2-00A0C91EFB8B}",
    "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"};
const int kInterfaceClassCount = 5;

struct Function {
  const char* id;
  const char* instance;
  const char* classGuid;
  const char* driverInstance;
  const char* inf;
  const char* port;
};
// Another maker's INF copy in the INF folder, with its LastGood entries: the
// removal must leave all three.
const char kForeignInf[] = "oem60";

const Function kPhone[] = {
    {"VID_1F3C&PID_6B07", "5&1A2B3C01&0&1", kUsbClass, "0010", "oem41.inf", nullptr},
    {"VID_1F3C&PID_6B07&Mi_03", "6&2C3D4E01&0&0003", kModemClass, "0000", "oem42.inf", "COM5"},
    {"VID_1F3C&PID_6B07&Mi_05", "6&2C3D4E01&0&0005", kPortsClass, "0001", "oem44.inf", "COM6"},
    {"VID_1F3C&PID_6B07&Mi_07", "6&2C3D4E01&0&0007", kPortsClass, "0002", "oem45.inf", "COM7"},
};

// ---- Registry helpers -----------------------------------------------------------------

bool Put(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(kLm, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return false;
  }
  LSTATUS status = ERROR_SUCCESS;
  if (name) status = ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool PutText(const std::string& path, const char* name, const std::string& text) {
  return Put(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// A REG_MULTI_SZ of one string.
bool PutMultiText(const std::string& path, const char* name, const std::string& text) {
  std::string data = text + '\0';
  return Put(path, name, REG_MULTI_SZ, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

bool PutDword(const std::string& path, const char* name, DWORD value) {
  return Put(path, name, REG_DWORD, &value, sizeof value);
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteText(const std::string& path, const std::string& text) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == text.size();
}

// The Windows INF folder, with a backslash at the end.
std::string InfFolder() {
  char windows[MAX_PATH + 1] = {};
  ::GetWindowsDirectoryA(windows, MAX_PATH);
  return std::string(windows) + "\\inf\\";
}

// An INF whose maker section names one hardware ID, as the INF store keeps a
// package's INF under an "oem" name.
std::string InfNaming(const char* maker, const std::string& hardwareId) {
  return std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=%") + maker +
         "%\r\n\r\n[Manufacturer]\r\n%" + maker + "%=" + maker + "\r\n\r\n[" + maker +
         "]\r\n%Desc%=Install, " + hardwareId + "\r\n\r\n[Strings]\r\n" + maker + "=\"" +
         maker + "\"\r\nDesc=\"" + maker + " device\"\r\n";
}

// An INF copy with its PNF beside it and both LastGood entries.
bool PlantInfCopy(const std::string& stem, const std::string& text) {
  return WriteText(InfFolder() + stem + ".inf", text) &&
         WriteText(InfFolder() + stem + ".PNF", "PNF " + stem) &&
         PutDword(kLastGood, ("inf\\" + stem + ".inf").c_str(), 1) &&
         PutDword(kLastGood, ("inf\\" + stem + ".PNF").c_str(), 1);
}

std::string Stem(const char* inf) {
  std::string name = inf;
  return name.substr(0, name.find('.'));
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(kLm, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

bool ValueExists(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(kLm, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  LSTATUS status = ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Hex4(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", n & 0xFFFF);
  return text;
}

// ---- The machine ------------------------------------------------------------------------

// Wine has CurrentControlSet as a key of its own and no ControlSet001; Windows
// has ControlSet001 and CurrentControlSet naming the same keys.
bool LinkControlSet001() {
  if (KeyExists(kSet1)) return true;
  HKEY link = nullptr;
  if (::RegCreateKeyExA(kLm, kSet1, 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &link, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const wchar_t target[] = L"\\Registry\\Machine\\System\\CurrentControlSet";
  LSTATUS status =
      ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(target), sizeof target - sizeof(wchar_t));
  ::RegCloseKey(link);
  return status == ERROR_SUCCESS && KeyExists(std::string(kSet1) + "\\Control");
}

// The setup classes the device removal looks up by name, which Wine lacks.
bool AddSetupClasses() {
  bool ok = true;
  for (const char* set : kStoredSets) {
    std::string classes = std::string(set) + "\\Control\\Class\\";
    ok &= PutText(classes + kModemClass, "Class", "Modem");
    ok &= PutText(classes + kPortsClass, "Class", "Ports");
    ok &= PutText(classes + kUsbClass, "Class", "USB");
  }
  return ok;
}

// A foreign device's hardware ID; every 16th extends the phone's ID, as a
// neighbour's may.
std::string ForeignHardwareId(int device) {
  if (device % 16 == 0) return "VID_1F3C&PID_6B07" + std::to_string(device % 10);
  return "VID_" + Hex4(0x0400 + device % 977) + "&PID_" + Hex4(device);
}

// The path each foreign key is written through: a quarter through the
// ControlSet001 link, a quarter through CurrentControlSet (the same tree),
// half into ControlSet002.
const char* ForeignSet(int i) {
  switch (i % 4) {
    case 0:
      return kSet1;
    case 1:
      return kCurrent;
    default:
      return kSet2;
  }
}

bool SeedForeign(int count) {
  for (int i = 0; i < count; ++i) {
    std::string guid = kInterfaceClasses[(i / 4) % kInterfaceClassCount];
    std::string id = ForeignHardwareId(i / 10);
    std::string serial = "7&" + Hex4(i) + "&0&" + std::to_string(i % 7);
    std::string name = "##?#USB#" + id + "#" + serial + "#" + guid;
    std::string key = std::string(ForeignSet(i)) + kDeviceClasses + "\\" + guid + "\\" + name;
    if (!PutText(key, "DeviceInstance", "USB\\" + id + "\\" + serial) ||
        !PutText(key + "\\#", "SymbolicLink", "\\\\?\\USB#" + id + "#" + serial + "#" + guid)) {
      return false;
    }
  }
  return true;
}

// What an installation of the phone leaves in one control set.
bool PlantFunction(const std::string& set, const Function& f) {
  std::string instance = set + "\\Enum\\USB\\" + f.id + "\\" + f.instance;
  std::string driver = set + "\\Control\\Class\\" + f.classGuid + "\\" + f.driverInstance;
  std::string upperId = Upper(f.id);
  std::string link = set + kDeviceClasses + "\\" + kComPortInterface + "\\##?#USB#" + upperId +
                     "#" + f.instance + "#" + kComPortInterface;
  bool ok = PutText(instance, "Driver", std::string(f.classGuid) + "\\" + f.driverInstance) &&
            PutText(instance, "ClassGUID", f.classGuid) &&
            PutMultiText(instance, "HardwareID", std::string("USB\\") + f.id) &&
            PutText(driver, "InfPath", f.inf) && PutText(driver + "\\Settings", "Init", "AT") &&
            PutText(link, "DeviceInstance", "USB\\" + upperId + "\\" + f.instance) &&
            PutText(link + "\\#", "SymbolicLink", "\\\\?\\USB#" + upperId);
  if (ok && f.port) ok = PutText(instance + "\\Device Parameters", "PortName", f.port);
  return ok;
}

bool PlantFootprint() {
  bool ok = true;
  for (const char* set : kStoredSets) {
    for (const Function& f : kPhone) ok &= PlantFunction(set, f);
    // COM1 and the phone's COM5 to COM7 taken.
    BYTE comDb[32] = {0x71};
    ok &= Put(std::string(set) + "\\Control\\COM Name Arbiter", "ComDB", REG_BINARY, comDb,
              sizeof comDb);
  }
  for (const char* port : {"COM5:", "COM6:", "COM7:"}) ok &= PutText(kPorts, port, "9600,n,8,1");
  // Each function's INF copy, which its driver key names, is the phone's.
  for (const Function& f : kPhone) {
    ok &= PlantInfCopy(Stem(f.inf), InfNaming("ORVEX", Upper(std::string("USB\\") + f.id)));
  }
  ok &= PutText(std::string(kUnimodem) + "\\Init", "1", "AT&F");
  return ok;
}

// What of the footprint is still there, one line each; empty when it is all gone.
std::vector<std::string> FootprintLeft() {
  std::vector<std::string> left;
  for (const char* set : kWalkedSets) {
    for (const Function& f : kPhone) {
      std::string device = std::string(set) + "\\Enum\\USB\\" + f.id;
      std::string driver =
          std::string(set) + "\\Control\\Class\\" + f.classGuid + "\\" + f.driverInstance;
      std::string link = std::string(set) + kDeviceClasses + "\\" + kComPortInterface +
                         "\\##?#USB#" + Upper(f.id) + "#" + f.instance + "#" + kComPortInterface;
      for (const std::string& key : {device, driver, link}) {
        // Wine's DIF_REMOVE takes a device's instance key but not always its
        // driver key, which Windows' class installers delete; the cleanup then
        // cannot find that driver key any more. Only the control set the Setup
        // API does not see shows what the program itself deletes.
        if (key == driver && set != kSet2) continue;
        if (KeyExists(key)) left.push_back(key);
      }
    }
  }
  for (const char* port : {"COM5:", "COM6:", "COM7:"}) {
    if (ValueExists(kPorts, port)) left.push_back(std::string(kPorts) + " " + port);
  }
  for (const Function& f : kPhone) {
    for (const char* extension : {".inf", ".PNF"}) {
      std::string name = Stem(f.inf) + extension;
      if (ValueExists(kLastGood, ("inf\\" + name).c_str())) {
        left.push_back(std::string(kLastGood) + " inf\\" + name);
      }
      if (FileExists(InfFolder() + name)) left.push_back(InfFolder() + name);
    }
  }
  if (KeyExists(kUnimodem)) left.push_back(kUnimodem);
  return left;
}

// ---- Measuring --------------------------------------------------------------------------

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The plain pass: every interface key below the three DeviceClasses trees is
// enumerated, opened, its "DeviceInstance" read, and closed. Returns the keys
// read, and *foreign the ones that are not the phone's.
long PlainPass(long* foreign) {
  long read = 0;
  *foreign = 0;
  const std::string phone = "USB\\VID_1F3C&PID_6B07";
  for (const char* set : kWalkedSets) {
    HKEY classes = nullptr;
    std::string path = std::string(set) + kDeviceClasses;
    if (::RegOpenKeyExA(kLm, path.c_str(), 0, KEY_READ, &classes) != ERROR_SUCCESS) continue;
    char className[MAX_PATH];
    for (DWORD c = 0;; ++c) {
      DWORD length = sizeof className;
      if (::RegEnumKeyExA(classes, c, className, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      HKEY interfaceClass = nullptr;
      if (::RegOpenKeyExA(classes, className, 0, KEY_READ, &interfaceClass) != ERROR_SUCCESS) {
        continue;
      }
      char name[MAX_PATH];
      for (DWORD i = 0;; ++i) {
        length = sizeof name;
        if (::RegEnumKeyExA(interfaceClass, i, name, &length, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
          break;
        }
        HKEY key = nullptr;
        if (::RegOpenKeyExA(interfaceClass, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        char instance[MAX_PATH] = {};
        DWORD size = sizeof instance - 1;
        if (::RegQueryValueExA(key, "DeviceInstance", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(instance), &size) == ERROR_SUCCESS) {
          ++read;
          std::string text = Upper(instance);
          // The phone's own instances end their ID after "6B07" or "&MI_nn".
          bool phones = text.compare(0, phone.size(), phone) == 0 &&
                        (text[phone.size()] == '\\' || text[phone.size()] == '&');
          if (!phones) ++*foreign;
        }
        ::RegCloseKey(key);
      }
      ::RegCloseKey(interfaceClass);
    }
    ::RegCloseKey(classes);
  }
  return read;
}

// What of the other maker's INF copy and its LastGood entries is gone, one
// line each.
std::vector<std::string> ForeignInfGone() {
  std::vector<std::string> gone;
  for (const char* extension : {".inf", ".PNF"}) {
    std::string name = std::string(kForeignInf) + extension;
    if (!ValueExists(kLastGood, ("inf\\" + name).c_str())) {
      gone.push_back(std::string(kLastGood) + " inf\\" + name);
    }
    if (!FileExists(InfFolder() + name)) gone.push_back(InfFolder() + name);
  }
  return gone;
}

// The foreign keys still there, by the same reading as the plain pass: those
// of the current control set count twice, once through each of its paths.
long ForeignLeft() {
  long foreign = 0;
  PlainPass(&foreign);
  return foreign;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int foreign = argc > 1 ? std::atoi(argv[1]) : 10000;
  int repeats = argc > 2 ? std::atoi(argv[2]) : 7;
  if (foreign < 1 || foreign > 200000 || repeats < 1 || repeats > 50) {
    std::fprintf(stderr, "usage: removal_bench_wine [foreign keys 1..200000] [repeats 1..50]\n");
    return 2;
  }
  App().instance = ::GetModuleHandleA(nullptr);
  if (!LinkControlSet001() || !AddSetupClasses()) {
    std::fprintf(stderr, "cannot lay out the control sets as Windows has them\n");
    return 1;
  }
  // The interface keys Wine's prefix has of its own: they are foreign too.
  long expectedReads = 0;
  PlainPass(&expectedReads);
  LARGE_INTEGER start, end;
  ::QueryPerformanceCounter(&start);
  if (!SeedForeign(foreign)) return 1;
  ::QueryPerformanceCounter(&end);
  if (!PlantInfCopy(kForeignInf, InfNaming("Acme", "USB\\VID_0A5C&PID_2110"))) return 1;
  // Read through all three paths, the foreign keys of the current control set
  // count twice; each one is written through exactly one path.
  for (int i = 0; i < foreign; ++i) expectedReads += ForeignSet(i) == kSet2 ? 1 : 2;
  std::printf(
      "Removal run (DriverRemover, Windows XP) on Wine's registry: %d foreign device-interface\n"
      "keys below the DeviceClasses trees (ControlSet001 a link to CurrentControlSet, half of\n"
      "the keys there, half in ControlSet002), seeded in %.0f ms; the phone's footprint planted\n"
      "again before each repeat. plain = one pass over ControlSet001, ControlSet002 and\n"
      "CurrentControlSet\\Control\\DeviceClasses: enumerate, open, read DeviceInstance, close.\n\n",
      foreign, Milliseconds(start, end));
  std::printf("%6s %12s %12s %8s\n", "repeat", "plain ms", "removal ms", "ratio");

  // A first pass brings the new keys into whatever caches the registry keeps,
  // as the repeats after it find them.
  long warm = 0;
  PlainPass(&warm);
  std::vector<double> plain, removal;
  int failures = 0;
  for (int repeat = 1; repeat <= repeats; ++repeat) {
    if (!PlantFootprint() || FootprintLeft().empty()) {
      std::fprintf(stderr, "cannot plant the phone's footprint\n");
      return 1;
    }
    long seen = 0;
    ::QueryPerformanceCounter(&start);
    long read = PlainPass(&seen);
    ::QueryPerformanceCounter(&end);
    plain.push_back(Milliseconds(start, end));
    if (seen != expectedReads) {
      std::fprintf(stderr, "the plain pass read %ld foreign keys of %ld (%ld keys in all)\n",
                   seen, expectedReads, read);
      ++failures;
    }
    ::QueryPerformanceCounter(&start);
    DriverRemover(kOsKindXp);
    ::QueryPerformanceCounter(&end);
    removal.push_back(Milliseconds(start, end));
    std::printf("%6d %12.1f %12.1f %8.2f\n", repeat, plain.back(), removal.back(),
                removal.back() / plain.back());
    std::fflush(stdout);
    for (const std::string& left : FootprintLeft()) {
      std::fprintf(stderr, "repeat %d: the phone's %s is still there\n", repeat, left.c_str());
      ++failures;
    }
    for (const std::string& gone : ForeignInfGone()) {
      std::fprintf(stderr, "repeat %d: the other maker's %s is gone\n", repeat, gone.c_str());
      ++failures;
    }
    long foreignLeft = ForeignLeft();
    if (foreignLeft != expectedReads) {
      std::fprintf(stderr, "repeat %d: %ld foreign key reads of %ld left\n", repeat, foreignLeft,
                   expectedReads);
      ++failures;
    }
  }
  double plainMedian = Median(plain);
  double removalMedian = Median(removal);
  std::printf("%6s %12.1f %12.1f %8.2f\n", "median", plainMedian, removalMedian,
              removalMedian / plainMedian);
  std::printf("\nForeign keys %s; the phone's footprint %s after every run.\n",
              failures ? "NOT all kept" : "all kept", failures ? "NOT always gone" : "gone");
  return failures ? 1 : 0;
}
