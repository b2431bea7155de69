// The directive loop and every conversion that has no decimal point: integers,
// characters, text, byte dumps, addresses, line breaks and counts.
#include "text/format.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "text/format_internal.h"

namespace format_detail {

int PutField(GString& s, const Directive& d, int width, const char16_t* body, int n, int zeroAt) {
  // Text taken from the target itself (%s of its own text) would move when room is made.
  const uintptr_t first = reinterpret_cast<uintptr_t>(s.Block());
  const uintptr_t at = reinterpret_cast<uintptr_t>(body);
  if (first && n > 0 && at >= first && at - first < uintptr_t(s.Capacity())) {
    const std::u16string copy(body, size_t(n));
    return PutField(s, d, width, copy.data(), n, zeroAt);
  }
  const int fill = width > n ? width - n : 0;
  if (int64_t(fill) + n > INT_MAX || !s.EnsureRoom(fill + n)) {
    return 0;
  }
  if (d.flags & kLeft) {
    return s.AppendWide(body, n) && s.AppendRepeated(u' ', fill);
  }
  if ((d.flags & kZero) && zeroAt >= 0) {
    return s.AppendWide(body, zeroAt) && s.AppendRepeated(u'0', fill) &&
           s.AppendWide(body + zeroAt, n - zeroAt);
  }
  return s.AppendRepeated(u' ', fill) && s.AppendWide(body, n);
}

}  // namespace format_detail

using namespace format_detail;

namespace {

const char kLowerDigits[] = "0123456789abcdef";
const char kUpperDigits[] = "0123456789ABCDEF";
const char16_t kNull[] = u"{null}";

const char* Digits(const Directive& d) { return d.upper ? kUpperDigits : kLowerDigits; }

// "{null}" for a missing text or byte pointer; the zero flag fills with '0'.
int PutNull(GString& s, const Directive& d, bool zeroFill) {
  return PutField(s, d, d.width, kNull, 6, zeroFill ? 0 : -1);
}

void AppendEscape(std::u16string& out, unsigned byte, const char* digits) {
  out += u'{';
  out += char16_t(digits[(byte >> 4) & 15]);
  out += char16_t(digits[byte & 15]);
  out += u'}';
}

// ---------------------------------------------------------------------------
// Integers

int PutInteger(GString& s, Directive d, uint64_t value, bool negative) {
  const char16_t c = d.conversion;
  const int base = (c == u'x' || c == u'X' || c == u'p' || c == u'P') ? 16
                   : c == u'o'                                        ? 8
                   : c == u'y'                                        ? 2
                                                                      : 10;
  int precision = d.precision <= 0 ? 1 : d.precision > 308 ? 308 : d.precision;
  int n = 1;
  for (uint64_t v = value / unsigned(base); v != 0; v /= unsigned(base)) {
    ++n;
  }
  char16_t prefix[2] = {0, 0};
  int prefixLength = 0;
  if (d.flags & kAlternate) {
    if (base == 16) {
      const bool upperX = (c == u'X' || c == u'P') && (s.FormatOptions() & 0x04);
      prefix[0] = u'0';
      prefix[1] = upperX ? u'X' : u'x';
      prefixLength = 2;
    } else if (base == 8) {
      prefix[0] = u'0';
      prefixLength = 1;
    } else if (base == 2) {
      prefix[0] = u'0';
      prefix[1] = u'y';
      prefixLength = 2;
    }
  }
  char16_t sign = 0;
  if (c == u'd' || c == u'i') {
    sign = negative ? u'-' : (d.flags & kPlus) ? u'+' : (d.flags & kSpace) ? u' ' : 0;
  }
  const int signLength = sign ? 1 : 0;
  const int group = (d.flags & kGroup) ? (base == 16 || base == 2 ? 4 : 3) : 0;
  if (precision >= signLength + prefixLength + n) {
    n = precision;
    if (base == 8) {
      prefixLength = 0;  // the leading '0' is now among the digits
    }
  }
  const int separators = group ? (n - 1) / group : 0;
  // 308 digits, 102 separators, a prefix and a sign at most.
  char16_t body[420];
  int L = signLength + prefixLength + separators + n;
  char16_t* out = body;
  if (sign) {
    *out++ = sign;
  }
  for (int i = 0; i < prefixLength; ++i) {
    *out++ = prefix[i];
  }
  // Digits from the right, with a separator between groups.
  const char* digits = Digits(d);
  char16_t* p = body + L;
  for (int i = 0; i < n; ++i) {
    if (group && i > 0 && i % group == 0) {
      *--p = u' ';
    }
    *--p = char16_t(digits[value % unsigned(base)]);
    value /= unsigned(base);
  }
  return PutField(s, d, d.width, body, L, signLength + prefixLength);
}

// ---------------------------------------------------------------------------
// Characters

int PutCharacter(GString& s, const Directive& d, int argument) {
  const unsigned v = unsigned(argument);
  const bool escape = (d.flags & kEscapeAll)   ? (v < 0x20 || v >= 0x7F)
                      : (d.flags & kAlternate) ? v < 0x20
                                               : false;
  if (escape) {
    std::u16string field;
    AppendEscape(field, v & 0xFF, Digits(d));
    return PutField(s, d, d.width, field.data(), 4, 0);
  }
  char16_t unit = char16_t(v & 0xFFFF);
  if (d.size == kShort && !(d.flags & (kAlternate | kEscapeAll))) {
    // One narrow byte taken as UTF-8: only ASCII stands on its own.
    if ((v & 0xFF) >= 0x80) {
      return 0;
    }
    unit = char16_t(v & 0xFF);
  }
  return PutField(s, d, d.width, &unit, 1, 0);
}

// ---------------------------------------------------------------------------
// Text

// `available` bounds what may be read: a GString's own length, or INT_MAX for
// a bare pointer whose caller vouches for the precision it gives.
int PutWideText(GString& s, const Directive& d, const char16_t* text, int available = INT_MAX) {
  int n = 0;
  if (d.precision > 0) {
    while (n < d.precision && n < available && text[n] != 0) {
      ++n;
    }
  } else if (d.precision < 0) {
    n = std::min(d.precision == INT_MIN ? INT_MAX : -d.precision, available);
  } else {
    while (n < available && text[n] != 0) {
      ++n;
    }
  }
  const bool all = (d.flags & kEscapeAll) != 0;
  const bool control = !all && (d.flags & kAlternate);
  if (!all && !control) {
    return PutField(s, d, d.width, text, n, 0);
  }
  std::u16string field;
  for (int i = 0; i < n; ++i) {
    const char16_t u = text[i];
    if (u < 0x20 || (all && u > 0x7E)) {
      AppendEscape(field, u & 0xFF, Digits(d));
    } else {
      field += u;
    }
  }
  if (field.size() > size_t(INT_MAX)) {
    return 0;
  }
  return PutField(s, d, d.width, field.data(), int(field.size()), 0);
}

bool StartsCharacter(unsigned char b) { return b < 0x80 || (b & 0xC0) == 0xC0; }

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes n UTF-8 bytes onto the end of out, one unit per sequence of one to
// three bytes (the same reading as GString's conversions); false when they are
// malformed.
bool DecodeOnto(std::u16string& out, const unsigned char* p, int n) {
  int i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out += char16_t(b);
      i += 1;
    } else if ((b & 0xE0) == 0xC0) {
      if (n - i < 2 || !IsContinuation(p[i + 1])) {
        return false;
      }
      out += char16_t(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
      i += 2;
    } else if ((b & 0xF0) == 0xE0) {
      if (n - i < 3 || !IsContinuation(p[i + 1]) || !IsContinuation(p[i + 2])) {
        return false;
      }
      out += char16_t(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

int PutNarrowText(GString& s, const Directive& d, const char* text, int available = INT_MAX) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text);
  const bool all = (d.flags & kEscapeAll) != 0;
  int n = 0;  // bytes taken
  if (all || d.precision == 0) {
    if (d.precision > 0) {
      while (n < d.precision && n < available && b[n] != 0) {
        ++n;
      }
    } else if (d.precision < 0) {
      n = std::min(d.precision == INT_MIN ? INT_MAX : -d.precision, available);
    } else {
      while (n < available && b[n] != 0) {
        ++n;
      }
    }
  } else {
    // The precision counts characters; the continuation bytes of the last
    // character taken still belong to it.
    const bool stopAtNul = d.precision > 0;
    const int64_t limit = d.precision > 0 ? int64_t(d.precision) : -int64_t(d.precision);
    int64_t characters = 0;
    while (n < available) {
      if (stopAtNul && b[n] == 0) {
        break;
      }
      if (StartsCharacter(b[n])) {
        if (characters == limit) {
          break;
        }
        ++characters;
      }
      ++n;
      // Continuation bytes never run past a NUL, so the text is not overread.
      if (!stopAtNul && characters == limit) {
        while (n < available && (b[n] & 0xC0) == 0x80) {
          ++n;
        }
        break;
      }
    }
  }
  const char* digits = Digits(d);
  std::u16string field;
  if (all) {
    for (int i = 0; i < n; ++i) {
      if (b[i] < 0x20 || b[i] > 0x7E) {
        AppendEscape(field, b[i], digits);
      } else {
        field += char16_t(b[i]);
      }
    }
  } else if (d.flags & kAlternate) {
    int run = 0;
    for (int i = 0; i < n; ++i) {
      if (b[i] < 0x20) {
        if (!DecodeOnto(field, b + run, i - run)) {
          return 0;
        }
        AppendEscape(field, b[i], digits);
        run = i + 1;
      }
    }
    if (!DecodeOnto(field, b + run, n - run)) {
      return 0;
    }
  } else if (!DecodeOnto(field, b, n)) {
    return 0;
  }
  if (field.size() > size_t(INT_MAX)) {
    return 0;
  }
  return PutField(s, d, d.width, field.data(), int(field.size()), 0);
}

// A string-table record: 32-bit little-endian header, bit 31 set for narrow
// text. The wide text after it need not be aligned, so it is copied unit by unit.
int PutRecord(GString& s, const Directive& d, const unsigned char* record) {
  const uint32_t header = uint32_t(record[0]) | uint32_t(record[1]) << 8 |
                          uint32_t(record[2]) << 16 | uint32_t(record[3]) << 24;
  const unsigned char* text = record + 4;
  if (header & 0x80000000u) {
    return PutNarrowText(s, d, reinterpret_cast<const char*>(text));
  }
  std::u16string copy;
  auto unitAt = [text](size_t i) { return char16_t(text[2 * i] | text[2 * i + 1] << 8); };
  if (d.precision < 0) {
    const size_t n = d.precision == INT_MIN ? size_t(INT_MAX) : size_t(-d.precision);
    for (size_t i = 0; i < n; ++i) {
      copy += unitAt(i);
    }
  } else {
    for (size_t i = 0; (d.precision == 0 || i < size_t(d.precision)) && unitAt(i) != 0; ++i) {
      copy += unitAt(i);
    }
  }
  Directive exact = d;
  exact.precision = -int(copy.size());
  if (copy.empty()) {
    return PutField(s, d, d.width, u"", 0, 0);
  }
  return PutWideText(s, exact, copy.data());
}

// ---------------------------------------------------------------------------
// Byte dumps

int PutBytes(GString& s, const Directive& d, const unsigned char* bytes) {
  const int n = d.precision;
  const bool space = (d.flags & kSpace) != 0;
  const bool alternate = (d.flags & kAlternate) != 0;
  const char* digits = Digits(d);
  if (int64_t(n) * 5 > INT_MAX) {
    return 0;
  }
  std::u16string field;
  field.reserve(size_t(n) * 5);
  if (d.flags & kGroup) {
    const char16_t* between = alternate ? (space ? u" " : u"") : (space ? u"  " : u" ");
    for (int i = 0; i < n; ++i) {
      if (i % 4 == 0) {
        if (i > 0) {
          if (alternate) {
            field += u'}';
          }
          field += between;
        }
        if (alternate) {
          field += u'{';
        }
      } else if (space) {
        field += u' ';
      }
      field += char16_t(digits[bytes[i] >> 4]);
      field += char16_t(digits[bytes[i] & 15]);
    }
    if (alternate) {
      field += u'}';
    }
  } else {
    for (int i = 0; i < n; ++i) {
      if (i > 0 && space) {
        field += u' ';
      }
      if (alternate) {
        field += u'{';
      }
      field += char16_t(digits[bytes[i] >> 4]);
      field += char16_t(digits[bytes[i] & 15]);
      if (alternate) {
        field += u'}';
      }
    }
  }
  return PutField(s, d, d.width, field.data(), int(field.size()), 0);
}

// ---------------------------------------------------------------------------
// Addresses

int PutAddress(GString& s, const Directive& d, const unsigned char* p) {
  char text[40];
  int n;
  if (d.size == kShort) {
    uint32_t data1;
    uint16_t data2, data3;
    std::memcpy(&data1, p, 4);
    std::memcpy(&data2, p + 4, 2);
    std::memcpy(&data3, p + 6, 2);
    const char* digits = Digits(d);
    n = 0;
    text[n++] = '{';
    for (int shift = 28; shift >= 0; shift -= 4) {
      text[n++] = digits[(data1 >> shift) & 15];
    }
    text[n++] = '-';
    for (uint16_t part : {data2, data3}) {
      for (int shift = 12; shift >= 0; shift -= 4) {
        text[n++] = digits[(part >> shift) & 15];
      }
      text[n++] = '-';
    }
    for (int i = 8; i < 16; ++i) {
      if (i == 10) {
        text[n++] = '-';
      }
      text[n++] = digits[p[i] >> 4];
      text[n++] = digits[p[i] & 15];
    }
    text[n++] = '}';
  } else {
    uint32_t value;
    std::memcpy(&value, p, 4);
    const bool padded = (d.flags & kZero) != 0;
    n = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
      const unsigned part = (value >> shift) & 0xFF;
      if (padded || part >= 100) {
        text[n++] = char('0' + part / 100);
      }
      if (padded || part >= 10) {
        text[n++] = char('0' + part / 10 % 10);
      }
      text[n++] = char('0' + part % 10);
      if (shift > 0) {
        text[n++] = '.';
      }
    }
  }
  char16_t field[40];
  for (int i = 0; i < n; ++i) {
    field[i] = char16_t(text[i]);
  }
  // Zero fill would read as part of the address.
  return PutField(s, d, d.width, field, n, -1);
}

bool IsFlag(char16_t c, unsigned* flag) {
  switch (c) {
    case u'-':
      *flag = kLeft;
      return true;
    case u'+':
      *flag = kPlus;
      return true;
    case u' ':
      *flag = kSpace;
      return true;
    case u'0':
      *flag = kZero;
      return true;
    case u'#':
      *flag = kAlternate;
      return true;
    case u'$':
      *flag = kEscapeAll;
      return true;
    case u'`':
      *flag = kGroup;
      return true;
    default:
      return false;
  }
}

// Up to ten decimal digits; values beyond int are held at INT_MAX.
int ReadNumber(const char16_t*& f) {
  int64_t value = 0;
  for (int i = 0; i < 10 && *f >= u'0' && *f <= u'9'; ++i, ++f) {
    value = value * 10 + (*f - u'0');
  }
  return value > INT_MAX ? INT_MAX : int(value);
}

// One conversion; 0 fails the whole call.
int Convert(GString& s, Directive& d, CFormatArgs& args, int startLength) {
  const bool wide64 = d.size == kLongLong;
  switch (d.conversion) {
    case u'd':
    case u'i': {
      const int64_t v = wide64 ? args.Int64() : int64_t(args.Int());
      const bool negative = v < 0;
      const uint64_t magnitude = negative ? 0 - uint64_t(v) : uint64_t(v);
      return PutInteger(s, d, magnitude, negative);
    }
    case u'u':
    case u'x':
    case u'X':
    case u'o':
    case u'y': {
      const uint64_t v = wide64 ? uint64_t(args.Int64()) : uint64_t(unsigned(args.Int()));
      return PutInteger(s, d, v, false);
    }
    case u'p':
    case u'P': {
      const uintptr_t v = reinterpret_cast<uintptr_t>(args.Pointer(FormatPointer::kPlain));
      if (v == 0) {
        return PutNull(s, d, true);
      }
      d.precision = 8;
      d.size = kDefaultSize;
      return PutInteger(s, d, uint64_t(v), false);
    }
    case u'c':
    case u'C':
      return PutCharacter(s, d, args.Int());
    case u's':
    case u'S': {
      const bool narrow = d.size == kShort;
      void* p = args.Pointer(narrow ? FormatPointer::kNarrowText : FormatPointer::kWideText);
      if (wide64) {
        return 1;
      }
      if (!p) {
        return PutNull(s, d, true);
      }
      return narrow ? PutNarrowText(s, d, static_cast<const char*>(p))
                    : PutWideText(s, d, static_cast<const char16_t*>(p));
    }
    case u'z':
    case u'Z': {
      const bool record = d.size == kShort;
      void* p = args.Pointer(record ? FormatPointer::kRecord : FormatPointer::kString);
      if (!p) {
        return PutNull(s, d, true);
      }
      if (record) {
        return PutRecord(s, d, static_cast<const unsigned char*>(p));
      }
      // A string's text ends with its block: an exact count beyond it takes
      // what the string holds, never the memory after it.
      const GString* other = static_cast<const GString*>(p);
      const int available = other->Length();
      return other->IsWide() ? PutWideText(s, d, other->WideText(0), available)
                             : PutNarrowText(s, d, other->NarrowText(0), available);
    }
    case u'b':
    case u'B': {
      if (d.precision <= 0) {
        return 1;
      }
      void* p = args.Pointer(FormatPointer::kBytes);
      return p ? PutBytes(s, d, static_cast<const unsigned char*>(p)) : PutNull(s, d, true);
    }
    case u'w':
    case u'W': {
      void* p = args.Pointer(d.size == kShort ? FormatPointer::kGuid : FormatPointer::kIpv4);
      return p ? PutAddress(s, d, static_cast<const unsigned char*>(p)) : PutNull(s, d, false);
    }
    case u'N':
      return s.AppendNewline();
    case u'n': {
      void* p = args.Pointer(FormatPointer::kCount);
      if (p) {
        const int count = s.Length() - startLength;
        std::memcpy(p, &count, sizeof count);
      }
      return 1;
    }
    case u't':
    case u'T':
    case u'Y':
      args.Int();
      return 0;
    default:
      return PutFloating(s, d, args);
  }
}

bool IsConversion(char16_t c) {
  static const char16_t kConversions[] = u"diuxXoypPcCsSzZbBwWNntTYfeEgGaAFIU";
  for (const char16_t* p = kConversions; *p; ++p) {
    if (*p == c) {
      return true;
    }
  }
  return false;
}

bool IsUpper(char16_t c) {
  switch (c) {
    case u'B':
    case u'C':
    case u'E':
    case u'G':
    case u'A':
    case u'P':
    case u'S':
    case u'W':
    case u'X':
    case u'Z':
      return true;
    default:
      return false;
  }
}

}  // namespace

int GString::FormatAppendArgs(const char16_t* format, CFormatArgs& args) {
  if (!format || !isWide) {
    return 0;
  }
  if (InBlock(format)) {
    // A format taken from this string's own text would move as the text grows.
    const std::u16string copy(format);
    return FormatAppendArgs(copy.c_str(), args);
  }
  const int startLength = length;
  const char16_t* f = format;
  bool literalFirst = false;  // a character that ended a directive is literal text
  for (;;) {
    const char16_t* literal = f;
    if (literalFirst && *f != 0) {
      ++f;
    }
    literalFirst = false;
    while (*f != 0 && *f != u'%') {
      ++f;
    }
    if (f > literal && !AppendWide(literal, int(f - literal))) {
      return 0;
    }
    if (*f == 0) {
      Terminate();
      return 1;
    }
    ++f;  // '%'
    if (*f == u'%') {
      if (!AppendWideChar(u'%')) {
        return 0;
      }
      ++f;
      continue;
    }
    Directive d;
    unsigned flag;
    while (IsFlag(*f, &flag)) {
      d.flags |= flag;
      ++f;
    }
    if (*f == u'*') {
      ++f;
      const int w = args.FieldSize();
      if (w < 0) {
        d.flags |= kLeft;
        d.width = w == INT_MIN ? INT_MAX : -w;
      } else {
        d.width = w;
      }
    } else if (*f >= u'0' && *f <= u'9') {
      d.width = ReadNumber(f);
    }
    if (*f == u'.') {
      ++f;
      if (*f == u'*') {
        ++f;
        d.precision = args.FieldSize();
      } else {
        d.precision = ReadNumber(f);
      }
    }
    if (*f == u'L') {
      d.size = kLongLong;
      ++f;
    } else if (*f == u'l') {
      ++f;
      if (*f == u'l') {
        d.size = kLongLong;
        ++f;
      } else {
        d.size = kLong;  // accepted; changes nothing
      }
    } else if (*f == u'h') {
      d.size = kShort;
      ++f;
    }
    if (!IsConversion(*f)) {
      literalFirst = true;
      continue;
    }
    d.conversion = *f++;
    d.upper = IsUpper(d.conversion);
    if (!Convert(*this, d, args, startLength)) {
      return 0;
    }
  }
}

int GString::FormatAppendV(const char16_t* format, va_list args) {
  CVaFormatArgs source(args);
  return FormatAppendArgs(format, source);
}

int GString::FormatAppend(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = FormatAppendV(format, args);
  va_end(args);
  return result;
}

int Format(GString& target, const char16_t* format, ...) {
  target.AssignWide(u"", 0);
  va_list args;
  va_start(args, format);
  const int result = target.FormatAppendV(format, args);
  va_end(args);
  return result;
}
