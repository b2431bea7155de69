#include "core/environment_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(EnvironmentRules, SupportMatrix) {
  struct Case {
    int32_t version;
    uint16_t arch;
    bool supported;
  };
  const Case cases[] = {
      {50, ArchX86, true},    {50, ArchAMD64, false},   {51, ArchX86, true},
      {51, ArchAMD64, false}, {51, ArchIA64, false},    {52, ArchAMD64, true},
      {52, ArchIA64, true},   {60, ArchX86, true},      {61, ArchAMD64, true},
      {62, ArchIA64, true},   {63, ArchAMD64, true},    {100, ArchX86, true},
      {100, 5, false},        {61, ArchUnknown, false}, {0, ArchX86, false},
      {40, ArchX86, false},   {53, ArchX86, false},     {64, ArchAMD64, false},
      {101, ArchX86, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSupportedPlatform(c.version, c.arch), c.supported)
        << "version " << c.version << ", architecture " << c.arch;
  }
}

TEST(EnvironmentRules, CyrillicLanguages) {
  for (uint16_t id : {0x0402, 0x0419, 0x0422, 0x0423, 0x0428, 0x042F, 0x043F, 0x0440, 0x0444,
                      0x0450, 0x046D, 0x0485, 0x082C, 0x0843, 0x0C1A}) {
    EXPECT_TRUE(IsCyrillicLanguage(id)) << std::hex << id;
  }
  // English, Polish, Serbian (Latin), Azerbaijani (Latin), Uzbek (Latin), Mongolian (Mongolian).
  for (uint16_t id : {0x0409, 0x0415, 0x081A, 0x042C, 0x0443, 0x0850, 0x0000, 0xFFFF}) {
    EXPECT_FALSE(IsCyrillicLanguage(id)) << std::hex << id;
  }
}

}  // namespace
