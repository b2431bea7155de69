// Helpers for the formatting tests: run a format and read the result as UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "text/format.h"
#include "text/gstring.h"

struct FormatResult {
  int ok;
  std::string text;  // UTF-8
};

// Every unit of a wide string (NUL units included) as UTF-8; narrow text as it is.
inline std::string Utf8(const GString& s) {
  if (!s.IsWide()) {
    return std::string(s.NarrowText(0), size_t(s.Length()));
  }
  std::string out;
  const char16_t* p = s.WideText(0);
  for (int i = 0; i < s.Length(); ++i) {
    const unsigned u = p[i];
    if (u < 0x80) {
      out += char(u);
    } else if (u < 0x800) {
      out += char(0xC0 | (u >> 6));
      out += char(0x80 | (u & 0x3F));
    } else {
      out += char(0xE0 | (u >> 12));
      out += char(0x80 | ((u >> 6) & 0x3F));
      out += char(0x80 | (u & 0x3F));
    }
  }
  return out;
}

inline FormatResult Fmt(const char16_t* format, ...) {
  GString s;
  s.AssignWide(u"", 0);
  va_list args;
  va_start(args, format);
  const int ok = s.FormatAppendV(format, args);
  va_end(args);
  return {ok, Utf8(s)};
}

// A UTF-16 format from ASCII text, for formats built at run time.
inline std::u16string Wide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// One row of a table of single-argument formats.
template <typename Value>
struct FormatCase {
  const char16_t* format;
  Value value;
  const char* expected;  // UTF-8
};

// Every row formats successfully to its expected text.
template <typename Value, size_t N>
void ExpectFormats(const FormatCase<Value> (&cases)[N]) {
  for (const FormatCase<Value>& c : cases) {
    SCOPED_TRACE(std::string(c.format, c.format + std::char_traits<char16_t>::length(c.format)));
    const FormatResult r = Fmt(c.format, c.value);
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.text, c.expected);
  }
}
