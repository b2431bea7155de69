#include "core/key_map.h"

#include <algorithm>
#include <cstdint>

namespace {

uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

int RowsBeforeEnd(const KeyMapEntry* rows, int count) {
  int n = 0;
  while (n < count && rows[n].Scancode != 0) ++n;
  return n;
}

}  // namespace

const KeyMapEntry* FindKeyRow(const KeyMapEntry* rows, int count, uint16_t scancode) {
  if (rows == nullptr) return nullptr;
  const int end = RowsBeforeEnd(rows, count);
  for (int i = 0; i < end; ++i) {
    if (rows[i].Scancode == scancode) return &rows[i];
  }
  return nullptr;
}

KeyMapEntry* FindKeyRow(KeyMapEntry* rows, int count, uint16_t scancode) {
  return const_cast<KeyMapEntry*>(
      FindKeyRow(static_cast<const KeyMapEntry*>(rows), count, scancode));
}

void NormalizeKeyMap(KeyMapEntry* map, int count) {
  if (map == nullptr) return;
  const int rows = std::min(count, KeyTableRows);
  for (int i = 0; i < rows; ++i) {
    if (map[i].TargetScancode == KeyTable[i].Scancode) map[i].TargetScancode = 0;
    if (map[i].VirtualKey == KeyTable[i].VirtualKey) map[i].VirtualKey = 0;
  }
}

void ApplyKeyPairs(KeyMapEntry* map, int count, const uint8_t* pairs, uint32_t size) {
  for (uint32_t i = 0; i + 4 <= size; i += 4) {
    const uint16_t virtualKey = ReadU16(pairs + i + 2);
    if (virtualKey == 0) continue;
    if (KeyMapEntry* row = FindKeyRow(map, count, ReadU16(pairs + i))) row->VirtualKey = virtualKey;
  }
  NormalizeKeyMap(map, count);
}

std::unique_ptr<uint8_t[]> PackKeyPairs(KeyMapEntry* map, int count, uint32_t& size) {
  NormalizeKeyMap(map, count);
  const int end = RowsBeforeEnd(map, count);
  int chosen = 0;
  for (int i = 0; i < end; ++i) chosen += map[i].VirtualKey != 0;
  std::unique_ptr<uint8_t[]> pairs(new uint8_t[4 * size_t(chosen)]);
  uint8_t* out = pairs.get();
  for (int i = 0; i < end; ++i) {
    if (map[i].VirtualKey == 0) continue;
    WriteU16(out, map[i].Scancode);
    WriteU16(out + 2, map[i].VirtualKey);
    out += 4;
  }
  size = 4 * uint32_t(chosen);
  return pairs;
}

int ApplyScancodeMap(KeyMapEntry* map, int count, const uint8_t* value, uint32_t size) {
  if (value == nullptr || size < 16) return 0;
  const uint32_t entries = ReadU32(value + 8);
  // The count includes the terminator; the length check is made in 64 bits so
  // a huge count cannot wrap around and pass.
  if (entries <= 1 || uint64_t(size) < 4 * uint64_t(entries) + 12) return 0;
  for (uint32_t i = 0; i + 1 < entries; ++i) {
    const uint8_t* mapping = value + 12 + 4 * size_t(i);
    const uint16_t sent = ReadU16(mapping);
    KeyMapEntry* row = FindKeyRow(map, count, ReadU16(mapping + 2));
    if (row != nullptr) row->TargetScancode = sent != 0 ? sent : KeyDisabled;
  }
  NormalizeKeyMap(map, count);
  return 1;
}

int CountTargetScancodes(const KeyMapEntry* map, int count) {
  if (map == nullptr) return 0;
  const int end = RowsBeforeEnd(map, count);
  int n = 0;
  for (int i = 0; i < end; ++i) n += map[i].TargetScancode != 0;
  return n;
}

std::vector<uint32_t> ForeignScancodeMappings(const KeyMapEntry* map, int count,
                                              const uint8_t* existing, uint32_t existingSize) {
  std::vector<uint32_t> foreign;
  if (existing == nullptr || existingSize < 16) return foreign;
  const uint32_t entries = ReadU32(existing + 8);
  // Same shape rules as the import: a count of 0 or a length that does not
  // hold the counted mappings leaves nothing to keep.
  if (entries < 1 || uint64_t(existingSize) < 4 * uint64_t(entries) + 12) return foreign;
  const uint32_t mappings = entries - 1;
  auto mappingAt = [existing](uint32_t i) { return ReadU32(existing + 12 + 4 * size_t(i)); };
  // A later mapping of a key overrides an earlier one: note where each key's
  // last mapping is, then keep only those.
  std::vector<uint32_t> last(0x10000, UINT32_MAX);
  for (uint32_t i = 0; i < mappings; ++i) last[mappingAt(i) >> 16] = i;
  for (uint32_t i = 0; i < mappings; ++i) {
    const uint32_t mapping = mappingAt(i);
    const uint16_t physical = uint16_t(mapping >> 16);
    // A zero physical key maps nothing (and would read as a terminator).
    if (physical == 0 || last[physical] != i || FindKeyRow(map, count, physical) != nullptr) {
      continue;
    }
    foreign.push_back(mapping);
  }
  return foreign;
}

std::vector<uint8_t> BuildScancodeMap(const KeyMapEntry* map, int count, const uint8_t* existing,
                                      uint32_t existingSize) {
  const int mappings = CountTargetScancodes(map, count);
  const std::vector<uint32_t> foreign = ForeignScancodeMappings(map, count, existing, existingSize);
  const size_t total = size_t(mappings) + foreign.size();
  std::vector<uint8_t> value(16 + 4 * total, 0);
  const uint32_t entries = uint32_t(total) + 1;  // the terminator counts
  for (int b = 0; b < 4; ++b) value[8 + b] = uint8_t(entries >> (8 * b));
  uint8_t* out = value.data() + 12;
  const int end = mappings > 0 ? RowsBeforeEnd(map, count) : 0;
  for (int i = 0; i < end; ++i) {
    const uint16_t target = map[i].TargetScancode;
    if (target == 0) continue;
    WriteU16(out, target == KeyDisabled ? 0 : target);
    WriteU16(out + 2, map[i].Scancode);
    out += 4;
  }
  for (uint32_t mapping : foreign) {
    WriteU16(out, uint16_t(mapping));
    WriteU16(out + 2, uint16_t(mapping >> 16));
    out += 4;
  }
  return value;
}
