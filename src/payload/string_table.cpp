#include "payload/string_table.h"

#include <cstddef>

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

int StringTable::Attach(uint8_t* buffer, uint32_t count) {
  if (buffer == nullptr || count == 0 || count > 0x0FFFFFFF) return 0;
  Release();
  Count = int32_t(count);
  Data = buffer;
  Index = buffer;
  Pool = buffer + 8 * size_t(count);
  return 1;
}

int StringTable::IsWellFormed(const uint8_t* buffer, uint32_t count, uint32_t size) {
  if (buffer == nullptr || count == 0 || uint64_t(count) * 8 > size) return 0;
  const uint64_t poolSize = size - uint64_t(count) * 8;
  const uint8_t* pool = buffer + 8 * size_t(count);
  for (uint32_t row = 0; row < count; ++row) {
    const uint8_t* entry = buffer + 8 * size_t(row);
    if (row > 0 && ReadU32(entry) <= ReadU32(entry - 8)) return 0;
    const uint64_t offset = ReadU32(entry + 4);
    if (offset + 4 > poolSize) return 0;
    const uint32_t header = ReadU32(pool + offset);
    const uint64_t length = header & 0x1FFFFFFF;
    const uint64_t bytes = (header & 0x80000000u) ? length : 2 * length;
    if (offset + 4 + bytes > poolSize) return 0;
  }
  return 1;
}

int StringTable::Attach(uint8_t* buffer, uint32_t count, uint32_t size) {
  if (!IsWellFormed(buffer, count, size)) return 0;
  return Attach(buffer, count);
}

void StringTable::Release() {
  delete[] Data;
  Count = 0;
  Data = nullptr;
  Index = nullptr;
  Pool = nullptr;
}

const uint8_t* StringTable::Find(uint32_t id) const {
  if (Index == nullptr || Pool == nullptr) return nullptr;
  int32_t low = 0;
  int32_t high = Count - 1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    const uint8_t* row = Index + 8 * size_t(middle);
    const uint32_t rowId = ReadU32(row);
    if (rowId == id) return Pool + ReadU32(row + 4);
    if (id > rowId)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return nullptr;
}
