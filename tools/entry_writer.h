// Writing payload entries: the inverse of CGuard::Extract. Shared by the
// packer and the tests that round-trip entries through the program's reader.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The key CGuard derives from `blob` (unscrambled the same way); empty when
// the guard refuses the blob.
Bytes DeriveKey(const Bytes& blob);

// Header, compressed data and zero filler up to a whole number of blocks,
// encrypted with `key`. `packed` is the raw DEFLATE stream of `plain`.
Bytes MakeEntry(const Bytes& plain, const Bytes& packed, const Bytes& key, uint32_t extra);

// Raw DEFLATE with zlib at its strongest level (available on every target).
Bytes DeflateZlib(const Bytes& plain);
