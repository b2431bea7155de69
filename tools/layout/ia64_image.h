// Writes the IA64 builds of the layout library. No compiler we have targets
// IA64, so this is a small PE32+ writer of our own: the tables come from the
// AMD64 build of the same group and variant (both hold them in the same
// 64-bit layout), moved to the IA64 image's data section with their pointers
// relocated; the descriptor function is an IA64 function descriptor {code,
// gp} whose gp is the tables' address, over one hand-encoded bundle:
//
//   { .mib  adds r8 = 0, r1      // return value: gp, the tables' address
//           nop.i 0
//           br.ret.sptk.many b0 ;; }
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "layout_slots.h"

// The code bundle above, as it lies in the image.
extern const uint8_t Ia64ReturnGpBundle[16];

// Makes the IA64 image for a slot from the AMD64 build's bytes; the export
// directory names the library dllName. 0 with error set on failure.
int MakeIa64Image(const std::vector<uint8_t>& amd64, const CLayoutSlot& slot,
                  const std::string& dllName, std::vector<uint8_t>& out, std::string& error);
