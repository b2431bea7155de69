#include "core/key_map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/scancode_map.h"

namespace {

// A working copy as the installer starts it: defaults everywhere.
struct WorkingMap {
  WorkingMap() {
    std::memcpy(rows, KeyTable, sizeof rows);
    for (KeyMapEntry& row : rows) row.VirtualKey = 0;
  }
  KeyMapEntry& Row(uint16_t scancode) { return *FindKeyRow(rows, KeyTableRows, scancode); }
  KeyMapEntry rows[KeyTableRows];
};

TEST(KeyMap, FindStopsAtTheEndOfTheTable) {
  WorkingMap map;
  ASSERT_NE(FindKeyRow(map.rows, KeyTableRows, 0xE11D), nullptr);
  EXPECT_EQ(FindKeyRow(map.rows, KeyTableRows, 0x0000), nullptr);  // rows 144, 145 are not keys
  EXPECT_EQ(FindKeyRow(map.rows, KeyTableRows, 0x0077), nullptr);
  EXPECT_EQ(FindKeyRow(static_cast<KeyMapEntry*>(nullptr), 0, 0x0001), nullptr);
}

TEST(KeyMap, ScancodeMapImport) {
  WorkingMap map;
  const auto value = ScancodeMap({{0x001D, 0x003A},    // Caps Lock sends Left Ctrl
                                  {0x0000, 0xE05B},    // Left Windows disabled
                                  {0x001E, 0x001E},    // A onto itself: unchanged
                                  {0x0030, 0x0077}});  // a key the table lacks
  ASSERT_EQ(ApplyScancodeMap(map.rows, KeyTableRows, value.data(), uint32_t(value.size())), 1);
  EXPECT_EQ(map.Row(0x003A).TargetScancode, 0x001D);
  EXPECT_EQ(map.Row(0xE05B).TargetScancode, KeyDisabled);
  EXPECT_EQ(map.Row(0x001E).TargetScancode, 0);
  int changed = 0;
  for (const KeyMapEntry& row : map.rows) changed += row.TargetScancode != 0;
  EXPECT_EQ(changed, 2);
}

TEST(KeyMap, MalformedScancodeMapsChangeNothing) {
  const auto good = ScancodeMap({{0x001D, 0x003A}});
  const auto noMappings = ScancodeMap({});
  const auto countTooLarge = ScancodeMap({{0x001D, 0x003A}}, 1);
  const auto countHuge = ScancodeMap({{0x001D, 0x003A}}, 0x3FFFFFFF);
  struct Case {
    const char* name;
    const uint8_t* data;
    uint32_t size;
  };
  const Case cases[] = {
      {"null", nullptr, 20},
      {"shorter than a header", good.data(), 15},
      {"count 1", noMappings.data(), uint32_t(noMappings.size())},
      {"count beyond the data", countTooLarge.data(), uint32_t(countTooLarge.size())},
      {"count that wraps", countHuge.data(), uint32_t(countHuge.size())},
      {"cut terminator", good.data(), uint32_t(good.size() - 1)},
  };
  for (const Case& c : cases) {
    WorkingMap map;
    EXPECT_EQ(ApplyScancodeMap(map.rows, KeyTableRows, c.data, c.size), 0) << c.name;
    EXPECT_EQ(std::memcmp(map.rows, WorkingMap().rows, sizeof map.rows), 0) << c.name;
  }
}

TEST(KeyMap, SavedPairsAndPacking) {
  WorkingMap map;
  const uint8_t pairs[] = {
      0x10, 0x00, 0x00, 0x00,  // Q, no virtual key: nothing
      0x11, 0x00, 0x57, 0x00,  // W onto its own default: unchanged
      0x3A, 0x00, 0xA2, 0x00,  // Caps Lock as Left Ctrl
      0x77, 0x00, 0x41, 0x00,  // a key the table lacks
      0x5B, 0xE0, 0x5D, 0x01,  // Left Windows as Apps
      0x01, 0x00,              // half a pair at the end
  };
  ApplyKeyPairs(map.rows, KeyTableRows, pairs, sizeof pairs);
  EXPECT_EQ(map.Row(0x0010).VirtualKey, 0);
  EXPECT_EQ(map.Row(0x0011).VirtualKey, 0);
  EXPECT_EQ(map.Row(0x003A).VirtualKey, 0x00A2);
  EXPECT_EQ(map.Row(0xE05B).VirtualKey, 0x015D);

  uint32_t size = 1;
  auto packed = PackKeyPairs(map.rows, KeyTableRows, size);
  const std::vector<uint8_t> expected = {0x3A, 0x00, 0xA2, 0x00, 0x5B, 0xE0, 0x5D, 0x01};
  ASSERT_EQ(size, expected.size());
  EXPECT_EQ(std::vector<uint8_t>(packed.get(), packed.get() + size), expected);
}

TEST(KeyMap, PackingAnUnchangedMapGivesAnEmptyBuffer) {
  WorkingMap map;
  map.Row(0x0010).VirtualKey = 0x0051;  // Q onto its default is normalised away
  uint32_t size = 99;
  auto packed = PackKeyPairs(map.rows, KeyTableRows, size);
  EXPECT_NE(packed, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(map.Row(0x0010).VirtualKey, 0);
}

TEST(KeyMap, ScancodeMapRoundTrip) {
  WorkingMap map;
  EXPECT_EQ(BuildScancodeMap(map.rows, KeyTableRows), ScancodeMap({}));  // the 16-byte empty map
  map.Row(0xE05B).TargetScancode = KeyDisabled;
  map.Row(0x003A).TargetScancode = 0x001D;
  const auto value = BuildScancodeMap(map.rows, KeyTableRows);
  // Table order: Caps Lock comes before the Windows key; disabled sends 0.
  EXPECT_EQ(value, ScancodeMap({{0x001D, 0x003A}, {0x0000, 0xE05B}}));

  WorkingMap imported;
  ASSERT_EQ(ApplyScancodeMap(imported.rows, KeyTableRows, value.data(), uint32_t(value.size())), 1);
  EXPECT_EQ(std::memcmp(imported.rows, map.rows, sizeof map.rows), 0);
}

// Writing the map keeps what others mapped: entries for keys the table does
// not hold survive; entries for the table's keys are ours to replace.
TEST(KeyMap, ScancodeMapKeepsForeignMappings) {
  WorkingMap map;
  map.Row(0x003A).TargetScancode = 0x001D;  // ours: Caps Lock sends Left Ctrl
  const std::vector<uint8_t> wrongCount = [] {
    auto v = ScancodeMap({{0x0030, 0x0077}}, 5);  // counts more than it holds
    return v;
  }();
  const std::vector<uint8_t> noTerminatorRoom = [] {
    auto v = ScancodeMap({{0x0030, 0x0077}});
    v.resize(v.size() - 2);
    return v;
  }();
  const std::vector<uint8_t> zeroCount = [] {
    auto v = ScancodeMap({{0x0030, 0x0077}});
    v[8] = 0;
    return v;
  }();
  struct Case {
    const char* name;
    std::vector<uint8_t> existing;
    std::vector<std::pair<uint16_t, uint16_t>> expected;
  };
  const Case cases[] = {
      {"no map", {}, {{0x001D, 0x003A}}},
      {"empty map", ScancodeMap({}), {{0x001D, 0x003A}}},
      {"foreign entry kept after ours",
       ScancodeMap({{0x0030, 0x0077}, {0xE020, 0x0070}}),
       {{0x001D, 0x003A}, {0x0030, 0x0077}, {0xE020, 0x0070}}},
      {"our own keys replaced, a disabled foreign key kept",
       ScancodeMap({{0x0001, 0x003A}, {0x0000, 0x0077}, {0x0010, 0x001E}}),
       {{0x001D, 0x003A}, {0x0000, 0x0077}}},
      {"the last of several mappings of one foreign key",
       ScancodeMap({{0x0030, 0x0077}, {0x0031, 0x0070}, {0x0032, 0x0077}}),
       {{0x001D, 0x003A}, {0x0031, 0x0070}, {0x0032, 0x0077}}},
      {"a zero physical key maps nothing", ScancodeMap({{0x0030, 0x0000}}), {{0x001D, 0x003A}}},
      {"count larger than the value", wrongCount, {{0x001D, 0x003A}}},
      {"value cut short", noTerminatorRoom, {{0x001D, 0x003A}}},
      {"count of zero", zeroCount, {{0x001D, 0x003A}}},
      {"shorter than a header", {0, 0, 0, 0, 0, 0, 0, 0, 2, 0}, {{0x001D, 0x003A}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto value =
        BuildScancodeMap(map.rows, KeyTableRows, c.existing.empty() ? nullptr : c.existing.data(),
                         uint32_t(c.existing.size()));
    EXPECT_EQ(value, ScancodeMap(c.expected));
  }

  // With nothing of ours remapped, the foreign entries alone make the map.
  WorkingMap unchanged;
  const auto foreignOnly = ScancodeMap({{0x0030, 0x0077}});
  EXPECT_EQ(BuildScancodeMap(unchanged.rows, KeyTableRows, foreignOnly.data(),
                             uint32_t(foreignOnly.size())),
            foreignOnly);
}

}  // namespace
