#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format_test_util.h"
#include "text/memory_search.h"

namespace {

TEST(MemorySearch, ByteFind) {
  const unsigned char aaa[] = {0xAA, 0xAA, 0xAA};
  const unsigned char aa[] = {0xAA, 0xAA};
  EXPECT_EQ(ByteFind(aaa, aa, 3, 2, 0), 0);  // leftmost of overlapping matches
  EXPECT_EQ(ByteFind(aaa, aa, 3, 2, 1), 1);
  EXPECT_EQ(ByteFind(aaa, aa, 3, 2, 2), -1);  // no longer fits
  EXPECT_EQ(ByteFindLast(aaa, aa, 3, 2, 0), 1);
  EXPECT_EQ(ByteFindLast(aaa, aa, 3, 2, 2), -1);
  EXPECT_EQ(ByteFind(aaa, aaa, 3, 3, 0), 0);
  EXPECT_EQ(ByteFind(aa, aaa, 2, 3, 0), -1);
  EXPECT_EQ(ByteFind(aaa, aa, 3, 0, 0), -1);
  EXPECT_EQ(ByteFind(aaa, aa, 3, 2, -1), -1);
  EXPECT_EQ(ByteFind(nullptr, aa, 3, 2, 0), -1);
  EXPECT_EQ(ByteFind("layout.dll", "dll"), 7);
  EXPECT_EQ(ByteFindLast("a.b.c", ".", 0), 3);
  EXPECT_EQ(FindLastByte("a.b.c", '.', 0), 3);
  EXPECT_EQ(FindLastByte("a.b.c", '.', 4), -1);
  EXPECT_EQ(FindLastByte("a.b.c", '.', 5), -1);
  EXPECT_EQ(FindLastUnit(u"a\\b", u'\\', 3, 0), 1);
  EXPECT_EQ(WideFind(u"abcabc", u"ca", -1, -1, 0), 2);
  EXPECT_EQ(WideFind(u"abcabc", u"bc", 6, 2, 2), 4);
  // Reads exactly the given length: a match past it is not seen.
  EXPECT_EQ(ByteFind("abcdef", "ef", 5, 2, 0), -1);
}

TEST(MemorySearch, CompareIsLengthFirst) {
  EXPECT_EQ(ByteCompare("b", "aa"), -1);
  EXPECT_EQ(ByteCompare("ab", "aa"), 1);
  EXPECT_EQ(ByteCompare("", nullptr), 0);
  EXPECT_EQ(ByteCompare("a", nullptr), 1);
  EXPECT_EQ(ByteCompare("\xFF", "a"), 1);  // unsigned
  EXPECT_EQ(UnitCompare(u"\xFFFF", u"a", 1, 1), 1);
  EXPECT_EQ(UnitCompare(u"ab", u"ab", 2, 2), 0);
  EXPECT_EQ(StrLen(nullptr), 0);
  EXPECT_EQ(WStrLen(u"abc"), 3);
  char16_t buffer[4] = {1, 1, 1, 1};
  FillWide(buffer, u'x', 3);
  EXPECT_EQ(std::u16string(buffer, 4), std::u16string(u"xxx\x01"));
}

TEST(TextSearch, FindInBothWidths) {
  GString wide;
  wide.AssignWide(u"C:\\dir\\file.txt");
  GString narrow;
  narrow.AssignNarrow("C:\\dir\\caf\xC3\xA9.txt", -1, 0);
  EXPECT_EQ(wide.Find(u"dir", 0), 3);
  EXPECT_EQ(wide.Find("file", 0, -1), 7);
  EXPECT_EQ(narrow.Find(u"\u00E9.t", 0), 10);
  EXPECT_EQ(narrow.Find("dir", 4, 3), -1);
  EXPECT_EQ(wide.Find(u"", wide.Length()), -1);
  EXPECT_EQ(wide.Find(u"x", -1), -1);
  EXPECT_EQ(wide.Find(nullptr, 0), -1);
  EXPECT_EQ(wide.Find("\xC3", 0, -1), -1);  // malformed UTF-8
  EXPECT_EQ(wide.Find(narrow, 0), -1);
  GString dir;
  dir.AssignNarrow("dir", 3, 0);
  EXPECT_EQ(wide.Find(dir, 0), 3);
  EXPECT_EQ(wide.FindLast(u'\\', 0), 6);
  wide.DropFront(7);
  EXPECT_EQ(Utf8(wide), "file.txt");
  EXPECT_EQ(narrow.FindLast(u'\u00E9', 0), 10);
  EXPECT_EQ(narrow.FindLast(u'\\', 0), 6);
  EXPECT_EQ(narrow.FindLast(u'\\', 7), -1);
}

TEST(TextSearch, CompareAcrossWidths) {
  GString wide;
  wide.AssignWide(u"caf\u00E9");
  GString narrow;
  narrow.AssignNarrow("caf\xC3\xA9", -1, 0);
  EXPECT_EQ(wide.Compare("caf\xC3\xA9", -1), 0);
  EXPECT_EQ(narrow.Compare(u"caf\u00E9", -1), 0);
  EXPECT_EQ(StringsEqual(wide, narrow), 1);
  EXPECT_EQ(StringsDiffer(wide, narrow), 0);
  EXPECT_EQ(wide.Compare(u"cafe", -1), 1);
  EXPECT_EQ(wide.Compare(u"ca", -1), 1);
  EXPECT_EQ(wide.Compare(static_cast<const char16_t*>(nullptr), 5), 1);
  EXPECT_EQ(wide.Compare("\xC3", -1), 0);  // a failed conversion compares equal
  GString empty;
  EXPECT_EQ(empty.Compare(u"", -1), 0);
  EXPECT_EQ(empty.Compare("a", -1), -1);
}

TEST(TextSearch, ToUpper) {
  GString wide;
  wide.AssignWide(u"stra\u00DFe \u0436 \u00FF");
  EXPECT_EQ(wide.ToUpper(), 1);
  EXPECT_EQ(Utf8(wide), "STRA\u00DFE \u0416 \u0178");
  GString narrow;
  narrow.AssignNarrow("caf\xC3\xA9", -1, 0);
  EXPECT_EQ(narrow.ToUpper(), 1);
  EXPECT_FALSE(narrow.IsWide());
  EXPECT_EQ(Utf8(narrow), "CAF\u00C9");
  GString bad;
  bad.AssignNarrow("a\xC3", -1, 0);
  EXPECT_EQ(bad.ToUpper(), 0);
  EXPECT_EQ(Utf8(bad), "a\xC3");
}

TEST(TextSearch, EnsureSuffixAndAppendPath) {
  struct {
    const char16_t* base;
    const char16_t* component;
    const char* expected;
  } paths[] = {
      {u"C:\\dir", u"\\file", "C:\\dir\\file"},
      {u"C:\\dir\\", u"file", "C:\\dir\\file"},
      {u"", u"file", "\\file"},
      {u"C:\\dir", u"", "C:\\dir\\"},
      {u"C:\\dir", u"/file", "C:\\dir\\file"},
      {u"C:\\dir\\", u"\\\\x", "C:\\dir\\\\x"},
      {u"C:\\dir", nullptr, "C:\\dir\\"},
  };
  for (const auto& p : paths) {
    GString wide;
    wide.AssignWide(p.base);
    GString narrow;
    narrow.AssignAsNarrow(&wide);  // the same path in narrow text
    EXPECT_EQ(wide.AppendPath(p.component, -1), 1);
    EXPECT_EQ(Utf8(wide), p.expected);
    EXPECT_EQ(narrow.AppendPath(p.component, -1), 1);
    EXPECT_EQ(Utf8(narrow), p.expected);
  }
  GString s;
  s.AssignWide(u"C:\\dir\\");
  EXPECT_EQ(s.EnsureSuffix(u"\\", -1), 1);
  EXPECT_EQ(Utf8(s), "C:\\dir\\");
  GString slash;
  slash.AssignWide(u"C:\\dir/");
  EXPECT_EQ(slash.EnsureSuffix("\\", -1), 1);
  EXPECT_EQ(Utf8(slash), "C:\\dir/\\");
  EXPECT_EQ(slash.EnsureSuffix(u"", -1), 0);
  EXPECT_EQ(slash.EnsureSuffix("\xC3", -1), 0);
  EXPECT_EQ(s.AppendPath("\xC3", -1), 0);
  GString component;
  component.AssignNarrow("\\sub", -1, 0);
  EXPECT_EQ(Utf8(s.AppendPath(component)), "C:\\dir\\sub");
  GString own;
  own.AssignWide(u"ab");
  own.AppendPath(own);
  EXPECT_EQ(Utf8(own), "ab\\ab");
}

std::vector<std::u16string> sent;
void Collect(const char16_t* line) { sent.push_back(line); }

TEST(TextSearch, DebugPrintSplitsLines) {
  sent.clear();
  const DebugSink previous = SetDebugSink(Collect);
  GString s(u'x', 200);
  s.DebugPrint(65535);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], std::u16string(80, u'x') + u" \\\n");
  EXPECT_EQ(sent[1], std::u16string(80, u'x') + u" \\\n");
  EXPECT_EQ(sent[2], std::u16string(40, u'x') + u"\n");
  sent.clear();
  s.DebugPrint(160);  // exactly two lines: the last ends with a plain newline
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], std::u16string(80, u'x') + u"\n");
  sent.clear();
  GString narrow;
  narrow.AssignNarrow("\xC3\xA9\xC3\xA9\xC3\xA9", -1, 0);
  narrow.SetDebugLineWidth(2);
  narrow.DebugPrint(100);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], u"\u00E9\u00E9 \\\n");
  EXPECT_EQ(sent[1], u"\u00E9\n");
  sent.clear();
  GString().DebugPrint(10);
  EXPECT_TRUE(sent.empty());
  // The default sink: the debugger output on Windows, nothing elsewhere.
  EXPECT_EQ(SetDebugSink(nullptr), Collect);
  s.DebugPrint(100);
  EXPECT_TRUE(sent.empty());
  SetDebugSink(previous);
}

}  // namespace
