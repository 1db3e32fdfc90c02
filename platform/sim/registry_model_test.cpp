#include "platform/sim/registry_model.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>

#include "platform/registry.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

MachineOptions Version(WindowsVersion version) {
  MachineOptions options;
  options.version = version;
  return options;
}

TEST(RegistryModel, CurrentControlSetReachesTheKeysOfTheSelectedControlSet) {
  Machine& machine = ResetMachine(Version(WindowsVersion::WindowsXPSP3));
  RegistryModel& reg = machine.registry;
  HKEY key = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Phone",
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD one = 1;
  ASSERT_EQ(plat::RegSetValueExA(key, "Start", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
            ERROR_SUCCESS);
  ASSERT_EQ(plat::RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(reg.GetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Phone", "Start"),
            1u);
  EXPECT_FALSE(reg.KeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\Phone"));

  reg.SetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", "Current", 2);
  EXPECT_FALSE(reg.KeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Phone"));
  EXPECT_TRUE(reg.KeyExists(HKEY_LOCAL_MACHINE, "system\\currentcontrolset\\Services\\Serial"));
  // Listed once in a snapshot, as a link.
  std::string text = reg.SnapshotText();
  EXPECT_NE(text.find("HKLM\\SYSTEM\\CurrentControlSet  -> (CurrentControlSet link)"),
            std::string::npos);
  EXPECT_EQ(text.find("CurrentControlSet\\Services"), std::string::npos);
  // The NT family refuses to delete the control set through the link: it has sub-keys.
  EXPECT_EQ(plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet"),
            ERROR_ACCESS_DENIED);
}

TEST(RegistryModel, Windows9xDeletesWholeTreesAndItsOpenHandlesSeeTheKeyDeleted) {
  Machine& machine = ResetMachine(Version(WindowsVersion::Windows98));
  RegistryModel& reg = machine.registry;
  reg.SetString(HKEY_LOCAL_MACHINE, "Enum\\KV6CR\\guid\\0000", "Portname", "COM5");
  HKEY instance = nullptr;
  ASSERT_EQ(
      plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\KV6CR\\guid\\0000", 0, KEY_READ, &instance),
      ERROR_SUCCESS);
  EXPECT_EQ(plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\KV6CR"), ERROR_SUCCESS);
  EXPECT_FALSE(reg.KeyExists(HKEY_LOCAL_MACHINE, "Enum\\KV6CR"));
  EXPECT_TRUE(reg.KeyExists(HKEY_LOCAL_MACHINE, "Enum\\Root"));
  DWORD size = 0;
  EXPECT_EQ(plat::RegQueryValueExA(instance, "Portname", nullptr, nullptr, nullptr, &size),
            ERROR_KEY_DELETED);
  EXPECT_EQ(plat::RegCloseKey(instance), ERROR_SUCCESS);
  EXPECT_EQ(machine.handles.OpenCount(HandleKind::RegistryKey), 0u);
}

TEST(RegistryModel, Windows9xKeysIgnoreAccessRightsAndTakeTheTextLengthFromTheText) {
  Machine& machine = ResetMachine(Version(WindowsVersion::WindowsMe));
  HKEY key = nullptr;
  ASSERT_EQ(
      plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", 0, KEY_READ, &key),
      ERROR_SUCCESS);
  EXPECT_EQ(plat::RegSetValueExA(key, "COM5", 0, REG_SZ, reinterpret_cast<const BYTE*>("COM5"), 2),
            ERROR_SUCCESS);
  EXPECT_EQ(plat::RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(
      machine.registry.GetValue(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", "COM5")
          ->data.size(),
      5u);
}

TEST(RegistryModel, EveryOpenIsACountedHandleAndForcedFailuresReturnTheirError) {
  Machine& machine = ResetMachine();
  HKEY first = nullptr;
  HKEY second = nullptr;
  ASSERT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &first), ERROR_SUCCESS);
  ASSERT_EQ(plat::RegOpenKeyExA(first, "Select", 0, KEY_READ, &second), ERROR_SUCCESS);
  EXPECT_EQ(machine.handles.OpenCount(HandleKind::RegistryKey), 2u);
  EXPECT_EQ(plat::RegCloseKey(first), ERROR_SUCCESS);
  EXPECT_EQ(plat::RegCloseKey(second), ERROR_SUCCESS);
  EXPECT_EQ(machine.handles.OpenCount(), 0u);
  EXPECT_EQ(machine.registry.BoundHandleCount(), 0u);

  machine.faults.FailOn("RegOpenKeyExA", 1, ERROR_ACCESS_DENIED);
  HKEY key = nullptr;
  EXPECT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(machine.handles.OpenCount(), 0u);
  EXPECT_EQ(machine.faults.Calls("RegOpenKeyExA"), 3u);
}

TEST(RegistryModel, AccessCheckHookDecidesOpensAndDeletes) {
  Machine& machine = ResetMachine();
  RegistryModel& reg = machine.registry;
  reg.CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Enum\\USB\\Locked");
  reg.SetAccessCheck([](const RegKey& key, REGSAM desired) -> LSTATUS {
    return key.name == "Locked" && (desired & DELETE) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  });
  EXPECT_EQ(plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Enum\\USB\\Locked"),
            ERROR_ACCESS_DENIED);
  reg.SetAccessCheck(nullptr);
  EXPECT_EQ(plat::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Enum\\USB\\Locked"),
            ERROR_SUCCESS);
}

// Reads by index in every order the walks use (forward, repeated, backwards,
// jumps) mixed with inserts and erases before, at and after the last index
// read, each answered as a fresh walk over the sorted names would answer it.
TEST(RegistryModel, SubKeyReadsByIndexMatchAFreshWalkThroughInsertsAndErases) {
  SubKeyMap keys;
  std::map<std::string, KeyRef> reference;
  std::mt19937 random(20261208);
  auto nameOf = [](unsigned n) { return "K" + std::to_string(n); };
  size_t last = 0;
  for (int step = 0; step < 20000; ++step) {
    unsigned choice = random() % 10;
    if (choice < 2) {
      std::string name = nameOf(random() % 300);
      KeyRef key = std::make_shared<RegKey>();
      key->name = name;
      keys.Insert(name, key);
      reference[name] = key;
    } else if (choice < 4) {
      std::string name = nameOf(random() % 300);
      EXPECT_EQ(keys.Erase(name), reference.erase(name) == 1);
    } else if (choice == 4 && step % 97 == 0) {
      keys.Clear();
      reference.clear();
    } else {
      // Mostly the next index or the same one again, as the walks read.
      size_t index = choice < 7 ? last + 1 : choice < 8 ? last : random() % (reference.size() + 2);
      last = index;
      auto it = keys.AtIndex(index);
      if (index >= reference.size()) {
        ASSERT_TRUE(it == keys.end()) << "step " << step;
        last = 0;
        continue;
      }
      auto expected = std::next(reference.begin(), static_cast<ptrdiff_t>(index));
      ASSERT_TRUE(it != keys.end()) << "step " << step;
      ASSERT_EQ(it->first, expected->first) << "step " << step << " index " << index;
      ASSERT_EQ(it->second, expected->second);
    }
    ASSERT_EQ(keys.size(), reference.size());
    if (step % 1000 == 999) {
      // A copy answers on its own, whatever place the original had.
      SubKeyMap copy(keys);
      keys.Clear();
      keys = copy;
    }
  }
}

TEST(RegistryModel, SnapshotsCompareWholeTrees) {
  Machine& machine = ResetMachine();
  RegistryModel& reg = machine.registry;
  std::vector<std::string> before = reg.Snapshot();
  reg.SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Bare", "x");
  std::vector<std::string> after = reg.Snapshot();
  EXPECT_NE(before, after);
  EXPECT_NE(reg.SnapshotText().find("HKLM\\SOFTWARE\\Test  \"Bare\" = REG_SZ \"x\\0\""),
            std::string::npos);
  reg.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test");
  EXPECT_EQ(before, reg.Snapshot());
}

}  // namespace
}  // namespace sim
