// The conversions with a point: fixed, exponential, general and hexadecimal
// floating (f e E g G a A), engineering notation with SI prefixes (F) and
// binary magnitudes (I U).
//
// Decimal digits come from the value's exact binary expansion rounded half up
// to 17 significant digits; every digit beyond the 17th is '0' and shorter
// renderings round that 17-digit expansion half up again. That is the whole
// precision a double carries, and it makes the output the same on every C
// library.
#include <climits>
#include <cmath>
#include <cstring>

#include "text/format_internal.h"

using namespace format_detail;

namespace {

constexpr int kMaxWidth = 512;
constexpr int kMaxPrecision = 308;
constexpr int kMaxFixedDigits = 350;
constexpr double kBinaryStep = 0.0009765625;  // 2 to the power -10

// |x| = 0.digits x 10^exponent; digits has `count` entries ('0' to '9').
struct DecimalDigits {
  char digits[kMaxFixedDigits + 2];
  int count = 0;
  int exponent = 0;
};

// A nonnegative integer in base 10^9, least significant limb first; big enough
// for 2^1076 and for 2^53 x 5^1074.
class CBigDecimal {
 public:
  explicit CBigDecimal(uint64_t v) {
    while (v != 0) {
      limbs[size++] = uint32_t(v % kBase);
      v /= kBase;
    }
  }
  void Multiply(uint32_t factor) {
    uint64_t carry = 0;
    for (int i = 0; i < size; ++i) {
      const uint64_t product = uint64_t(limbs[i]) * factor + carry;
      limbs[i] = uint32_t(product % kBase);
      carry = product / kBase;
    }
    while (carry != 0) {
      limbs[size++] = uint32_t(carry % kBase);
      carry /= kBase;
    }
  }
  // The first `want` decimal digits (fewer when the number is shorter);
  // returns the number's full digit count.
  int LeadingDigits(char* out, int want) const {
    char top[10];
    int topCount = 0;
    for (uint32_t v = limbs[size - 1]; v != 0; v /= 10) {
      top[topCount++] = char('0' + v % 10);
    }
    int written = 0;
    for (int i = topCount - 1; i >= 0 && written < want; --i) {
      out[written++] = top[i];
    }
    for (int limb = size - 2; limb >= 0 && written < want; --limb) {
      uint32_t v = limbs[limb];
      char nine[9];
      for (int i = 8; i >= 0; --i) {
        nine[i] = char('0' + v % 10);
        v /= 10;
      }
      for (int i = 0; i < 9 && written < want; ++i) {
        out[written++] = nine[i];
      }
    }
    return topCount + 9 * (size - 1);
  }

 private:
  static constexpr uint32_t kBase = 1000000000;
  uint32_t limbs[100] = {};
  int size = 0;
};

// The 17 significant digits of a finite nonzero |x| and its point position.
void Expand17(double x, char out[17], int* exponent) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = int((bits >> 52) & 0x7FF);
  uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
  int power2;
  if (biased == 0) {
    power2 = -1074;
  } else {
    mantissa |= uint64_t(1) << 52;
    power2 = biased - 1075;
  }
  CBigDecimal n(mantissa);
  int scale = 0;  // |x| = n x 10^-scale
  if (power2 >= 0) {
    for (; power2 >= 29; power2 -= 29) {
      n.Multiply(uint32_t(1) << 29);
    }
    n.Multiply(uint32_t(1) << power2);
  } else {
    // m x 2^-k = m x 5^k x 10^-k
    scale = -power2;
    int k = scale;
    for (; k >= 13; k -= 13) {
      n.Multiply(1220703125u);  // 5^13
    }
    uint32_t rest = 1;
    while (k-- > 0) {
      rest *= 5;
    }
    n.Multiply(rest);
  }
  char digits[18];
  std::memset(digits, '0', sizeof digits);
  const int total = n.LeadingDigits(digits, 18);
  int e = total - scale;
  if (total > 17 && digits[17] >= '5') {
    int i = 16;
    while (i >= 0 && digits[i] == '9') {
      digits[i--] = '0';
    }
    if (i >= 0) {
      ++digits[i];
    } else {
      digits[0] = '1';
      ++e;
    }
  }
  std::memcpy(out, digits, 17);
  *exponent = e;
}

// Keeps the first `keep` digits of the expansion (keep may exceed 17: zeros
// follow), rounding half up on the next one. A carry out of the first digit
// gives 1 and zeros (one digit more with growOnCarry), and raises the exponent.
void RoundExpansion(const char expansion[17], int exponent, int keep, bool growOnCarry,
                    DecimalDigits& out) {
  out.exponent = exponent;
  if (keep < 0) {
    out.count = 0;
    return;
  }
  for (int i = 0; i < keep; ++i) {
    out.digits[i] = i < 17 ? expansion[i] : '0';
  }
  out.count = keep;
  if (keep < 17 && expansion[keep] >= '5') {
    int i = keep - 1;
    while (i >= 0 && out.digits[i] == '9') {
      out.digits[i--] = '0';
    }
    if (i >= 0) {
      ++out.digits[i];
    } else {
      const int count = growOnCarry ? keep + 1 : keep;
      out.digits[0] = '1';
      for (int j = 1; j < count; ++j) {
        out.digits[j] = '0';
      }
      out.count = count;
      ++out.exponent;
    }
  }
}

bool IsZero(double x) { return x == 0; }

// Digits of |x| rounded to `places` after the point; false when more than the
// scratch area holds would be needed.
bool Fixed(double x, int places, DecimalDigits& out) {
  char expansion[17];
  int exponent = 0;
  if (IsZero(x)) {
    std::memset(expansion, '0', sizeof expansion);
  } else {
    Expand17(std::fabs(x), expansion, &exponent);
  }
  if (int64_t(exponent) + places > kMaxFixedDigits) {
    return false;
  }
  if (IsZero(x)) {
    std::memset(out.digits, '0', size_t(places));
    out.count = places;
    out.exponent = 0;
    return true;
  }
  RoundExpansion(expansion, exponent, exponent + places, true, out);
  return true;
}

// The first `count` significant digits of |x|.
void Significant(double x, int count, DecimalDigits& out) {
  if (IsZero(x)) {
    std::memset(out.digits, '0', size_t(count));
    out.count = count;
    out.exponent = 0;
    return;
  }
  char expansion[17];
  int exponent;
  Expand17(std::fabs(x), expansion, &exponent);
  RoundExpansion(expansion, exponent, count, false, out);
}

// Builds a field in a fixed scratch area; nothing is ever written past it.
class CField {
 public:
  void Put(char16_t c) {
    if (n < int(sizeof text / sizeof text[0])) {
      text[n++] = c;
    }
  }
  void Put(const char* s) {
    while (*s) {
      Put(char16_t(*s++));
    }
  }
  void Put(const char* s, int count) {
    for (int i = 0; i < count; ++i) {
      Put(char16_t(s[i]));
    }
  }
  void PutZeros(int count) {
    for (int i = 0; i < count; ++i) {
      Put(u'0');
    }
  }
  int Length() const { return n; }
  const char16_t* Text() const { return text; }

 private:
  char16_t text[880];
  int n = 0;
};

char16_t SignOf(const Directive& d, bool negative) {
  return negative ? u'-' : (d.flags & kPlus) ? u'+' : (d.flags & kSpace) ? u' ' : 0;
}

void PutExponent(CField& f, const GString& s, char letter, int exponent) {
  f.Put(char16_t(letter));
  f.Put(exponent < 0 ? u'-' : u'+');
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude >= 100 || (s.FormatOptions() & 0x02)) {
    f.Put(char16_t('0' + magnitude / 100 % 10));
  }
  f.Put(char16_t('0' + magnitude / 10 % 10));
  f.Put(char16_t('0' + magnitude % 10));
}

int Finish(GString& s, const Directive& d, const CField& f, int zeroAt) {
  const int width = d.width > kMaxWidth ? kMaxWidth : d.width;
  return PutField(s, d, width, f.Text(), f.Length(), zeroAt);
}

// Digits before the point, the point, the digits after, as f and g write them.
void PutPointed(CField& f, const DecimalDigits& D, int exponent, bool point) {
  if (exponent > 0) {
    f.Put(D.digits, exponent);
    if (point) {
      f.Put(u'.');
    }
    f.Put(D.digits + exponent, D.count - exponent);
  } else {
    f.Put(u'0');
    if (point) {
      f.Put(u'.');
    }
    f.PutZeros(-exponent);
    f.Put(D.digits, D.count);
  }
}

int PutFixed(GString& s, const Directive& d, double x) {
  const int P = d.precision <= 0 ? 6 : d.precision > kMaxPrecision ? kMaxPrecision : d.precision;
  DecimalDigits D;
  if (!Fixed(x, P, D)) {
    return 0;
  }
  int exponent = D.exponent;
  if (exponent < 0 && -exponent > P) {
    exponent = -P;
  }
  CField f;
  const char16_t sign = SignOf(d, std::signbit(x));
  if (sign) {
    f.Put(sign);
  }
  PutPointed(f, D, exponent, true);
  return Finish(s, d, f, sign ? 1 : 0);
}

int PutExponential(GString& s, const Directive& d, double x) {
  const int P = d.precision <= 0 ? 6 : d.precision > kMaxPrecision ? kMaxPrecision : d.precision;
  DecimalDigits D;
  Significant(x, P + 1, D);
  const int exponent = IsZero(x) ? 0 : D.exponent - 1;
  CField f;
  const char16_t sign = SignOf(d, std::signbit(x));
  if (sign) {
    f.Put(sign);
  }
  f.Put(char16_t(D.digits[0]));
  f.Put(u'.');
  f.Put(D.digits + 1, P);
  PutExponent(f, s, d.upper ? 'E' : 'e', exponent);
  return Finish(s, d, f, sign ? 1 : 0);
}

int PutGeneral(GString& s, const Directive& d, double x) {
  const int P = d.precision < 0               ? 6
                : d.precision == 0            ? 1
                : d.precision > kMaxPrecision ? kMaxPrecision
                                              : d.precision;
  const bool alternate = (d.flags & kAlternate) != 0;
  DecimalDigits D;
  Significant(x, P, D);
  const int X = IsZero(x) ? 0 : D.exponent - 1;
  CField f;
  const char16_t sign = SignOf(d, std::signbit(x));
  if (sign) {
    f.Put(sign);
  }
  if (X < -4 || X >= P) {
    if (!alternate) {
      while (D.count > 1 && D.digits[D.count - 1] == '0') {
        --D.count;
      }
    }
    f.Put(char16_t(D.digits[0]));
    if (D.count > 1 || alternate) {
      f.Put(u'.');
    }
    f.Put(D.digits + 1, D.count - 1);
    PutExponent(f, s, d.upper ? 'E' : 'e', X);
  } else {
    if (IsZero(x) && !alternate) {
      D.digits[0] = '0';
      D.count = 1;
      D.exponent = 1;
    }
    if (!alternate) {
      const int keep = D.exponent > 0 ? D.exponent : 0;
      while (D.count > keep && D.digits[D.count - 1] == '0') {
        --D.count;
      }
    }
    const bool point = D.count > D.exponent || alternate;
    PutPointed(f, D, D.exponent, point);
  }
  return Finish(s, d, f, sign ? 1 : 0);
}

int PutHexFloat(GString& s, const Directive& d, double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = int((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  int lead = biased != 0 ? 1 : 0;
  const int exponent = biased != 0 ? biased - 1023 : fraction != 0 ? -1022 : 0;
  int P = d.precision;
  if (P <= 0) {
    P = 0;
    for (int i = 0; i < 13; ++i) {
      if ((fraction >> (4 * (12 - i))) & 15) {
        P = i + 1;
      }
    }
  } else if (P > kMaxPrecision) {
    P = kMaxPrecision;
  }
  auto nibble = [fraction](int i) { return i < 13 ? int((fraction >> (4 * (12 - i))) & 15) : 0; };
  int digits[kMaxPrecision];
  for (int i = 0; i < P; ++i) {
    digits[i] = nibble(i);
  }
  if (P < 13 && nibble(P) >= 8) {
    int i = P - 1;
    while (i >= 0 && digits[i] == 15) {
      digits[i--] = 0;
    }
    if (i >= 0) {
      ++digits[i];
    } else {
      ++lead;
    }
  }
  const char* table = d.upper ? "0123456789ABCDEF" : "0123456789abcdef";
  CField f;
  const char16_t sign = SignOf(d, std::signbit(x));
  if (sign) {
    f.Put(sign);
  }
  f.Put(u'0');
  f.Put(d.upper && (s.FormatOptions() & 0x04) ? u'X' : u'x');
  const int zeroAt = f.Length();
  f.Put(char16_t('0' + lead));
  if (P != 0 || (d.flags & kAlternate)) {
    f.Put(u'.');
  }
  for (int i = 0; i < P; ++i) {
    f.Put(char16_t(table[digits[i]]));
  }
  f.Put(d.upper ? u'P' : u'p');
  f.Put(exponent < 0 ? u'-' : u'+');
  char magnitude[8];
  int m = 0;
  for (int v = exponent < 0 ? -exponent : exponent; m == 0 || v != 0; v /= 10) {
    magnitude[m++] = char('0' + v % 10);
  }
  while (m > 0) {
    f.Put(char16_t(magnitude[--m]));
  }
  return Finish(s, d, f, zeroAt);
}

int PutEngineering(GString& s, const Directive& d, double x) {
  const int P = d.precision < 3 ? 3 : d.precision > kMaxPrecision ? kMaxPrecision : d.precision;
  DecimalDigits D;
  Significant(x, P, D);
  int X = IsZero(x) ? 0 : D.exponent - 1;
  const int r = X % 3;
  int integerDigits = 1;
  if (r == 1 || r == -2) {
    integerDigits = 2;
    X -= 1;
  } else if (r == 2 || r == -1) {
    integerDigits = 3;
    X -= 2;
  }
  CField f;
  const char16_t sign = SignOf(d, std::signbit(x));
  if (sign) {
    f.Put(sign);
  }
  f.Put(D.digits, integerDigits);
  f.Put(u'.');
  f.Put(D.digits + integerDigits, P - integerDigits);
  if ((d.flags & kAlternate) && X >= -24 && X <= 24) {
    static const char kPrefixes[] = "yzafpn?m kMGTPEZY";
    f.Put(u' ');
    if (X == -6) {
      // The micro sign is one character of the wide field.
      f.Put((s.FormatOptions() & 0x08) ? u'u' : u'\u00B5');
    } else {
      f.Put(char16_t(kPrefixes[(X + 24) / 3]));
    }
  } else {
    PutExponent(f, s, 'e', X);
  }
  return Finish(s, d, f, sign ? 1 : 0);
}

int PutBinaryMagnitude(GString& s, const Directive& d, uint64_t v, bool negative) {
  int P = d.precision < 0 ? 3 : d.precision < 2 ? 2 : d.precision;
  if (P > kMaxPrecision) {
    P = kMaxPrecision;
  }
  double x = double(v);
  int n = 0;
  while ((v >> 10) != 0) {
    v >>= 10;
    ++n;
    x *= kBinaryStep;
  }
  DecimalDigits D;
  Significant(x, P, D);
  if (D.exponent > P) {
    ++n;
    x *= kBinaryStep;
    Significant(x, P - 1 > 1 ? P - 1 : 1, D);
  }
  CField f;
  const char16_t sign = d.conversion == u'I' ? SignOf(d, negative) : 0;
  if (sign) {
    f.Put(sign);
  }
  int next = 0;
  auto digit = [&]() { return next < D.count ? char16_t(D.digits[next++]) : u'0'; };
  if (D.exponent <= 0) {
    f.Put(u'0');
    f.Put(u'.');
    for (int i = 1; i < P; ++i) {
      f.Put(digit());
    }
  } else {
    for (int i = 0; i < P; ++i) {
      f.Put(digit());
      if (i + 1 == D.exponent) {
        f.Put(u'.');
      }
    }
  }
  if (d.flags & kAlternate) {
    static const char* const kNames[] = {"  ", "Ki", "Mi", "Gi", "Ti", "Pi", "Ei", "Zi", "Yi"};
    f.Put(u' ');
    f.Put(kNames[n]);
  } else {
    f.Put(u'b');
    f.Put(char16_t('0' + n));
    f.Put(u'0');
  }
  return Finish(s, d, f, sign ? 1 : 0);
}

}  // namespace

namespace format_detail {

int PutFloating(GString& s, const Directive& d, CFormatArgs& args) {
  const char16_t c = d.conversion;
  if (c == u'I' || c == u'U') {
    const bool wide64 = d.size == kLongLong;
    if (c == u'I') {
      const int64_t v = wide64 ? args.Int64() : int64_t(args.Int());
      return PutBinaryMagnitude(s, d, v < 0 ? 0 - uint64_t(v) : uint64_t(v), v < 0);
    }
    const uint64_t v = wide64 ? uint64_t(args.Int64()) : uint64_t(unsigned(args.Int()));
    return PutBinaryMagnitude(s, d, v, false);
  }
  double x;
  if (c == u'F' && d.size == kShort) {
    x = double(args.Int());
  } else if (c == u'F' && d.size == kLongLong) {
    x = double(args.Int64());
  } else {
    x = args.Double();
  }
  if (std::isnan(x) || std::isinf(x)) {
    const char16_t* text = std::isnan(x) ? u"{ nan}" : x > 0 ? u"{+inf}" : u"{-inf}";
    return PutField(s, d, d.width, text, 6, 0);
  }
  switch (c) {
    case u'f':
      return PutFixed(s, d, x);
    case u'e':
    case u'E':
      return PutExponential(s, d, x);
    case u'g':
    case u'G':
      return PutGeneral(s, d, x);
    case u'a':
    case u'A':
      return PutHexFloat(s, d, x);
    default:
      return PutEngineering(s, d, x);
  }
}

}  // namespace format_detail
