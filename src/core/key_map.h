// Operations on the working key map: the user's remapping held as a copy of
// the key table in which VirtualKey and TargetScancode mean "instead of the
// default" (0 = unchanged, TargetScancode 255 = disabled).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/key_table.h"

// The row of `scancode` among the rows before the first zero scancode, or null.
const KeyMapEntry* FindKeyRow(const KeyMapEntry* rows, int count, uint16_t scancode);
KeyMapEntry* FindKeyRow(KeyMapEntry* rows, int count, uint16_t scancode);

// Clears every choice that equals the key's default, so a key remapped onto
// itself counts as unchanged. `count` is at most KeyTableRows.
void NormalizeKeyMap(KeyMapEntry* map, int count);

// Applies saved (Scancode, VirtualKey) pairs, 4 bytes each, little endian; a
// virtual key of 0 changes nothing, scancodes the table lacks are ignored.
void ApplyKeyPairs(KeyMapEntry* map, int count, const uint8_t* pairs, uint32_t size);

// The chosen virtual keys as (Scancode, VirtualKey) pairs in table order.
// Normalises first. Never null; `size` receives the byte count (0 when no key
// is remapped).
std::unique_ptr<uint8_t[]> PackKeyPairs(KeyMapEntry* map, int count, uint32_t& size);

// Imports a system scancode map value: version, flags, count (mappings + 1),
// then (sent, physical) pairs of 16-bit scancodes and a zero terminator, little
// endian. Returns 0 and changes nothing when the value is malformed.
int ApplyScancodeMap(KeyMapEntry* map, int count, const uint8_t* value, uint32_t size);

// The system scancode map value for the chosen target scancodes (255 sends
// nothing), in table order. With no mapping the map is empty: 16 bytes, count 1.
//
// `existing` (may be null) is the map the system holds now. Its mappings of
// physical keys the key table does not hold belong to someone else and follow
// ours unchanged, in their order; of several mappings of one such key only the
// last, the one that takes effect, is kept. Mappings of the table's own keys
// are replaced by the chosen ones. An existing value that is not a well-formed
// map contributes nothing.
std::vector<uint8_t> BuildScancodeMap(const KeyMapEntry* map, int count,
                                      const uint8_t* existing = nullptr, uint32_t existingSize = 0);

// The mappings (sent scancode in the low word, physical key in the high word)
// of a well-formed existing map whose physical key the key table does not
// hold, as BuildScancodeMap keeps them.
std::vector<uint32_t> ForeignScancodeMappings(const KeyMapEntry* map, int count,
                                              const uint8_t* existing, uint32_t existingSize);

// Rows before the end of the table whose key sends another scancode.
int CountTargetScancodes(const KeyMapEntry* map, int count);
