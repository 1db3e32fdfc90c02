// Registry data the removal reads but does not control: values of the wrong
// type, text without its terminator, text that fills the 261-byte buffers
// exactly or overflows them, odd "Driver" pointers, port names and bitmaps,
// long key names and deep trees. Whatever they hold, the removal ends, closes
// every key and deletes nothing that was there before the phone came.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/path_routines.h"
#include "install/driver_installer.h"
#include "platform/sim/plug_and_play.h"
#include "registry/registry_cleaner.h"
#include "registry/registry_walker.h"
#include "registry/scoped_owners.h"
#include "resources/string_table.h"
#include "tests/driver_cd.h"
#include "tests/sim_test_support.h"
#include "uninstall/driver_remover.h"

namespace {

using sim::WindowsVersion;

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kComDbKey[] = "SYSTEM\\ControlSet001\\Control\\COM Name Arbiter";
const char kPorts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The kinds of data a value may hold instead of the text the program expects.
struct Hostile {
  const char* what;
  uint32_t type;
  std::vector<uint8_t> data;
};

// `text` is what the value holds now, without a terminator.
std::vector<Hostile> HostileForms(const std::string& text) {
  std::string padded = text + std::string(300, '7');
  return {
      {"REG_DWORD", REG_DWORD, {0x5C, 0x5C, 0x5C, 0x5C}},
      {"REG_BINARY text", REG_BINARY, Bytes(text + '\0')},
      {"no terminator", REG_SZ, Bytes(text)},
      {"261 bytes, no terminator", REG_SZ, Bytes(padded.substr(0, 261))},
      {"260 characters and terminator", REG_SZ, Bytes(padded.substr(0, 260) + '\0')},
      {"262 bytes", REG_SZ, Bytes(padded.substr(0, 261) + '\0')},
      {"empty", REG_SZ, {}},
  };
}

// The registry lines of `before` that `after` lacks.
std::vector<std::string> Gone(const std::vector<std::string>& before,
                              const std::vector<std::string>& after) {
  std::vector<std::string> gone;
  for (const std::string& line : before) {
    if (std::find(after.begin(), after.end(), line) == after.end()) gone.push_back(line);
  }
  return gone;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A machine with the neighbours planted and their registry and files
// recorded, then the package placed from the CD and the phone plugged in and
// out again.
class PhoneMachine {
 public:
  explicit PhoneMachine(WindowsVersion version) : version_(version) {
    sim::MachineOptions options = OptionsFor(version);
    options.programPath = "D:\\Setup\\USBINST.EXE";
    machine_ = &FreshMachine(options);
    LoadDriverCd(*machine_, "D:\\");
    GetProgramFolder(App().programFolder, sizeof(App().programFolder));
    sim::PlantNeighbourDevice(*machine_);
    // The image lists a "COM2:" without a port behind it, which the phone's
    // install takes over; the removal then rightly takes it away.
    machine_->registry.DeleteValue(kLm, kPorts, "COM2:");
    before_ = machine_->registry.Snapshot();
    comDbBefore_ = ComDb();
    filesBefore_ = machine_->files.SnapshotText();
    EXPECT_EQ(DriverInstaller(OsKind()).Install(), 1);
    EXPECT_TRUE(sim::PlugInPhone(*machine_));
    sim::UnplugPhone(*machine_);
  }

  int OsKind() const {
    switch (version_) {
      case WindowsVersion::Windows98:
        return 1;
      case WindowsVersion::Windows2000:
        return 11;
      default:
        return 12;
    }
  }
  bool Nt() const { return OsKind() >= 11; }
  sim::Machine& machine() { return *machine_; }
  sim::RegistryModel& reg() { return machine_->registry; }

  // The key of a function's instance (HKLM-relative).
  std::string InstanceKey(int function) const {
    return std::string(Nt() ? "SYSTEM\\ControlSet001\\Enum\\" : "Enum\\") +
           sim::PhoneInstancePath(function);
  }
  // The driver key a function's instance names.
  std::string DriverKey(int function) {
    std::string classTree = Nt() ? "SYSTEM\\ControlSet001\\Control\\Class\\"
                                 : "System\\CurrentControlSet\\Services\\Class\\";
    return classTree + reg().GetString(kLm, InstanceKey(function), "Driver").value_or("?");
  }
  // The first device interface key whose "DeviceInstance" names the function.
  std::string InterfaceKey(int function) {
    std::string classes = Nt() ? "SYSTEM\\ControlSet001\\Control\\DeviceClasses"
                               : "System\\CurrentControlSet\\Control\\DeviceClasses";
    std::string wanted = sim::UpperName(sim::PhoneInstancePath(function));
    for (const std::string& cls : reg().SubKeyNames(kLm, classes)) {
      for (const std::string& name : reg().SubKeyNames(kLm, classes + "\\" + cls)) {
        std::string path = classes + "\\" + cls + "\\" + name;
        auto instance = reg().GetString(kLm, path, "DeviceInstance");
        if (instance && sim::UpperName(*instance) == wanted) return path;
      }
    }
    return "";
  }
  // The first key below `path` whose value `name` is present and holds `part`.
  std::string KeyWithValue(const std::string& path, const char* name, const char* part = "") {
    for (const std::string& sub : reg().SubKeyNames(kLm, path)) {
      auto value = reg().GetValue(kLm, path + "\\" + sub, name);
      if (value &&
          std::string(value->data.begin(), value->data.end()).find(part) != std::string::npos) {
        return path + "\\" + sub;
      }
    }
    return "";
  }

  std::vector<uint8_t> ComDb() {
    auto value = reg().GetValue(kLm, kComDbKey, "ComDB");
    return value ? value->data : std::vector<uint8_t>();
  }

  // Runs the removal and checks what must hold whatever the data was: it
  // ends, closes every handle, and everything that was there before the
  // phone is still there. The COM bitmap changes by design (a port the
  // removal cannot read keeps its bit), but no bit that was set before the
  // phone is cleared, unless the test rewrote the bitmap itself.
  void RemoveAndCheck(const std::string& what, bool comDbRewritten) {
    DriverRemover(OsKind());
    EXPECT_EQ(OpenHandles(), "") << what;
    std::vector<std::string> gone = Gone(before_, reg().Snapshot());
    gone.erase(std::remove_if(gone.begin(), gone.end(),
                              [&](const std::string& line) {
                                return line.find("\\COM Name Arbiter  \"ComDB\"") !=
                                       std::string::npos;
                              }),
               gone.end());
    EXPECT_EQ(Lines(gone), "") << what;
    std::vector<uint8_t> comDb = ComDb();
    if (!comDbRewritten && Nt()) {
      ASSERT_EQ(comDb.size(), comDbBefore_.size()) << what;
      for (size_t i = 0; i < comDb.size(); ++i) {
        EXPECT_EQ(comDb[i] & comDbBefore_[i], comDbBefore_[i]) << what << " byte " << i;
      }
    }
    // No file of the machine before the phone went either (the lines of the
    // snapshot name every file with its contents).
    // Windows 98 and Me rebuild their driver database, which the removal
    // deletes by design.
    std::string files = machine_->files.SnapshotText();
    size_t at = 0;
    for (size_t end; (end = filesBefore_.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string line = filesBefore_.substr(at, end - at);
      if (line.find("\\INF\\DRVDATA.BIN") != std::string::npos ||
          line.find("\\INF\\DRVIDX.BIN") != std::string::npos) {
        continue;
      }
      EXPECT_NE(files.find(line), std::string::npos) << what << ": " << line;
    }
  }

 private:
  WindowsVersion version_;
  sim::Machine* machine_ = nullptr;
  std::vector<std::string> before_;
  std::vector<uint8_t> comDbBefore_;
  std::string filesBefore_;
};

struct Target {
  const char* value;
  // The key that holds the value, on a freshly made phone machine.
  std::function<std::string(PhoneMachine&)> key;
};

// Every value the removal reads on Windows XP and 98, each in every hostile
// form: the removal goes on around it. A value too long for the 261-byte
// buffers is shown ("More data is available.") as every registry error is.
TEST(RegistryDataInput, EveryValueTheRemovalReadsMayHoldAnything) {
  const std::pair<WindowsVersion, std::vector<Target>> versions[] = {
      {WindowsVersion::WindowsXPSP3,
       {
           {"Driver", [](PhoneMachine& m) { return m.InstanceKey(3); }},
           {"PortName", [](PhoneMachine& m) { return m.InstanceKey(1) + "\\Device Parameters"; }},
           {"DeviceInstance", [](PhoneMachine& m) { return m.InterfaceKey(3); }},
           {"InfPath", [](PhoneMachine& m) { return m.DriverKey(3); }},
           {"ComDB", [](PhoneMachine&) { return std::string(kComDbKey); }},
       }},
      {WindowsVersion::Windows98,
       {
           {"Driver", [](PhoneMachine& m) { return m.InstanceKey(0); }},
           {"CRLowerDeviceID",
            [](PhoneMachine& m) { return m.KeyWithValue("Enum\\KV6CR\\guid", "CRLowerDeviceID"); }},
           {"PortName",
            [](PhoneMachine& m) { return m.KeyWithValue("Enum\\KV6CR\\guid", "PortName"); }},
           {"HardWareKey",
            [](PhoneMachine& m) {
              return m.KeyWithValue(
                  "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom", "HardWareKey",
                  "PID_6B07\\");
            }},
           {"DeviceInstance", [](PhoneMachine& m) { return m.InterfaceKey(3); }},
       }},
  };
  for (const auto& [version, targets] : versions) {
    for (const Target& target : targets) {
      for (size_t formIndex = 0; formIndex < HostileForms("").size(); ++formIndex) {
        PhoneMachine phone(version);
        std::string key = target.key(phone);
        auto current = phone.reg().GetValue(kLm, key, target.value);
        ASSERT_TRUE(current) << target.value << " in " << key;
        std::string text(current->data.begin(), current->data.end());
        text = text.substr(0, text.find('\0'));
        const Hostile form = HostileForms(text)[formIndex];
        std::string what = std::string(target.value) + " " + form.what + " in " + key;
        phone.reg().SetValue(kLm, key, target.value, form.type, form.data);
        phone.RemoveAndCheck(what, std::string(target.value) == "ComDB");
        std::string boxes = MessageBoxTexts();
        bool tooLong = form.data.size() > 261;
        EXPECT_EQ(boxes.find("More data is available.") != std::string::npos, tooLong)
            << what << "\n"
            << boxes;
      }
    }
  }
}

// The neighbour's driver key sits beside the phone's: a "Driver" value that
// could be read as pointing at the class key itself, at no key, or at more
// than one key level names nothing, and nothing below the class goes. ".."
// is a key name like any other in the registry, so it names no parent.
TEST(RegistryDataInput, DriverDataWithoutABackslashOrWithAnEmptyHalfNamesNoKey) {
  for (const char* driver :
       {"", "\\", "\\0001", "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\",
        "{4D36E96D-E325-11CE-BFC1-08002BE10318}", "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\\\0001",
        "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0001\\",
        "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\..",
        "..\\{4D36E96D-E325-11CE-BFC1-08002BE10318}"}) {
    bool dotted = std::string(driver).find("..") != std::string::npos;
    sim::Machine& machine = FreshMachine();
    const std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07";
    const std::string classTree = "SYSTEM\\ControlSet001\\Control\\Class";
    machine.registry.SetString(kLm, device + "\\5&1", "Driver", driver);
    machine.registry.SetString(kLm, classTree + "\\" + kModemClass + "\\0001", "InfPath",
                               "oem10.inf");
    machine.registry.SetString(kLm, classTree + "\\" + kModemClass, "Class", "Modem");
    std::vector<std::string> before = machine.registry.Snapshot();

    RegistryWalker walker(12);
    ScopedKey key;
    ASSERT_EQ(walker.OpenKeyPath(kLm, device.c_str(), KEY_READ, key.Receive()), 1);
    char className[kRegTextCapacity + 1] = "old";
    char instance[kRegTextCapacity + 1] = "old";
    EXPECT_EQ(walker.ReadDriverKey(key.Get(), "5&1", className, instance), 1) << driver;
    key.Reset();
    bool named = className[0] != '\0' && std::string(className) != "old";
    EXPECT_EQ(named && instance[0] != '\0' && std::string(instance) != "old", dotted) << driver;

    RegistryCleaner cleaner(12);
    cleaner.DeleteDriverKeys(device.c_str(), classTree.c_str());
    char stem[kRegTextCapacity] = {};
    EXPECT_EQ(walker.FindDriverInfStem(kLm, device.c_str(), stem), 0) << driver;
    EXPECT_EQ(machine.registry.Snapshot(), before) << driver;
    EXPECT_EQ(MessageBoxTexts(), "") << driver;
    EXPECT_EQ(OpenHandles(), "") << driver;
  }
}

// Port names that are not "COM" and a number, or whose number is 0 or lies
// far beyond the bitmap: no bit of another port is cleared and no other
// port's "Ports" value goes.
TEST(RegistryDataInput, OddPortNamesReleaseNoOtherPort) {
  struct Case {
    const char* portName;
    std::vector<uint8_t> comDb;      // after the release, from 0xFF 0xFF
    std::vector<std::string> ports;  // the values left of COM1:, COM10:, and the name's own
  };
  const std::string modem = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03";
  const Case cases[] = {
      {"COM", {0xFF, 0xFF}, {"COM1:", "COM10:", "COM:"}},
      {"COM0", {0xFF, 0xFF}, {"COM1:", "COM10:", "COM0:"}},
      {"COMx", {0xFF, 0xFF}, {"COM1:", "COM10:", "COMx:"}},
      {"COM-1", {0xFF, 0xFF}, {"COM1:", "COM10:", "COM-1:"}},  // kept, as COM1: to COM4: are
      {"COM99999", {0xFF, 0xFF}, {"COM1:", "COM10:"}},
      {"COM16", {0xFF, 0x7F}, {"COM1:", "COM10:"}},
      // The number is read as the run-time library reads one: blanks and a sign first.
      {"COM 5", {0xEF, 0xFF}, {"COM1:", "COM10:"}},
      {"COM+6", {0xDF, 0xFF}, {"COM1:", "COM10:"}},
  };
  for (const Case& c : cases) {
    sim::Machine& machine = FreshMachine();
    machine.registry.SetValue(kLm, kComDbKey, "ComDB", REG_BINARY, {0xFF, 0xFF});
    machine.registry.DeleteTree(kLm, kPorts);
    for (const std::string& name :
         {std::string("COM1:"), std::string("COM10:"), std::string(c.portName) + ":"}) {
      machine.registry.SetString(kLm, kPorts, name, "9600,n,8,1");
    }
    machine.registry.SetString(kLm, modem + "\\6&1\\Device Parameters", "PortName", c.portName);
    RegistryCleaner cleaner(12);
    EXPECT_EQ(cleaner.ReleaseComPorts(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION1,
                                      IDS_REG_CONTROL_CS001),
              1)
        << c.portName;
    EXPECT_EQ(machine.registry.GetValue(kLm, kComDbKey, "ComDB")->data, c.comDb) << c.portName;
    EXPECT_EQ(machine.registry.ValueNames(kLm, kPorts), c.ports) << c.portName;
    EXPECT_EQ(MessageBoxTexts(), "") << c.portName;
    EXPECT_EQ(OpenHandles(), "") << c.portName;
  }
}

// A bitmap of no bytes has no bit to clear and one byte holds ports 1 to 8;
// one longer than the 261-byte buffer cannot be read: it is shown, left as it
// is, and the port's "Ports" value stays with it. A bitmap stored as text is
// left alone.
TEST(RegistryDataInput, BitmapsOfZeroOneAndThreeHundredBytes) {
  const std::string modem = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03";
  struct Case {
    size_t size;
    long port;
    std::vector<uint8_t> after;
    bool portsValueGoes;
    const char* boxes;
    uint32_t type = REG_BINARY;
  };
  std::vector<uint8_t> big(300, 0xFF);
  const Case cases[] = {
      {0, 6, {}, true, ""},
      {1, 5, {0xEF}, true, ""},
      {1, 9, {0xFF}, true, ""},
      {300, 5, big, false, "More data is available.\r\n\n"},
      // The 261 bytes read hold ports 1 to 2088: the last bit is 2088's, and
      // a port beyond it clears none.
      {261, 2088,
       [] {
         std::vector<uint8_t> bits(261, 0xFF);
         bits[260] = 0x7F;
         return bits;
       }(),
       true, ""},
      {261, 2089, std::vector<uint8_t>(261, 0xFF), true, ""},
      // Text is no bitmap: written back, the system would look past the data
      // for a terminator. It stays as it was.
      {261, 5, std::vector<uint8_t>(261, 0xFF), true, "", REG_SZ},
      {4, 5, {0xFF, 0xFF, 0xFF, 0xFF}, true, "", REG_MULTI_SZ},
  };
  for (const Case& c : cases) {
    sim::Machine& machine = FreshMachine();
    machine.registry.SetValue(kLm, kComDbKey, "ComDB", c.type, std::vector<uint8_t>(c.size, 0xFF));
    std::string port = "COM" + std::to_string(c.port);
    machine.registry.SetString(kLm, modem + "\\6&1\\Device Parameters", "PortName", port);
    machine.registry.SetString(kLm, kPorts, port + ":", "9600,n,8,1");
    machine.registry.SetString(kLm, kPorts, "COM2:", "9600,n,8,1");
    RegistryCleaner cleaner(12);
    cleaner.ReleaseComPorts(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION1, IDS_REG_CONTROL_CS001);
    auto comDb = machine.registry.GetValue(kLm, kComDbKey, "ComDB");
    ASSERT_TRUE(comDb) << c.size;
    EXPECT_EQ(comDb->data, c.after) << c.size;
    EXPECT_EQ(comDb->type, c.type) << c.size;
    EXPECT_EQ(!machine.registry.ValueExists(kLm, kPorts, port + ":"), c.portsValueGoes) << c.size;
    EXPECT_TRUE(machine.registry.ValueExists(kLm, kPorts, "COM2:")) << c.size;
    EXPECT_EQ(MessageBoxTexts(), c.boxes) << c.size;
    EXPECT_EQ(OpenHandles(), "") << c.size;
  }
}

// On Windows 2000/XP a driver key is granted by its path below the class
// tree before it goes: the class tree (34 characters), a backslash, the class
// key name, a backslash and "0001" must fit in 260 characters. A longer class
// key name leaves the driver key where it is, without a message, and never
// names a shorter key instead.
TEST(RegistryDataInput, ClassKeyNamesUpToTheLongestThatCanBeGranted) {
  const std::string classTree = "SYSTEM\\ControlSet001\\Control\\Class";
  const std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07";
  for (size_t length : {220u, 221u, 226u, 255u}) {
    sim::Machine& machine = FreshMachine();
    std::string className = "{" + std::string(length - 2, 'c') + "}";
    machine.registry.SetString(kLm, device + "\\5&1", "Driver", className + "\\0001");
    machine.registry.SetString(kLm, classTree + "\\" + className + "\\0001", "InfPath", "oem1.inf");
    // What a cut path would name instead.
    std::string cut = classTree + "\\" + className.substr(0, 260 - classTree.size() - 1);
    machine.registry.CreateKey(kLm, cut.substr(0, cut.rfind('\\')) + "\\Other");
    RegistryCleaner cleaner(12);
    EXPECT_EQ(cleaner.DeleteDriverKeys(device.c_str(), classTree.c_str()), length <= 220 ? 1 : 0)
        << length;
    EXPECT_EQ(machine.registry.KeyExists(kLm, classTree + "\\" + className + "\\0001"),
              length > 220)
        << length;
    EXPECT_TRUE(machine.registry.KeyExists(kLm, classTree + "\\" + className)) << length;
    EXPECT_TRUE(machine.registry.KeyExists(kLm, cut.substr(0, cut.rfind('\\')) + "\\Other"));
    EXPECT_EQ(MessageBoxTexts(), "") << length;
    EXPECT_EQ(OpenHandles(), "") << length;
  }
}

// Code page 932: a "Driver" whose class name holds a double-byte character
// with a backslash for its trail byte is split only at the real backslash.
TEST(RegistryDataInput, DriverDataIsSplitOnlyAtASingleByteBackslash) {
  sim::MachineOptions options;
  options.codePage = 932;
  sim::Machine& machine = FreshMachine(options);
  const std::string device = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07";
  machine.registry.SetString(kLm, device + "\\1", "Driver", "{cls\x95\x5C}\\0001");
  machine.registry.SetString(kLm, device + "\\2", "Driver",
                             "{cls}\x95\x5C"
                             "0001");
  RegistryWalker walker(12);
  ScopedKey key;
  ASSERT_EQ(walker.OpenKeyPath(kLm, device.c_str(), KEY_READ, key.Receive()), 1);
  char className[kRegTextCapacity] = {};
  char instance[kRegTextCapacity] = {};
  EXPECT_EQ(walker.ReadDriverKey(key.Get(), "1", className, instance), 1);
  EXPECT_STREQ(className, "{cls\x95\x5C}");
  EXPECT_STREQ(instance, "0001");
  char none[kRegTextCapacity] = {};
  char noInstance[kRegTextCapacity] = {};
  EXPECT_EQ(walker.ReadDriverKey(key.Get(), "2", none, noInstance), 1);
  EXPECT_STREQ(none, "");
  EXPECT_STREQ(noInstance, "");
  key.Reset();
  EXPECT_EQ(OpenHandles(), "");
}

// A key or value that cannot be deleted or read stays, is shown once, and
// the walk ends: a phantom that cannot go is passed over (the next one still
// goes), a value list that cannot be read ends its pass.
TEST(RegistryDataInput, WhatCannotBeDeletedOrReadIsPassedOverOrEndsTheStep) {
  {
    sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::Windows98));
    const std::string phantom = "Software\\Microsoft\\Windows\\CurrentVersion\\cfgmgr32\\Phantom";
    machine.registry.SetString(kLm, phantom + "\\0000", "HardWareKey", "USB\\VID_1F3C&PID_6B07\\1");
    machine.registry.SetString(kLm, phantom + "\\0001", "HardWareKey", "USB\\VID_0ACE&PID_0001\\1");
    machine.registry.SetString(kLm, phantom + "\\0002", "HardWareKey", "USB\\VID_1F3C&PID_6B07\\2");
    machine.faults.FailOn("RegDeleteKeyA", 1, ERROR_ACCESS_DENIED);
    RegistryCleaner cleaner(1);
    EXPECT_EQ(cleaner.DeletePhantomKeys(IDS_REG9X_PHANTOM, IDS_HWID_FUNCTION0), 1);
    EXPECT_EQ(machine.registry.SubKeyNames(kLm, phantom),
              (std::vector<std::string>{"0000", "0001"}));
    EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
    EXPECT_EQ(OpenHandles(), "");
  }
  {
    sim::Machine& machine = FreshMachine();
    machine.registry.DeleteTree(kLm, kPorts);
    for (const char* name : {"COM5:", "COM6:", "COM5"}) {
      machine.registry.SetString(kLm, kPorts, name, "9600,n,8,1");
    }
    machine.faults.FailOn("RegEnumValueA", 2, ERROR_ACCESS_DENIED);
    RegistryCleaner cleaner(12);
    EXPECT_EQ(cleaner.DeleteValuesContaining(kLm, kPorts, "COM5", MatchRule::kPortName), 0);
    EXPECT_EQ(machine.registry.ValueNames(kLm, kPorts),
              (std::vector<std::string>{"COM6:", "COM5"}));
    EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
    EXPECT_EQ(OpenHandles(), "");
  }
  {
    // The bitmap cannot be written back: shown, and the port's "Ports" value
    // stays with its bit.
    sim::Machine& machine = FreshMachine();
    const std::string modem = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B07&Mi_03";
    machine.registry.SetValue(kLm, kComDbKey, "ComDB", REG_BINARY, {0xFF});
    machine.registry.SetString(kLm, modem + "\\6&1\\Device Parameters", "PortName", "COM5");
    machine.registry.SetString(kLm, kPorts, "COM5:", "9600,n,8,1");
    machine.faults.FailOn("RegSetValueExA", 1, ERROR_ACCESS_DENIED);
    RegistryCleaner cleaner(12);
    EXPECT_EQ(cleaner.ReleaseComPorts(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION1,
                                      IDS_REG_CONTROL_CS001),
              0);
    EXPECT_EQ(machine.registry.GetValue(kLm, kComDbKey, "ComDB")->data, std::vector<uint8_t>{0xFF});
    EXPECT_TRUE(machine.registry.ValueExists(kLm, kPorts, "COM5:"));
    EXPECT_EQ(MessageBoxTexts(), "Access is denied.\r\n\n");
    EXPECT_EQ(OpenHandles(), "");
  }
}

// Key names of 255 characters (the longest the registry takes) and trees
// whose path below the deleted key passes 260 characters. Interface keys and
// the trees of Windows 98 go whole whatever their depth; a device tree of
// Windows XP, whose every key is granted by its path before it goes, is
// deleted up to the first key whose path no longer fits: that key and its
// ancestors stay, without a message, and no other key is touched.
TEST(RegistryDataInput, LongKeyNamesAndDeepTrees) {
  const std::string name255(255, 'n');
  const std::string deep = name255 + "\\" + name255 + "\\" + name255;

  // Windows XP: the phone's interface key with a deep tree below it, the
  // device key with a long instance name, a neighbour of each.
  {
    sim::Machine& machine = FreshMachine();
    const std::string classes =
        "SYSTEM\\ControlSet001\\Control\\DeviceClasses\\{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
    const std::string phoneInterface = classes + "\\##?#USB#VID_1F3C&PID_6B07&MI_03#6&1#{x}";
    const std::string neighbourInterface = classes + "\\##?#USB#VID_1F3C&PID_6B070#7&1#{x}";
    machine.registry.SetString(kLm, phoneInterface, "DeviceInstance",
                               "USB\\VID_1F3C&PID_6B07&MI_03\\6&1");
    machine.registry.CreateKey(kLm, phoneInterface + "\\" + deep);
    machine.registry.SetString(kLm, neighbourInterface, "DeviceInstance",
                               "USB\\VID_1F3C&PID_6B070\\7&1");
    machine.registry.CreateKey(kLm, neighbourInterface + "\\" + deep);
    const std::string usb = "SYSTEM\\ControlSet001\\Enum\\USB";
    const std::string device = usb + "\\VID_1F3C&PID_6B07";
    machine.registry.SetString(kLm, device + "\\" + name255 + "\\Device Parameters", "PortName",
                               "COM3");
    machine.registry.SetString(kLm, device + "\\zz&short", "Class", "USB");
    machine.registry.SetString(kLm, usb + "\\VID_1F3C&PID_6B070\\" + name255, "Class", "Ports");

    RegistryCleaner cleaner(12);
    EXPECT_EQ(cleaner.DeleteInterfaceKeys(IDS_REG_DEVICE_CLASSES_CS001, IDS_HWID_FUNCTION0), 1);
    EXPECT_FALSE(machine.registry.KeyExists(kLm, phoneInterface));
    EXPECT_TRUE(machine.registry.KeyExists(kLm, neighbourInterface + "\\" + deep));

    EXPECT_EQ(cleaner.DeleteTreeAt(kLm, IDS_REG_ENUM_USB_CS001, IDS_HWID_FUNCTION0), 0);
    // The long instance comes first and cannot be granted: nothing went.
    EXPECT_TRUE(machine.registry.KeyExists(kLm, device + "\\" + name255 + "\\Device Parameters"));
    EXPECT_TRUE(machine.registry.KeyExists(kLm, device + "\\zz&short"));
    EXPECT_TRUE(machine.registry.KeyExists(kLm, usb + "\\VID_1F3C&PID_6B070\\" + name255));
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }

  // Windows 98: one key deletion takes the deep tree; the neighbour stays.
  {
    sim::Machine& machine = FreshMachine(OptionsFor(WindowsVersion::Windows98));
    machine.registry.CreateKey(kLm, "Enum\\USB\\VID_1F3C&PID_6B07\\" + deep);
    machine.registry.CreateKey(kLm, "Enum\\USB\\VID_1F3C&PID_6B070\\" + deep);
    RegistryCleaner cleaner(1);
    EXPECT_EQ(cleaner.DeleteSubkeyById(kLm, IDS_REG9X_ENUM_USB, IDS_HWID_FUNCTION0), 1);
    EXPECT_FALSE(machine.registry.KeyExists(kLm, "Enum\\USB\\VID_1F3C&PID_6B07"));
    EXPECT_TRUE(machine.registry.KeyExists(kLm, "Enum\\USB\\VID_1F3C&PID_6B070\\" + deep));
    // The driver key walk below a deep tree ends too.
    EXPECT_EQ(cleaner.DeleteDriverKeys("Enum\\USB\\VID_1F3C&PID_6B070",
                                       "System\\CurrentControlSet\\Services\\Class"),
              1);
    EXPECT_EQ(MessageBoxTexts(), "");
    EXPECT_EQ(OpenHandles(), "");
  }
}

}  // namespace
