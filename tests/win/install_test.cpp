#include "core/install.h"

#include <gtest/gtest.h>

#include <string>

#include "support/table_builder.h"
#include "ui/wizard.h"

namespace {

std::u16string WideOf(const GString& s) { return s.WideText(0); }

TEST(Install, ConstructedWithTheStatedDefaults) {
  CInstall install;

  EXPECT_EQ(install.Instance, nullptr);
  EXPECT_FALSE(install.Guard.HasKey());
  EXPECT_EQ(install.CommonStrings.Count, 0);
  EXPECT_EQ(install.LanguageStrings[0].Data, nullptr);
  EXPECT_EQ(install.LanguageStrings[1].Data, nullptr);
  EXPECT_EQ(install.ExtraStrings.Data, nullptr);
  EXPECT_EQ(install.WizardStep, 0);
  EXPECT_EQ(install.OsVersionCode, 0);
  EXPECT_EQ(install.UiLanguage, 0);
  EXPECT_EQ(install.Is64BitWindows, 0);
  EXPECT_EQ(install.ProcessorArchitecture, 0xFFFF);
  EXPECT_EQ(install.ScratchText.Length(), 0);

  struct Member {
    const char* name;
    int32_t value;
    int32_t expected;
  };
  const Member members[] = {
      {"DefaultLayoutLangId", install.DefaultLayoutLangId, 0},
      {"LayoutLangId", install.LayoutLangId, 0},
      {"OptDefaultLayout", install.OptDefaultLayout, 1},
      {"AssocFound", install.AssocFound, 0},
      {"IsAdmin", install.IsAdmin, 0},
      {"Removed", install.Removed, 0},
      {"Installed", install.Installed, 0},
      {"RestartOnExit", install.RestartOnExit, 0},
      {"LicenceAccepted", install.LicenceAccepted, 0},
      {"OptUserToggleValues", install.OptUserToggleValues, 1},
      {"OptShortcuts", install.OptShortcuts, 1},
      {"TextDesktopLinkMade", install.TextDesktopLinkMade, 0},
      {"ComponentDesktopLinkMade", install.ComponentDesktopLinkMade, 0},
      {"SharedDesktopLinkMade", install.SharedDesktopLinkMade, 0},
      {"LayoutVariant", install.LayoutVariant, -1},
      {"DecimalKeyChoice", install.DecimalKeyChoice, -1},
      {"OptLayoutFlag", install.OptLayoutFlag, 0},
      {"SavedLayoutFlag", install.SavedLayoutFlag, 0},
      {"ModifyMode", install.ModifyMode, 0},
      {"HadScancodeMap", install.HadScancodeMap, 0},
      {"KeyMapCount", install.KeyMapCount, 146},
      {"SharedStamp", install.SharedStamp, 0},
      {"ComponentStamp", install.ComponentStamp, 0},
      {"ComponentRefCount", install.ComponentRefCount, 0},
      {"InstallState", install.InstallState, 0},
      {"SharedInstallCount", install.SharedInstallCount, 0},
  };
  for (const Member& m : members) EXPECT_EQ(m.value, m.expected) << m.name;

  EXPECT_EQ(install.Wizard, nullptr);
  EXPECT_EQ(install.OwnerWindow(), nullptr);
  for (int i = 0; i < PathCount; ++i)
    EXPECT_EQ(install.Paths[i].Length(), 0) << "Paths[" << i << "]";
}

TEST(Install, KeyMapIsTheKeyTableWithNoVirtualKeyChosen) {
  CInstall install;
  ASSERT_NE(install.KeyMap, nullptr);
  for (int i = 0; i < KeyTableRows; ++i) {
    const KeyMapEntry& row = install.KeyMap[i];
    EXPECT_EQ(row.Scancode, KeyTable[i].Scancode) << "row " << i;
    EXPECT_EQ(row.VirtualKey, 0) << "row " << i;
    EXPECT_EQ(row.LabelId, KeyTable[i].LabelId) << "row " << i;
    EXPECT_EQ(row.TargetScancode, 0) << "row " << i;
  }
  // The working copy is the installer's own: the stored table keeps its keys.
  EXPECT_EQ(KeyTable[0].VirtualKey, 0x001B);
}

class InstallStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    TableBuilder common, extra, language0, language1;
    common.Wide(1, u"common").Wide(2, u"common two").Narrow(3, "caf\xC3\xA9");
    extra.Wide(2, u"extra two").Wide(4, u"extra four");
    language0.Wide(1, u"language 0");
    language1.Wide(1, u"language 1").Narrow(5, "\xF0\x9F\x98\x80");
    Attach(install.CommonStrings, common);
    Attach(install.ExtraStrings, extra);
    Attach(install.LanguageStrings[0], language0);
    Attach(install.LanguageStrings[1], language1);
  }

  static void Attach(StringTable& table, const TableBuilder& builder) {
    ASSERT_EQ(table.Attach(builder.Build(), builder.Rows()), 1);
  }

  // The text of `id` as LoadText delivers it; a miss must leave the target empty.
  std::u16string Text(uint32_t id) {
    GString out;
    out.AssignNarrow("left over", -1, 0);
    if (!install.LoadText(id, out)) {
      EXPECT_EQ(out.Length(), 0) << "id " << id;
      return u"";
    }
    EXPECT_TRUE(out.IsWide()) << "id " << id;
    return WideOf(out);
  }

  CInstall install;
};

TEST_F(InstallStrings, LanguageTableThenCommonThenExtra) {
  EXPECT_EQ(Text(1), u"language 0");
  install.UiLanguage = 1;
  EXPECT_EQ(Text(1), u"language 1");
  EXPECT_EQ(Text(2), u"common two");  // the common table shadows the extra table
  EXPECT_EQ(Text(4), u"extra four");
  EXPECT_EQ(Text(3), u"caf\u00E9");  // UTF-8 records arrive as UTF-16
  EXPECT_EQ(Text(99), u"");          // no table holds it
  // A record that cannot be decoded counts as missing.
  EXPECT_EQ(Text(5), u"");
}

TEST_F(InstallStrings, ReleasedTablesFindNothing) {
  install.ReleaseTables();
  EXPECT_EQ(Text(1), u"");
  EXPECT_EQ(Text(4), u"");
}

TEST(Install, DefaultLayoutLanguageIsParsedAsHex) {
  struct Case {
    std::u16string text;
    uint16_t expected;
  };
  const Case cases[] = {
      {u"0419", 0x0419}, {u"419", 0x0419}, {u"1A0419", 0x0419}, {u"zz", 0}, {u"", 0}};
  for (const Case& c : cases) {
    CInstall install;
    TableBuilder common;
    common.Wide(86, c.text);
    ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
    install.ReadDefaultLayoutLangId();
    EXPECT_EQ(install.DefaultLayoutLangId, c.expected) << std::string(c.text.begin(), c.text.end());
  }
}

}  // namespace
