#include "text/gstring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string NarrowOf(const GString& s) {
  EXPECT_FALSE(s.IsWide());
  return s.IsWide() ? std::string() : std::string(s.NarrowText(0), size_t(s.Length()));
}

std::u16string WideOf(const GString& s) {
  EXPECT_TRUE(s.IsWide());
  return s.IsWide() ? std::u16string(s.WideText(0), size_t(s.Length())) : std::u16string();
}

uint32_t HeaderOf(const GString& s) {
  const unsigned char* b = s.Block();
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

::testing::AssertionResult Terminated(const GString& s) {
  const void* text = s.Text();
  if (!text) {
    if (s.Length() == 0) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "length " << s.Length() << " without a block";
  }
  const unsigned unit = s.IsWide() ? static_cast<const char16_t*>(text)[s.Length()]
                                   : static_cast<const unsigned char*>(text)[s.Length()];
  if (unit != 0) {
    return ::testing::AssertionFailure() << "unit " << unit << " at position " << s.Length();
  }
  return ::testing::AssertionSuccess();
}

// The text, width and length of a string, to show that a failed operation
// changed nothing.
struct Snapshot {
  explicit Snapshot(const GString& s)
      : wide(s.IsWide()),
        length(s.Length()),
        capacity(s.Capacity()),
        block(s.Block()),
        narrow(wide ? std::string() : NarrowOf(s)),
        wideText(wide ? WideOf(s) : std::u16string()) {}
  bool operator==(const Snapshot& o) const {
    return wide == o.wide && length == o.length && capacity == o.capacity && block == o.block &&
           narrow == o.narrow && wideText == o.wideText;
  }
  bool wide;
  int length;
  int capacity;
  const unsigned char* block;
  std::string narrow;
  std::u16string wideText;
};

void Fill(GString& s, bool wide, const char* ascii) {
  if (wide) {
    const std::u16string text(ascii, ascii + std::strlen(ascii));
    ASSERT_EQ(1, s.AssignWide(text.c_str()));
  } else {
    ASSERT_EQ(1, s.AssignNarrow(ascii, -1, 0));
  }
}

const char* WidthName(bool wide) { return wide ? "wide" : "narrow"; }

// ---------------------------------------------------------------------------
// Lifetime

TEST(GStringLifetime, FreshStringOwnsNothingUntilTextIsStored) {
  GString s;
  GString other;
  EXPECT_EQ(nullptr, s.Text());
  EXPECT_EQ(nullptr, s.Block());
  EXPECT_EQ(nullptr, s.Companion());
  EXPECT_EQ(0, s.Capacity());
  EXPECT_FALSE(s.IsWide());
  EXPECT_EQ(0, s.CodePage());
  EXPECT_EQ(0, s.FormatOptions());
  EXPECT_EQ(80, s.DebugLineWidth());

  // Both widths answer with the one shared empty text.
  EXPECT_STREQ("", s.NarrowText(0));
  EXPECT_EQ(other.NarrowText(0), s.NarrowText(0));
  EXPECT_EQ(u'\0', *s.WideText(0));
  EXPECT_EQ(other.WideText(0), s.WideText(0));

  EXPECT_EQ(0, s.SetLength(0));
  EXPECT_EQ(0, s.SetLength(-1));
  EXPECT_EQ(0, s.Reserve(0));
  EXPECT_EQ(1, s.Reserve(-1));
  EXPECT_EQ(1, s.EnsureRoom(0));
  EXPECT_EQ(nullptr, s.Block());
}

TEST(GStringLifetime, FillingConstructorMakesWideText) {
  struct Case {
    char16_t c;
    int count;
    std::u16string text;
    int capacity;
  };
  const Case cases[] = {
      {u'\u0416', 3, u"\u0416\u0416\u0416", 64},
      {u'x', 30, std::u16string(30, u'x'), 128},
      {u'x', 0, u"", 0},
      {u'x', -1, u"", 0},
      {u'\0', 5, u"", 0},
      {u'x', INT_MAX, u"", 0},  // no block can be had: stays empty
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    GString s(c.c, c.count);
    EXPECT_EQ(c.text, WideOf(s));
    EXPECT_EQ(c.capacity, s.Capacity());
    EXPECT_TRUE(Terminated(s));
  }
}

// ---------------------------------------------------------------------------
// Growth

TEST(GStringGrowth, BlockSizesAndHeaderFollowTheGrowthRule) {
  struct Step {
    int units;
    int capacity;
  };
  struct Case {
    const char* name;
    bool wide;
    std::vector<Step> steps;
    uint32_t header;  // written at the last allocation, with the length of that moment
  };
  const Case cases[] = {
      {"one byte", false, {{1, 64}}, 0x80000000u},
      {"59 bytes fill the first block", false, {{59, 64}}, 0x80000000u},
      {"60 bytes", false, {{60, 128}}, 0x80000000u},
      {"29 wide units fill the first block", true, {{29, 64}}, 0},
      {"30 wide units", true, {{30, 128}}, 0},
      {"wide text carried into a new block", true, {{29, 64}, {1, 128}}, 58},
      {"123 to 124 bytes", false, {{60, 128}, {63, 128}, {1, 192}}, 0x80000000u | 123},
      // 188 bytes alone would fit 256; half the length again needs 320.
      {"growth adds half the length",
       false,
       {{60, 128}, {63, 128}, {1, 192}, {63, 192}, {1, 320}},
       0x80000000u | 187},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s(u'w', 0);
    if (!c.wide) {
      s.ToNarrow(0);
    }
    int total = 0;
    for (const Step& step : c.steps) {
      const unsigned char* before = s.Block();
      const int capacityBefore = s.Capacity();
      ASSERT_EQ(
          1, c.wide ? s.AppendRepeated(u'w', step.units) : s.AppendRepeatedByte('n', step.units));
      total += step.units;
      EXPECT_EQ(step.capacity, s.Capacity());
      if (step.capacity == capacityBefore) {
        EXPECT_EQ(before, s.Block()) << "appending within the free room reallocated";
      }
      EXPECT_EQ(total, s.Length());
      EXPECT_EQ(0, s.Start());
      EXPECT_TRUE(Terminated(s));
    }
    if (c.wide) {
      EXPECT_EQ(std::u16string(size_t(total), u'w'), WideOf(s));
    } else {
      EXPECT_EQ(std::string(size_t(total), 'n'), NarrowOf(s));
    }
    EXPECT_EQ(c.header, HeaderOf(s));
  }
}

TEST(GStringGrowth, SizesBeyondInt32FailWithoutTouchingTheString) {
  struct Case {
    const char* name;
    bool wide;
    std::function<int(GString&)> op;
  };
  const Case cases[] = {
      {"Reserve INT_MAX bytes", false, [](GString& s) { return s.Reserve(INT_MAX); }},
      {"Reserve INT_MAX/2 wide units", true, [](GString& s) { return s.Reserve(INT_MAX / 2); }},
      {"EnsureRoom past INT_MAX", false, [](GString& s) { return s.EnsureRoom(INT_MAX); }},
      {"narrow repeat past INT_MAX", false,
       [](GString& s) { return s.AppendRepeatedByte('x', INT_MAX); }},
      {"wide repeat whose byte size overflows", true,
       [](GString& s) { return s.AppendRepeated(u'x', INT_MAX / 2); }},
      {"wide repeat whose length overflows", true,
       [](GString& s) { return s.AppendRepeated(u'x', INT_MAX - 1); }},
      {"wide append buffer", true,
       [](GString& s) { return s.WideAppendBuffer(INT_MAX / 2) ? 1 : 0; }},
      {"narrow append buffer", false,
       [](GString& s) { return s.NarrowAppendBuffer(INT_MAX - 4) ? 1 : 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    Fill(s, c.wide, "abc");
    const Snapshot before(s);
    EXPECT_EQ(0, c.op(s));
    EXPECT_TRUE(before == Snapshot(s));
    EXPECT_TRUE(Terminated(s));
  }
}

// ---------------------------------------------------------------------------
// Raw access

TEST(GStringAccess, TextPointersClampTheIndexAndFallBackToTheSharedEmptyText) {
  GString fresh;
  GString s;
  s.AssignNarrow("abc", -1, 0);
  EXPECT_STREQ("abc", s.NarrowText(0));
  EXPECT_STREQ("bc", s.NarrowText(1));
  EXPECT_EQ(s.NarrowText(0) + 3, s.NarrowText(5));
  EXPECT_EQ(fresh.NarrowText(0), s.NarrowText(-1));
  EXPECT_EQ(fresh.WideText(0), s.WideText(0));

  GString w;
  w.AssignWide(u"abc");
  EXPECT_EQ(u"bc", std::u16string(w.WideText(1)));
  EXPECT_EQ(w.WideText(0) + 3, w.WideText(9));
  EXPECT_EQ(fresh.WideText(0), w.WideText(-1));
  EXPECT_EQ(fresh.NarrowText(0), w.NarrowText(0));

  // A string with a block but no text also answers with the shared text.
  w.SetLength(0);
  EXPECT_NE(nullptr, w.Text());
  EXPECT_EQ(fresh.WideText(0), w.WideText(0));
}

TEST(GStringAccess, EveryOperationLeavesTheTextTerminated) {
  // Most steps shrink or rewrite the text, so the unit at the new length
  // held text before and only an explicit terminator makes it NUL.
  GString s;
  GString other;
  other.AssignNarrow("other text", -1, 0);
  const uint8_t record[] = {2, 0, 0, 0x80, 'h', 'i'};
  struct Step {
    const char* name;
    std::function<void()> run;
  };
  const Step steps[] = {
      {"AssignNarrow", [&] { s.AssignNarrow("hello world", -1, 0); }},
      {"SetLength shorter", [&] { s.SetLength(5); }},
      {"DropFront", [&] { s.DropFront(2); }},
      {"growth after DropFront", [&] { s.AppendRepeatedByte('z', 100); }},
      {"AssignNarrow shorter", [&] { s.AssignNarrow("ab", -1, 0); }},
      {"AppendNewline", [&] { s.AppendNewline(); }},
      {"ToWide", [&] { s.ToWide(0); }},
      {"AppendNarrowText", [&] { s.AppendNarrowText("\xC3\xA9t\xC3\xA9", -1, 0); }},
      {"SetLength shorter (wide)", [&] { s.SetLength(2); }},
      {"DropFront everything", [&] { s.DropFront(100); }},
      {"AssignWide", [&] { s.AssignWide(u"wide text"); }},
      {"AppendWideChar then Terminate",
       [&] {
         s.AppendWideChar(u'!');
         s.Terminate();
       }},
      {"ToNarrow", [&] { s.ToNarrow(0); }},
      {"AppendWideText", [&] { s.AppendWideText(u"\u20AC", -1); }},
      {"AssignRecord shorter", [&] { s.AssignRecord(record); }},
      {"AssignAsWide", [&] { s.AssignAsWide(&other); }},
      {"AssignAsNarrow", [&] { s.AssignAsNarrow(&other); }},
      {"CompanionAsNarrow", [&] { s.CompanionAsNarrow(u"x", -1, 0); }},
      {"CompanionAsWide", [&] { s.CompanionAsWide("y", -1, 0); }},
      {"AssignRecord of nothing", [&] { s.AssignRecord(nullptr); }},
      {"NarrowAppendBuffer and SetLength",
       [&] {
         std::memcpy(s.NarrowAppendBuffer(3), "xyz", 3);
         s.SetLength(2);
       }},
  };
  for (const Step& step : steps) {
    step.run();
    EXPECT_TRUE(Terminated(s)) << step.name;
    if (s.Companion()) {
      EXPECT_TRUE(Terminated(*s.Companion())) << step.name << " (companion)";
    }
  }
}

TEST(GStringAccess, DropFrontOnlyAdvancesStart) {
  GString s;
  s.AssignNarrow("C:\\dir", -1, 0);
  const unsigned char* block = s.Block();

  EXPECT_EQ(0, s.DropFront(0));
  EXPECT_EQ(0, s.DropFront(-1));
  EXPECT_EQ(1, s.DropFront(3));
  EXPECT_EQ("dir", NarrowOf(s));
  EXPECT_EQ(3, s.Start());
  EXPECT_EQ(reinterpret_cast<const char*>(block) + 4 + 3, s.NarrowText(0));

  // The free room left behind the text is used without moving it.
  ASSERT_EQ(1, s.AppendRepeatedByte('z', 53));
  EXPECT_EQ(3, s.Start());
  EXPECT_EQ(block, s.Block());

  // Dropping more than there is empties the string and forgets the front.
  EXPECT_EQ(1, s.DropFront(1000));
  EXPECT_EQ(0, s.Length());
  EXPECT_EQ(0, s.Start());
}

TEST(GStringAccess, RoomEatenByDroppedFrontIsRecoveredOnGrowth) {
  struct Case {
    const char* name;
    std::function<int(GString&)> grow;
    int capacity;
    std::string text;
    bool sameBlock;
  };
  const Case cases[] = {
      // 58 units fit a 64-byte block once the text moves to the front.
      {"compacted in place", [](GString& s) { return s.AppendRepeatedByte('z', 55); }, 64,
       "dir" + std::string(55, 'z'), true},
      {"moved to a larger block", [](GString& s) { return s.AppendRepeatedByte('z', 60); }, 128,
       "dir" + std::string(60, 'z'), false},
      {"Reserve below the length compacts", [](GString& s) { return s.Reserve(2); }, 64, "dir",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    s.AssignNarrow("C:\\dir", -1, 0);
    s.DropFront(3);
    const unsigned char* block = s.Block();
    ASSERT_EQ(1, c.grow(s));
    EXPECT_EQ(0, s.Start());
    EXPECT_EQ(c.capacity, s.Capacity());
    EXPECT_EQ(c.sameBlock, block == s.Block());
    EXPECT_EQ(reinterpret_cast<const char*>(s.Block()) + 4, s.NarrowText(0));
    EXPECT_EQ(c.text, NarrowOf(s));
    EXPECT_TRUE(Terminated(s));
  }
}

TEST(GStringAccess, SetLengthAfterAWin32StyleWriteIntoTheWideBuffer) {
  GString s;
  char16_t* buffer = s.WideAppendBuffer(260);
  ASSERT_NE(nullptr, buffer);
  EXPECT_TRUE(s.IsWide());
  EXPECT_EQ(576, s.Capacity());
  std::memcpy(buffer, u"abc", 4 * sizeof(char16_t));
  EXPECT_EQ(1, s.SetLength(-1));
  EXPECT_EQ(u"abc", WideOf(s));

  // A second call appends behind the text already there.
  buffer = s.WideAppendBuffer(10);
  ASSERT_NE(nullptr, buffer);
  std::memcpy(buffer, u"de", 3 * sizeof(char16_t));
  EXPECT_EQ(1, s.SetLength(-1));
  EXPECT_EQ(u"abcde", WideOf(s));
}

TEST(GStringAccess, SetLengthFindsTheNulOrClampsToTheRoom) {
  // A fresh 64-byte narrow block has room for 59 bytes plus the terminator.
  struct Case {
    const char* name;
    std::string written;  // bytes the caller wrote at the start of the text area
    int n;
    int length;
  };
  const Case cases[] = {
      {"caller wrote text and NUL", std::string("abc", 4), -1, 3},
      {"NUL in the terminator slot", std::string(59, 'x') + '\0', -1, 59},
      {"no NUL anywhere in the area", std::string(60, 'x'), -1, 0},
      {"explicit length", std::string(10, 'x'), 4, 4},
      {"explicit length clamps to the room", std::string(60, 'x'), 1000, 59},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    char* buffer = s.NarrowAppendBuffer(59);
    ASSERT_NE(nullptr, buffer);
    ASSERT_EQ(64, s.Capacity());
    std::memcpy(buffer, c.written.data(), c.written.size());
    EXPECT_EQ(1, s.SetLength(c.n));
    EXPECT_EQ(c.length, s.Length());
    EXPECT_EQ(c.written.substr(0, size_t(c.length)), NarrowOf(s));
    EXPECT_TRUE(Terminated(s));
  }

  GString dropped;
  dropped.AssignNarrow("abcdef", -1, 0);
  dropped.DropFront(2);
  EXPECT_EQ(1, dropped.SetLength(0));
  EXPECT_EQ(0, dropped.Start());
}

// ---------------------------------------------------------------------------
// Width conversion

TEST(GStringConvert, Utf8DecodesOntoWideText) {
  struct Case {
    const char* name;
    std::string bytes;
    int n;
    std::u16string appended;
  };
  const Case cases[] = {
      {"ASCII", "abc", -1, u"abc"},
      {"two-byte sequence", "\xC3\xA9", -1, u"\u00E9"},
      {"three-byte sequence", "\xE2\x82\xAC", -1, u"\u20AC"},
      {"highest three-byte value", "\xEF\xBF\xBF", -1, {0xFFFF}},
      {"surrogate value taken as it decodes", "\xED\xA0\xBD", -1, {0xD83D}},
      {"overlong form taken as it decodes", "\xC1\x81", -1, u"A"},
      {"mixed",
       "a\xC3\xA9\xE2\x82\xAC"
       "b",
       -1,
       u"a\u00E9\u20AC"
       "b"},
      {"explicit length ends at a character boundary", "\xC3\xA9xyz", 2, u"\u00E9"},
      {"explicit length keeps an embedded NUL", std::string("a\0b", 3), 3,
       std::u16string(u"a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    s.AssignWide(u">");
    EXPECT_EQ(1, s.AppendNarrowText(c.bytes.c_str(), c.n, 0));
    EXPECT_EQ(u">" + c.appended, WideOf(s));
    EXPECT_TRUE(Terminated(s));

    GString assigned;
    EXPECT_EQ(1, assigned.AssignNarrowAsWide(c.bytes.c_str(), c.n, 0));
    EXPECT_EQ(c.appended, WideOf(assigned));
  }
}

TEST(GStringConvert, MalformedUtf8LeavesTheWideStringAsItWas) {
  struct Case {
    const char* name;
    std::string bytes;
    int n;
  };
  const Case cases[] = {
      {"four-byte sequence", "\xF0\x9F\x98\x80", -1},
      {"continuation byte where a character starts", "a\x80", -1},
      {"lead byte above four-byte forms", "\xF8\x88\x80\x80\x80", -1},
      {"byte 0xFF", "\xFF", -1},
      {"two-byte sequence cut by the NUL", "\xC3", -1},
      {"three-byte sequence cut by the NUL", "\xE2\x82", -1},
      {"sequence cut by the explicit length", "\xC3\xA9", 1},
      {"wrong first continuation", "\xC3\x41", -1},
      {"wrong second continuation", "\xE2\x82\x41", -1},
      // Valid text long enough to need a larger block, spoiled at the end.
      {"bad tail after a long valid text", std::string(100, 'a') + "\xC3", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    s.AssignWide(u"keep");
    const Snapshot before(s);
    EXPECT_EQ(0, s.AppendNarrowText(c.bytes.c_str(), c.n, 0));
    EXPECT_TRUE(before == Snapshot(s));
    EXPECT_TRUE(Terminated(s));
  }
}

TEST(GStringConvert, Utf16EncodesOntoNarrowTextUnitByUnit) {
  struct Case {
    const char* name;
    std::u16string units;
    int n;
    std::string appended;
  };
  const Case cases[] = {
      {"ASCII", u"abc", -1, "abc"},
      {"last one-byte unit", {0x7F}, -1, "\x7F"},
      {"first two-byte unit", {0x80}, -1, "\xC2\x80"},
      {"last two-byte unit", {0x7FF}, -1, "\xDF\xBF"},
      {"first three-byte unit", {0x800}, -1, "\xE0\xA0\x80"},
      {"euro sign", u"\u20AC", -1, "\xE2\x82\xAC"},
      {"last unit", {0xFFFF}, -1, "\xEF\xBF\xBF"},
      {"surrogate pair as two sequences", {0xD83D, 0xDE00}, -1, "\xED\xA0\xBD\xED\xB8\x80"},
      {"lone low surrogate", {0xDC00}, -1, "\xED\xB0\x80"},
      {"explicit length", u"abcdef", 2, "ab"},
      {"embedded NUL ends the text", std::u16string(u"a\u20AC\0cd", 5), 5, "a\xE2\x82\xAC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    s.AssignNarrow(">", -1, 0);
    EXPECT_EQ(1, s.AppendWideText(c.units.c_str(), c.n));
    EXPECT_EQ(">" + c.appended, NarrowOf(s));
    EXPECT_TRUE(Terminated(s));
  }
}

TEST(GStringConvert, ToWideAndToNarrowRoundTrip) {
  struct Case {
    const char* name;
    std::string narrow;
    std::u16string wide;
  };
  const Case cases[] = {
      {"ASCII path", "C:\\Program Files\\x", u"C:\\Program Files\\x"},
      {"accents and euro",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC",
       u"Gr\u00FC\u00DF"
       "e \u20AC"},
      {"surrogates written one by one", "\xED\xA0\xBD\xED\xB8\x80", {0xD83D, 0xDE00}},
      {"longer than the first block", std::string(70, 'q'), std::u16string(70, u'q')},
      {"empty", "", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    s.AssignNarrow(c.narrow.c_str(), -1, 0);
    const char16_t* wide = s.ToWide(0);
    ASSERT_NE(nullptr, wide);
    EXPECT_EQ(s.WideText(0), wide);
    EXPECT_EQ(c.wide, WideOf(s));
    EXPECT_TRUE(Terminated(s));
    EXPECT_EQ(wide, s.ToWide(-1)) << "a wide string stays as it is";

    const char* narrow = s.ToNarrow(0);
    ASSERT_NE(nullptr, narrow);
    EXPECT_EQ(s.NarrowText(0), narrow);
    EXPECT_EQ(c.narrow, NarrowOf(s));
    EXPECT_TRUE(Terminated(s));
    EXPECT_EQ(narrow, s.ToNarrow(-1)) << "a narrow string stays as it is";
  }
}

TEST(GStringConvert, UndecodableNarrowTextStaysNarrow) {
  GString s;
  s.AssignNarrow("ok\xF0\x9F\x98\x80", -1, 0);
  const Snapshot before(s);
  EXPECT_EQ(nullptr, s.ToWide(0));
  EXPECT_TRUE(before == Snapshot(s));
  EXPECT_EQ(nullptr, s.WideAppendBuffer(10));
  EXPECT_TRUE(before == Snapshot(s));
  EXPECT_EQ(0, s.AssignAsWide(&s));
  EXPECT_TRUE(before == Snapshot(s));
}

// ---------------------------------------------------------------------------
// Appending

TEST(GStringAppend, SameWidthOperationsRefuseTheOtherWidth) {
  struct Case {
    const char* name;
    bool wide;
    std::function<int(GString&)> op;
    int result;
  };
  const Case cases[] = {
      {"AppendNarrow of empty text on wide", true,
       [](GString& s) { return s.AppendNarrow("", -1, 0); }, 0},
      {"AppendNarrow of null on wide", true,
       [](GString& s) { return s.AppendNarrow(nullptr, 0, 0); }, 0},
      {"AppendNarrow on wide", true, [](GString& s) { return s.AppendNarrow("x", 1, 0); }, 0},
      {"AppendWide on narrow", false, [](GString& s) { return s.AppendWide(u"x", 1); }, 0},
      {"AppendWideChar on narrow", false, [](GString& s) { return s.AppendWideChar(u'x'); }, 0},
      {"AppendWide of empty text on narrow", false,
       [](GString& s) { return s.AppendWide(u"", -1); }, 1},
      {"AppendWide of null on narrow", false, [](GString& s) { return s.AppendWide(nullptr, 3); },
       1},
      {"AppendWide of zero units on narrow", false,
       [](GString& s) { return s.AppendWide(u"x", 0); }, 1},
      {"AppendWide of empty text on wide", true, [](GString& s) { return s.AppendWide(u"", -1); },
       1},
      {"AppendNarrow of empty text on narrow", false,
       [](GString& s) { return s.AppendNarrow("", -1, 0); }, 1},
      {"AppendNarrowText of null on wide", true,
       [](GString& s) { return s.AppendNarrowText(nullptr, 5, 0); }, 1},
      {"AppendWideText of empty text on narrow", false,
       [](GString& s) { return s.AppendWideText(u"", -1); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    Fill(s, c.wide, "ab");
    const Snapshot before(s);
    EXPECT_EQ(c.result, c.op(s));
    EXPECT_TRUE(before == Snapshot(s));
  }
}

TEST(GStringAppend, RepeatedCharactersAcrossWidths) {
  enum Op { Unit, Byte };
  struct Case {
    const char* name;
    bool wide;
    Op op;
    int c;
    int n;
    int result;
    std::string narrow;
    std::u16string wideText;
  };
  const Case cases[] = {
      {"ASCII unit on narrow", false, Unit, 'x', 3, 1, "<xxx", u""},
      {"unit 0x7F on narrow", false, Unit, 0x7F, 1, 1, "<\x7F", u""},
      {"unit 0x80 on narrow", false, Unit, 0x80, 1, 0, "<", u""},
      {"unit 0x416 on narrow", false, Unit, 0x416, 1, 0, "<", u""},
      {"any byte on narrow", false, Byte, 0xE9, 2, 1, "<\xE9\xE9", u""},
      {"NUL byte on narrow", false, Byte, 0, 4, 1, "<", u""},
      {"negative count", false, Byte, 'x', -1, 0, "<", u""},
      {"unit on wide", true, Unit, 0x416, 2, 1, "", u"<\u0416\u0416"},
      {"ASCII byte on wide", true, Byte, 'y', 2, 1, "", u"<yy"},
      {"byte 0x80 on wide", true, Byte, 0x80, 1, 0, "", u"<"},
      {"NUL unit on wide", true, Unit, 0, 5, 1, "", u"<"},
      {"zero count on wide", true, Unit, 'x', 0, 1, "", u"<"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GString s;
    Fill(s, c.wide, "<");
    const int result =
        c.op == Unit ? s.AppendRepeated(char16_t(c.c), c.n) : s.AppendRepeatedByte(char(c.c), c.n);
    EXPECT_EQ(c.result, result);
    if (c.wide) {
      EXPECT_EQ(c.wideText, WideOf(s));
    } else {
      EXPECT_EQ(c.narrow, NarrowOf(s));
    }
    EXPECT_TRUE(Terminated(s));
  }
}

TEST(GStringAppend, AppendNewlineUsesTheStringsWidth) {
  GString narrow;
  narrow.AssignNarrow("x", -1, 0);
  EXPECT_EQ(1, narrow.AppendNewline());
  EXPECT_EQ("x\r\n", NarrowOf(narrow));

  GString wide(u'x', 1);
  EXPECT_EQ(1, wide.AppendNewline());
  EXPECT_EQ(u"x\r\n", WideOf(wide));
}

TEST(GStringAppend, AppendWideCharGrowsAndLeavesTerminatingToTheCaller) {
  GString s(u'a', 29);
  ASSERT_EQ(64, s.Capacity());
  EXPECT_EQ(1, s.AppendWideChar(u'b'));
  EXPECT_EQ(128, s.Capacity());
  EXPECT_EQ(s.Text(), s.Terminate());
  EXPECT_EQ(std::u16string(29, u'a') + u"b", WideOf(s));
  EXPECT_TRUE(Terminated(s));
}

TEST(GStringAppend, AppendOtherStringInThisWidth) {
  struct Case {
    bool wide;
    bool otherWide;
    const char* otherText;  // UTF-8; stored in the other string's width
    int result;
    std::string narrow;
    std::u16string wideText;
  };
  const Case cases[] = {
      {false, false, "\xC3\xA9\xE2\x82\xAC", 1, "a\xC3\xA9\xE2\x82\xAC", u""},
      {false, true, "\xC3\xA9\xE2\x82\xAC", 1, "a\xC3\xA9\xE2\x82\xAC", u""},
      {true, false, "\xC3\xA9\xE2\x82\xAC", 1, "", u"a\u00E9\u20AC"},
      {true, true, "\xC3\xA9\xE2\x82\xAC", 1, "", u"a\u00E9\u20AC"},
      {true, false, "\xF0\x9F\x98\x80", 0, "", u"a"},
      {true, false, "", 1, "", u"a"},
      {false, true, "", 1, "a", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(WidthName(c.otherWide)) + " onto " + WidthName(c.wide) + ": " +
                 c.otherText);
    GString s;
    Fill(s, c.wide, "a");
    GString other;
    other.AssignNarrow(c.otherText, -1, 0);
    if (c.otherWide) {
      ASSERT_NE(nullptr, other.ToWide(0));
    }
    EXPECT_EQ(c.result, s.Append(other));
    if (c.wide) {
      EXPECT_EQ(c.wideText, WideOf(s));
    } else {
      EXPECT_EQ(c.narrow, NarrowOf(s));
    }
    EXPECT_TRUE(Terminated(s));
  }
}

TEST(GStringAppend, OwnTextAsSourceSurvivesGrowthAndCompacting) {
  // Doubling each text outgrows its first 64-byte block, so the source is freed
  // while it is being appended unless it was copied out first.
  struct Case {
    bool wide;
    const char* text;
  };
  const Case cases[] = {
      {false, "012345678901234567890123456789"},
      {true, "01234567890123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WidthName(c.wide));
    GString s;
    Fill(s, c.wide, c.text);
    ASSERT_EQ(64, s.Capacity());
    EXPECT_EQ(1, s.Append(s));
    EXPECT_EQ(128, s.Capacity());
    const std::string expected = std::string(c.text) + c.text;
    if (c.wide) {
      EXPECT_EQ(std::u16string(expected.begin(), expected.end()), WideOf(s));
    } else {
      EXPECT_EQ(expected, NarrowOf(s));
    }
    EXPECT_TRUE(Terminated(s));
  }

  // Dropped front: the append compacts in place, moving the text under the source.
  GString d;
  d.AssignNarrow("xxxxxxxxxxxxxxxxxxxxabcdefghijklmnopqrstuvwxyz", -1, 0);  // 46 bytes
  d.DropFront(20);
  ASSERT_EQ(1, d.AppendNarrow(d.NarrowText(0), -1, 0));
  EXPECT_EQ(64, d.Capacity());
  EXPECT_EQ("abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", NarrowOf(d));

  GString w;
  w.AssignWide(u"abcdefghijklmnopqrstuvwxyz");
  ASSERT_EQ(1, w.AppendWide(w.WideText(20), -1));
  EXPECT_EQ(u"abcdefghijklmnopqrstuvwxyzuvwxyz", WideOf(w));
}

// ---------------------------------------------------------------------------
// Assignment

TEST(GStringAssign, AssignFromOtherStrings) {
  GString narrow;
  narrow.AssignNarrow("\xC3\xA9t\xC3\xA9", -1, 0);
  GString wide;
  wide.AssignWide(u"\u20AC 5");

  GString s;
  EXPECT_EQ(1, s.Assign(wide));
  EXPECT_EQ(u"\u20AC 5", WideOf(s));
  EXPECT_EQ(1, s.Assign(narrow));
  EXPECT_EQ("\xC3\xA9t\xC3\xA9", NarrowOf(s));

  EXPECT_EQ(1, s.AssignAsWide(&narrow));
  EXPECT_EQ(u"\u00E9t\u00E9", WideOf(s));
  EXPECT_EQ(1, s.AssignAsNarrow(&wide));
  EXPECT_EQ("\xE2\x82\xAC 5", NarrowOf(s));

  const Snapshot before(s);
  EXPECT_EQ(0, s.AssignAsWide(nullptr));
  EXPECT_EQ(0, s.AssignAsNarrow(nullptr));
  EXPECT_TRUE(before == Snapshot(s));

  // The width is set and the string cleared before the text is decoded.
  EXPECT_EQ(0, s.AssignNarrowAsWide("\xF0\x9F\x98\x80", -1, 0));
  EXPECT_EQ(u"", WideOf(s));
  EXPECT_TRUE(Terminated(s));
}

TEST(GStringAssign, AssignFromOwnText) {
  // Sources at the front of the text area: clearing writes the terminator
  // right over them.
  GString s;
  s.AssignNarrow("w\xC3\xB6rld!", -1, 0);
  EXPECT_EQ(1, s.Assign(s));
  EXPECT_EQ("w\xC3\xB6rld!", NarrowOf(s));

  EXPECT_EQ(1, s.AssignNarrowAsWide(s.NarrowText(0), 6, 0));
  EXPECT_EQ(u"w\u00F6rld", WideOf(s));
  EXPECT_EQ(1, s.AssignWide(s.WideText(0), 3));
  EXPECT_EQ(u"w\u00F6r", WideOf(s));
  EXPECT_EQ(1, s.AssignAsNarrow(&s));
  EXPECT_EQ("w\xC3\xB6r", NarrowOf(s));
  EXPECT_EQ(1, s.AssignNarrow(s.NarrowText(1), -1, 0));
  EXPECT_EQ("\xC3\xB6r", NarrowOf(s));
  EXPECT_EQ(1, s.AssignNarrow(s.NarrowText(0), 2, 0));
  EXPECT_EQ("\xC3\xB6", NarrowOf(s));
  EXPECT_EQ(1, s.AssignAsWide(&s));
  EXPECT_EQ(u"\u00F6", WideOf(s));
  EXPECT_TRUE(Terminated(s));
}

TEST(GStringAssign, AssignRecordReadsUnalignedRecordsOfBothKinds) {
  struct Case {
    const char* name;
    bool startWide;
    std::vector<uint8_t> record;
    bool wide;
    std::string narrow;
    std::u16string wideText;
  };
  const Case cases[] = {
      {"narrow record", true, {0x03, 0, 0, 0x80, 'a', 'b', 'c'}, false, "abc", u""},
      {"wide record", false, {3, 0, 0, 0, 'x', 0, 0xAC, 0x20, 'z', 0}, true, "", u"x\u20ACz"},
      {"count shorter than the text", false, {2, 0, 0, 0x80, 'a', 'b', 'c'}, false, "ab", u""},
      {"bits 29 and 30 are not part of the count", true, {1, 0, 0, 0xE0, 'q'}, false, "q", u""},
      {"empty wide record", false, {0, 0, 0, 0}, true, "", u""},
      {"count above 255", false,
       [] {
         std::vector<uint8_t> r = {0x2C, 0x01, 0, 0x80};
         r.insert(r.end(), 300, 'r');
         return r;
       }(),
       false, std::string(300, 'r'), u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // One byte in front puts the header and the UTF-16 text at odd addresses.
    std::vector<uint8_t> pool(c.record.size() + 1, 0xEE);
    std::copy(c.record.begin(), c.record.end(), pool.begin() + 1);
    GString s;
    Fill(s, c.startWide, "previous text");
    EXPECT_EQ(1, s.AssignRecord(pool.data() + 1));
    if (c.wide) {
      EXPECT_EQ(c.wideText, WideOf(s));
    } else {
      EXPECT_EQ(c.narrow, NarrowOf(s));
    }
    EXPECT_TRUE(Terminated(s));
  }

  for (bool wide : {false, true}) {
    SCOPED_TRACE(WidthName(wide));
    GString s;
    Fill(s, wide, "abc");
    EXPECT_EQ(0, s.AssignRecord(nullptr));
    EXPECT_EQ(0, s.Length());
    EXPECT_EQ(wide, s.IsWide());
    EXPECT_TRUE(Terminated(s));
  }
}

// ---------------------------------------------------------------------------
// Companion

TEST(GStringCompanion, ConversionsReuseOneCompanionAndItsBlock) {
  GString s;
  s.AssignNarrow("abc", -1, 0);
  ASSERT_NE(nullptr, s.ToWide(0));
  const GString* companion = s.Companion();
  ASSERT_NE(nullptr, companion);
  const unsigned char* companionBlock = companion->Block();
  ASSERT_NE(nullptr, companionBlock);

  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(nullptr, s.ToNarrow(0));
    ASSERT_NE(nullptr, s.ToWide(0));
    EXPECT_EQ(companion, s.Companion());
    EXPECT_EQ(companionBlock, companion->Block());
  }
  EXPECT_EQ(u"abc", WideOf(s));

  // Clearing keeps the companion's width and block.
  EXPECT_EQ(1, s.PrepareCompanion());
  EXPECT_EQ(0, companion->Length());
  EXPECT_EQ(companionBlock, companion->Block());
  EXPECT_TRUE(Terminated(*companion));

  // An empty wide string needs no companion to become narrow.
  GString empty(u'x', 0);
  EXPECT_NE(nullptr, empty.ToNarrow(0));
  EXPECT_FALSE(empty.IsWide());
  EXPECT_EQ(nullptr, empty.Companion());
}

TEST(GStringCompanion, CompanionReceivesConvertedTextAndLeavesTheOwnerAlone) {
  GString s;
  s.AssignNarrow("owner", -1, 0);
  const Snapshot owner(s);

  EXPECT_EQ(1, s.CompanionAsNarrow(u"\u20AC", -1, 0));
  EXPECT_EQ("\xE2\x82\xAC", NarrowOf(*s.Companion()));
  EXPECT_EQ(1, s.CompanionAsWide("\xC3\xA9z", -1, 0));
  EXPECT_EQ(u"\u00E9z", WideOf(*s.Companion()));

  // The companion's own text as the source.
  EXPECT_EQ(1, s.CompanionAsNarrow(s.Companion()->WideText(0), -1, 0));
  EXPECT_EQ("\xC3\xA9z", NarrowOf(*s.Companion()));
  EXPECT_EQ(1, s.CompanionWideCopy(s.Companion()));
  EXPECT_EQ(u"\u00E9z", WideOf(*s.Companion()));

  GString other;
  other.AssignNarrow("\xC3\xBC", -1, 0);
  EXPECT_EQ(1, s.CompanionWideCopy(&other));
  EXPECT_EQ(u"\u00FC", WideOf(*s.Companion()));

  EXPECT_EQ(0, s.CompanionWideCopy(nullptr));
  EXPECT_EQ(0, s.CompanionAsWide("\xF0\x9F\x98\x80", -1, 0));
  EXPECT_TRUE(owner == Snapshot(s));
}

}  // namespace
