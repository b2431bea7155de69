#include "payload/guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Blob byte i is (7 i + 3) mod 256, so the expected bytes below can be
// worked out by hand: the XOR byte is blob[42] = 297 mod 256 = 0x29.
std::vector<uint8_t> PatternBlob(size_t size = 968) {
  std::vector<uint8_t> blob(size);
  for (size_t i = 0; i < size; ++i) blob[i] = uint8_t(i * 7 + 3);
  return blob;
}

TEST(Guard, AcceptsOnlyA968ByteBlob) {
  const auto blob = PatternBlob(969);
  CGuard guard;
  EXPECT_EQ(guard.Load(nullptr, 968), 0);
  EXPECT_EQ(guard.Load(blob.data(), 0), 0);
  EXPECT_EQ(guard.Load(blob.data(), 967), 0);
  EXPECT_EQ(guard.Load(blob.data(), 969), 0);
  EXPECT_FALSE(guard.HasKey());
  EXPECT_EQ(guard.Load(blob.data(), 968), 969);
  EXPECT_TRUE(guard.HasKey());
  // A refused blob also drops the key held before.
  EXPECT_EQ(guard.Load(blob.data(), 967), 0);
  EXPECT_FALSE(guard.HasKey());
}

TEST(Guard, UnscramblesWithTwoMovesAndOneXorPass) {
  const auto blob = PatternBlob();
  CGuard guard;
  ASSERT_NE(guard.Load(blob.data(), 968), 0);
  const uint8_t* k = guard.KeyBuffer;
  EXPECT_EQ(k[42], 0x29);                   // the XOR source itself is outside the pass
  EXPECT_EQ(k[103], 0xD4);                  // just before the pass: untouched
  EXPECT_EQ(k[104], uint8_t(0xDB ^ 0x29));  // blob[104] = 731 mod 256
  EXPECT_EQ(k[352], 0x8A);                  // first key byte: 0xA3 ^ 0x29
  EXPECT_EQ(k[395], 0x47);                  // second move: blob[637] = 0x6E, then ^ 0x29
  EXPECT_EQ(k[414], 0xDA);  // first move's byte, overwritten by the second: blob[656] ^ 0x29
  EXPECT_EQ(k[558], 0xE3);  // just after the pass: blob[558], moved there by the second move
  EXPECT_EQ(guard.Key(), k + 352);

  // The whole buffer against memmove and a plain loop.
  std::vector<uint8_t> expected = blob;
  std::memmove(&expected[414], &expected[240], 65);
  std::memmove(&expected[395], &expected[637], 205);
  const uint8_t x = expected[42];
  for (int i = 104; i < 104 + 454; ++i) expected[size_t(i)] ^= x;
  EXPECT_EQ(std::vector<uint8_t>(k, k + 968), expected);
}

TEST(Guard, MovesAndXorRespectTheBufferEnds) {
  struct Case {
    const char* what;
    int32_t from, to, count;
    int32_t xorFrom, xorKey, xorCount;
  };
  const Case cases[] = {
      {"forward move cut at the end", 900, 10, 100, 968, 0, 1},
      {"backward move cut at the end", 10, 900, 100, 968, 0, 1},
      {"source outside", 968, 10, 5, 968, 0, 1},
      {"destination outside", 10, -1, 5, 968, 0, 1},
      {"xor cut at the end", 968, 0, 0, 900, 5, 454},
      {"xor source outside", 968, 0, 0, 100, 968, 10},
      {"xor start outside", 968, 0, 0, -3, 5, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto blob = PatternBlob();
    CGuard guard;
    guard.FirstMoveFrom = c.from;
    guard.FirstMoveTo = c.to;
    guard.FirstMoveCount = c.count;
    guard.SecondMoveCount = 0;
    guard.XorFrom = c.xorFrom;
    guard.XorKeyIndex = c.xorKey;
    guard.XorCount = c.xorCount;
    ASSERT_NE(guard.Load(blob.data(), 968), 0);

    std::vector<uint8_t> expected = blob;
    const bool moveInside = c.from >= 0 && c.from < 968 && c.to >= 0 && c.to < 968;
    if (moveInside) {
      const int32_t n = std::min(c.count, 968 - std::max(c.from, c.to));
      std::memmove(&expected[size_t(c.to)], &expected[size_t(c.from)], size_t(n));
    }
    if (c.xorFrom >= 0 && c.xorFrom < 968 && c.xorKey >= 0 && c.xorKey < 968) {
      const uint8_t x = expected[size_t(c.xorKey)];
      for (int32_t i = c.xorFrom; i < std::min(968, c.xorFrom + c.xorCount); ++i)
        expected[size_t(i)] ^= x;
    }
    EXPECT_EQ(std::vector<uint8_t>(guard.KeyBuffer, guard.KeyBuffer + 968), expected);
  }
}

TEST(Guard, ClearWithoutKeyDoesNothing) {
  CGuard guard;
  guard.Clear();
  EXPECT_FALSE(guard.HasKey());
  uint32_t size = 64;
  EXPECT_EQ(guard.Extract(PatternBlob(64).data(), &size, nullptr), nullptr);
  EXPECT_EQ(size, 64u);
}

}  // namespace
