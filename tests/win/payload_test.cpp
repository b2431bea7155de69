// The catalogue embedded in this very executable, as Init loads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/install.h"

namespace {

TEST(EmbeddedPayload, InitLoadsTheKeyAndTheFourTables) {
  CInstall install;
  ASSERT_EQ(install.LoadPayload(), 1);
  EXPECT_TRUE(install.Guard.HasKey());
  EXPECT_GT(install.CommonStrings.Count, 0);
  EXPECT_GT(install.ExtraStrings.Count, 0);
  EXPECT_GT(install.LanguageStrings[0].Count, 0);
  EXPECT_GT(install.LanguageStrings[1].Count, 0);

  install.ReadDefaultLayoutLangId();
  EXPECT_EQ(install.DefaultLayoutLangId, 0x0419);

  // The message caption, in each language, and a system-facing text.
  GString english, polish, library;
  ASSERT_EQ(install.LoadText(93, english), 1);
  install.UiLanguage = 1;
  ASSERT_EQ(install.LoadText(93, polish), 1);
  EXPECT_GT(english.Length(), 0);
  EXPECT_GT(polish.Length(), 0);
  ASSERT_EQ(install.LoadText(144, library), 1);
  EXPECT_EQ(std::u16string(library.WideText(0)), u"kernel32.dll");
}

TEST(EmbeddedPayload, EveryRoleResolves) {
  EXPECT_EQ(KeyBlobItem().Size, 968u);
  for (int language : {0, 1}) {
    EXPECT_NE(LanguageStringsEntry(language).Data, nullptr);
    EXPECT_EQ(LicenceEntry(language).Data, LicencePointers[language]);
    EXPECT_NE(LicenceSizes[language], 0u);
  }
  EXPECT_EQ(LanguageStringsEntry(2).Data, nullptr);
  EXPECT_EQ(LayoutEntry(2, 0, 0).Data, nullptr);
  EXPECT_EQ(LayoutEntry(1, 2, 12).Size, LayoutSizes[1][2][12]);
}

// Layout builds and companion files are present once the layout tools have
// produced them; whatever is present must open with the program's key.
TEST(EmbeddedPayload, EveryPresentEntryExtracts) {
  CInstall install;
  ASSERT_EQ(install.LoadPayload(), 1);
  std::vector<PayloadEntry> entries = {LicenceEntry(0), LicenceEntry(1), ComponentFileEntry(),
                                       PageFileEntry(), SharedFileEntry()};
  for (int g = 0; g < LayoutGroups; ++g)
    for (int v = 0; v < LayoutVariants; ++v)
      for (int s = 0; s < LayoutSlots; ++s) entries.push_back(LayoutEntry(g, v, s));
  int present = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].Size == 0) continue;
    ++present;
    uint32_t size = entries[i].Size;
    uint8_t* plain = install.Guard.Extract(entries[i].Data, &size, nullptr);
    EXPECT_NE(plain, nullptr) << "entry " << i;
    delete[] plain;
  }
  EXPECT_GE(present, 2);  // the licences at least
}

TEST(EmbeddedPayload, ExtractionFailsOnceTheTablesAreReleased) {
  CInstall install;
  ASSERT_EQ(install.LoadPayload(), 1);
  install.ReleaseTables();
  uint32_t size = LicenceSizes[0];
  EXPECT_EQ(install.Guard.Extract(LicencePointers[0], &size, nullptr), nullptr);
  GString text;
  EXPECT_EQ(install.LoadText(93, text), 0);
}

}  // namespace
