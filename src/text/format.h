// The formatting engine: printf-style directives appended to a wide GString.
//
// Arguments are read with va_arg of the type each conversion takes, so the same
// call is right on 32-bit and 64-bit builds:
//   d i u x X o y I U c C t T Y, and F with h  int (a char16_t promotes to int)
//   the same with L or ll                      int64_t / uint64_t (one argument)
//   f e E g G a A F                            double (a float promotes)
//   F with L or ll                             int64_t
//   p P                                        any pointer (at least 8 hex digits;
//                                              64-bit pointers show all 16 when needed)
//   s S (h: const char*) z Z (h: record) b B w W n   one pointer
// A 64-bit value must be passed as int64_t or uint64_t (never as two ints): the
// L or ll modifier reads it as one argument of that size.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "text/gstring.h"

// What a pointer argument is expected to address; only argument sources that
// build values on demand (tests, fuzzing) look at it.
enum class FormatPointer {
  kPlain,       // p, P: only its value is printed
  kWideText,    // s, S
  kNarrowText,  // hs, hS
  kString,      // z, Z: a GString
  kRecord,      // hz, hZ: a string-table record
  kBytes,       // b, B: as many bytes as the precision says
  kIpv4,        // w, W: a 32-bit value
  kGuid,        // hw, hW: 16 bytes
  kCount,       // n: an int to store into
};

// Where the engine takes its arguments from, one at a time and in order.
class CFormatArgs {
 public:
  virtual ~CFormatArgs() = default;
  virtual int Int() = 0;
  // A width or precision given by '*'; an int like any other by default.
  virtual int FieldSize() { return Int(); }
  virtual int64_t Int64() = 0;
  virtual double Double() = 0;
  virtual void* Pointer(FormatPointer kind) = 0;
};

// The usual source: a C variable argument list (copied, so the caller's list
// stays usable).
class CVaFormatArgs : public CFormatArgs {
 public:
  explicit CVaFormatArgs(va_list list) { va_copy(args, list); }
  ~CVaFormatArgs() override { va_end(args); }
  CVaFormatArgs(const CVaFormatArgs&) = delete;
  CVaFormatArgs& operator=(const CVaFormatArgs&) = delete;

  int Int() override { return va_arg(args, int); }
  int64_t Int64() override { return va_arg(args, int64_t); }
  double Double() override { return va_arg(args, double); }
  void* Pointer(FormatPointer) override { return va_arg(args, void*); }

 private:
  va_list args;
};

// Makes target wide, clears it and appends the formatted text. 1 on success, 0
// when the format is null or a conversion fails (what was written stays).
int Format(GString& target, const char16_t* format, ...);
