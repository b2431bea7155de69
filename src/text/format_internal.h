// Pieces shared by the integer/text conversions and the floating-point ones.
#pragma once

#include <cstdint>

#include "text/format.h"

namespace format_detail {

enum Flag : unsigned {
  kLeft = 1,        // '-'
  kPlus = 2,        // '+'
  kSpace = 4,       // ' '
  kZero = 8,        // '0'
  kAlternate = 16,  // '#'
  kEscapeAll = 32,  // '$'
  kGroup = 64,      // '`'
};

enum Size { kDefaultSize, kShort, kLong, kLongLong };

struct Directive {
  unsigned flags = 0;
  int width = -1;     // -1: none given
  int precision = 0;  // 0 when none given
  Size size = kDefaultSize;
  char16_t conversion = 0;
  bool upper = false;  // capital-letter conversions take upper-case digits
};

// Appends body as a field of d's width: fill before it (zeros after its first
// zeroAt units when the zero flag is set and zeroAt >= 0, else spaces) or, with
// the left flag, spaces after it. Room for fill and body is reserved at once.
int PutField(GString& s, const Directive& d, int width, const char16_t* body, int n, int zeroAt);

// f e E g G a A F I U.
int PutFloating(GString& s, const Directive& d, CFormatArgs& args);

}  // namespace format_detail
