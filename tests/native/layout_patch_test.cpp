#include "engine/layout_patch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(LayoutPatch, SlotTable) {
  struct Case {
    int32_t version;
    uint16_t arch;
    bool served;
    int slot32, slot64;
  };
  const Case cases[] = {
      {50, 0, true, 0, -1},         {50, 9, true, 0, -1},   {51, 6, true, 1, -1},
      {52, 0, true, 2, -1},         {52, 6, true, 2, 3},    {52, 9, true, 2, 4},
      {52, 5, false, -1, -1},       {60, 6, true, 5, 6},    {60, 9, true, 5, 7},
      {61, 0, true, 8, -1},         {61, 6, true, 8, 9},    {61, 9, true, 8, 10},
      {62, 0, true, 11, -1},        {63, 6, false, -1, -1}, {63, 9, true, 11, 12},
      {100, 9, true, 11, 12},       {55, 0, true, 11, -1},  {49, 9, true, 11, 12},
      {100, 0xFFFF, false, -1, -1},
  };
  for (const Case& c : cases) {
    LayoutSlots slots;
    EXPECT_EQ(SelectLayoutSlots(c.version, c.arch, slots), c.served) << c.version << "/" << c.arch;
    EXPECT_EQ(slots.Slot32, c.slot32) << c.version << "/" << c.arch;
    EXPECT_EQ(slots.Slot64, c.slot64) << c.version << "/" << c.arch;
  }
}

TEST(LayoutPatch, HexPatterns) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"00FFA5", true, {0x00, 0xFF, 0xA5}},
      {"0A1B2", true, {0x0A, 0x1B}},  // an odd last digit is ignored
      {"0a1b", false, {}},            // lower case is not a digit
      {"0G", false, {}},
      {"", false, {}},
      {"7", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = {9};
    EXPECT_EQ(DecodeHexText(c.text, std::strlen(c.text), bytes), c.ok) << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

// A small image laid out as a layout library's tables are: a marker before
// the base array, the E0 and E1 records, the decimal key's characters.
struct Image {
  Image() : bytes(600, 0x11) {
    base = 10;
    std::memcpy(&bytes[base], "BASE", 4);  // the pattern is the array's first bytes
    e0 = 300;
    const uint8_t e0Records[] = {0x1C, 0, 0x0D, 0x01, 0x5B, 0, 0x5B, 0x01, 0, 0, 0, 0};
    std::memcpy(&bytes[e0], e0Records, sizeof e0Records);
    e1 = 340;
    const uint8_t e1Records[] = {0x1D, 0, 0x13, 0x00, 0, 0, 0, 0};
    std::memcpy(&bytes[e1], e1Records, sizeof e1Records);
    decimal = 400;
    const uint8_t decimalChars[] = {'.', 0, '.', 0};
    std::memcpy(&bytes[decimal], decimalChars, sizeof decimalChars);
    patterns.Base = {'B', 'A', 'S', 'E'};
    patterns.E0 = {0x1C, 0, 0x0D, 0x01};
    patterns.E1 = {0x1D, 0, 0x13, 0x00};
    patterns.Decimal = {'.', 0, '.', 0};
  }
  uint16_t At(size_t offset) const { return uint16_t(bytes[offset] | bytes[offset + 1] << 8); }

  std::vector<uint8_t> bytes;
  size_t base, e0, e1, decimal;
  LayoutPatterns patterns;
};

TEST(LayoutPatch, WritesExactlyTheChosenKeys) {
  Image image;
  const KeyMapEntry map[] = {
      {0x003A, 0x00A2, 0, 0},  // Caps Lock as Left Ctrl: base array
      {0x0010, 0x0000, 0, 0},  // unchanged
      {0x00FF, 0x0041, 0, 0},  // beyond the array and not extended: never written
      {0xE05B, 0x015D, 0, 0},  // Left Windows as Apps: E0 record
      {0xE05C, 0x015D, 0, 0},  // not in this build's E0 records: nothing, no failure
      {0xE11D, 0x0091, 0, 0},  // Pause: E1 record
      {0x0000, 0x0000, 0, 0},
  };
  std::vector<uint8_t> expected = image.bytes;
  expected[image.base + 2 * 0x3A] = 0xA2;
  expected[image.base + 2 * 0x3A + 1] = 0x00;
  expected[image.e0 + 6] = 0x5D;
  expected[image.e1 + 2] = 0x91;
  expected[image.decimal] = ',';
  expected[image.decimal + 2] = ',';

  ASSERT_EQ(PatchLayoutImage(image.bytes.data(), image.bytes.size(), map, 7, image.patterns),
            PatchResult::Patched);
  EXPECT_EQ(image.bytes, expected);
}

TEST(LayoutPatch, CommaPatchIsOptional) {
  Image image;
  image.patterns.Decimal.clear();
  image.patterns.Base = {'n', 'o', 'n', 'e'};  // not needed without a key map
  ASSERT_EQ(PatchLayoutImage(image.bytes.data(), image.bytes.size(), nullptr, 0, image.patterns),
            PatchResult::Patched);
  EXPECT_EQ(image.At(image.decimal), '.');
}

TEST(LayoutPatch, FailuresStayInsideTheImage) {
  const KeyMapEntry map[] = {{0xE05B, 0x015D, 0, 0}, {0, 0, 0, 0}};
  struct Case {
    const char* name;
    size_t size;
    void (*change)(Image&);
    PatchResult result;
  };
  const Case cases[] = {
      {"base pattern missing", 600,
       [](Image& i) {
         i.patterns.Base = {'X', 'Y'};
       },
       PatchResult::PatternNotFound},
      {"E1 pattern missing", 600, [](Image& i) { i.patterns.E1.clear(); },
       PatchResult::PatternNotFound},
      {"base array cut by the end", 200, [](Image&) {}, PatchResult::OutOfImage},
      {"E0 records without terminator", 600,
       [](Image& i) {
         i.bytes.resize(i.e0 + 8);  // the walk reaches the end before a zero record
         i.bytes[i.e0 + 4] = 0x1F;
       },
       PatchResult::OutOfImage},
      {"decimal characters cut", 600,
       [](Image& i) {
         i.bytes.resize(i.decimal + 2);
         i.patterns.Decimal = {'.', 0};
       },
       PatchResult::OutOfImage},
  };
  for (const Case& c : cases) {
    Image image;
    image.bytes.resize(std::min(image.bytes.size(), c.size));
    c.change(image);
    EXPECT_EQ(PatchLayoutImage(image.bytes.data(), image.bytes.size(), map, 2, image.patterns),
              c.result)
        << c.name;
  }
}

}  // namespace
