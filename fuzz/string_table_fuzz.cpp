// Fuzzes the string table checks and lookups with tables the fuzzer makes.
//
// Input: the row count (32-bit, least significant byte first), then the
// table. A table the checks accept is attached and every id of its index is
// looked up and decoded as LoadText decodes it; the checks must never accept
// a table whose lookups would read outside it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "payload/string_table.h"
#include "text/gstring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  const uint32_t count = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                         uint32_t(data[3]) << 24;
  data += 4;
  size -= 4;

  // An exactly sized copy, so that the sanitizers see any read past it.
  uint8_t* buffer = new uint8_t[size ? size : 1];
  if (size) std::memcpy(buffer, data, size);
  if (!StringTable::IsWellFormed(buffer, count, uint32_t(size))) {
    delete[] buffer;
    return 0;
  }
  StringTable table;
  if (!table.Attach(buffer, count, uint32_t(size))) {
    delete[] buffer;
    return 0;
  }
  GString text;
  for (uint32_t row = 0; row < count; ++row) {
    const uint8_t* entry = table.Index + 8 * size_t(row);
    const uint32_t id = uint32_t(entry[0]) | uint32_t(entry[1]) << 8 | uint32_t(entry[2]) << 16 |
                        uint32_t(entry[3]) << 24;
    const uint8_t* record = table.Find(id);
    if (record == nullptr) __builtin_trap();  // an accepted index finds its own ids
    if (text.AssignRecord(record)) text.ToWide(-1);
    table.Find(id + 1);
  }
  return 0;
}
