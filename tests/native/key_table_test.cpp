#include "core/key_table.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(KeyTable, EndsAtTheFirstZeroScancode) {
  for (int i = 0; i < KeyTableEndRow; ++i) EXPECT_NE(KeyTable[i].Scancode, 0) << "row " << i;
  EXPECT_EQ(KeyTable[KeyTableEndRow].Scancode, 0);
  EXPECT_EQ(KeyTable[KeyTableEndRow].LabelId, 154);
  EXPECT_EQ(KeyTable[KeyTableRows - 1].Scancode, 0);
  EXPECT_EQ(KeyTable[KeyTableRows - 1].LabelId, 0);
}

TEST(KeyTable, EveryKeyIsListedOnceAndUnmapped) {
  std::set<uint16_t> seen;
  for (int i = 0; i < KeyTableRows; ++i) {
    EXPECT_EQ(KeyTable[i].TargetScancode, 0) << "row " << i;
    if (i < KeyTableEndRow) {
      EXPECT_TRUE(seen.insert(KeyTable[i].Scancode).second) << "row " << i;
    }
  }
}

// Rows whose place other code relies on: the first and last keys, the keypad's
// decimal key, the extended and E1 keys.
TEST(KeyTable, KnownRows) {
  struct Row {
    int index;
    KeyMapEntry entry;
  };
  const Row rows[] = {
      {0, {0x0001, 0x001B, 175, 0}},   {27, {0x001C, 0x000D, 169, 0}},
      {82, {0x0053, 0x0C2E, 190, 0}},  {103, {0x00FF, 0x00FF, 326, 0}},
      {104, {0xE010, 0x01B1, 298, 0}}, {129, {0xE05B, 0x015B, 228, 0}},
      {143, {0xE11D, 0x0013, 173, 0}},
  };
  for (const Row& r : rows) {
    const KeyMapEntry& e = KeyTable[r.index];
    EXPECT_EQ(e.Scancode, r.entry.Scancode) << "row " << r.index;
    EXPECT_EQ(e.VirtualKey, r.entry.VirtualKey) << "row " << r.index;
    EXPECT_EQ(e.LabelId, r.entry.LabelId) << "row " << r.index;
  }
}

}  // namespace
