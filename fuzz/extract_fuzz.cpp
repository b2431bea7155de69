// Fuzzes CGuard::Extract with entries the fuzzer shapes itself.
//
// Input: one mode byte, then the plain entry (header, packed data, filler).
// The harness encrypts the entry with a fixed key so the fuzzer's bytes reach
// the checks behind the cipher. Mode bit 0 makes the header's StoredSize
// match, bit 1 fixes PackedCrc up, so that the packed-size bounds, the
// inflation and the plain checksum are reached as well; with both bits clear
// the entry is taken as it is. Whatever comes back must be a buffer of the
// stated size or nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "payload/blowfish.h"
#include "payload/guard.h"

namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Fixture {
  Fixture() {
    std::vector<uint8_t> blob(968);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(i * 131 + 17);
    Guard.Load(blob.data(), uint32_t(blob.size()));
    Cipher.SetKey(Guard.Key(), size_t(Guard.KeyLength));
  }
  CGuard Guard;
  CBlowfish Cipher;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  if (size < 1 || size > (1u << 20)) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;

  std::vector<uint8_t> entry(CBlowfish::RoundUp(size), 0);
  if (entry.empty()) entry.resize(8, 0);
  if (size) std::memcpy(entry.data(), data, size);
  const uint32_t stored = uint32_t(entry.size());
  if (stored >= EntryHeaderSize) {
    if (mode & 1) PutLe32(&entry[0], stored);
    if (mode & 2) {
      const uint32_t packed = ReadLe32(&entry[8]);
      if (packed <= stored - EntryHeaderSize)
        PutLe32(&entry[16], uint32_t(crc32(0, &entry[EntryHeaderSize], uInt(packed))));
    }
  }
  fixture.Cipher.EncryptBuffer(entry.data(), entry.data(), entry.size());

  uint32_t inOut = stored;
  uint32_t extra = 0xA5A5A5A5;
  uint8_t* plain = fixture.Guard.Extract(entry.data(), &inOut, &extra);
  if (plain == nullptr) {
    if (inOut != stored || extra != 0xA5A5A5A5) __builtin_trap();  // failure leaves both alone
    return 0;
  }
  // Every byte of the stated size is readable, and one byte after it.
  volatile uint8_t sink = 0;
  for (uint32_t i = 0; i < inOut; ++i) sink = sink ^ plain[i];
  plain[(inOut & ~1u) + 1] = 0;
  delete[] plain;
  return 0;
}
