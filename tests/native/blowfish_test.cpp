#include "payload/blowfish.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> FromHex(const char* hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    out.push_back(uint8_t(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  }
  return out;
}

// The usual presentation of a block is big-endian per half; ours reads each
// half least significant byte first.
std::vector<uint8_t> SwapHalves(std::vector<uint8_t> block) {
  for (size_t at = 0; at + 4 <= block.size(); at += 4) {
    std::swap(block[at], block[at + 3]);
    std::swap(block[at + 1], block[at + 2]);
  }
  return block;
}

uint32_t BigEndianWord(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// Published test vectors for Blowfish (key, plaintext, ciphertext).
struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};
const Vector Vectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
};

TEST(Blowfish, StartTablesAreTheDigitsOfPi) {
  EXPECT_EQ(BlowfishStartP[0], 0x243F6A88u);
  EXPECT_EQ(BlowfishStartP[17], 0x8979FB1Bu);
  EXPECT_EQ(BlowfishStartS[0][0], 0xD1310BA6u);
  EXPECT_EQ(BlowfishStartS[3][255], 0x3AC372E6u);
}

TEST(Blowfish, PublishedVectorsInBothPresentations) {
  for (const Vector& v : Vectors) {
    SCOPED_TRACE(v.key);
    const auto key = FromHex(v.key);
    const auto plain = FromHex(v.plain);
    const auto cipher = FromHex(v.cipher);
    CBlowfish bf;
    bf.SetKey(key.data(), key.size());

    // Words: the order of bytes does not enter.
    uint32_t left = BigEndianWord(plain, 0);
    uint32_t right = BigEndianWord(plain, 4);
    bf.EncryptBlock(left, right);
    EXPECT_EQ(left, BigEndianWord(cipher, 0));
    EXPECT_EQ(right, BigEndianWord(cipher, 4));
    bf.DecryptBlock(left, right);
    EXPECT_EQ(left, BigEndianWord(plain, 0));
    EXPECT_EQ(right, BigEndianWord(plain, 4));

    // Buffers: each half least significant byte first.
    std::vector<uint8_t> buffer = SwapHalves(plain);
    bf.EncryptBuffer(buffer.data(), buffer.data(), 8);
    EXPECT_EQ(buffer, SwapHalves(cipher));
    bf.DecryptBuffer(buffer.data(), buffer.data(), 8);
    EXPECT_EQ(buffer, SwapHalves(plain));
  }
}

TEST(Blowfish, OnlyTheFirst72KeyBytesCount) {
  std::vector<uint8_t> key(495);
  for (size_t i = 0; i < key.size(); ++i) key[i] = uint8_t(i * 37 + 11);
  auto encrypt = [](const uint8_t* k, size_t n) {
    CBlowfish bf;
    bf.SetKey(k, n);
    uint32_t l = 0x01234567, r = 0x89ABCDEF;
    bf.EncryptBlock(l, r);
    return uint64_t(l) << 32 | r;
  };
  EXPECT_EQ(encrypt(key.data(), 495), encrypt(key.data(), 72));
  EXPECT_NE(encrypt(key.data(), 495), encrypt(key.data(), 71));
  std::vector<uint8_t> changed = key;
  changed[72] ^= 0xFF;  // past the schedule's reach
  EXPECT_EQ(encrypt(changed.data(), 495), encrypt(key.data(), 495));
  changed[71] ^= 0xFF;
  EXPECT_NE(encrypt(changed.data(), 495), encrypt(key.data(), 495));
}

TEST(Blowfish, RoundUpToWholeBlocks) {
  const size_t cases[][2] = {{0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {16, 16}};
  for (const auto& c : cases) EXPECT_EQ(CBlowfish::RoundUp(c[0]), c[1]) << c[0];
}

TEST(Blowfish, DecryptInPlaceAndIntoAnotherBufferAgree) {
  const uint8_t key[] = "a key of some length";
  CBlowfish bf;
  bf.SetKey(key, sizeof key - 1);
  std::vector<uint8_t> data(40);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 13);
  std::vector<uint8_t> encrypted(data.size());
  bf.EncryptBuffer(data.data(), encrypted.data(), data.size());

  std::vector<uint8_t> inPlace = encrypted;
  bf.DecryptBuffer(inPlace.data(), inPlace.data(), inPlace.size());
  std::vector<uint8_t> separate(encrypted.size(), 0xAA);
  bf.DecryptBuffer(encrypted.data(), separate.data(), encrypted.size());
  EXPECT_EQ(inPlace, data);
  EXPECT_EQ(separate, data);

  // A partial last block still decrypts as a whole block; 0 bytes touch nothing.
  std::vector<uint8_t> partial(16, 0xAA);
  bf.DecryptBuffer(encrypted.data(), partial.data(), 9);
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), data.begin()));
  std::vector<uint8_t> untouched(8, 0x55);
  bf.DecryptBuffer(encrypted.data(), untouched.data(), 0);
  EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0x55));
}

}  // namespace
