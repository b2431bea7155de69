// Blowfish (16 rounds, standard key schedule) in electronic-codebook mode.
//
// Byte order of a block: the two 32-bit halves are read from bytes 0-3 and
// 4-7 least significant byte first, and written back the same way. Keys may
// be longer than the usual 56 bytes; the schedule consumes 72 key bytes, so
// bytes beyond the 72nd have no effect.
#pragma once

#include <cstddef>
#include <cstdint>

// The start tables: the fractional hexadecimal digits of pi (generated).
extern const uint32_t BlowfishStartP[18];
extern const uint32_t BlowfishStartS[4][256];

class CBlowfish {
 public:
  // The tables live in heap blocks of their own (72 and 4,096 bytes), wiped
  // when the context goes: after a key schedule they are key material.
  CBlowfish();
  ~CBlowfish();
  CBlowfish(const CBlowfish&) = delete;
  CBlowfish& operator=(const CBlowfish&) = delete;

  // Starts from the pi tables and runs the key schedule. A null key or a
  // length of 0 leaves the start tables in place.
  void SetKey(const uint8_t* key, size_t length);

  void EncryptBlock(uint32_t& left, uint32_t& right) const;
  void DecryptBlock(uint32_t& left, uint32_t& right) const;

  // RoundUp(n) / 8 blocks from `source` to `destination` (the same buffer
  // decrypts in place); both must hold RoundUp(n) bytes. Nothing for n = 0.
  void DecryptBuffer(const uint8_t* source, uint8_t* destination, size_t n) const;
  void EncryptBuffer(const uint8_t* source, uint8_t* destination, size_t n) const;

  // n, or the next multiple of 8.
  static size_t RoundUp(size_t n) { return (n + 7) & ~size_t(7); }

 private:
  uint32_t F(uint32_t x) const;

  uint32_t* P;
  uint32_t* S;  // four boxes of 256 words, box 0 first
};
