#include "core/registry_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8)});
  return bytes;
}

TEST(RegistryValue, TypeAndSizeRules) {
  struct Case {
    uint32_t expected, type, size;
    bool accepted;
  };
  const Case cases[] = {
      {RegistryText, RegistryText, 0, true},  // an empty text
      {RegistryText, RegistryText, MaxRegistryTextBytes, true},
      {RegistryText, RegistryText, MaxRegistryTextBytes + 1, false},
      {RegistryText, 2, 8, false},  // REG_EXPAND_SZ
      {RegistryText, 7, 8, false},  // REG_MULTI_SZ
      {RegistryText, RegistryBinary, 8, false},
      {RegistryNumber, RegistryNumber, 4, true},
      {RegistryNumber, RegistryNumber, 0, false},
      {RegistryNumber, RegistryNumber, 3, false},
      {RegistryNumber, RegistryNumber, 8, false},
      {RegistryNumber, 5, 4, false},   // REG_DWORD_BIG_ENDIAN
      {RegistryNumber, 11, 4, false},  // REG_QWORD
      {RegistryNumber, RegistryBinary, 4, false},
      {RegistryBinary, RegistryBinary, 1, true},
      {RegistryBinary, RegistryBinary, 0, false},
      {RegistryBinary, RegistryBinary, MaxRegistryBinaryBytes, true},
      {RegistryBinary, RegistryBinary, MaxRegistryBinaryBytes + 1, false},
      {RegistryBinary, RegistryBinary, 0xFFFFFFFF, false},
      {RegistryBinary, RegistryNumber, 4, false},
      {RegistryBinary, 0, 4, false},  // REG_NONE
      {0, 0, 4, false},               // no type is read as REG_NONE
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AcceptRegistryValue(c.expected, c.type, c.size), c.accepted)
        << c.expected << " " << c.type << " " << c.size;
  }
}

TEST(RegistryValue, TextEndsAtItsFirstNulOrWithItsData) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    const char16_t* expected;
  };
  const Case cases[] = {
      {"terminated", Utf16Bytes(std::u16string(u"abc", 4)), u"abc"},
      {"no terminator", Utf16Bytes(u"abc"), u"abc"},
      {"odd last byte",
       [] {
         auto v = Utf16Bytes(u"abc");
         v.push_back('d');
         return v;
       }(),
       u"abc"},
      {"embedded NUL", Utf16Bytes(std::u16string(u"ab\0cd", 5)), u"ab"},
      {"zero size", {}, u""},
      {"one byte", {'a'}, u""},
      {"only a NUL", {0, 0}, u""},
      {"beyond Latin-1", Utf16Bytes(u"\u0416\U0001F600"), u"\u0416\U0001F600"},
  };
  for (const Case& c : cases) {
    GString text;
    text.AssignWide(u"before");
    ASSERT_EQ(DecodeRegistryText(RegistryText, c.data.empty() ? nullptr : c.data.data(),
                                 uint32_t(c.data.size()), text),
              1)
        << c.name;
    EXPECT_EQ(std::u16string(text.WideText(0), size_t(text.Length())), c.expected) << c.name;
  }

  // Not a text: the old text stays.
  GString text;
  text.AssignWide(u"kept");
  const auto data = Utf16Bytes(u"x");
  EXPECT_EQ(DecodeRegistryText(2, data.data(), uint32_t(data.size()), text), 0);
  EXPECT_EQ(DecodeRegistryText(RegistryText, nullptr, 4, text), 0);
  EXPECT_EQ(std::u16string(text.WideText(0)), u"kept");
}

TEST(RegistryValue, NumberIsFourBytesLeastSignificantFirst) {
  const uint8_t data[] = {0x78, 0x56, 0x34, 0x12, 0x00};
  uint32_t value = 7;
  ASSERT_EQ(DecodeRegistryNumber(RegistryNumber, data, 4, value), 1);
  EXPECT_EQ(value, 0x12345678u);
  value = 7;
  EXPECT_EQ(DecodeRegistryNumber(RegistryNumber, data, 5, value), 0);
  EXPECT_EQ(DecodeRegistryNumber(RegistryNumber, data, 2, value), 0);
  EXPECT_EQ(DecodeRegistryNumber(5, data, 4, value), 0);
  EXPECT_EQ(DecodeRegistryNumber(RegistryNumber, nullptr, 4, value), 0);
  EXPECT_EQ(value, 7u);
}

}  // namespace
