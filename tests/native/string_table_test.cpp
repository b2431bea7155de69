#include "payload/string_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/table_builder.h"

namespace {

uint32_t HeaderOf(const uint8_t* record) {
  return uint32_t(record[0]) | uint32_t(record[1]) << 8 | uint32_t(record[2]) << 16 |
         uint32_t(record[3]) << 24;
}

TEST(StringTable, FindsEveryIdAndNothingElse) {
  TableBuilder builder;
  builder.Wide(2, u"two").Narrow(7, "seven").Wide(40, u"forty").Wide(0xFFFFFFF0u, u"high");
  StringTable table;
  ASSERT_EQ(table.Attach(builder.Build(), builder.Rows()), 1);

  ASSERT_NE(table.Find(7), nullptr);
  EXPECT_EQ(HeaderOf(table.Find(7)), 0x80000005u);
  EXPECT_EQ(HeaderOf(table.Find(2)), 3u);
  EXPECT_EQ(HeaderOf(table.Find(40)), 5u);
  // Ids compare unsigned: the highest id sorts last.
  EXPECT_EQ(HeaderOf(table.Find(0xFFFFFFF0u)), 4u);
  for (uint32_t missing : {0u, 1u, 3u, 39u, 41u, 0xFFFFFFFFu}) {
    EXPECT_EQ(table.Find(missing), nullptr) << missing;
  }
}

TEST(StringTable, RefusedAttachLeavesTheTableAsItWas) {
  TableBuilder builder;
  builder.Wide(5, u"five");
  StringTable table;
  ASSERT_EQ(table.Attach(builder.Build(), builder.Rows()), 1);

  EXPECT_EQ(table.Attach(nullptr, 3), 0);
  uint8_t* unused = builder.Build();
  EXPECT_EQ(table.Attach(unused, 0), 0);
  delete[] unused;
  EXPECT_NE(table.Find(5), nullptr);
}

TEST(StringTable, ReleasedTableFindsNothing) {
  TableBuilder builder;
  builder.Wide(5, u"five");
  StringTable table;
  ASSERT_EQ(table.Attach(builder.Build(), builder.Rows()), 1);
  table.Release();
  EXPECT_EQ(table.Count, 0);
  EXPECT_EQ(table.Data, nullptr);
  EXPECT_EQ(table.Find(5), nullptr);
  table.Release();  // a second release is harmless
}

}  // namespace

namespace {

TEST(StringTable, EmptyRecordAndBothEncodings) {
  TableBuilder builder;
  builder.Wide(1, u"").Narrow(2, "").Narrow(3, "\xE2\x82\xAC").Wide(4, u"\u20AC");
  StringTable table;
  uint8_t* data = builder.Build();
  ASSERT_EQ(table.Attach(data, builder.Rows()), 1);
  EXPECT_EQ(HeaderOf(table.Find(1)), 0u);
  EXPECT_EQ(HeaderOf(table.Find(2)), 0x80000000u);
  const uint8_t* narrow = table.Find(3);
  EXPECT_EQ(HeaderOf(narrow), 0x80000003u);
  EXPECT_EQ(narrow[4], 0xE2);
  const uint8_t* wide = table.Find(4);
  EXPECT_EQ(HeaderOf(wide), 1u);
  EXPECT_EQ(wide[4] | wide[5] << 8, 0x20AC);
}

TEST(StringTable, PayloadTablesAreCheckedBeforeUse) {
  // Index row 0: id 5, offset 0; row 1: id 9, offset 6; pool: "ab" as UTF-8,
  // then an empty UTF-16 record.
  const uint8_t good[] = {5, 0, 0, 0, 0, 0, 0,    0,   9,   0, 0, 0, 6,
                          0, 0, 0, 2, 0, 0, 0x80, 'a', 'b', 0, 0, 0, 0};
  const uint32_t size = sizeof good;
  EXPECT_EQ(StringTable::IsWellFormed(good, 2, size), 1);

  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
    uint32_t count;
    uint32_t size;
  };
  const Case cases[] = {
      {"index larger than the buffer", 0, 5, 4, size},
      {"no rows", 0, 5, 0, size},
      {"ids out of order", 8, 4, 2, size},
      {"duplicate ids", 8, 5, 2, size},
      {"offset past the pool", 12, 200, 2, size},
      {"record header cut off", 12, 7, 2, size},
      {"text longer than the pool", 16, 9, 2, size},
      {"UTF-16 text longer than the pool", 22, 1, 2, size},
      {"buffer one byte short", 0, 5, 2, size - 1},
  };
  for (const Case& c : cases) {
    uint8_t bad[sizeof good];
    std::memcpy(bad, good, sizeof good);
    bad[c.at] = c.value;
    EXPECT_EQ(StringTable::IsWellFormed(bad, c.count, c.size), 0) << c.what;
  }

  StringTable table;
  auto* owned = new uint8_t[size];
  std::memcpy(owned, good, size);
  EXPECT_EQ(table.Attach(owned, 3, size), 0);  // refused: still ours
  EXPECT_EQ(table.Data, nullptr);
  ASSERT_EQ(table.Attach(owned, 2, size), 1);
  EXPECT_NE(table.Find(9), nullptr);
}

}  // namespace
