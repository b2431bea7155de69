// Extraction speed: CGuard::Extract on an entry the size of the component
// file, against the same work done with OpenSSL's Blowfish, zlib's inflate
// and crc32 on the same entry (reported as a ratio), and the time the four
// string tables of the real package take to load, as Init loads them.
//
//   extract_bench [catalogue.bin]
// Without a catalogue only the first measurement runs. Native only (OpenSSL).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "entry_writer.h"
#include "payload/catalogue.h"
#include "payload/guard.h"
#include "payload/string_table.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A document-like plain file of about the component file's size.
Bytes ComponentLike() {
  Bytes data(1149048);
  std::mt19937 random(1);
  const char words[] = "Cyrillic letters on Latin keys that sound like them. ";
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = random() % 5 == 0 ? uint8_t(random()) : uint8_t(words[i % (sizeof words - 1)]);
  return data;
}

// The same steps as Extract, with OpenSSL's cipher and zlib used directly.
bool Reference(const Bytes& entry, const Bytes& key, Bytes& out) {
  BF_KEY bf;
  BF_set_key(&bf, 72, key.data());
  Bytes plain(entry.size());
  for (size_t at = 0; at < entry.size(); at += 8) {
    uint8_t block[8];
    for (int i = 0; i < 8; ++i) block[i] = entry[at + size_t((i / 4) * 4 + 3 - i % 4)];
    uint8_t result[8];
    BF_ecb_encrypt(block, result, &bf, BF_DECRYPT);
    for (int i = 0; i < 8; ++i) plain[at + size_t(i)] = result[(i / 4) * 4 + 3 - i % 4];
  }
  const uint32_t plainSize = ReadLe32(&plain[4]);
  const uint32_t packedSize = ReadLe32(&plain[8]);
  if (crc32(0, &plain[24], packedSize) != ReadLe32(&plain[16])) return false;
  out.resize(plainSize);
  z_stream z;
  std::memset(&z, 0, sizeof z);
  inflateInit2(&z, -15);
  z.next_in = &plain[24];
  z.avail_in = packedSize;
  z.next_out = out.data();
  z.avail_out = plainSize;
  const int r = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return r == Z_STREAM_END && crc32(0, out.data(), plainSize) == ReadLe32(&plain[12]);
}

}  // namespace

int main(int argc, char** argv) {
  Bytes blob(968);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(i * 29 + 5);
  const Bytes key = DeriveKey(blob);
  const Bytes plain = ComponentLike();
  const Bytes entry = MakeEntry(plain, DeflateZlib(plain), key, 0);
  CGuard guard;
  guard.Load(blob.data(), uint32_t(blob.size()));

  constexpr int Rounds = 20;
  auto start = Clock::now();
  for (int i = 0; i < Rounds; ++i) {
    uint32_t size = uint32_t(entry.size());
    delete[] guard.Extract(entry.data(), &size, nullptr);
  }
  const double ours = Seconds(Clock::now() - start) / Rounds;
  start = Clock::now();
  Bytes out;
  for (int i = 0; i < Rounds; ++i) Reference(entry, key, out);
  const double reference = Seconds(Clock::now() - start) / Rounds;
  std::printf("extract %zu-byte entry (%zu plain): %.2f ms, reference %.2f ms, ratio %.2f\n",
              entry.size(), plain.size(), ours * 1e3, reference * 1e3, ours / reference);

  if (argc < 2) return 0;
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  PayloadEntry items[CatalogueItems];
  if (!ParseCatalogue(image.data(), image.size(), items)) {
    std::fprintf(stderr, "%s: not a catalogue\n", argv[1]);
    return 1;
  }
  constexpr int LoadRounds = 200;
  start = Clock::now();
  for (int i = 0; i < LoadRounds; ++i) {
    CGuard loaded;
    loaded.Load(items[ItemKeyBlob].Data, items[ItemKeyBlob].Size);
    StringTable tables[4];
    const int roles[4] = {ItemCommonStrings, ItemExtraStrings, ItemLanguage0Strings,
                          ItemLanguage1Strings};
    for (int t = 0; t < 4; ++t) {
      uint32_t size = items[roles[t]].Size;
      uint32_t rows = 0;
      uint8_t* data = loaded.Extract(items[roles[t]].Data, &size, &rows);
      if (data == nullptr || !tables[t].Attach(data, rows, size)) return 1;
    }
  }
  std::printf("load key and four string tables: %.3f ms\n",
              Seconds(Clock::now() - start) / LoadRounds * 1e3);
  return 0;
}
