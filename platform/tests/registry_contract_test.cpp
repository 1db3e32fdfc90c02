// What the installer relies on from the registry operations, checked the same way
// on the simulated machine and on Windows (under Wine). Every case works below the
// scratch key in HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tests/contract_env.h"

namespace {

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetContractMachine();
    ASSERT_EQ(
        plat::RegOpenKeyExA(HKEY_CURRENT_USER, ContractScratchKey(), 0, KEY_ALL_ACCESS, &scratch_),
        ERROR_SUCCESS);
  }
  void TearDown() override {
    for (HKEY key : opened_) plat::RegCloseKey(key);
    if (scratch_) plat::RegCloseKey(scratch_);
  }

  // Creates a key below the scratch key and keeps the handle until the test ends.
  HKEY Create(const char* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(plat::RegCreateKeyExA(scratch_, path, 0, nullptr, 0, access, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    if (key) opened_.push_back(key);
    return key;
  }
  HKEY Open(const char* path, REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(plat::RegOpenKeyExA(scratch_, path, 0, access, &key), ERROR_SUCCESS) << path;
    if (key) opened_.push_back(key);
    return key;
  }
  static LSTATUS SetText(HKEY key, const char* name, const char* text) {
    return plat::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(std::strlen(text) + 1));
  }
  static LSTATUS SetDword(HKEY key, const char* name, DWORD value) {
    return plat::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                sizeof value);
  }
  static std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char name[300];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;
      LSTATUS status =
          plat::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) {
        EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
        return names;
      }
      names.push_back(name);
    }
  }
  static std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    char name[300];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;
      LSTATUS status =
          plat::RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) {
        EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
        return names;
      }
      names.push_back(name);
    }
  }

  HKEY scratch_ = nullptr;
  std::vector<HKEY> opened_;
};

TEST_F(RegistryContract, OpenOfAMissingKeyOrMissingMiddleComponentIsFileNotFound) {
  HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xdeadbeef));
  EXPECT_EQ(plat::RegOpenKeyExA(scratch_, "Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  Create("A");
  EXPECT_EQ(plat::RegOpenKeyExA(scratch_, "A\\B\\C", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchVendor\\NoSuchProduct", 0,
                                KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryContract, CreateTellsNewFromExistingAndNamesIgnoreCaseButKeepIt) {
  HKEY first = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(plat::RegCreateKeyExA(scratch_, "Mixed\\CaseKey", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &first, &disposition),
            ERROR_SUCCESS);
  opened_.push_back(first);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  HKEY second = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(scratch_, "MIXED\\casekey", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &second, &disposition),
            ERROR_SUCCESS);
  opened_.push_back(second);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  // Both handles name one key: a value written through one is read through the other.
  ASSERT_EQ(SetDword(first, "Flag", 7), ERROR_SUCCESS);
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  EXPECT_EQ(plat::RegQueryValueExA(second, "FLAG", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                   &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(SubKeys(Open("mixed", KEY_READ)), std::vector<std::string>{"CaseKey"});
}

TEST_F(RegistryContract, SubKeysEnumerateSortedByUpperCasedName) {
  for (const char* name : {"b", "_under", "A", "c1", "C0"}) Create(name);
  // Microsoft documents no order ("subkeys are not ordered", RegEnumKeyEx).
  // Windows NT keeps each key's subkey list sorted by upper-cased name (the
  // hive format's index), so '_' (0x5F) comes after the letters. Wine
  // compares lower-cased names, which puts '_' before them.
  EXPECT_EQ(SubKeys(scratch_),
            SimElseWine<std::vector<std::string>>({"A", "b", "C0", "c1", "_under"},
                                                      {"_under", "A", "b", "C0", "c1"}));
}

// A walk that deletes or adds keys as it goes reads each index against the key
// as it is at that moment: a key removed before the index moves the later ones
// down, a key added before it moves them up, and the end follows the count.
TEST_F(RegistryContract, EnumerationByIndexSeesKeysAddedAndDeletedDuringTheWalk) {
  HKEY list = Create("List");
  std::vector<std::string> expected;
  for (int i = 0; i < 12; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "K%d", 10 + i);
    HKEY key = nullptr;
    ASSERT_EQ(plat::RegCreateKeyExA(list, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr),
              ERROR_SUCCESS);
    plat::RegCloseKey(key);
    expected.push_back(name);
  }
  const std::string noMoreItems = "(no more items)";
  auto at = [&](DWORD index) -> std::string {
    char name[32] = {};
    DWORD length = sizeof name;
    LSTATUS status =
        plat::RegEnumKeyExA(list, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) return name;
    return status == ERROR_NO_MORE_ITEMS ? noMoreItems : "(another error)";
  };
  auto remove = [&](const std::string& name) {
    EXPECT_EQ(plat::RegDeleteKeyA(list, name.c_str()), ERROR_SUCCESS) << name;
    expected.erase(std::find(expected.begin(), expected.end(), name));
  };
  auto add = [&](const std::string& name) {
    HKEY key = nullptr;
    EXPECT_EQ(plat::RegCreateKeyExA(list, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key, nullptr),
              ERROR_SUCCESS);
    plat::RegCloseKey(key);
    expected.insert(std::upper_bound(expected.begin(), expected.end(), name), name);
  };
  for (DWORD index = 0; index < 6; ++index) EXPECT_EQ(at(index), expected[index]);
  remove("K15");  // the key last read: the next one moves into its index
  EXPECT_EQ(at(5), "K16");
  remove("K11");  // a key before the one last read
  EXPECT_EQ(at(5), expected[5]);
  EXPECT_EQ(at(4), "K16");
  add("K12A");  // a key before the one last read
  EXPECT_EQ(at(5), "K16");
  add("K20A");  // a key after it
  for (DWORD index = 0; index < expected.size(); ++index) EXPECT_EQ(at(index), expected[index]);
  remove(expected.back());  // the last key, just read
  EXPECT_EQ(at(static_cast<DWORD>(expected.size())), noMoreItems);
  EXPECT_EQ(at(static_cast<DWORD>(expected.size() - 1)), expected.back());
  EXPECT_EQ(at(1), expected[1]);  // backwards, far from the last read
  // Through a second handle on the same key the walk sees the same changes.
  HKEY other = Open("List", KEY_ALL_ACCESS);
  EXPECT_EQ(plat::RegDeleteKeyA(other, expected[1].c_str()), ERROR_SUCCESS);
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(at(1), expected[1]);
  EXPECT_EQ(SubKeys(list), expected);
}

TEST_F(RegistryContract, EnumKeyNameBufferCountsCharactersAndRefusesOneTooSmall) {
  Create("Seven77");
  char name[16];
  std::memset(name, 'x', sizeof name);
  DWORD length = 7;  // the name without room for its terminator
  EXPECT_EQ(plat::RegEnumKeyExA(scratch_, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(length, 7u);
  length = 8;
  EXPECT_EQ(plat::RegEnumKeyExA(scratch_, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(length, 7u);
  EXPECT_STREQ(name, "Seven77");
  EXPECT_EQ(name[8], 'x');
  length = sizeof name;
  EXPECT_EQ(plat::RegEnumKeyExA(scratch_, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryContract, ValuesEnumerateInWriteOrderAndKeepTheirPlaceWhenRewritten) {
  HKEY key = Create("Values");
  ASSERT_EQ(SetText(key, "zeta", "1"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "Alpha", "2"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "mid", "3"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "ZETA", 4), ERROR_SUCCESS);
  // Microsoft documents no order ("values are not ordered", RegEnumValue);
  // Windows NT lists a key's values in the order they were first written (the
  // hive keeps an unsorted value list). Wine keeps them sorted by name.
  using Names = std::vector<std::string>;
  EXPECT_EQ(ValueNames(key), SimElseWine<Names>({"zeta", "Alpha", "mid"},
                                                    {"Alpha", "mid", "zeta"}));
  ASSERT_EQ(plat::RegDeleteValueA(key, "alpha"), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), SimElseWine<Names>({"zeta", "mid"}, {"mid", "zeta"}));
  EXPECT_EQ(plat::RegDeleteValueA(key, "alpha"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryContract, EnumValueThatDoesNotFitReportsMoreDataAndTheDataSize) {
  HKEY key = Create("Overflow");
  ASSERT_EQ(SetText(key, "Test", "foobar"), ERROR_SUCCESS);
  char name[20];
  BYTE data[20];
  std::strcpy(name, "xxxxxxxxxx");
  std::strcpy(reinterpret_cast<char*>(data), "xxxxxxxxxx");
  DWORD nameLength = 3;
  DWORD dataLength = 20;
  DWORD type = 1234;
  EXPECT_EQ(plat::RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, data, &dataLength),
            ERROR_MORE_DATA);
  EXPECT_EQ(nameLength, 3u);
  EXPECT_EQ(dataLength, 7u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  // Windows XP leaves both buffers untouched (Wine's own conformance tests,
  // advapi32 registry.c test_enum_value, record it for XP); Wine, as later
  // Windows, writes the name cut to fit.
  EXPECT_STREQ(name, SimElseWine("xxxxxxxxxx", "Te"));

  std::strcpy(name, "xxxxxxxxxx");
  nameLength = sizeof name;
  dataLength = 2;
  EXPECT_EQ(plat::RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, data, &dataLength),
            ERROR_MORE_DATA);
  EXPECT_EQ(dataLength, 7u);

  nameLength = 5;
  dataLength = 7;
  EXPECT_EQ(plat::RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, data, &dataLength),
            ERROR_SUCCESS);
  EXPECT_EQ(nameLength, 4u);
  EXPECT_STREQ(name, "Test");
  EXPECT_EQ(dataLength, 7u);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "foobar");
  nameLength = sizeof name;
  EXPECT_EQ(plat::RegEnumValueA(key, 1, name, &nameLength, nullptr, &type, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryContract, QueryValueSizesMissingValuesAndSmallBuffers) {
  HKEY key = Create("Query");
  ASSERT_EQ(SetText(key, "Name", "COM12"), ERROR_SUCCESS);
  DWORD size = 0;
  DWORD type = 0;
  EXPECT_EQ(plat::RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  char data[8];
  std::memset(data, 'x', sizeof data);
  size = 3;
  EXPECT_EQ(
      plat::RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
      ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  size = 6;
  EXPECT_EQ(
      plat::RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
      ERROR_SUCCESS);
  EXPECT_STREQ(data, "COM12");
  EXPECT_EQ(data[6], 'x');

  size = sizeof data;
  EXPECT_EQ(
      plat::RegQueryValueExA(key, "Other", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(plat::RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetText(key, "", "default"), ERROR_SUCCESS);
  size = sizeof data;
  EXPECT_EQ(
      plat::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
      ERROR_SUCCESS);
  EXPECT_STREQ(data, "default");
}

TEST_F(RegistryContract, StringSetWithoutTerminatorIsStoredAsGivenUnlessTheNextByteIsOne) {
  HKEY key = Create("Text");
  // The length leaves out the 'd': three bytes are stored, without terminator.
  ASSERT_EQ(plat::RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcd"), 3),
            ERROR_SUCCESS);
  char data[8];
  std::memset(data, 'x', sizeof data);
  DWORD size = 3;
  DWORD type = 0;
  EXPECT_EQ(
      plat::RegQueryValueExA(key, "Bare", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::memcmp(data, "abcx", 4), 0);  // exactly three bytes written
  // With room to spare the NT family adds a terminator it does not count.
  size = sizeof data;
  EXPECT_EQ(
      plat::RegQueryValueExA(key, "Bare", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_STREQ(data, "abc");
  // A length one short of a terminated text: the NT family stores the terminator.
  ASSERT_EQ(plat::RegSetValueExA(key, "Short", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
            ERROR_SUCCESS);
  size = 0;
  EXPECT_EQ(plat::RegQueryValueExA(key, "Short", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);

  BYTE binary[3] = {0, 0xFF, 0x10};
  ASSERT_EQ(plat::RegSetValueExA(key, "Bits", 0, REG_BINARY, binary, 3), ERROR_SUCCESS);
  ASSERT_EQ(plat::RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  BYTE read[4] = {};
  size = sizeof read;
  EXPECT_EQ(plat::RegQueryValueExA(key, "Bits", nullptr, &type, read, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::memcmp(read, binary, 3), 0);
  size = sizeof read;
  EXPECT_EQ(plat::RegQueryValueExA(key, "Empty", nullptr, &type, read, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
}

TEST_F(RegistryContract, QueryInfoCountsSubKeysValuesAndLongestNames) {
  HKEY key = Create("Info");
  Create("Info\\Short");
  Create("Info\\LongerName");
  ASSERT_EQ(SetText(key, "v", "12345"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "value2", 1), ERROR_SUCCESS);
  DWORD subKeys = 99, maxSubKey = 99, values = 99, maxValueName = 99, maxValue = 99;
  EXPECT_EQ(plat::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                                   &values, &maxValueName, &maxValue, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxSubKey, 10u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxValueName, 6u);
  // The NT family keeps text as UTF-16 and reports the longest data as stored.
  EXPECT_EQ(maxValue, 12u);
  // A predefined root is a handle too.
  EXPECT_EQ(plat::RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_GT(subKeys, 0u);
  EXPECT_EQ(plat::RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryContract, KeyWithSubKeysIsNotDeletedAndALeafIs) {
  Create("Tree\\Leaf");
  EXPECT_EQ(plat::RegDeleteKeyA(scratch_, "Tree"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(plat::RegDeleteKeyA(scratch_, "Tree\\Leaf"), ERROR_SUCCESS);
  EXPECT_EQ(plat::RegDeleteKeyA(scratch_, "Tree\\Leaf"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(plat::RegDeleteKeyA(scratch_, "tree"), ERROR_SUCCESS);
  EXPECT_EQ(SubKeys(scratch_), std::vector<std::string>{});
}

TEST_F(RegistryContract, HandleOfADeletedKeyAnswersKeyDeleted) {
  HKEY key = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(scratch_, "Doomed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
  ASSERT_EQ(plat::RegDeleteKeyA(scratch_, "Doomed"), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(plat::RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(SetDword(key, "w", 2), ERROR_KEY_DELETED);
  char name[32];
  DWORD length = sizeof name;
  EXPECT_EQ(plat::RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(plat::RegCloseKey(key), ERROR_SUCCESS);
  HKEY reopened = nullptr;
  EXPECT_EQ(plat::RegOpenKeyExA(scratch_, "Doomed", 0, KEY_READ, &reopened), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryContract, ClosedHandleIsInvalid) {
  HKEY key = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(scratch_, "Closed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(plat::RegCloseKey(key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(plat::RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(plat::RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryContract, HandleAllowsOnlyTheAccessItWasOpenedWith) {
  Create("Rights");
  HKEY reader = Open("Rights", KEY_READ);
  EXPECT_EQ(SetDword(reader, "v", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(plat::RegDeleteValueA(reader, "v"), ERROR_ACCESS_DENIED);
  HKEY writer = Open("Rights", KEY_SET_VALUE);
  EXPECT_EQ(SetDword(writer, "v", 1), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(plat::RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size),
            ERROR_ACCESS_DENIED);
  HKEY both = Open("Rights", KEY_READ | KEY_WRITE);
  EXPECT_EQ(plat::RegQueryValueExA(both, "v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(plat::RegDeleteValueA(both, "v"), ERROR_SUCCESS);
}

TEST_F(RegistryContract, NamesBeyondTheLimitsAreRefused) {
  std::string keyName(255, 'k');
  Create(keyName.c_str());
  keyName += 'k';
  HKEY key = nullptr;
  LSTATUS status = plat::RegCreateKeyExA(scratch_, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                         nullptr, &key, nullptr);
  // Microsoft, "Registry Element Size Limits": a key name holds at most 255
  // characters; Windows refuses a longer one with ERROR_INVALID_PARAMETER.
  // Wine accepts it.
  EXPECT_EQ(status, SimElseWine<LSTATUS>(ERROR_INVALID_PARAMETER, ERROR_SUCCESS));
  if (status == ERROR_SUCCESS) plat::RegCloseKey(key);

  HKEY values = Create("LongValues");
  std::string valueName(16383, 'v');
  EXPECT_EQ(SetDword(values, valueName.c_str(), 1), ERROR_SUCCESS);
  valueName += 'v';
  status = SetDword(values, valueName.c_str(), 1);
  // The same page: a value name holds at most 16,383 characters; Windows
  // refuses a longer one with ERROR_INVALID_PARAMETER, and so does Wine.
  EXPECT_EQ(status, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(plat::RegDeleteValueA(values, valueName.c_str()), ERROR_FILE_NOT_FOUND);
}

}  // namespace
