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
// nothing). With no mapping the map is empty: 16 bytes, count 1.
std::vector<uint8_t> BuildScancodeMap(const KeyMapEntry* map, int count);

// Rows before the end of the table whose key sends another scancode.
int CountTargetScancodes(const KeyMapEntry* map, int count);
