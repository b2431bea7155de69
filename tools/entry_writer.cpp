#include "entry_writer.h"

#include <zlib.h>

#include <cstring>

#include "payload/blowfish.h"
#include "payload/guard.h"

namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint32_t Crc(const Bytes& data) {
  return data.empty() ? 0 : uint32_t(crc32(0, data.data(), uInt(data.size())));
}

}  // namespace

Bytes DeriveKey(const Bytes& blob) {
  CGuard guard;
  if (!guard.Load(blob.data(), uint32_t(blob.size()))) return {};
  return Bytes(guard.Key(), guard.Key() + guard.KeyLength);
}

Bytes MakeEntry(const Bytes& plain, const Bytes& packed, const Bytes& key, uint32_t extra) {
  const size_t stored = CBlowfish::RoundUp(EntryHeaderSize + packed.size());
  Bytes entry(stored, 0);
  PutLe32(&entry[0], uint32_t(stored));
  PutLe32(&entry[4], uint32_t(plain.size()));
  PutLe32(&entry[8], uint32_t(packed.size()));
  PutLe32(&entry[12], Crc(plain));
  PutLe32(&entry[16], Crc(packed));
  PutLe32(&entry[20], extra);
  if (!packed.empty()) std::memcpy(&entry[EntryHeaderSize], packed.data(), packed.size());
  CBlowfish cipher;
  cipher.SetKey(key.data(), key.size());
  cipher.EncryptBuffer(entry.data(), entry.data(), entry.size());
  return entry;
}

Bytes DeflateZlib(const Bytes& plain) {
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  Bytes out(deflateBound(&stream, uLong(plain.size())) + 16);
  stream.next_in = const_cast<Bytef*>(plain.data());
  stream.avail_in = uInt(plain.size());
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) return {};
  return out;
}
