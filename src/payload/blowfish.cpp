#include "payload/blowfish.h"

#include <cstring>

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void Wipe(uint32_t* words, size_t count) {
  volatile uint32_t* p = words;
  for (size_t i = 0; i < count; ++i) p[i] = 0;
}

}  // namespace

CBlowfish::CBlowfish() : P(new uint32_t[18]), S(new uint32_t[4 * 256]) {
  std::memcpy(P, BlowfishStartP, sizeof BlowfishStartP);
  std::memcpy(S, BlowfishStartS, sizeof BlowfishStartS);
}

CBlowfish::~CBlowfish() {
  Wipe(P, 18);
  Wipe(S, 4 * 256);
  delete[] P;
  delete[] S;
}

uint32_t CBlowfish::F(uint32_t x) const {
  return ((S[x >> 24] + S[256 + ((x >> 16) & 0xFF)]) ^ S[512 + ((x >> 8) & 0xFF)]) +
         S[768 + (x & 0xFF)];
}

void CBlowfish::SetKey(const uint8_t* key, size_t length) {
  std::memcpy(P, BlowfishStartP, sizeof BlowfishStartP);
  std::memcpy(S, BlowfishStartS, sizeof BlowfishStartS);
  if (key == nullptr || length == 0) return;

  size_t position = 0;
  for (int i = 0; i < 18; ++i) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      word = word << 8 | key[position];
      if (++position == length) position = 0;
    }
    P[i] ^= word;
  }

  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptBlock(left, right);
    P[i] = left;
    P[i + 1] = right;
  }
  for (int i = 0; i < 4 * 256; i += 2) {
    EncryptBlock(left, right);
    S[i] = left;
    S[i + 1] = right;
  }
}

void CBlowfish::EncryptBlock(uint32_t& left, uint32_t& right) const {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= P[i];
    r ^= F(l);
    r ^= P[i + 1];
    l ^= F(r);
  }
  l ^= P[16];
  r ^= P[17];
  left = r;
  right = l;
}

void CBlowfish::DecryptBlock(uint32_t& left, uint32_t& right) const {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= P[i];
    r ^= F(l);
    r ^= P[i - 1];
    l ^= F(r);
  }
  l ^= P[1];
  r ^= P[0];
  left = r;
  right = l;
}

void CBlowfish::DecryptBuffer(const uint8_t* source, uint8_t* destination, size_t n) const {
  for (size_t at = 0; at < n; at += 8) {
    if (source != destination) std::memcpy(destination + at, source + at, 8);
    uint32_t left = ReadLe32(destination + at);
    uint32_t right = ReadLe32(destination + at + 4);
    DecryptBlock(left, right);
    WriteLe32(destination + at, left);
    WriteLe32(destination + at + 4, right);
  }
}

void CBlowfish::EncryptBuffer(const uint8_t* source, uint8_t* destination, size_t n) const {
  for (size_t at = 0; at < n; at += 8) {
    if (source != destination) std::memcpy(destination + at, source + at, 8);
    uint32_t left = ReadLe32(destination + at);
    uint32_t right = ReadLe32(destination + at + 4);
    EncryptBlock(left, right);
    WriteLe32(destination + at, left);
    WriteLe32(destination + at + 4, right);
  }
}
