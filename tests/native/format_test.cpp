#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "format_test_util.h"

namespace {

TEST(Format, IntegerFields) {
  const FormatCase<int> cases[] = {
      {u"%d", -42, "-42"},
      {u"%05d", -42, "-0042"},
      {u"%+.4d", 7, "+0007"},
      {u"% d", 7, " 7"},
      {u"%+ d", 7, "+7"},
      {u"%#x", 255, "0xff"},
      {u"%#X", 255, "0xFF"},
      {u"%#o", 8, "010"},
      {u"%#.4o", 8, "0010"},
      {u"%#y", 5, "0y101"},
      {u"%`d", 1234567, "1 234 567"},
      {u"%`x", 0x12345, "1 2345"},
      {u"%`.6d", 42, "000 042"},
      {u"%`y", 0x35, "11 0101"},
      {u"%u", -1, "4294967295"},
      {u"%-6d|", 42, "42    |"},
      {u"%6d", 42, "    42"},
      {u"%0#6x", 255, "0x00ff"},
      {u"%.0d", 0, "0"},
      {u"%#x", 0, "0x0"},
      {u"%#.3x", 255, "0xff"},  // the precision counts the prefix
      {u"%i", INT32_MIN, "-2147483648"},
      {u"%X", 0xBEEF, "BEEF"},
  };
  ExpectFormats(cases);
  EXPECT_EQ(Fmt(u"%.400d", 1).text, std::string(307, '0') + "1");  // 308 digits at most
}

TEST(Format, SixtyFourBitIntegersAreOneArgument) {
  EXPECT_EQ(Fmt(u"%Ld %d", int64_t(-2), 5).text, "-2 5");
  EXPECT_EQ(Fmt(u"%llu", uint64_t(18446744073709551615u)).text, "18446744073709551615");
  EXPECT_EQ(Fmt(u"%Lx", uint64_t(0x123456789ABCull)).text, "123456789abc");
  EXPECT_EQ(Fmt(u"%Ld", INT64_MIN).text, "-9223372036854775808");
  EXPECT_EQ(Fmt(u"%ld %hd", 70000, 70000).text, "70000 70000");  // l and h do not narrow
}

TEST(Format, Pointers) {
  EXPECT_EQ(Fmt(u"%p", reinterpret_cast<void*>(0x1234)).text, "00001234");
  EXPECT_EQ(Fmt(u"%#P", reinterpret_cast<void*>(0xABC)).text, "0x00000ABC");
  EXPECT_EQ(Fmt(u"%#p", nullptr).text, "{null}");
  EXPECT_EQ(Fmt(u"%10p", nullptr).text, "    {null}");
  GString s;
  s.AssignWide(u"");
  s.SetFormatOptions(0x04);
  s.FormatAppend(u"%#P %#X %#x", reinterpret_cast<void*>(0xAB), 0xAB, 0xAB);
  EXPECT_EQ(Utf8(s), "0X000000AB 0XAB 0xab");
}

TEST(Format, DirectiveGrammar) {
  EXPECT_EQ(Fmt(u"abc%").text, "abc");
  EXPECT_EQ(Fmt(u"%q|%5q|%hhd", 1).text, "q|q|hd");
  EXPECT_EQ(Fmt(u"%*q%d", 9, 4).text, "q4");  // the '*' argument stays taken
  EXPECT_EQ(Fmt(u"%*d|", -5, 3).text, "3    |");
  EXPECT_EQ(Fmt(u"%.*d", 3, 7).text, "007");
  EXPECT_EQ(Fmt(u"100%%").text, "100%");
  EXPECT_EQ(Fmt(u"%5%d").text, "%d");  // '%' ending a directive is literal text
  EXPECT_EQ(Fmt(u"%-+0#$` d", 5).text, "+5");
  EXPECT_EQ(Fmt(u"%99999999999d", 1).ok, 1);  // ten digits, the eleventh is literal
  EXPECT_EQ(Fmt(u"%.d", 5).text, "5");
  EXPECT_EQ(Fmt(u"a%Nb").text, "a\r\nb");
}

TEST(Format, FailuresKeepWhatWasWritten) {
  GString s;
  s.AssignWide(u"");
  EXPECT_EQ(s.FormatAppend(u"ab%tcd", 1), 0);
  EXPECT_EQ(Utf8(s), "ab");
  EXPECT_EQ(s.FormatAppend(nullptr), 0);
  GString narrow;
  EXPECT_EQ(narrow.FormatAppend(u"x"), 0);
  EXPECT_EQ(narrow.Length(), 0);
  EXPECT_EQ(Fmt(u"%T", 1).ok, 0);
  // A field too large for any string fails the call instead of wrapping around.
  EXPECT_EQ(Fmt(u"%2000000000d", 1).ok, 0);
  EXPECT_EQ(Fmt(u"%*s", INT32_MIN, u"x").ok, 0);
  // The format may be the string's own text.
  GString own;
  own.AssignWide(u"%d;");
  EXPECT_EQ(own.FormatAppend(own.WideText(0), 7), 1);
  EXPECT_EQ(Utf8(own), "%d;7;");
  EXPECT_EQ(Fmt(u"%Y", 1).ok, 0);
  GString f;
  f.AssignNarrow("old", 3, 0);
  EXPECT_EQ(Format(f, u"%d-%d", 1, 2), 1);
  EXPECT_TRUE(f.IsWide());
  EXPECT_EQ(Utf8(f), "1-2");
}

TEST(Format, Characters) {
  const FormatCase<int> cases[] = {
      {u"%c", 0x41, "A"},       {u"%#c", 9, "{09}"},       {u"%$C", 0xAD, "{AD}"},
      {u"%$c", 0x416, "{16}"},  {u"%c", 0x20AC, "\u20AC"}, {u"%hc", 0x41, "A"},
      {u"%3c", 0x41, "  A"},    {u"%#c", 0xE9, "\u00E9"},  {u"%$c", 0x7E, "~"},
      {u"%-3c|", 0x41, "A  |"},
  };
  ExpectFormats(cases);
  EXPECT_EQ(Fmt(u"x%hcy", 0xE9).ok, 0);
}

TEST(Format, WideText) {
  const char16_t nul[] = {u'a', 0, u'b', u'c', 0};
  EXPECT_EQ(Fmt(u"[%s]", u"text").text, "[text]");
  EXPECT_EQ(Fmt(u"[%.2s]", u"text").text, "[te]");
  EXPECT_EQ(Fmt(u"[%.9s]", u"text").text, "[text]");
  EXPECT_EQ(Fmt(u"[%.*s]", -3, nul).text, std::string("[a\0b]", 5));
  EXPECT_EQ(Fmt(u"[%6s|%-6s]", u"ab", u"ab").text, "[    ab|ab    ]");
  EXPECT_EQ(Fmt(u"%s", nullptr).text, "{null}");
  EXPECT_EQ(Fmt(u"%8s", nullptr).text, "  {null}");
  EXPECT_EQ(Fmt(u"%08s", nullptr).text, "00{null}");
  EXPECT_EQ(Fmt(u"%Ls%s", u"skipped", u"next").text, "next");
  EXPECT_EQ(Fmt(u"%#s", u"a\tb\u00E9").text, "a{09}b\u00E9");
  EXPECT_EQ(Fmt(u"%$S", u"a\tb\u00E9\u20AC").text, "a{09}b{E9}{AC}");
  EXPECT_EQ(Fmt(u"%$5s", u"\n").text, " {0a}");
}

TEST(Format, NarrowText) {
  EXPECT_EQ(Fmt(u"%hs", "caf\xC3\xA9").text, "caf\u00E9");
  // The precision counts characters; the last one keeps its continuation bytes.
  EXPECT_EQ(Fmt(u"%.4hs", "caf\xC3\xA9!").text, "caf\u00E9");
  EXPECT_EQ(Fmt(u"%.*hs", -2, "\xE2\x82\xAC\0x").text, std::string("\u20AC\0", 4));
  // With escape-all the precision counts bytes and bytes stay undecoded.
  EXPECT_EQ(Fmt(u"%$.4hs", "caf\xC3\xA9").text, "caf{c3}");
  EXPECT_EQ(Fmt(u"%#hs", "a\t\xC3\xA9").text, "a{09}\u00E9");
  EXPECT_EQ(Fmt(u"%5hs|", "\xC3\xA9").text, "    \u00E9|");
  EXPECT_EQ(Fmt(u"x%hsy", "\xC3").ok, 0);
  EXPECT_EQ(Fmt(u"x%hsy", "\xF0\x9F\x98\x80").ok, 0);
  EXPECT_EQ(Fmt(u"%hs", nullptr).text, "{null}");
}

TEST(Format, StringsAndRecords) {
  GString wide(u'w', 3);
  GString narrow;
  narrow.AssignNarrow("n\xC3\xA9", 3, 0);
  EXPECT_EQ(Fmt(u"%z %z %.2Z", &wide, &narrow, &wide).text, "www n\u00E9 ww");
  const unsigned char narrowRecord[] = {3, 0, 0, 0x80, 'a', 'b', 'c', 0};
  // Wide text after the header starts at an odd address here on purpose.
  unsigned char storage[1 + 4 + 8] = {};
  unsigned char* wideRecord = storage + 1;
  const unsigned char wideBytes[] = {3, 0, 0, 0, 'x', 0, 'y', 0, 'z', 0, 0, 0};
  std::memcpy(wideRecord, wideBytes, sizeof wideBytes);
  EXPECT_EQ(Fmt(u"%hz|%hz|%.1hz", narrowRecord, wideRecord, wideRecord).text, "abc|xyz|x");
  EXPECT_EQ(Fmt(u"%z", nullptr).text, "{null}");
  // An exact count never reads past the string's own text, NULs inside it
  // included; the field is then filled to its width as usual.
  GString empty;
  GString withNul;
  withNul.AssignWide(u"a\0b", 3);
  EXPECT_EQ(Fmt(u"%.*z|%.*z|%5.*z|", -70000, &empty, -9, &narrow, -9, &wide).text,
            "|n\u00E9|  www|");
  EXPECT_EQ(Fmt(u"%$.*z|%.*z", -9, &withNul, -2, &withNul).text, std::string("a{00}b|a\0", 9));
  // A string formatted into itself.
  GString self;
  self.AssignWide(u"ab");
  self.FormatAppend(u"%z%z", &self, &self);
  EXPECT_EQ(Utf8(self),
            "ababab"
            "ab");
}

TEST(Format, ByteDumps) {
  const unsigned char five[] = {1, 2, 3, 4, 5};
  struct {
    const char16_t* format;
    const char* expected;
  } layouts[] = {
      {u"%.5b", "0102030405"},
      {u"% .5b", "01 02 03 04 05"},
      {u"%#.5b", "{01}{02}{03}{04}{05}"},
      {u"%# .5b", "{01} {02} {03} {04} {05}"},
      {u"%`.5b", "01020304 05"},
      {u"%` .5b", "01 02 03 04  05"},
      {u"%`#.5b", "{01020304}{05}"},
      {u"%`# .5b", "{01 02 03 04} {05}"},
      {u"%`#.4b", "{01020304}"},
      {u"%12.2b|", "        0102|"},
  };
  for (const auto& c : layouts) {
    EXPECT_EQ(Fmt(c.format, five).text, c.expected);
  }
  const unsigned char abcd[] = {0xAB, 0xCD};
  EXPECT_EQ(Fmt(u"%.2b %.2B", abcd, abcd).text, "abcd ABCD");
  // No precision: nothing written and no argument taken.
  EXPECT_EQ(Fmt(u"%b%.2b", abcd).text, "abcd");
  EXPECT_EQ(Fmt(u"%.2b", nullptr).text, "{null}");
}

TEST(Format, Addresses) {
  const uint32_t address = 0xC0A8010A;
  EXPECT_EQ(Fmt(u"%w", &address).text, "192.168.1.10");
  EXPECT_EQ(Fmt(u"%0w", &address).text, "192.168.001.010");
  EXPECT_EQ(Fmt(u"%017w", &address).text, "  192.168.001.010");
  EXPECT_EQ(Fmt(u"%08w", nullptr).text, "  {null}");
  struct {
    uint32_t data1;
    uint16_t data2, data3;
    uint8_t data4[8];
  } guid = {0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
  static_assert(sizeof guid == 16, "GUID layout");
  EXPECT_EQ(Fmt(u"%hW", &guid).text, "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(Fmt(u"%hw", &guid).text, "{00112233-4455-6677-8899-aabbccddeeff}");
}

TEST(Format, CountStoresUnitsOfThisCall) {
  GString s;
  s.AssignWide(u"before");
  int count = -1;
  s.FormatAppend(u"abc%nd", &count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Utf8(s), "beforeabcd");
  EXPECT_EQ(Fmt(u"a%nb", nullptr).text, "ab");
}

}  // namespace
