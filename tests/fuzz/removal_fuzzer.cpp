// Fuzzer of the removal run: the input describes a machine image around the
// phone's footprint, the program runs "/r" on it as a user starts it, and the
// run must end with every handle released, only message boxes the program has
// a text for, the launcher notified, and every neighbour as it was.
//
// The image. The first byte picks the Windows version (95, 98, Me, NT 4,
// 2000, XP). Then each following group of bytes plants one thing, until the
// input ends or 48 things are planted:
//   the phone's pieces, in the phone's own names: instance keys below
//     Enum\USB\<one of the phone's four hardware IDs> (both control sets on
//     2000/XP), with "Driver", "HardwareID", "Class" and "Device
//     Parameters\PortName" of any type and any data, terminated or not; its
//     driver keys <class tree>\{class GUID}\0000 to \0009 with "InfPath";
//     ComDB of any size and content; "Ports" "COM1:" to "COM9:"; SERIALCOMM
//     entries; the phone's interface keys; phantom "HardWareKey" values;
//     LastGood "inf\oem0.inf" to "inf\oem9.inf"; oem0.inf to oem9.inf in the
//     INF folder with any content, the phone's hardware ID in it or not; the
//     phone's driver files and services;
//   neighbours, with names close to the phone's: devices below
//     Enum\USB\VID_1F3C&PID_6B07<one more character>, VID_1F3C&PID_6B0 and
//     VID_1F3C&PID_6B08, with their driver keys \0100 to \0199 and ports COM10
//     to COM19 (a "PortName", the ComDB bit, "Ports" "COM1x:", a SERIALCOMM
//     entry); INF files oem10.inf to oem19.inf and Windows' own usb.inf,
//     mdmgen.inf, machine.inf and msports.inf (with a PNF) that are not the
//     phone's: another maker's, the phone maker's for another product,
//     another maker's generic modem naming the phone's modem function, and
//     Windows'; in the INF folder, in the LastGood INF folder (XP) or both,
//     with their LastGood entries; services and driver files
//     KV6bus0 and the like; interface keys of the neighbour devices; phantom,
//     problem-list and OEM-name entries that name the neighbours.
//
// "The phone's", which the removal may delete: everything in the phone's own
// names above (a device ID is the phone's when it is one of the phone's four
// or the phone's VID and PID followed by '&' and anything: the same device's
// functions), and a neighbour that one of the phone's values refers to. The
// phone's values hold any data the input gives, so "InfPath", "Driver" or
// "PortName" may well name oem13.inf, \0142 or COM13: a driver key or a port
// is then the phone's by reference (the removal follows those values, as
// Windows does when it removes a device). To keep the property true without
// copying the program's matching rules, such a neighbour is exempt from the
// check as soon as any text of any of the phone's values contains its
// distinguishing token ("0142", its device ID) in any letter case, and a
// neighbour's port as soon as such a text holds "COM" followed by its number
// ("COM013" too). An INF file is never the phone's by reference: whose it is
// shows in its contents, so the INF files above, their PNF twins and their
// LastGood entries must stay even when an "InfPath" of the phone's names
// them. Every neighbour not exempt must come through the removal unchanged:
// its keys, its values (type and data), its files (size and attributes) and
// its ComDB bit.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "platform/sim/machine.h"
#include "tests/run_checks.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char* const kPhoneIds[] = {"VID_1F3C&PID_6B07", "VID_1F3C&PID_6B07&Mi_03",
                                 "VID_1F3C&PID_6B07&Mi_05", "VID_1F3C&PID_6B07&Mi_07"};
const char* const kClassGuids[] = {"{4D36E978-E325-11CE-BFC1-08002BE10318}",
                                   "{4D36E96D-E325-11CE-BFC1-08002BE10318}",
                                   "{36FC9E60-C465-11CF-8056-444553540000}"};
const char kInterfaceGuid[] = "{86E0D1E0-8089-11D0-9CE4-08003E301F73}";
const char* const kPhoneServices[] = {"KV6bus", "KV6mdfl", "KV6mdm", "KV6mgmt", "KV6obex"};
const char* const kPhoneFiles[] = {"KV6bus.sys", "KV6mdm.sys", "KV6obex.sys", "KV6mgmt.sys",
                                   "KV6bus.inf", "KV6mdmv.inf", "KV6comm.vxd"};

// Where things live on the image's version.
struct Layout {
  bool nt5 = false;
  int osKind = 0;
  std::vector<std::string> enumUsb;  // one per control set
  std::vector<std::string> classTree;
  std::vector<std::string> deviceClasses;
  std::vector<std::string> services;
  std::string comDb;
  std::string ports;
  std::string serialComm;
  std::string lastGood;
  std::string phantom;
  std::string problems;
  std::string oemNames;
  std::string infFolder;
  std::string lastGoodInfFolder;
  std::string driversFolder;
};

Layout LayoutFor(int osKind, const sim::Machine& machine) {
  bool nt5 = osKind == 11 || osKind == 12;
  Layout layout;
  layout.nt5 = nt5;
  layout.osKind = osKind;
  if (nt5) {
    for (const char* set : {"SYSTEM\\ControlSet001", "SYSTEM\\ControlSet002"}) {
      layout.enumUsb.push_back(std::string(set) + "\\Enum\\USB");
      layout.classTree.push_back(std::string(set) + "\\Control\\Class");
      layout.deviceClasses.push_back(std::string(set) + "\\Control\\DeviceClasses");
      layout.services.push_back(std::string(set) + "\\Services");
    }
    layout.comDb = "SYSTEM\\ControlSet001\\Control\\COM Name Arbiter";
    layout.ports = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
    layout.serialComm = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    layout.lastGood = "SYSTEM\\LastKnownGoodRecovery\\LastGood";
  } else {
    layout.enumUsb = {"Enum\\USB"};
    layout.classTree = {"System\\CurrentControlSet\\Services\\Class"};
    layout.deviceClasses = {"System\\CurrentControlSet\\Control\\DeviceClasses"};
    layout.serialComm = "Hardware\\DeviceMap\\SerialComm";
    layout.phantom = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
    layout.problems =
        "System\\CurrentControlSet\\Control\\ASD\\Prob\\{9B4E7760-3196-11CF-97EA-00AA0034319D}";
    layout.oemNames = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\INF\\OEM Name";
  }
  layout.infFolder = machine.files.WindowsDirectory() + "\\INF";
  layout.lastGoodInfFolder = machine.files.WindowsDirectory() + "\\LastGood\\INF";
  layout.driversFolder = machine.files.WindowsDirectory() + (nt5 ? "\\system32\\drivers" : "\\SYSTEM");
  return layout;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return text;
}

// A neighbour: where it is, and the token by which a value may refer to it.
struct Neighbour {
  enum class Kind { kKey, kValue, kFile, kComPort } kind;
  std::string path;  // HKLM-relative key, or a file's full path
  std::string name;  // the value's name
  int port = 0;
  std::string token;
  // False for what stays even when a value of the phone's names it.
  bool referable = true;
};

class ImageBuilder {
 public:
  ImageBuilder(FuzzedDataProvider& input, sim::Machine& machine, const Layout& layout)
      : in_(input), machine_(machine), layout_(layout) {}

  void PlantOne() {
    if (in_.ConsumeBool()) {
      PlantPhonePiece();
    } else {
      PlantNeighbour();
    }
  }

  const std::vector<Neighbour>& neighbours() const { return neighbours_; }
  const std::vector<std::string>& phoneTexts() const { return phoneTexts_; }

 private:
  template <typename T>
  const T& Pick(const std::vector<T>& list) {
    return list[in_.ConsumeIntegralInRange<size_t>(0, list.size() - 1)];
  }
  const char* PickId() { return kPhoneIds[in_.ConsumeIntegralInRange<int>(0, 3)]; }
  std::string ControlSet(const std::vector<std::string>& roots) { return Pick(roots); }

  // Data of any type and content: a text terminated or not, a DWORD, bytes.
  void PhoneValue(const std::string& path, const std::string& name, const std::string& usual) {
    uint32_t types[] = {REG_SZ, REG_SZ, REG_SZ, REG_MULTI_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD,
                        REG_NONE};
    uint32_t type = types[in_.ConsumeIntegralInRange<int>(0, 7)];
    std::string text;
    switch (in_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        text = usual;
        break;
      case 1:
        text = usual.substr(0, in_.ConsumeIntegralInRange<size_t>(0, usual.size()));
        break;
      default:
        text = in_.ConsumeRandomLengthString(300);
        break;
    }
    std::vector<uint8_t> data(text.begin(), text.end());
    if (in_.ConsumeBool()) data.push_back(0);
    if (type == REG_MULTI_SZ && in_.ConsumeBool()) data.push_back(0);
    phoneTexts_.push_back(Upper(text));
    machine_.registry.SetValue(kLm, path, name, type, data);
  }

  std::string Instance() {
    std::string names[] = {"5&1A2B3C01&0&1", "6&2C3D4E01&0&0003", "0000", ""};
    std::string name = names[in_.ConsumeIntegralInRange<int>(0, 3)];
    if (name.empty()) name = in_.ConsumeRandomLengthString(20);
    for (char& c : name) {
      if (c == '\\' || c == '\0') c = '_';
    }
    if (name.empty()) name = "0";
    phoneTexts_.push_back(Upper(name));
    return name;
  }

  void PlantPhonePiece() {
    switch (in_.ConsumeIntegralInRange<int>(0, 10)) {
      case 0:
      case 1: {  // a device instance
        std::string key = ControlSet(layout_.enumUsb) + "\\" + PickId() + "\\" + Instance();
        machine_.registry.CreateKey(kLm, key);
        int number = in_.ConsumeIntegralInRange<int>(0, 9);
        char driver[64];
        std::snprintf(driver, sizeof driver, "%s\\%04d", kClassGuids[number % 3], number);
        PhoneValue(key, "Driver", driver);
        if (in_.ConsumeBool()) PhoneValue(key, "HardwareID", std::string("USB\\") + PickId());
        if (in_.ConsumeBool()) PhoneValue(key, "Class", "Modem");
        if (in_.ConsumeBool()) {
          PhoneValue(key + "\\Device Parameters", "PortName",
                     "COM" + std::to_string(in_.ConsumeIntegralInRange<int>(1, 9)));
        }
        if (layout_.nt5 && in_.ConsumeBool()) machine_.registry.CreateKey(kLm, key + "\\Control");
        break;
      }
      case 2: {  // a driver key
        int number = in_.ConsumeIntegralInRange<int>(0, 9);
        char key[160];
        std::snprintf(key, sizeof key, "%s\\%s\\%04d", ControlSet(layout_.classTree).c_str(),
                      kClassGuids[number % 3], number);
        PhoneValue(key, "InfPath", "oem" + std::to_string(number) + ".inf");
        break;
      }
      case 3: {  // ComDB of any size
        if (!layout_.nt5) break;
        std::vector<uint8_t> bytes = in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange(0, 40));
        for (const Neighbour& n : neighbours_) {
          if (n.kind == Neighbour::Kind::kComPort && size_t(n.port - 1) / 8 < bytes.size()) {
            bytes[size_t(n.port - 1) / 8] |= uint8_t(1u << ((n.port - 1) % 8));
          }
        }
        machine_.registry.SetValue(kLm, layout_.comDb, "ComDB", REG_BINARY, bytes);
        break;
      }
      case 4: {  // a port of the phone's
        std::string port = "COM" + std::to_string(in_.ConsumeIntegralInRange<int>(1, 9));
        if (layout_.nt5) PhoneValue(layout_.ports, port + ":", "9600,n,8,1");
        PhoneValue(layout_.serialComm, "\\Device\\KV6mdm" + std::to_string(in_.ConsumeIntegral<uint8_t>() % 4),
                   port);
        break;
      }
      case 5: {  // an interface key of the phone's
        std::string id = PickId();
        std::string instance = Instance();
        std::string name = "##?#USB#" + id + "#" + instance + "#" + kInterfaceGuid;
        std::string key = ControlSet(layout_.deviceClasses) + "\\" + kInterfaceGuid + "\\" + name;
        PhoneValue(key, "DeviceInstance", "USB\\" + id + "\\" + instance);
        break;
      }
      case 6: {  // phantom, problem list, OEM name, LastGood
        int number = in_.ConsumeIntegralInRange<int>(0, 9);
        if (layout_.nt5) {
          PhoneValue(layout_.lastGood, "inf\\oem" + std::to_string(number) + ".inf", "\x01");
        } else {
          char key[16];
          std::snprintf(key, sizeof key, "\\%04d", number);
          PhoneValue(layout_.phantom + key, "HardWareKey", std::string("USB\\") + PickId() + "\\0");
          phoneTexts_.push_back(Upper(std::string("USB\\") + PickId()));
          machine_.registry.SetString(kLm, layout_.problems, std::string("USB\\") + PickId(), "");
          PhoneValue(layout_.oemNames, layout_.infFolder + "\\KV6bus.inf", "KV6bus.inf");
        }
        break;
      }
      case 7: {  // an OEM INF of the phone's number range, any content
        int number = in_.ConsumeIntegralInRange<int>(0, 9);
        std::string contents = in_.ConsumeBool()
                                   ? "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Manufacturer]\r\n"
                                     "%ORVEX%=Models\r\n[Models]\r\n%Phone%=Install,USB\\VID_1F3C&PID_6B07\r\n"
                                   : in_.ConsumeRandomLengthString(400);
        machine_.files.WriteFile(layout_.infFolder + "\\oem" + std::to_string(number) + ".inf",
                                 contents);
        break;
      }
      case 8: {  // the phone's files
        std::string name = kPhoneFiles[in_.ConsumeIntegralInRange<int>(0, 6)];
        std::string folder = name.find(".inf") != std::string::npos ? layout_.infFolder
                                                                     : layout_.driversFolder;
        machine_.files.WriteFile(folder + "\\" + name, in_.ConsumeRandomLengthString(40));
        break;
      }
      case 9: {  // a service of the phone's
        std::string key = ControlSet(layout_.services.empty() ? std::vector<std::string>{
                                                                    "System\\CurrentControlSet\\Services"}
                                                              : layout_.services) +
                          "\\" + kPhoneServices[in_.ConsumeIntegralInRange<int>(0, 4)];
        PhoneValue(key, "ImagePath", "System32\\DRIVERS\\KV6bus.sys");
        break;
      }
      default: {  // the phone's legacy port devices
        if (layout_.nt5) break;
        std::string key = in_.ConsumeBool() ? "Enum\\KV6CR\\guid\\" + Instance()
                                            : std::string("Enum\\Root\\KV6CR\\0000");
        int number = in_.ConsumeIntegralInRange<int>(0, 9);
        char driver[64];
        std::snprintf(driver, sizeof driver, "Ports\\%04d", number);
        PhoneValue(key, "Driver", driver);
        break;
      }
    }
  }

  void Keep(Neighbour::Kind kind, const std::string& path, const std::string& name,
            const std::string& token, int port = 0) {
    neighbours_.push_back(Neighbour{kind, path, name, port, Upper(token)});
  }

  // Kept even when one of the phone's values names it: whose an INF is shows
  // in its contents, and the removal must read them rather than trust the
  // name a device key gives (an oemN number goes to the next package once it
  // is free; a phone function may have run on another maker's INF).
  void KeepWhateverNamesIt(Neighbour::Kind kind, const std::string& path, const std::string& name,
                           const std::string& token) {
    neighbours_.push_back(Neighbour{kind, path, name, 0, Upper(token), false});
  }

  void PlantOthersInf(const std::string& folder, const std::string& stem,
                      const std::string& contents) {
    machine_.files.WriteFile(folder + "\\" + stem + ".inf", contents);
    machine_.files.WriteFile(folder + "\\" + stem + ".PNF", "pnf");
    KeepWhateverNamesIt(Neighbour::Kind::kFile, folder + "\\" + stem + ".inf", "", stem);
    KeepWhateverNamesIt(Neighbour::Kind::kFile, folder + "\\" + stem + ".PNF", "", stem);
  }

  // Another maker's INF for the device `id`; the phone's maker's INF for
  // another of its products; another maker's generic modem INF whose model
  // line names the phone's modem function (a driver Windows may have matched
  // before the phone's CD came); Windows' own INF.
  static std::string OthersInf(int kind, const std::string& id) {
    std::string head = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Manufacturer]\r\n";
    switch (kind) {
      case 0:
        return head + "Acme=Models\r\n[Models]\r\nSerial=Install,USB\\" + id + "\r\n";
      case 1:
        return head + "%ORVEX%=ORVEX\r\n[ORVEX]\r\n%Other%=Install,USB\\" + id + "\r\n";
      case 2:
        return head + "%Contoso%=Contoso\r\n[Contoso]\r\n%Generic%=Modem,USB\\VID_1F3C&PID_6B07&MI_07\r\n";
      default:
        return head + "%Msft%=Microsoft\r\n[Microsoft]\r\n%Composite%=Composite.Dev,USB\\COMPOSITE\r\n";
    }
  }

  void PlantNeighbour() {
    int number = 10 + in_.ConsumeIntegralInRange<int>(0, 9);
    std::string suffix(1, "0123456789ABXZ_"[in_.ConsumeIntegralInRange<int>(0, 14)]);
    const std::string ids[] = {"VID_1F3C&PID_6B07" + suffix, "VID_1F3C&PID_6B0", "VID_1F3C&PID_6B08",
                               "VID_1F3C&PID_6B07" + suffix + "&MI_03"};
    std::string id = ids[in_.ConsumeIntegralInRange<int>(0, 3)];
    std::string port = "COM" + std::to_string(number);
    switch (in_.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: {  // a device with its driver key and port
        std::string set = in_.ConsumeBool() ? layout_.enumUsb.front() : layout_.enumUsb.back();
        std::string key = set + "\\" + id + "\\7&" + std::to_string(number);
        char driverKey[32];
        std::snprintf(driverKey, sizeof driverKey, "%04d", 100 + number * 3 % 100);
        std::string guid = kClassGuids[number % 3];
        machine_.registry.SetString(kLm, key, "Driver", guid + "\\" + driverKey);
        machine_.registry.SetMultiString(kLm, key, "HardwareID", {"USB\\" + id});
        machine_.registry.SetString(kLm, key, "DeviceDesc", "Acme USB Serial");
        machine_.registry.SetString(kLm, key + "\\Device Parameters", "PortName", port);
        Keep(Neighbour::Kind::kKey, key, "", id);
        std::string classKey = layout_.classTree.front() + "\\" + guid + "\\" + driverKey;
        machine_.registry.SetString(kLm, classKey, "InfPath", "oem" + std::to_string(number) + ".inf");
        Keep(Neighbour::Kind::kValue, classKey, "InfPath", driverKey);
        if (layout_.nt5) {
          Keep(Neighbour::Kind::kComPort, "", "", port, number);
          std::optional<sim::RegValue> comDb = machine_.registry.GetValue(kLm, layout_.comDb, "ComDB");
          std::vector<uint8_t> bytes = comDb ? comDb->data : std::vector<uint8_t>(32, 0);
          if (bytes.size() < 32) bytes.resize(32, 0);
          bytes[size_t(number - 1) / 8] |= uint8_t(1u << ((number - 1) % 8));
          machine_.registry.SetValue(kLm, layout_.comDb, "ComDB", REG_BINARY, bytes);
        }
        break;
      }
      case 1: {  // its port entries
        if (layout_.nt5) {
          machine_.registry.SetString(kLm, layout_.ports, port + ":", "9600,n,8,1");
          Keep(Neighbour::Kind::kValue, layout_.ports, port + ":", port, number);
        }
        std::string device = "\\Device\\Acme" + std::to_string(number);
        machine_.registry.SetString(kLm, layout_.serialComm, device, port);
        Keep(Neighbour::Kind::kValue, layout_.serialComm, device, port, number);
        break;
      }
      case 2: {  // an INF that is not the phone's, with its PNF, LastGood copy and entries
        static const char* const kWindowsOwn[] = {"usb", "mdmgen", "machine", "msports"};
        int kind = in_.ConsumeIntegralInRange<int>(0, 3);
        std::string stem = kind == 3 ? kWindowsOwn[in_.ConsumeIntegralInRange<int>(0, 3)]
                                     : "oem" + std::to_string(number);
        std::string contents = OthersInf(kind, id);
        // The INF folder's copy may be gone, its LastGood copy left (2000 has none).
        bool live = !layout_.nt5 || in_.ConsumeIntegralInRange<int>(0, 3) != 0;
        bool saved = layout_.nt5 && layout_.osKind == 12 && in_.ConsumeBool();
        if (live) PlantOthersInf(layout_.infFolder, stem, contents);
        if (saved) PlantOthersInf(layout_.lastGoodInfFolder, stem, contents);
        if (layout_.nt5 && (live || saved)) {
          for (const char* extension : {".inf", ".PNF"}) {
            std::string name = "inf\\" + stem + extension;
            machine_.registry.SetDword(kLm, layout_.lastGood, name, 1);
            KeepWhateverNamesIt(Neighbour::Kind::kValue, layout_.lastGood, name, stem);
          }
        }
        break;
      }
      case 3: {  // a service and a driver file with a name close to the phone's
        std::string names[] = {"KV6bus0", "KV6mdm" + suffix, "xKV6obex", "KV6mgmt_old"};
        std::string name = names[in_.ConsumeIntegralInRange<int>(0, 3)];
        std::string set = layout_.nt5 ? layout_.services.back() : "System\\CurrentControlSet\\Services";
        machine_.registry.SetString(kLm, set + "\\" + name, "ImagePath", "System32\\DRIVERS\\" + name + ".sys");
        Keep(Neighbour::Kind::kKey, set + "\\" + name, "", name);
        machine_.files.WriteFile(layout_.driversFolder + "\\" + name + ".sys", "driver");
        Keep(Neighbour::Kind::kFile, layout_.driversFolder + "\\" + name + ".sys", "", name);
        break;
      }
      case 4: {  // an interface key of a neighbour device
        std::string instance = "7&" + std::to_string(number);
        std::string key = layout_.deviceClasses.front() + "\\" + kInterfaceGuid + "\\##?#USB#" + id +
                          "#" + instance + "#" + kInterfaceGuid;
        machine_.registry.SetString(kLm, key, "DeviceInstance", "USB\\" + id + "\\" + instance);
        Keep(Neighbour::Kind::kKey, key, "", id);
        break;
      }
      case 5: {  // phantom, problem-list and OEM-name entries of neighbours
        if (layout_.nt5) break;
        char phantom[16];
        std::snprintf(phantom, sizeof phantom, "\\%04d", 100 + number);
        machine_.registry.SetString(kLm, layout_.phantom + phantom, "HardWareKey",
                                    "USB\\" + id + "\\7&" + std::to_string(number));
        Keep(Neighbour::Kind::kValue, layout_.phantom + phantom, "HardWareKey", id);
        machine_.registry.SetString(kLm, layout_.problems, "USB\\" + id + "\\7&1", "");
        Keep(Neighbour::Kind::kValue, layout_.problems, "USB\\" + id + "\\7&1", id);
        std::string inf = layout_.infFolder + "\\KV6bus" + suffix + ".inf";
        machine_.registry.SetString(kLm, layout_.oemNames, inf, "KV6bus" + suffix + ".inf");
        Keep(Neighbour::Kind::kValue, layout_.oemNames, inf, "KV6bus" + suffix);
        break;
      }
      default: {  // a modem of another maker
        std::string key = layout_.enumUsb.front() + "\\VID_0ACE&PID_1F3C&MI_00\\8&" +
                          std::to_string(number);
        machine_.registry.SetString(kLm, key, "DeviceDesc", "Acme 3G GSM USB Modem");
        machine_.registry.SetString(kLm, key, "Class", "Modem");
        machine_.registry.SetMultiString(kLm, key, "HardwareID", {"USB\\VID_0ACE&PID_1F3C&MI_00"});
        Keep(Neighbour::Kind::kKey, key, "", "VID_0ACE");
        break;
      }
    }
  }

  FuzzedDataProvider& in_;
  sim::Machine& machine_;
  const Layout& layout_;
  std::vector<Neighbour> neighbours_;
  std::vector<std::string> phoneTexts_;
};

enum class Match { kPrefix, kKeyTree };

// The snapshot lines that start with `prefix` in any letter case; for
// kKeyTree, the key's own line and the lines of its values and sub-keys.
std::vector<std::string> Lines(const std::vector<std::string>& lines, const std::string& prefix,
                               Match match) {
  std::vector<std::string> found;
  std::string upper = Upper(prefix);
  for (const std::string& line : lines) {
    if (Upper(line.substr(0, upper.size())) != upper) continue;
    std::string rest = line.substr(upper.size());
    if (match == Match::kKeyTree && !rest.empty() && rest.rfind("  \"", 0) != 0 &&
        rest.rfind("  (security) ", 0) != 0 && rest.rfind("\\", 0) != 0) {
      continue;
    }
    found.push_back(line);
  }
  return found;
}

// The neighbours no value of the phone's refers to, as lines the run must keep.
runcheck::Survivors Protected(const sim::Machine& machine, const ImageBuilder& image) {
  runcheck::Survivors survivors;
  std::vector<std::string> registry = machine.registry.Snapshot();
  std::vector<std::string> files = machine.files.Snapshot();
  auto referenced = [&](const std::string& token) {
    for (const std::string& text : image.phoneTexts()) {
      if (text.find(token) != std::string::npos) return true;
    }
    return false;
  };
  // A port is named by its number: "COM013" claims COM13 as much as "COM13".
  auto portReferenced = [&](int port) {
    for (const std::string& text : image.phoneTexts()) {
      for (size_t at = text.find("COM"); at != std::string::npos; at = text.find("COM", at + 1)) {
        size_t digits = at + 3;
        long number = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' &&
               number < 100000) {
          number = number * 10 + (text[digits++] - '0');
        }
        if (digits > at + 3 && number == port) return true;
      }
    }
    return false;
  };
  std::set<int> comDb = runcheck::ComDbPorts(machine);
  for (const Neighbour& n : image.neighbours()) {
    if (n.referable && (referenced(n.token) || (n.port != 0 && portReferenced(n.port)))) continue;
    switch (n.kind) {
      case Neighbour::Kind::kKey:
        for (const auto& line : Lines(registry, "HKLM\\" + n.path, Match::kKeyTree)) {
          survivors.AddRegistryLine(line);
        }
        break;
      case Neighbour::Kind::kValue:
        for (const auto& line :
             Lines(registry, "HKLM\\" + n.path + "  \"" + n.name + "\" = ", Match::kPrefix)) {
          survivors.AddRegistryLine(line);
        }
        break;
      case Neighbour::Kind::kFile:
        for (const auto& line : Lines(files, n.path + "  ", Match::kPrefix)) {
          survivors.AddFileLine(line);
        }
        break;
      case Neighbour::Kind::kComPort:
        if (comDb.count(n.port)) survivors.AddComPort(n.port);
        break;
    }
  }
  return survivors;
}

const WindowsVersion kVersions[] = {WindowsVersion::Windows95,   WindowsVersion::Windows98,
                                    WindowsVersion::WindowsMe,   WindowsVersion::WindowsNT4,
                                    WindowsVersion::Windows2000, WindowsVersion::WindowsXPSP3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  int versionIndex = input.ConsumeIntegralInRange<int>(0, 5);
  WindowsVersion version = kVersions[versionIndex];
  sim::Machine& machine = FreshMachine(OptionsFor(version));
  const int kOsKinds[] = {0, 1, 2, 10, 11, 12};
  Layout layout = LayoutFor(kOsKinds[versionIndex], machine);
  ImageBuilder image(input, machine, layout);
  for (int planted = 0; planted < 48 && input.remaining_bytes() > 0; ++planted) image.PlantOne();
  runcheck::Survivors survivors = Protected(machine, image);
  // USBINST_FUZZ_VERBOSE=1 shows what each input planted and must keep, to
  // see that a corpus exercises the check at all.
  static const bool verbose = std::getenv("USBINST_FUZZ_VERBOSE") != nullptr;
  if (verbose) {
    std::fprintf(stderr, "version %d: %zu neighbours planted, %zu entries kept\n", versionIndex,
                 image.neighbours().size(), survivors.Size());
  }

  HWND launcher = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(launcher, "CDROMLauncher", nullptr);
  size_t firstBox = machine.windows.messageBoxes.size();
  runcheck::KeySecurityMap security = runcheck::KeySecurity(machine);
  machine.faults.ResetCounts();

  RunInstaller(nullptr, "/r");

  std::string problems;
  std::string handles = OpenHandles();
  if (!handles.empty()) problems += "open handles: " + handles + "\n";
  problems += runcheck::UnexpectedMessageBoxes(machine, firstBox);
  if (!runcheck::HeardDeviceChange(machine, launcher)) problems += "the launcher was not notified\n";
  problems += survivors.Losses(machine);
  problems += runcheck::SecurityChanges(security, machine);
  if (!problems.empty()) {
    std::fprintf(stderr, "removal on version %d:\n%s", versionIndex, problems.c_str());
    std::abort();
  }
  return 0;
}
