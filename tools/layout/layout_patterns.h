// The byte patterns the installer searches for in a layout library before it
// patches it, chosen from the builds themselves and checked against all of them.
//
//   146  the keypad decimal key's two characters (every build)
//   147, 148, 149  the scancode-to-virtual-key array of variant 0, 1, 2
//   150  the E0 list (every build)
//   151  the E1 list (every build)
//
// A pattern is good when, in every build it serves, its first occurrence is
// exactly the start of its region, the region lies wholly inside the image,
// and no byte an earlier patch step may change lies before the pattern's end
// (the installer patches the array, then E0, then E1, then the decimal key,
// searching each pattern in the image as patched so far).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "layout_image.h"

struct CLayoutBuild {
  int Entry, Group, Variant, Slot;
  std::string File;
  std::vector<uint8_t> Bytes;
  CLayoutImage Image;
};

enum : int {
  PatternDecimal = 146,
  PatternVscVariant0 = 147,
  PatternE0 = 150,
  PatternE1 = 151,
};

// Chooses the six patterns (id -> upper-case hex text). On failure returns 0
// and error names the pattern, the build and what is wrong.
int ChoosePatterns(const std::vector<CLayoutBuild>& builds, int variants,
                   std::map<int, std::string>& patterns, std::string& error);

// Checks one pattern text against the builds it serves; "" when it is good.
std::string CheckPattern(const std::vector<CLayoutBuild>& builds, int id, const std::string& hex);

std::vector<uint8_t> DecodeHex(const std::string& hex);
std::string EncodeHex(const uint8_t* bytes, size_t n);
// First occurrence of a pattern, or -1.
long FindBytes(const std::vector<uint8_t>& image, const std::vector<uint8_t>& pattern);
