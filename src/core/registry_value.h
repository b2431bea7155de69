// The rules a registry value must meet before the program uses it, apart from
// the calls that fetch it: its type must be exactly the one the program writes
// and its size must make sense for that type. Anything else counts as missing,
// so a damaged or hostile value is never read past its end and never makes
// the program allocate without bound.
#pragma once

#include <cstdint>

#include "text/gstring.h"

// Windows' numbers of the value types the program writes and reads.
constexpr uint32_t RegistryText = 1;    // REG_SZ
constexpr uint32_t RegistryBinary = 3;  // REG_BINARY
constexpr uint32_t RegistryNumber = 4;  // REG_DWORD

// The largest values the program reads. A text is at most a long path (32,767
// characters and the terminator); a binary value holds at most a scancode map
// or the chosen-key list, both far below this.
constexpr uint32_t MaxRegistryTextBytes = 2 * 32768;
constexpr uint32_t MaxRegistryBinaryBytes = 64 * 1024;

// Whether a value of `type` and `size` bytes may be read as a value of
// `expectedType`: the type must match exactly; a text may be empty up to
// MaxRegistryTextBytes, a number is exactly 4 bytes, a binary value is not
// empty and at most MaxRegistryBinaryBytes. Checked before any buffer is made.
bool AcceptRegistryValue(uint32_t expectedType, uint32_t type, uint32_t size);

// A text value as stored: UTF-16 units, least significant byte first. The
// text ends at its first NUL (the text every system call would see), or with
// the data when the terminator is missing; an odd last byte is ignored. 0,
// with `out` unchanged, when the value is not acceptable as text.
int DecodeRegistryText(uint32_t type, const uint8_t* data, uint32_t size, GString& out);

// A number value: 4 bytes, least significant first. 0, with `out` unchanged,
// when the value is not acceptable as a number.
int DecodeRegistryNumber(uint32_t type, const uint8_t* data, uint32_t size, uint32_t& out);
