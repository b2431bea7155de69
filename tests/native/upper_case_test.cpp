#include <gtest/gtest.h>

#include "text/gstring.h"

namespace {

// The upper-case form of every unit, generated from the Unicode character
// database by the same tool that generates the lookup table.
const char16_t kExpected[0x10000] = {
#include "upper_case_expected.inc"
};

TEST(UpperCase, EveryUnitMatchesTheUnicodeData) {
  int mismatches = 0;
  for (unsigned u = 0; u < 0x10000; ++u) {
    const char16_t got = GString::UpperCaseOf(char16_t(u));
    if (got != kExpected[u] && ++mismatches <= 10) {
      ADD_FAILURE() << std::hex << "U+" << u << " gives U+" << unsigned(got) << ", expected U+"
                    << unsigned(kExpected[u]);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(UpperCase, KnownUnits) {
  const char16_t cases[][2] = {
      {0x0436, 0x0416}, {0x00FF, 0x0178}, {0x0131, 0x0049}, {0x01C6, 0x01C4}, {0x1F80, 0x1F88},
      {0x00DF, 0x00DF}, {0x00B5, 0x00B5}, {0x00F7, 0x00F7}, {0x03D0, 0x03D0}, {0x03F1, 0x03F1},
      {0x03C2, 0x03A3}, {0xFF5A, 0xFF3A}, {0x2D25, 0x10C5}, {0xA78C, 0xA78B}, {0x0250, 0x2C6F},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unsigned(GString::UpperCaseOf(c[0])), unsigned(c[1])) << std::hex << unsigned(c[0]);
  }
}

}  // namespace
