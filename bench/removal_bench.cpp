// What a removal run costs on a large registry, and how it grows.
//
// Builds simulated Windows XP images holding the phone's footprint in all
// three control sets (Plug and Play's install plus the copy a reboot leaves in
// ControlSet002) and a growing number of foreign entries: device-interface keys
// below the DeviceClasses trees of both control sets, device instances under
// Enum\USB and LastGood values. On each image it runs the removal (the same run
// the installer starts with) and prints the registry calls by kind, the wall
// time, the calls per foreign entry, and the least number of calls a single pass
// over the same trees needs. From the sizes it prints the growth exponent.
// Each run must leave every foreign entry, no open handle and nothing that
// names the phone; the exit code is 3 when one of these fails.
//
// Usage: removal_bench [size ...]   (default 1000 10000 100000; the test command
//        runs the smallest size as a check of the run only, no time is judged)
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "platform/sim/phone_functions.h"
#include "platform/sim/plug_and_play.h"
#include "registry/name_match.h"
#include "registry/registry_cleaner.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "uninstall/driver_remover.h"
#include "wizard/function_presence.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const int kOsKindXp = 12;
const char* const kControlSets[] = {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002"};
const char kLastGood[] = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
// The phone's interfaces and two classes of other devices' interfaces.
const char* const kInterfaceGuids[] = {
    "{a5dcbf10-6530-11d2-901f-00c04fb951ed}", "{86e0d1e0-8089-11d0-9ce4-08003e301f73}",
    "{2c7089aa-2e0e-11d1-b114-00c04fc2aae4}", "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
    "{6bdd1fc6-810f-11d0-bec7-08002be2092f}"};
const int kGuidCount = 5;

// ---- The image -------------------------------------------------------------------

// The phone's driver package: one INF per function naming its hardware ID, and
// the driver files, in D:\Drivers beside the program's folder.
void WritePackage(sim::Machine& machine) {
  const char* const infs[][3] = {{"KV6bus.inf", "BusInstall", "USB\\VID_1F3C&PID_6B07"},
                                 {"KV6obx2.inf", "ObexInstall", "USB\\VID_1F3C&PID_6B07&MI_03"},
                                 {"KV6sdm2.inf", "DiagInstall", "USB\\VID_1F3C&PID_6B07&MI_05"},
                                 {"KV6mdm2.inf", "ModemInstall", "USB\\VID_1F3C&PID_6B07&MI_07"}};
  for (const auto& inf : infs) {
    machine.files.WriteFile(std::string("D:\\Drivers\\") + inf[0],
                            std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                                        "Provider=%ORVEX%\r\n\r\n[Manufacturer]\r\n"
                                        "%ORVEX%=ORVEX\r\n\r\n[ORVEX]\r\n%Desc%=") +
                                inf[1] + ", " + inf[2] + "\r\n");
  }
  for (const char* file : {"KV6bus.sys", "KV6cm.sys", "KV6cmnt.sys", "KV6mdfl.sys", "KV6mdm.sys",
                           "KV6mgmt.sys", "KV6obex.sys", "KV6wh.sys", "KV6whnt.sys"}) {
    machine.files.WriteFile(std::string("D:\\Drivers\\") + file, std::string("MZ ") + file);
  }
}

struct Layout {
  int interfaces = 0;  // foreign device-interface keys, over both control sets
  int instances = 0;   // foreign device instances under Enum\USB, over both sets
  int lastGood = 0;    // foreign LastGood values
  int Total() const { return interfaces + instances + lastGood; }
};

// Six in ten foreign entries are interface keys, two device instances, two
// LastGood values. Some hardware IDs extend the phone's, as a neighbour's may.
Layout LayoutFor(int foreign) {
  Layout layout;
  layout.instances = foreign / 5;
  layout.lastGood = foreign / 5;
  layout.interfaces = foreign - layout.instances - layout.lastGood;
  return layout;
}

std::string Hex4(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", n & 0xFFFF);
  return text;
}

// A foreign device's hardware ID; every 16th extends the phone's ID.
std::string ForeignHardwareId(int device) {
  if (device % 16 == 0) return "VID_1F3C&PID_6B07" + std::to_string(device % 10);
  return "VID_" + Hex4(0x0400 + device % 977) + "&PID_" + Hex4(device);
}

// Writes the foreign entries straight into the registry model: no platform call
// is made, so the counts of the run start from an untouched machine.
void PlantForeign(sim::Machine& machine, const Layout& layout) {
  sim::RegistryModel& reg = machine.registry;
  for (int i = 0; i < layout.interfaces; ++i) {
    std::string set = kControlSets[i % 2];
    std::string guid = kInterfaceGuids[(i / 2) % kGuidCount];
    std::string id = ForeignHardwareId(i / 10);
    std::string serial = "7&" + Hex4(i) + "&0&" + std::to_string(i % 7);
    std::string instance = "USB\\" + id + "\\" + serial;
    std::string name = "##?#USB#" + id + "#" + serial + "#" + guid;
    std::string key = set + "\\Control\\DeviceClasses\\" + guid + "\\" + name;
    reg.SetString(kLm, key, "DeviceInstance", instance);
    reg.SetString(kLm, key + "\\#", "SymbolicLink", "\\\\?\\USB#" + id + "#" + serial + "#" + guid);
  }
  for (int i = 0; i < layout.instances; ++i) {
    std::string id = ForeignHardwareId(i / 4);
    std::string key = std::string(kControlSets[i % 2]) + "\\Enum\\USB\\" + id + "\\5&" + Hex4(i) +
                      "&0&" + std::to_string(i % 4);
    reg.SetString(kLm, key, "Class", "USB");
    reg.SetString(kLm, key, "Service", "usbccgp");
    reg.SetString(kLm, key, "Driver", "{36FC9E60-C465-11CF-8056-444553540000}\\" + Hex4(i));
  }
  // The values are appended to the key object: the model's SetDword looks each
  // name up first, which makes a large key quadratic to fill. The names are new.
  reg.CreateKey(kLm, kLastGood);
  sim::KeyRef lastGood;
  reg.Find(reg.PredefinedRoot(kLm), kLastGood, &lastGood);
  for (int i = 0; i < layout.lastGood; ++i) {
    // INF names whose stems extend the phone's (oem40 beside oem4) and driver files.
    sim::RegValue value;
    value.name = i % 2 == 0 ? "inf\\oem" + std::to_string(20 + i / 2) + ".inf"
                            : "system32\\DRIVERS\\fx" + std::to_string(i) + ".sys";
    value.type = REG_DWORD;
    value.data = {1, 0, 0, 0};
    lastGood->values.push_back(std::move(value));
  }
}

uint64_t ForeignLeft(sim::Machine& machine);
// Entries of the kinds counted by ForeignLeft that the image held before the
// phone and the foreign entries came: the removal must leave them too.
uint64_t imageBaseline = 0;

// A fresh XP image with the phone plugged in (its footprint in ControlSet001,
// through CurrentControlSet, and in ControlSet002) and the foreign entries.
sim::Machine& BuildImage(const Layout& layout) {
  sim::MachineOptions options;
  options.version = sim::WindowsVersion::WindowsXPSP3;
  sim::Machine& machine = FreshMachine(options);
  WritePackage(machine);
  imageBaseline = ForeignLeft(machine);
  sim::PlugOptions reboot;
  reboot.rebootCopy = true;
  if (!sim::PlugInPhone(machine, sim::kPhoneFunctionCount - 1, reboot)) {
    std::fprintf(stderr, "the phone did not install on the image\n");
    std::exit(2);
  }
  PlantForeign(machine, layout);
  machine.faults.ResetCounts();
  return machine;
}

// ---- Counting the image ------------------------------------------------------------

// Every key below HKLM by path, with its value count; the CurrentControlSet link
// is not followed, so each control set is counted once.
void ListKeys(const sim::RegKey& key, const std::string& path, std::map<std::string, size_t>* out) {
  (*out)[path] = key.values.size();
  if (key.currentControlSetLink) return;
  for (const auto& [name, child] : key.children) ListKeys(*child, path + "\\" + name, out);
}

std::map<std::string, size_t> KeysOf(sim::Machine& machine) {
  std::map<std::string, size_t> keys;
  ListKeys(*machine.registry.PredefinedRoot(kLm), "HKLM", &keys);
  return keys;
}

size_t KeysBelow(const sim::RegKey& key) {
  size_t count = 1;
  for (const auto& [name, child] : key.children) count += KeysBelow(*child);
  return count;
}

sim::KeyRef Find(sim::Machine& machine, const std::string& path) {
  sim::KeyRef key;
  if (machine.registry.Find(machine.registry.PredefinedRoot(kLm), path, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

// The least registry work the removal needs, counted by one walk over the trees
// it must look through: one enumeration and one read of each key (or value) it
// must inspect, one deletion of each key it removes and of each value it removes
// from a key that stays.
struct Bound {
  uint64_t inspected = 0;
  uint64_t deletions = 0;
  uint64_t Calls() const { return 2 * inspected + deletions; }
};

// Inspections: the interface classes and their keys in both DeviceClasses trees
// (CurrentControlSet is ControlSet001, one pass covers both), the LastGood values,
// and the instances of the phone's own device keys.
uint64_t InspectionsOf(sim::Machine& machine) {
  uint64_t inspected = 0;
  for (const char* set : kControlSets) {
    sim::KeyRef classes = Find(machine, std::string(set) + "\\Control\\DeviceClasses");
    if (classes) {
      for (const auto& [guid, interfaceClass] : classes->children) {
        inspected += 1 + interfaceClass->children.size();
      }
    }
    for (const auto& function : phone::kFunctions) {
      sim::KeyRef device = Find(machine, std::string(set) + "\\Enum\\USB\\" + function.deviceId);
      if (device) inspected += 1 + device->children.size();
    }
  }
  sim::KeyRef lastGood = Find(machine, kLastGood);
  if (lastGood) inspected += lastGood->values.size();
  return inspected;
}

// Deletions: the keys that went, and the values that went from keys that stayed.
uint64_t DeletionsBetween(const std::map<std::string, size_t>& before,
                          const std::map<std::string, size_t>& after) {
  uint64_t deletions = 0;
  for (const auto& [path, values] : before) {
    auto kept = after.find(path);
    if (kept == after.end()) {
      ++deletions;
    } else if (kept->second < values) {
      deletions += values - kept->second;
    }
  }
  return deletions;
}

// Foreign entries still present after the run: the interface keys below the
// classes, the non-phone Enum\USB instances and the LastGood values.
uint64_t ForeignLeft(sim::Machine& machine) {
  uint64_t left = 0;
  for (const char* set : kControlSets) {
    sim::KeyRef classes = Find(machine, std::string(set) + "\\Control\\DeviceClasses");
    if (classes) {
      for (const auto& [guid, interfaceClass] : classes->children) {
        left += interfaceClass->children.size();
      }
    }
    sim::KeyRef usb = Find(machine, std::string(set) + "\\Enum\\USB");
    if (usb) {
      for (const auto& [id, device] : usb->children) left += device->children.size();
    }
  }
  sim::KeyRef lastGood = Find(machine, kLastGood);
  if (lastGood) left += lastGood->values.size();
  return left;
}

// What the phone's installation left that is still there: every key, value
// name or text value of HKLM that names the phone's hardware ID (a neighbour's
// longer ID such as "VID_1F3C&PID_6B070" is not the phone's), and the phone's
// driver files and OEM INF copies.
bool NamesPhone(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  const std::string id = "VID_1F3C&PID_6B07";
  for (size_t at = text.find(id); at != std::string::npos; at = text.find(id, at + 1)) {
    size_t end = at + id.size();
    if (end == text.size() || !std::isalnum(static_cast<unsigned char>(text[end]))) return true;
  }
  return false;
}

void CollectPhoneEntries(const sim::RegKey& key, const std::string& path,
                         std::vector<std::string>* left) {
  if (NamesPhone(path)) {
    left->push_back(path);
    return;
  }
  for (const sim::RegValue& value : key.values) {
    bool text = value.type == REG_SZ || value.type == REG_MULTI_SZ || value.type == REG_EXPAND_SZ;
    std::string data = text ? std::string(value.data.begin(), value.data.end()) : std::string();
    if (NamesPhone(value.name) || NamesPhone(data)) left->push_back(path + " | " + value.name);
  }
  if (key.currentControlSetLink) return;
  for (const auto& [name, child] : key.children) {
    CollectPhoneEntries(*child, path + "\\" + name, left);
  }
}

std::vector<std::string> PhoneEntriesLeft(sim::Machine& machine,
                                          const std::vector<std::string>& files) {
  std::vector<std::string> left;
  CollectPhoneEntries(*machine.registry.PredefinedRoot(kLm), "HKLM", &left);
  for (const std::string& file : files) {
    if (plat::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) left.push_back(file);
  }
  return left;
}

// The phone's files on the image: its driver files and the INF copies its
// driver keys name, with their PNF files.
std::vector<std::string> PhoneFiles(sim::Machine& machine) {
  std::vector<std::string> files;
  const std::string windows = machine.files.WindowsDirectory();
  for (const char* driver : {"KV6bus.sys", "KV6cm.sys", "KV6cmnt.sys", "KV6mdfl.sys",
                             "KV6mdm.sys", "KV6mgmt.sys", "KV6obex.sys", "KV6wh.sys",
                             "KV6whnt.sys"}) {
    files.push_back(windows + "\\system32\\drivers\\" + driver);
  }
  for (const auto& function : phone::kFunctions) {
    sim::KeyRef device =
        Find(machine, std::string(kControlSets[0]) + "\\Enum\\USB\\" + function.deviceId);
    if (!device) continue;
    for (const auto& [name, instance] : device->children) {
      for (const sim::RegValue& value : instance->values) {
        if (value.name != "Driver") continue;
        std::string driverKey(value.data.begin(), value.data.end());
        driverKey = driverKey.c_str();  // without the terminating zero
        sim::KeyRef driver =
            Find(machine, std::string(kControlSets[0]) + "\\Control\\Class\\" + driverKey);
        if (!driver) continue;
        for (const sim::RegValue& infPath : driver->values) {
          if (infPath.name != "InfPath") continue;
          std::string inf = std::string(infPath.data.begin(), infPath.data.end()).c_str();
          std::string stem = inf.substr(0, inf.find('.'));
          files.push_back(windows + "\\inf\\" + inf);
          files.push_back(windows + "\\inf\\" + stem + ".PNF");
        }
      }
    }
  }
  return files;
}

// ---- Measuring -----------------------------------------------------------------------

struct Calls {
  uint64_t open = 0, enumerate = 0, query = 0, remove = 0, close = 0, other = 0;
  uint64_t Registry() const { return open + enumerate + query + remove + close; }
};

Calls CallsOf(const sim::Faults& faults) {
  Calls calls;
  for (const auto& [name, count] : faults.AllCalls()) {
    if (name == "RegOpenKeyExA" || name == "RegCreateKeyExA") {
      calls.open += count;
    } else if (name == "RegEnumKeyExA" || name == "RegEnumValueA") {
      calls.enumerate += count;
    } else if (name == "RegQueryValueExA" || name == "RegQueryInfoKeyA") {
      calls.query += count;
    } else if (name == "RegDeleteKeyA" || name == "RegDeleteValueA") {
      calls.remove += count;
    } else if (name == "RegCloseKey") {
      calls.close += count;
    } else if (name.rfind("Reg", 0) == 0) {
      calls.other += count;  // RegSetValueExA, the key security calls
    }
  }
  return calls;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of this process: on a machine shared with other work the
// wall time grows with the load, this much less.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Row {
  int foreign = 0;
  Calls calls;
  double seconds = 0;
  double cpuSeconds = 0;
  Bound bound;
  uint64_t interfaceStep = 0;  // registry calls of the interface-key step alone
  uint64_t lastGoodStep = 0;   // registry calls of the LastGood step alone
};

// The interface-key step of the plan alone: each phone ID in each control set.
uint64_t InterfaceStepCalls(const Layout& layout) {
  sim::Machine& machine = BuildImage(layout);
  RegistryCleaner cleaner(kOsKindXp);
  const int sets[] = {IDS_REG_DEVICE_CLASSES_CS001, IDS_REG_DEVICE_CLASSES_CS002,
                      IDS_REG_DEVICE_CLASSES_CURRENT};
  for (int function = 0; function < sim::kPhoneFunctionCount; ++function) {
    for (int set : sets) cleaner.DeleteInterfaceKeys(set, IDS_HWID_FUNCTION0 + function);
  }
  return CallsOf(machine.faults).Registry();
}

// The LastGood step alone: the stem of each function's OEM INF, as the file cleanup finds it.
uint64_t LastGoodStepCalls(const Layout& layout) {
  sim::Machine& machine = BuildImage(layout);
  std::vector<std::string> stems;
  for (const auto& function : phone::kFunctions) {
    std::string device = std::string(kControlSets[0]) + "\\Enum\\USB\\" + function.deviceId;
    for (const std::string& instance : machine.registry.SubKeyNames(kLm, device)) {
      auto driver = machine.registry.GetString(kLm, device + "\\" + instance, "Driver");
      if (!driver) continue;
      auto inf = machine.registry.GetString(
          kLm, std::string(kControlSets[0]) + "\\Control\\Class\\" + *driver, "InfPath");
      if (inf) stems.push_back(inf->substr(0, inf->find('.')));
      break;  // the file cleanup takes the first instance
    }
  }
  machine.faults.ResetCounts();
  RegistryCleaner cleaner(kOsKindXp);
  for (const std::string& stem : stems) {
    cleaner.DeleteValuesContaining(kLm, IDS_REG_LASTGOOD, stem.c_str(), MatchRule::kFileStem);
  }
  return CallsOf(machine.faults).Registry();
}

Row Measure(int foreign) {
  Layout layout = LayoutFor(foreign);
  Row row;
  row.foreign = layout.Total();
  {
    sim::Machine& machine = BuildImage(layout);
    std::vector<std::string> phoneFiles = PhoneFiles(machine);
    if (PhoneEntriesLeft(machine, phoneFiles).empty()) {
      std::fprintf(stderr, "size %d: the image holds nothing of the phone\n", foreign);
      std::exit(2);
    }
    row.bound.inspected = InspectionsOf(machine);
    std::map<std::string, size_t> before = KeysOf(machine);
    machine.faults.ResetCounts();
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuSeconds();
    DriverRemover(kOsKindXp);
    row.cpuSeconds = CpuSeconds() - cpuStart;
    row.seconds = Seconds(start);
    row.calls = CallsOf(machine.faults);
    row.bound.deletions = DeletionsBetween(before, KeysOf(machine));
    uint64_t left = ForeignLeft(machine);
    if (left != imageBaseline + layout.Total()) {
      std::fprintf(stderr, "size %d: %llu foreign entries left of %llu\n", foreign,
                   static_cast<unsigned long long>(left),
                   static_cast<unsigned long long>(imageBaseline + layout.Total()));
      std::exit(3);
    }
    std::vector<std::string> phoneLeft = PhoneEntriesLeft(machine, phoneFiles);
    if (!phoneLeft.empty()) {
      std::fprintf(stderr, "size %d: the removal left %zu entries of the phone:\n", foreign,
                   phoneLeft.size());
      for (const std::string& entry : phoneLeft) std::fprintf(stderr, "  %s\n", entry.c_str());
      std::exit(3);
    }
    std::string open = OpenHandles();
    if (!open.empty()) {
      std::fprintf(stderr, "size %d: handles left open:\n%s\n", foreign, open.c_str());
      std::exit(3);
    }
  }
  row.interfaceStep = InterfaceStepCalls(layout);
  row.lastGoodStep = LastGoodStepCalls(layout);
  return row;
}

// Least-squares slope of log(y) over log(x).
double Slope(const std::vector<double>& x, const std::vector<double>& y) {
  double n = double(x.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    double lx = std::log(x[i]), ly = std::log(std::max(y[i], 1e-12));
    sx += lx;
    sy += ly;
    sxx += lx * lx;
    sxy += lx * ly;
  }
  double d = n * sxx - sx * sx;
  return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

void PrintWizardCheck() {
  sim::MachineOptions options;
  options.version = sim::WindowsVersion::WindowsXPSP3;
  sim::Machine& machine = FreshMachine(options);
  WritePackage(machine);
  sim::PlugInPhone(machine);
  machine.faults.ResetCounts();
  auto start = std::chrono::steady_clock::now();
  int present = 0;
  for (int function = 0; function < sim::kPhoneFunctionCount; ++function) {
    present += IsFunctionPresent(function);
  }
  double seconds = Seconds(start);
  Calls calls = CallsOf(machine.faults);
  std::printf(
      "\nWizard presence check (IsFunctionPresent 0..3, phone present, %d of 4 found):\n"
      "  registry calls %llu (open %llu, enumerate %llu, query %llu, close %llu), %.1f us\n",
      present, static_cast<unsigned long long>(calls.Registry()),
      static_cast<unsigned long long>(calls.open), static_cast<unsigned long long>(calls.enumerate),
      static_cast<unsigned long long>(calls.query), static_cast<unsigned long long>(calls.close),
      seconds * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 100000};
  for (int size : sizes) {
    if (size < 10 || size > 2000000) {
      std::fprintf(stderr, "sizes must lie between 10 and 2000000\n");
      return 1;
    }
  }

  std::printf(
      "Removal run (DriverRemover, Windows XP) on simulated images; phone in all three control\n"
      "sets; foreign entries: 60%% interface keys, 20%% Enum\\USB instances, 20%% LastGood\n"
      "values. The build is a debug build: times compare sizes, not machines.\n\n");
  std::printf("%8s %8s %8s %8s %7s %7s %7s %9s %9s %9s %8s %8s %6s %9s %9s\n", "foreign", "open",
              "enum", "query", "delete", "close", "other", "total", "time ms", "cpu ms", "calls/fk",
              "bound", "ratio", "ifaces", "lastgood");
  std::vector<double> xs, calls, times, cpuTimes;
  for (int size : sizes) {
    Row row = Measure(size);
    uint64_t total = row.calls.Registry() + row.calls.other;
    std::printf("%8d %8llu %8llu %8llu %7llu %7llu %7llu %9llu %9.1f %9.1f %8.2f %8llu %6.2f %9llu"
                " %9llu\n",
                row.foreign, static_cast<unsigned long long>(row.calls.open),
                static_cast<unsigned long long>(row.calls.enumerate),
                static_cast<unsigned long long>(row.calls.query),
                static_cast<unsigned long long>(row.calls.remove),
                static_cast<unsigned long long>(row.calls.close),
                static_cast<unsigned long long>(row.calls.other),
                static_cast<unsigned long long>(total), row.seconds * 1e3, row.cpuSeconds * 1e3,
                double(total) / row.foreign, static_cast<unsigned long long>(row.bound.Calls()),
                double(total) / double(row.bound.Calls()),
                static_cast<unsigned long long>(row.interfaceStep),
                static_cast<unsigned long long>(row.lastGoodStep));
    std::fflush(stdout);
    xs.push_back(row.foreign);
    calls.push_back(double(total));
    times.push_back(row.seconds);
    cpuTimes.push_back(row.cpuSeconds);
  }
  if (xs.size() >= 2) {
    std::printf(
        "\nGrowth exponent (log-log slope, 1.0 = linear): registry calls %.3f, time %.3f,"
        " processor time %.3f\n",
        Slope(xs, calls), Slope(xs, times), Slope(xs, cpuTimes));
  }
  std::printf(
      "\nColumns: open = RegOpenKeyExA+RegCreateKeyExA, enum = RegEnumKeyExA+RegEnumValueA,\n"
      "query = RegQueryValueExA+RegQueryInfoKeyA, delete = RegDeleteKeyA+RegDeleteValueA,\n"
      "close = RegCloseKey, other = the remaining Reg* calls (values set, key security);\n"
      "time ms = wall time, cpu ms = this process's processor time;\n"
      "bound = one enumeration and one read of each key or value the removal must inspect\n"
      "plus one deletion of each key or value it removes; ratio = total / bound;\n"
      "ifaces, lastgood = registry calls of the interface-key step and of the LastGood\n"
      "step alone, each on its own fresh image of the same size.\n");
  PrintWizardCheck();
  return 0;
}
