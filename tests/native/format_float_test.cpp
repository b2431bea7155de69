#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "format_test_util.h"

namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(FormatFloat, Conversions) {
  const FormatCase<double> cases[] = {
      {u"%f", 3.14159, "3.141590"},
      {u"%.2f", 0.006, "0.01"},
      {u"%.2f", 0.0004, "0.00"},
      {u"%.2f", 0.995, "1.00"},
      {u"%.1f", 0.25, "0.3"},      // ties round up
      {u"%.0f", 2.5, "2.500000"},  // precision 0 means the default
      {u"%05.1f", -2.5, "-02.5"},
      {u"%f", -0.0, "-0.000000"},
      {u"%.17f", 0.1, "0.10000000000000001"},
      {u"%.20f", 0.1, "0.10000000000000001000"},
      {u"%.3f", 1e20, "100000000000000000000.000"},
      {u"%e", 1234.5, "1.234500e+03"},
      {u"%E", 0.0, "0.000000E+00"},
      {u"%e", 1e-100, "1.000000e-100"},
      {u"%+e", 1.0, "+1.000000e+00"},
      {u"%.2e", 9.999, "1.00e+01"},
      {u"%g", 3.14159, "3"},
      {u"%.6g", 0.0001, "0.0001"},
      {u"%.6g", 1e-5, "1e-05"},
      {u"%.6g", 100.0, "100"},
      {u"%#.3g", 1.0, "1.00"},
      {u"%.3G", 1234567.0, "1.23E+06"},
      {u"%.6g", 0.0, "0"},
      {u"%#.3g", 1e10, "1.00e+10"},
      {u"%a", 1.0, "0x1p+0"},
      {u"%a", 0.5, "0x1p-1"},
      {u"%.1a", 1.96875, "0x2.0p+0"},
      {u"%A", -1.5, "-0x1.8P+0"},
      {u"%a", 0.0, "0x0p+0"},
      {u"%#a", 1.0, "0x1.p+0"},
      {u"%010a", 1.0, "0x00001p+0"},
      {u"%a", 4.9406564584124654e-324, "0x0.0000000000001p-1022"},
      {u"%.2a", 1.0 + 0xFF8 / 4096.0, "0x2.00p+0"},
      {u"%.2a", 1.0 + 0xFF7 / 4096.0, "0x1.ffp+0"},
      {u"%F", 1234.5, "1.23e+03"},
      {u"%#F", 1234.5, "1.23 k"},
      {u"%#F", 1000.0, "1.00 k"},
      {u"%#F", 1e27, "1.00e+27"},
      {u"%#F", 0.0000012, "1.20 \u00B5"},
      {u"%#F", 12.0, "12.0  "},
      {u"%#.4F", -0.000456, "-456.0 \u00B5"},
      {u"%F", 0.0123, "12.3e-03"},
      {u"%f", kNan, "{ nan}"},
      {u"%8e", -kInf, "  {-inf}"},
      {u"%08g", kInf, "00{+inf}"},
      {u"%+a", kNan, "{ nan}"},
  };
  ExpectFormats(cases);
}

TEST(FormatFloat, EngineeringFromIntegers) {
  EXPECT_EQ(Fmt(u"%#hF", 2048).text, "2.05 k");
  EXPECT_EQ(Fmt(u"%#LF", int64_t(-3000000)).text, "-3.00 M");
}

TEST(FormatFloat, MicroAsLetterAndThreeDigitExponents) {
  GString s;
  s.AssignWide(u"");
  s.SetFormatOptions(0x02 | 0x08);
  s.FormatAppend(u"%#F|%e|%F|%A", 0.0000012, 1.0, 1234.5, 1.0);
  EXPECT_EQ(Utf8(s), "1.20 u|1.000000e+000|1.23e+003|0x1P+0");
  s.AssignWide(u"");
  s.SetFormatOptions(0x04);
  s.FormatAppend(u"%A|%a", 1.0, 1.0);
  EXPECT_EQ(Utf8(s), "0X1P+0|0x1p+0");
}

TEST(FormatFloat, MicroSignCountsAsOneCharacterOfTheField) {
  EXPECT_EQ(Fmt(u"%8F|", 1.0).text, "1.00e+00|");
  EXPECT_EQ(Fmt(u"%#8F|", 0.0000012).text, "  1.20 \u00B5|");
}

TEST(FormatFloat, BinaryMagnitudes) {
  const FormatCase<int> cases[] = {
      {u"%U", 1536, "1.5b10"}, {u"%#U", 1536, "1.5 Ki"},     {u"%#.3U", 1048576, "1.00 Mi"},
      {u"%U", 100, "0.1b10"},  {u"%U", 42, "42.b00"},        {u"%U", 1023, "1.0b10"},
      {u"%#U", 0, "0.0   "},   {u"%I", -2048, "-2.0b10"},    {u"%+I", 5, "+5.0b00"},
      {u"%U", -1, "4.0b30"},   {u"%.5U", 1000, "1000.0b00"}, {u"%9U|", 1, "   1.0b00|"},
  };
  ExpectFormats(cases);
  EXPECT_EQ(Fmt(u"%#LU", uint64_t(1) << 62).text, "4.0 Ei");
  EXPECT_EQ(Fmt(u"%LI", INT64_MIN).text, "-8.0b60");
}

TEST(FormatFloat, Limits) {
  // The width is held at 512, except for the special values.
  EXPECT_EQ(Fmt(u"%1000f", 1.0).text.size(), 512u);
  EXPECT_EQ(Fmt(u"%1000f", kNan).text.size(), 1000u);
  // At most 350 digits: 1e300 with 60 places fails the call, 1e300 with 50 works.
  const FormatResult tooLong = Fmt(u"x%.60fy", 1e300);
  EXPECT_EQ(tooLong.ok, 0);
  EXPECT_EQ(tooLong.text, "x");
  const FormatResult fits = Fmt(u"%.49f", 1e300);
  EXPECT_EQ(fits.ok, 1);
  EXPECT_EQ(fits.text.size(), 301u + 1 + 49);
  EXPECT_EQ(fits.text.substr(0, 18), "100000000000000010");
  EXPECT_EQ(Fmt(u"%.308f", 1.0).text.size(), 310u);
  EXPECT_EQ(Fmt(u"%.400e", 1.0).text.size(), 1 + 1 + 308 + 4u);
  EXPECT_EQ(Fmt(u"%.1000a", 1.0).text.size(), 4 + 308 + 3u);
  EXPECT_EQ(Fmt(u"%f", 1.7976931348623157e308).text.substr(0, 18), "179769313486231570");
}

TEST(FormatFloat, DefaultPrecisions) {
  EXPECT_EQ(Fmt(u"%f|%g|%F|%U", 2.0, 2.0, 2.0, 2).text, "2.000000|2|2.00e+00|2.0b00");
  EXPECT_EQ(Fmt(u"%.*g", -1, 1.0 / 3).text, "0.333333");
}

}  // namespace
