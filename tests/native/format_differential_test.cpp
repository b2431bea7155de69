// Our formatter against the C library's snprintf, for the conversions both
// have with the same meaning, over many generated values, flags, widths and
// precisions. A case is skipped only when it falls under one of the deliberate
// differences named in Difference below; everything else must match exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "format_test_util.h"

namespace {

// The reference is the GNU C library. The C runtimes of Windows builds differ
// from C99 on their own (a space flag on %u, the zero flag beside '-' on %a),
// so there the comparison would test them rather than us.
#ifdef _WIN32
#define SKIP_WITHOUT_REFERENCE() GTEST_SKIP() << "no C99 reference formatter on Windows"
#else
#define SKIP_WITHOUT_REFERENCE() (void)0
#endif

enum class Difference {
  kNone,
  kZeroPrecisionIsOneDigit,  // %.0d of 0 writes "0" (C: nothing)
  kZeroFlagWithPrecision,    // the zero flag still fills when a precision is given
  kAlternateZero,            // %#x of 0 is "0x0", %#o of 0 is "00" (C: "0")
  kPrecisionCountsPrefix,    // %#.3x of 255 is "0xff": sign and prefix count toward it
  kZeroPrecisionIsDefault,   // %.0f, %.0e, %.0a, %.0s mean "no precision given"
  kSeventeenDigits,          // digits past the 17th significant one are '0'
  kTiesRoundUp,              // half-way cases of the 17-digit expansion round up
  kAlternateZeroGeneral,     // %#.3g of 0 is "0.000" (C: "0.00")
  kLowerCaseHexPrefix,       // %#X writes "0x" (an upper-case X is a string option)
  kGeneralDefaultPrecision,  // %g without a precision keeps one digit (C: six)
  kCarryInAlternateGeneral,  // %#.3G of 999.9999 is "1.00E+03"; glibc drops the zeros
                             // ("1.E+03") when rounding raises the exponent
};

const char* Name(Difference d) {
  switch (d) {
    case Difference::kNone:
      return "none";
    case Difference::kZeroPrecisionIsOneDigit:
      return "zero precision is one digit";
    case Difference::kZeroFlagWithPrecision:
      return "zero flag with precision";
    case Difference::kAlternateZero:
      return "alternate form of zero";
    case Difference::kPrecisionCountsPrefix:
      return "precision counts sign and prefix";
    case Difference::kZeroPrecisionIsDefault:
      return "zero precision is the default";
    case Difference::kSeventeenDigits:
      return "17 significant digits";
    case Difference::kTiesRoundUp:
      return "ties round up";
    case Difference::kAlternateZeroGeneral:
      return "alternate general form of zero";
    case Difference::kLowerCaseHexPrefix:
      return "lower-case hexadecimal prefix";
    case Difference::kGeneralDefaultPrecision:
      return "general default precision";
    case Difference::kCarryInAlternateGeneral:
      return "carry in alternate general form";
  }
  return "?";
}

struct Conversion {
  std::string flags;
  int width = -1;      // -1: none
  int precision = -1;  // -1: none
  char conversion = 'd';

  std::string Text() const {
    std::string s = "%" + flags;
    if (width >= 0) s += std::to_string(width);
    if (precision >= 0) s += "." + std::to_string(precision);
    return s + conversion;
  }
  bool Has(char flag) const { return flags.find(flag) != std::string::npos; }
};

Conversion RandomConversion(std::mt19937& random, const char* conversions, int maxPrecision) {
  static const char kFlags[] = "-+ 0#";
  Conversion s;
  const unsigned mask = random() % 32;
  for (int i = 0; i < 5; ++i) {
    if (mask & (1u << i)) s.flags += kFlags[i];
  }
  if (random() % 2) s.width = int(random() % 30);
  if (random() % 2) s.precision = int(random() % (maxPrecision + 1));
  s.conversion = conversions[random() % std::strlen(conversions)];
  return s;
}

template <typename T>
std::string CFormat(const Conversion& directive, T value) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, directive.Text().c_str(), value);
  return buffer;
}

template <typename T>
FormatResult OurFormat(const Conversion& directive, T value) {
  return Fmt(Wide(directive.Text()).c_str(), value);
}

int DigitCount(uint64_t v, int base) {
  int n = 1;
  while (v >= uint64_t(base)) {
    v /= uint64_t(base);
    ++n;
  }
  return n;
}

Difference IntegerDifference(const Conversion& s, int value) {
  const bool isSigned = s.conversion == 'd' || s.conversion == 'i';
  const uint64_t magnitude =
      isSigned ? uint64_t(value < 0 ? -int64_t(value) : value) : uint64_t(unsigned(value));
  const int base = s.conversion == 'o' ? 8 : (s.conversion == 'x' || s.conversion == 'X') ? 16 : 10;
  if (s.precision == 0 && magnitude == 0) return Difference::kZeroPrecisionIsOneDigit;
  if (s.Has('#') && magnitude == 0 && base != 10) return Difference::kAlternateZero;
  if (s.Has('#') && s.conversion == 'X') return Difference::kLowerCaseHexPrefix;
  if (s.Has('0') && !s.Has('-') && s.precision >= 0) return Difference::kZeroFlagWithPrecision;
  const int n = DigitCount(magnitude, base);
  const int sign = isSigned && (value < 0 || s.Has('+') || s.Has(' ')) ? 1 : 0;
  const int prefix = s.Has('#') ? (base == 16 ? 2 : base == 8 ? 1 : 0) : 0;
  if (s.precision > n && s.precision < sign + prefix + n) return Difference::kPrecisionCountsPrefix;
  return Difference::kNone;
}

// The 17 significant digits we work from, and the decimal exponent of the first.
void SeventeenDigits(double x, std::string* digits, int* exponent) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.16e", std::fabs(x));
  *digits = std::string(1, buffer[0]) + std::string(buffer + 2, 16);
  *exponent = std::atoi(std::strchr(buffer, 'e') + 1);
}

// Whether rounding the 17-digit expansion to `keep` digits is a tie.
bool TieAt(double x, int keep) {
  if (x == 0 || keep < 0 || keep >= 17) return false;
  std::string digits;
  int exponent;
  SeventeenDigits(x, &digits, &exponent);
  if (digits[size_t(keep)] != '5') return false;
  return digits.find_first_not_of('0', size_t(keep) + 1) == std::string::npos;
}

Difference FloatDifference(const Conversion& s, double x) {
  const char c = s.conversion;
  const bool general = c == 'g' || c == 'G';
  const bool hex = c == 'a' || c == 'A';
  if (s.precision == 0 && !general) return Difference::kZeroPrecisionIsDefault;
  if (s.precision < 0 && general) return Difference::kGeneralDefaultPrecision;
  if (c == 'A') return Difference::kLowerCaseHexPrefix;
  if (hex) {
    // The first digit dropped is 8 and the rest are zero.
    const int p = s.precision < 0 ? 13 : s.precision;
    if (p >= 13) return Difference::kNone;
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    const int dropped = 4 * (13 - p);
    const uint64_t rest = fraction & ((uint64_t(1) << dropped) - 1);
    return rest == (uint64_t(1) << (dropped - 1)) ? Difference::kTiesRoundUp : Difference::kNone;
  }
  if (general && s.Has('#') && x == 0) return Difference::kAlternateZeroGeneral;
  const int precision = s.precision < 0 ? 6 : s.precision;
  int keep;
  if (c == 'f') {
    std::string digits;
    int exponent = 0;
    if (x != 0) SeventeenDigits(x, &digits, &exponent);
    keep = exponent + 1 + precision;
  } else if (general) {
    keep = precision == 0 ? 1 : precision;
  } else {
    keep = precision + 1;
  }
  if (x != 0 && keep > 17) return Difference::kSeventeenDigits;
  if (general && s.Has('#') && x != 0) {
    std::string digits;
    int exponent;
    SeventeenDigits(x, &digits, &exponent);
    if (digits.find_first_not_of('9') >= size_t(keep) && digits[size_t(keep)] >= '5') {
      return Difference::kCarryInAlternateGeneral;
    }
  }
  if (TieAt(x, keep)) return Difference::kTiesRoundUp;
  // A carry can add a digit in front: check the position one further too.
  if (c == 'f' && TieAt(x, keep + 1) && keep + 1 <= 17) return Difference::kTiesRoundUp;
  return Difference::kNone;
}

class Tally {
 public:
  void Skip(Difference d) { ++skipped[Name(d)]; }
  void Compare() { ++compared; }
  void Report(int atLeast) const {
    std::string summary;
    for (const auto& entry : skipped) {
      summary += std::string(entry.first) + ": " + std::to_string(entry.second) + "; ";
    }
    EXPECT_GE(compared, atLeast) << "skipped: " << summary;
  }

 private:
  std::map<const char*, int> skipped;
  int compared = 0;
};

int RandomInt(std::mt19937& random) {
  switch (random() % 4) {
    case 0:
      return int(random() % 200) - 100;
    case 1:
      return int(random() % 100000) - 50000;
    case 2:
      return int(random());
    default: {
      static const int kEdges[] = {0, 1, -1, INT32_MAX, INT32_MIN, 255, 256, 0x7FFF, -0x8000};
      return kEdges[random() % (sizeof kEdges / sizeof kEdges[0])];
    }
  }
}

TEST(FormatDifferential, IntegersMatchTheCLibrary) {
  SKIP_WITHOUT_REFERENCE();
  std::mt19937 random(20261211);
  Tally tally;
  const int kCases = 20000;
  for (int i = 0; i < kCases; ++i) {
    const Conversion directive = RandomConversion(random, "diuxXo", 20);
    const int value = RandomInt(random);
    const Difference d = IntegerDifference(directive, value);
    if (d != Difference::kNone) {
      tally.Skip(d);
      continue;
    }
    tally.Compare();
    const FormatResult ours = OurFormat(directive, value);
    ASSERT_EQ(ours.ok, 1);
    ASSERT_EQ(ours.text, CFormat(directive, value)) << directive.Text() << " of " << value;
  }
  tally.Report(kCases / 2);
}

TEST(FormatDifferential, CharactersAndTextMatchTheCLibrary) {
  SKIP_WITHOUT_REFERENCE();
  std::mt19937 random(7);
  Tally tally;
  static const char* const kTexts[] = {"", "a", "text", "a longer line of text", "C:\\dir\\f"};
  for (int i = 0; i < 4000; ++i) {
    Conversion directive = RandomConversion(random, "cs", 25);
    // Flags other than '-' have no C meaning for these conversions.
    directive.flags = directive.Has('-') ? "-" : "";
    if (directive.conversion == 'c') {
      directive.precision = -1;
      const int value = 0x20 + int(random() % 0x5F);
      tally.Compare();
      ASSERT_EQ(OurFormat(directive, value).text, CFormat(directive, value)) << directive.Text();
      continue;
    }
    if (directive.precision == 0) {
      tally.Skip(Difference::kZeroPrecisionIsDefault);
      continue;
    }
    const char* text = kTexts[random() % 5];
    const std::u16string wide = Wide(text);
    tally.Compare();
    ASSERT_EQ(OurFormat(directive, wide.c_str()).text, CFormat(directive, text))
        << directive.Text();
  }
  tally.Report(3000);
}

double RandomDouble(std::mt19937& random) {
  switch (random() % 5) {
    case 0: {  // a short decimal, the kind people write
      const double mantissa = double(int(random() % 2000001) - 1000000);
      return mantissa * std::pow(10.0, int(random() % 25) - 15);
    }
    case 1: {  // any finite bit pattern
      uint64_t bits = (uint64_t(random()) << 32) | random();
      if (((bits >> 52) & 0x7FF) == 0x7FF) bits &= ~(uint64_t(1) << 62);
      double x;
      std::memcpy(&x, &bits, sizeof x);
      return x;
    }
    case 2:  // a value of moderate size with all its bits in use
      return (double(random()) / 4294967296.0 - 0.5) * std::pow(2.0, int(random() % 80) - 40);
    case 3: {  // halves and quarters, which sit exactly on ties
      return double(int(random() % 4001) - 2000) / double(1 << (random() % 6));
    }
    default: {
      static const double kEdges[] = {0.0,
                                      -0.0,
                                      1.0,
                                      0.5,
                                      0.1,
                                      9.5,
                                      99.5,
                                      999.9999,
                                      1e-5,
                                      1e-4,
                                      123456789.0,
                                      4.9406564584124654e-324,
                                      2.2250738585072014e-308,
                                      1.7976931348623157e308};
      return kEdges[random() % (sizeof kEdges / sizeof kEdges[0])];
    }
  }
}

TEST(FormatDifferential, FloatingPointMatchesTheCLibrary) {
  SKIP_WITHOUT_REFERENCE();
  std::mt19937 random(1234);
  Tally tally;
  const int kCases = 30000;
  for (int i = 0; i < kCases; ++i) {
    const Conversion directive = RandomConversion(random, "feEgGaA", 16);
    const double value = RandomDouble(random);
    if (directive.conversion == 'f' && std::fabs(value) > 1e30) {
      tally.Skip(Difference::kSeventeenDigits);
      continue;
    }
    const Difference d = FloatDifference(directive, value);
    if (d != Difference::kNone) {
      tally.Skip(d);
      continue;
    }
    tally.Compare();
    const FormatResult ours = OurFormat(directive, value);
    ASSERT_EQ(ours.ok, 1);
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.17g", value);
    ASSERT_EQ(ours.text, CFormat(directive, value)) << directive.Text() << " of " << exact;
  }
  tally.Report(kCases / 3);
}

}  // namespace
