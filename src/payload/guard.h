// The key guard: holds the unscrambled payload key for the life of the
// installer object and turns payload entries into plain buffers.
#pragma once

#include <cstdint>

class CGuard {
 public:
  CGuard() = default;
  virtual ~CGuard();
  CGuard(const CGuard&) = delete;
  CGuard& operator=(const CGuard&) = delete;

  // Takes a copy of the scrambled key blob and unscrambles it. Nonzero on
  // success; replaces any previous key.
  int Load(const uint8_t* blob, uint32_t size);

  // Wipes the key buffer with zeros, frees it and forgets it.
  void Clear();

  // Decrypts, verifies and inflates one payload entry. On entry *size is the
  // stored size; on success it becomes the plain size and the new buffer
  // (allocated with new[]) belongs to the caller. On failure returns null and
  // leaves *size and *extra untouched.
  uint8_t* Extract(const uint8_t* entry, uint32_t* size, uint32_t* extra) const;

  bool HasKey() const { return KeyBuffer != nullptr; }

 private:
  uint8_t* KeyBuffer = nullptr;
  int32_t BlobSize = 968;
};
