#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "entry_writer.h"
#include "payload/blowfish.h"
#include "payload/guard.h"

namespace {

Bytes TestBlob(uint8_t start) {
  Bytes blob(968);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(i * 31 + start);
  return blob;
}

Bytes Text(size_t n) {
  Bytes data(n);
  std::mt19937 random{uint32_t(n)};
  const char words[] = "the quick brown fox jumps over the lazy dog ";
  for (size_t i = 0; i < n; ++i)
    data[i] = random() % 8 == 0 ? uint8_t(random()) : uint8_t(words[i % (sizeof words - 1)]);
  return data;
}

class Extract : public ::testing::Test {
 protected:
  void SetUp() override {
    blob = TestBlob(7);
    key = DeriveKey(blob);
    ASSERT_EQ(key.size(), 495u);
    ASSERT_NE(guard.Load(blob.data(), uint32_t(blob.size())), 0);
  }

  Bytes Pack(const Bytes& plain, uint32_t extra = 0) {
    return MakeEntry(plain, DeflateZlib(plain), key, extra);
  }

  // Decrypts an entry, lets `change` alter the plain bytes, encrypts again:
  // damage that the cipher itself does not see.
  Bytes Tampered(Bytes entry, const std::function<void(Bytes&)>& change) {
    CBlowfish cipher;
    cipher.SetKey(key.data(), key.size());
    cipher.DecryptBuffer(entry.data(), entry.data(), entry.size());
    change(entry);
    cipher.EncryptBuffer(entry.data(), entry.data(), entry.size());
    return entry;
  }

  static void AddTo(Bytes& b, size_t at, uint32_t delta) {
    uint32_t v = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                 uint32_t(b[at + 3]) << 24;
    v += delta;
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  }

  // Extraction must fail and leave the caller's size and extra alone.
  void ExpectFailure(Bytes entry, uint32_t size, const char* what) {
    SCOPED_TRACE(what);
    // The caller's size is what the image holds: give the bytes to back it.
    if (entry.size() < size) entry.resize(size, 0);
    uint32_t inOut = size;
    uint32_t extra = 0xDEADBEEF;
    uint8_t* out = guard.Extract(entry.data(), &inOut, &extra);
    EXPECT_EQ(out, nullptr);
    delete[] out;
    EXPECT_EQ(inOut, size);
    EXPECT_EQ(extra, 0xDEADBEEFu);
  }

  Bytes blob;
  Bytes key;
  CGuard guard;
};

TEST_F(Extract, RoundTripsAnySize) {
  for (size_t n : {size_t(0), size_t(1), size_t(5), size_t(6), size_t(4096), size_t(150000)}) {
    SCOPED_TRACE(n);
    const Bytes plain = Text(n);
    const Bytes entry = Pack(plain, uint32_t(n) + 1000);
    ASSERT_EQ(entry.size() % 8, 0u);
    uint32_t size = uint32_t(entry.size());
    uint32_t extra = 0;
    uint8_t* out = guard.Extract(entry.data(), &size, &extra);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(size, n);
    EXPECT_EQ(extra, n + 1000);
    EXPECT_EQ(Bytes(out, out + size), plain);
    // The buffer holds (n & ~1) + 2 bytes: writing its last byte is in bounds
    // (the sanitizers would object otherwise).
    out[(n & ~size_t(1)) + 1] = 0;
    delete[] out;
  }
}

TEST_F(Extract, WithoutExtraOut) {
  const Bytes entry = Pack(Text(100), 42);
  uint32_t size = uint32_t(entry.size());
  uint8_t* out = guard.Extract(entry.data(), &size, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(size, 100u);
  delete[] out;
}

TEST_F(Extract, DamagedEntriesFailCleanly) {
  const Bytes plain = Text(3000);
  const Bytes packed = DeflateZlib(plain);
  const Bytes entry = MakeEntry(plain, packed, key, 9);
  const uint32_t stored = uint32_t(entry.size());

  ExpectFailure(entry, stored + 8, "stored size other than the caller's");
  ExpectFailure(entry, stored - 8, "stored size other than the caller's, smaller");
  ExpectFailure(entry, 0, "size 0");
  ExpectFailure(entry, stored - 3, "size not a whole number of blocks");
  ExpectFailure(entry, 16, "size below the header's");
  ExpectFailure(MakeEntry(plain, packed, DeriveKey(TestBlob(8)), 9), stored, "another key");
  {
    Bytes flipped = entry;
    flipped[stored / 2] ^= 0x10;  // ciphertext damage garbles a whole block
    ExpectFailure(flipped, stored, "damaged ciphertext");
  }
  ExpectFailure(Tampered(entry, [](Bytes& b) { b[24 + 100] ^= 0x04; }), stored,
                "one bit of the packed data");
  ExpectFailure(Tampered(entry, [](Bytes& b) { b[12] ^= 0x01; }), stored, "one bit of PlainCrc");
  ExpectFailure(Tampered(entry, [](Bytes& b) { AddTo(b, 4, +1); }), stored, "PlainSize + 1");
  ExpectFailure(Tampered(entry, [](Bytes& b) { AddTo(b, 4, -1); }), stored, "PlainSize - 1");
  ExpectFailure(Tampered(entry, [](Bytes& b) { AddTo(b, 4, 0x7FFFFFFF); }), stored,
                "PlainSize far too large");
  ExpectFailure(Tampered(entry,
                         [&](Bytes& b) {
                           AddTo(b, 8, uint32_t(stored));  // beyond the entry
                         }),
                stored, "PackedSize past the end of the entry");
  ExpectFailure(Tampered(entry, [](Bytes& b) { AddTo(b, 8, 0xFFFFFFE0); }), stored,
                "PackedSize that wraps the end of the entry");

  // A stream cut short, with checksums that match what is left.
  const Bytes truncated(packed.begin(), packed.begin() + long(packed.size() / 2));
  ExpectFailure(MakeEntry(plain, truncated, key, 9),
                uint32_t(MakeEntry(plain, truncated, key, 9).size()), "truncated stream");
  // Well-formed but not raw DEFLATE at all.
  const Bytes garbage = {0xFF, 0xFF, 0xFF, 0xFF};
  ExpectFailure(MakeEntry(plain, garbage, key, 9),
                uint32_t(MakeEntry(plain, garbage, key, 9).size()), "not a DEFLATE stream");
}

TEST_F(Extract, FailsWithoutKey) {
  const Bytes entry = Pack(Text(10));
  guard.Clear();
  ExpectFailure(entry, uint32_t(entry.size()), "no key");
}

}  // namespace
