// Our Blowfish against OpenSSL's on random keys and blocks, with the block
// halves read least significant byte first on our side.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <random>
#include <vector>

#include "payload/blowfish.h"

namespace {

TEST(BlowfishOpenSsl, SameResultsOnRandomKeysAndBlocks) {
  std::mt19937 random(20261211);
  for (int round = 0; round < 200; ++round) {
    // OpenSSL takes at most 72 key bytes, which is all the schedule uses.
    std::vector<uint8_t> key(1 + random() % 495);
    for (uint8_t& b : key) b = uint8_t(random());
    CBlowfish ours;
    ours.SetKey(key.data(), key.size());
    BF_KEY theirs;
    BF_set_key(&theirs, int(std::min<size_t>(key.size(), 72)), key.data());

    std::vector<uint8_t> block(8);
    for (uint8_t& b : block) b = uint8_t(random());
    uint8_t swapped[8];
    for (int i = 0; i < 8; ++i) swapped[i] = block[size_t((i / 4) * 4 + 3 - i % 4)];

    uint8_t expected[8];
    BF_ecb_encrypt(swapped, expected, &theirs, BF_ENCRYPT);
    std::vector<uint8_t> encrypted(8);
    ours.EncryptBuffer(block.data(), encrypted.data(), 8);
    for (int i = 0; i < 8; ++i)
      ASSERT_EQ(encrypted[size_t(i)], expected[(i / 4) * 4 + 3 - i % 4]) << "round " << round;

    uint8_t back[8];
    BF_ecb_encrypt(swapped, back, &theirs, BF_DECRYPT);
    std::vector<uint8_t> decrypted(8);
    ours.DecryptBuffer(block.data(), decrypted.data(), 8);
    for (int i = 0; i < 8; ++i)
      ASSERT_EQ(decrypted[size_t(i)], back[(i / 4) * 4 + 3 - i % 4]) << "round " << round;
  }
}

}  // namespace
