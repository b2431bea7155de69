#include "payload/string_table.h"

#include <gtest/gtest.h>

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
