// The key guard: holds the unscrambled payload key for the life of the
// installer object and turns payload entries into plain buffers.
//
// Payload entry (stored size a multiple of 8), Blowfish-encrypted as a whole:
//   0  StoredSize   must equal the size the caller gives
//   4  PlainSize    size after inflation
//   8  PackedSize   raw DEFLATE bytes that follow the header
//  12  PlainCrc     CRC-32 of the inflated data
//  16  PackedCrc    CRC-32 of the compressed data
//  20  Extra        handed back to the caller (a string table's row count)
//  24  compressed data, then filler up to StoredSize
// All fields are 32-bit, least significant byte first.
#pragma once

#include <cstdint>

constexpr uint32_t EntryHeaderSize = 24;

class CGuard {
 public:
  CGuard() = default;
  virtual ~CGuard();
  CGuard(const CGuard&) = delete;
  CGuard& operator=(const CGuard&) = delete;

  // Takes a copy of the scrambled key blob and unscrambles it in place.
  // Nonzero (the size plus 1) on success; 0, with no key kept, for a null
  // blob or a size other than BlobSize. Replaces any previous key.
  int Load(const uint8_t* blob, uint32_t size);

  // Wipes the key buffer with zeros, frees it and forgets it.
  void Clear();

  // Decrypts, verifies and inflates one payload entry. On entry *size is the
  // stored size; on success it becomes the plain size, *extra (when given)
  // receives the header's Extra, and the new buffer (allocated with new[],
  // (PlainSize & ~1) + 2 bytes) belongs to the caller. On failure returns
  // null, keeps nothing allocated and leaves *size and *extra untouched.
  uint8_t* Extract(const uint8_t* entry, uint32_t* size, uint32_t* extra) const;

  bool HasKey() const { return KeyBuffer != nullptr; }
  // The key slice of the unscrambled blob; null without a key.
  const uint8_t* Key() const { return KeyBuffer ? KeyBuffer + KeyOffset : nullptr; }

  uint8_t* KeyBuffer = nullptr;
  int32_t BlobSize = 968;
  int32_t KeyOffset = 352;
  int32_t KeyLength = 495;
  int32_t FirstMoveFrom = 240;
  int32_t FirstMoveTo = 414;
  int32_t FirstMoveCount = 65;
  int32_t SecondMoveFrom = 637;
  int32_t SecondMoveTo = 395;
  int32_t SecondMoveCount = 205;
  int32_t XorKeyIndex = 42;
  int32_t XorFrom = 104;
  int32_t XorCount = 454;

  // The unscrambling steps, exposed so the packer derives the same key.
  // Both leave the buffer alone when an offset lies outside it.
  void Move(int32_t to, int32_t from, int32_t count);
  void XorPass();
};
