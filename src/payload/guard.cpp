#include "payload/guard.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

#include "payload/blowfish.h"

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// zlib's crc32 takes a 32-bit length; entries are bounded by 32-bit sizes, so
// one call covers them.
uint32_t Crc32(const uint8_t* data, uint32_t n) {
  if (data == nullptr) return 0;
  return uint32_t(crc32(0, data, uInt(n)));
}

// Raw DEFLATE into exactly `capacity` bytes, in one call. 1 only when the
// stream ends there and fills the output exactly.
int InflateExactly(const uint8_t* packed, uint32_t packedSize, uint8_t* out, uint32_t capacity) {
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (inflateInit2(&stream, -15) != Z_OK) return 0;
  stream.next_in = const_cast<Bytef*>(packed);
  stream.avail_in = uInt(packedSize);
  stream.next_out = out;
  stream.avail_out = uInt(capacity);
  const int result = inflate(&stream, Z_FINISH);
  const uLong produced = stream.total_out;
  inflateEnd(&stream);
  return result == Z_STREAM_END && produced == capacity;
}

}  // namespace

CGuard::~CGuard() { Clear(); }

void CGuard::Clear() {
  if (KeyBuffer == nullptr) return;
  // volatile so the wipe is not dropped as a dead store before the free.
  volatile uint8_t* p = KeyBuffer;
  for (int32_t i = 0; i < BlobSize; ++i) p[i] = 0;
  delete[] KeyBuffer;
  KeyBuffer = nullptr;
}

void CGuard::Move(int32_t to, int32_t from, int32_t count) {
  if (to < 0 || to >= BlobSize || from < 0 || from >= BlobSize || count <= 0) return;
  if (to < from) {
    if (count > BlobSize - from) count = BlobSize - from;
    for (int32_t i = 0; i < count; ++i) KeyBuffer[to + i] = KeyBuffer[from + i];
  } else {
    if (count > BlobSize - to) count = BlobSize - to;
    for (int32_t i = count - 1; i >= 0; --i) KeyBuffer[to + i] = KeyBuffer[from + i];
  }
}

void CGuard::XorPass() {
  if (XorFrom < 0 || XorFrom >= BlobSize || XorKeyIndex < 0 || XorKeyIndex >= BlobSize) return;
  int32_t count = XorCount;
  if (count > BlobSize - XorFrom) count = BlobSize - XorFrom;
  const uint8_t value = KeyBuffer[XorKeyIndex];
  for (int32_t i = 0; i < count; ++i) KeyBuffer[XorFrom + i] ^= value;
}

int CGuard::Load(const uint8_t* blob, uint32_t size) {
  Clear();
  if (blob == nullptr || size == 0 || size != uint32_t(BlobSize)) return 0;
  KeyBuffer = new (std::nothrow) uint8_t[size];
  if (KeyBuffer == nullptr) return 0;
  std::memcpy(KeyBuffer, blob, size);
  Move(FirstMoveTo, FirstMoveFrom, FirstMoveCount);
  Move(SecondMoveTo, SecondMoveFrom, SecondMoveCount);
  XorPass();
  return int(size) + 1;
}

uint8_t* CGuard::Extract(const uint8_t* entry, uint32_t* size, uint32_t* extra) const {
  if (KeyBuffer == nullptr || entry == nullptr || size == nullptr) return nullptr;
  if (KeyOffset < 0 || KeyLength <= 0 || KeyLength > BlobSize - KeyOffset) return nullptr;

  CBlowfish cipher;
  cipher.SetKey(KeyBuffer + KeyOffset, size_t(KeyLength));

  const uint32_t stored = *size;
  const size_t rounded = CBlowfish::RoundUp(stored);
  if (rounded == 0) return nullptr;
  // A stored size that is not a whole number of blocks would make the last
  // block read past the entry, and one below the header size leaves no
  // header to read: entries are never like that, so such sizes are refused.
  if (rounded != stored || stored < EntryHeaderSize) return nullptr;
  std::unique_ptr<uint8_t[]> plain(new (std::nothrow) uint8_t[rounded]);
  if (!plain) return nullptr;
  cipher.DecryptBuffer(entry, plain.get(), rounded);

  const uint32_t storedField = ReadLe32(plain.get());
  const uint32_t plainSize = ReadLe32(plain.get() + 4);
  const uint32_t packedSize = ReadLe32(plain.get() + 8);
  const uint32_t plainCrc = ReadLe32(plain.get() + 12);
  const uint32_t packedCrc = ReadLe32(plain.get() + 16);
  const uint32_t extraField = ReadLe32(plain.get() + 20);

  if (storedField != stored) return nullptr;
  // The packed data must lie inside the entry: never read past it.
  if (packedSize > stored - EntryHeaderSize) return nullptr;
  const uint8_t* packed = plain.get() + EntryHeaderSize;
  if (Crc32(packed, packedSize) != packedCrc) return nullptr;

  // Raw DEFLATE produces at most 258 bytes per two bits of input (1,032 per
  // byte). A PlainSize beyond that cannot inflate; refusing it here keeps a
  // damaged header from claiming gigabytes before inflation fails anyway.
  if (uint64_t(plainSize) > uint64_t(packedSize) * 1032) return nullptr;

  const uint64_t outSize = (uint64_t(plainSize) / 2 + 1) * 2;
  if (outSize > 0xFFFFFFFFu) return nullptr;
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size_t(outSize)]);
  if (!out) return nullptr;
  if (!InflateExactly(packed, packedSize, out.get(), plainSize)) return nullptr;
  if (Crc32(out.get(), plainSize) != plainCrc) return nullptr;

  if (extra != nullptr) *extra = extraField;
  *size = plainSize;
  return out.release();
}
