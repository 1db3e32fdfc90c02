#include "tests/trace/snapshot_diff.h"

#include <gtest/gtest.h>

namespace trace {
namespace {

Snapshot Make(std::initializer_list<Entry> entries) {
  Snapshot snapshot;
  for (const Entry& entry : entries) snapshot.emplace(entry.path, entry);
  return snapshot;
}

std::string Describe(const std::vector<Difference>& differences) {
  std::string text;
  for (const Difference& d : differences) {
    text += std::string(ChangeName(d.change)) + " " + d.path + " [" +
            (d.kindBefore ? std::string(1, d.kindBefore) : "-") + " " + d.detailBefore + " | " +
            (d.kindAfter ? std::string(1, d.kindAfter) : "-") + " " + d.detailAfter + "]\n";
  }
  return text;
}

TEST(SnapshotDiff, AddedChangedAndRemovedKeysValuesAndFiles) {
  Snapshot before = Make({
      {'K', "HKLM\\S", ""},
      {'V', "HKLM\\S|Flag", "REG_DWORD 0x00000000"},
      {'V', "HKLM\\S|Same", "REG_SZ \"x\""},
      {'K', "HKLM\\S\\Gone", ""},
      {'F', "C:\\w\\inf\\a.inf", "size=1 fnv=1 attr=0x20"},
      {'F', "C:\\w\\inf\\b.inf", "size=1 fnv=2 attr=0x20"},
  });
  Snapshot after = Make({
      {'K', "HKLM\\S", ""},
      {'V', "HKLM\\S|Flag", "REG_DWORD 0x00000001"},
      {'V', "HKLM\\S|New", "REG_SZ \"\""},
      {'V', "HKLM\\S|Same", "REG_SZ \"x\""},
      {'F', "C:\\w\\inf\\a.inf", "size=1 fnv=9 attr=0x20"},
      {'F', "C:\\w\\inf\\c.inf", "size=1 fnv=3 attr=0x20"},
  });
  EXPECT_EQ(Describe(DiffSnapshots(before, after)),
            "changed C:\\w\\inf\\a.inf [F size=1 fnv=1 attr=0x20 | F size=1 fnv=9 attr=0x20]\n"
            "removed C:\\w\\inf\\b.inf [F size=1 fnv=2 attr=0x20 | - ]\n"
            "added C:\\w\\inf\\c.inf [-  | F size=1 fnv=3 attr=0x20]\n"
            "changed HKLM\\S|Flag [V REG_DWORD 0x00000000 | V REG_DWORD 0x00000001]\n"
            "added HKLM\\S|New [-  | V REG_SZ \"\"]\n"
            "removed HKLM\\S\\Gone [K  | - ]\n");
  EXPECT_TRUE(DiffSnapshots(after, after).empty());
  EXPECT_TRUE(DiffSnapshots({}, {}).empty());
}

TEST(SnapshotDiff, ARemovedTreeIsListedEntryByEntry) {
  Snapshot before = Make({
      {'K', "HKLM\\Maker", ""},
      {'V', "HKLM\\Maker|v", "REG_SZ \"1\""},
      {'K', "HKLM\\Maker\\Sub", ""},
      {'V', "HKLM\\Maker\\Sub|w", "REG_SZ \"2\""},
      {'K', "HKLM\\Other", ""},
  });
  Snapshot after = Make({{'K', "HKLM\\Other", ""}});
  std::vector<Difference> differences = DiffSnapshots(before, after);
  ASSERT_EQ(differences.size(), 4u);
  for (const Difference& d : differences) EXPECT_EQ(d.change, Change::kRemoved) << d.path;
  EXPECT_EQ(differences[0].path, "HKLM\\Maker");
  EXPECT_EQ(differences[3].path, "HKLM\\Maker\\Sub|w");
  // The same tree appearing is the mirror image.
  std::vector<Difference> added = DiffSnapshots(after, before);
  ASSERT_EQ(added.size(), 4u);
  EXPECT_EQ(added[1].change, Change::kAdded);
  EXPECT_EQ(added[1].path, "HKLM\\Maker|v");
}

TEST(SnapshotDiff, KindAndReadabilityChangesAreChanges) {
  Snapshot before = Make({{'K', "HKLM\\S\\ControlSet001", ""},
                          {'K', "HKLM\\S\\Locked", ""},
                          {'K', "HKLM\\S\\Name", ""}});
  Snapshot after = Make({{'L', "HKLM\\S\\ControlSet001", "\\Registry\\Machine\\X"},
                         {'K', "HKLM\\S\\Locked", "unreadable 5"},
                         {'K', "HKLM\\S\\NAME", ""}});
  EXPECT_EQ(Describe(DiffSnapshots(before, after)),
            "changed HKLM\\S\\ControlSet001 [K  | L \\Registry\\Machine\\X]\n"
            "changed HKLM\\S\\Locked [K  | K unreadable 5]\n"
            "added HKLM\\S\\NAME [-  | K ]\n"
            "removed HKLM\\S\\Name [K  | - ]\n");
}

}  // namespace
}  // namespace trace
