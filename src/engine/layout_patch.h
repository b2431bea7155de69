// Choosing and patching the layout library: which builds serve a system, and
// how the user's key choices are written into a build's image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/key_table.h"

// The slots of the layout builds for a system: a 32-bit build, and on 64-bit
// Windows a 64-bit one (-1 when there is none).
struct LayoutSlots {
  int Slot32 = -1;
  int Slot64 = -1;
};

// False when the system is not served.
// (The elaborated name keeps it usable beside the catalogue's slot count.)
bool SelectLayoutSlots(int32_t osVersionCode, uint16_t architecture, struct LayoutSlots& slots);

// Upper-case hex pairs, high nibble first; an odd last digit is ignored. False
// for an empty text or any other character.
bool DecodeHexText(const char* text, size_t length, std::vector<uint8_t>& bytes);

// The patterns that locate the patched regions in one build.
struct LayoutPatterns {
  std::vector<uint8_t> Base;     // the scancode-to-virtual-key array
  std::vector<uint8_t> E0;       // the E0 records
  std::vector<uint8_t> E1;       // the E1 records
  std::vector<uint8_t> Decimal;  // the keypad decimal key's characters; empty: no comma patch
};

enum class PatchResult {
  Patched,
  PatternNotFound,  // a build that does not carry a pattern
  OutOfImage,       // a region that would reach past the end of the image
};

// Writes the chosen virtual keys into the base array and the E0/E1 records,
// and turns the decimal key's two characters into commas when a decimal
// pattern is given. Nothing is written outside the image; on a failure the
// image may be partly patched and must not be used.
PatchResult PatchLayoutImage(uint8_t* image, size_t size, const KeyMapEntry* map, int count,
                             const LayoutPatterns& patterns);
