// A decoded string table: a sorted index of (id, offset) rows followed by a
// pool of length-prefixed records.
//
//   index  Count rows of 8 bytes: 32-bit id, 32-bit pool offset (little endian),
//          sorted by id, ids unique
//   pool   records: 32-bit header (bit 31 set: UTF-8, clear: UTF-16;
//          bits 0..28 the length in units), then the text, unterminated
#pragma once

#include <cstdint>

class StringTable {
 public:
  StringTable() = default;
  ~StringTable() { Release(); }
  StringTable(const StringTable&) = delete;
  StringTable& operator=(const StringTable&) = delete;

  // Takes ownership of a buffer allocated with new[] holding `count` index
  // rows and the pool. 0, and the table unchanged, for a null buffer or no rows.
  int Attach(uint8_t* buffer, uint32_t count);

  // The same, for a buffer of `size` bytes from the payload: refused (0, the
  // table unchanged, the buffer still the caller's) unless the index fits,
  // its ids ascend and every record lies inside the buffer, so that no later
  // lookup can read past it.
  int Attach(uint8_t* buffer, uint32_t count, uint32_t size);

  // Whether `size` bytes at `buffer` form a table of `count` rows as above.
  static int IsWellFormed(const uint8_t* buffer, uint32_t count, uint32_t size);

  // Frees the buffer; the table is empty afterwards.
  void Release();

  // The pool record of `id`, or null when the table does not hold it.
  const uint8_t* Find(uint32_t id) const;

  int32_t Count = 0;
  uint8_t* Data = nullptr;
  const uint8_t* Index = nullptr;
  const uint8_t* Pool = nullptr;
};
