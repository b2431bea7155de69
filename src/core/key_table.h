// The keyboard's keys as the installer knows them: one row per physical key.
//
// The stored table is constant. The installer works on a copy of it (KeyMap),
// in which VirtualKey and TargetScancode hold the user's remapping instead of
// the defaults (0 = unchanged).
#pragma once

#include <cstdint>

struct KeyMapEntry {
  // The key's make code; extended keys carry 0xE0 (or 0xE1) in the high byte.
  uint16_t Scancode;
  // Stored table: the standard virtual key in the low byte, the layout table
  // flags in the high byte (0x01 extended key, 0x0C special keypad key).
  // KeyMap: the virtual key chosen for the key, 0 for unchanged.
  uint16_t VirtualKey;
  // String id of the key's display name.
  uint16_t LabelId;
  // KeyMap: the scancode the key sends instead; 0 unchanged, 255 disabled.
  uint16_t TargetScancode;
};
static_assert(sizeof(KeyMapEntry) == 8, "a key row is four 16-bit fields");

// Rows 0..143 are keys; row 144 is the first row with a zero scancode and ends
// every scan of the table.
constexpr int KeyTableRows = 146;
constexpr int KeyTableEndRow = 144;
constexpr uint16_t KeyDisabled = 255;

extern const KeyMapEntry KeyTable[KeyTableRows];
