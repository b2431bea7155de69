#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/install.h"
#include "support/table_builder.h"

namespace {

std::u16string Text(const GString& s) { return s.WideText(0); }

bool EndsWith(const std::u16string& text, const std::u16string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(Paths, ComposedFromTheSpecialFoldersAndTheStrings) {
  CInstall install;
  TableBuilder common;
  common.Wide(9, u"V")
      .Wide(10, u"\\P")  // a leading backslash makes no doubled one
      .Wide(22, u"A")
      .Wide(23, u"B")
      .Wide(30, u"Shared")
      .Wide(42, u".x")
      .Wide(43, u".lnk")
      .Wide(44, u".txt")
      .Wide(46, u".url")
      .Wide(48, u"Remove %s")
      .Wide(70, u"Page")
      .Wide(71, u"Read me")
      .Wide(80, u"page.html")
      .Wide(81, u"the layout");
  ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
  ASSERT_EQ(install.BuildPaths(), 1);

  GString programFiles;
  ASSERT_EQ(install.GetSpecialFolder(38, programFiles), 1);
  const std::u16string installDir = Text(programFiles) + u"\\V\\P";
  EXPECT_EQ(Text(install.Paths[VendorDir]), Text(programFiles) + u"\\V");
  EXPECT_EQ(Text(install.Paths[InstallDir]), installDir);
  EXPECT_EQ(Text(install.Paths[ComponentFile]), installDir + u"\\A (B).x");
  EXPECT_EQ(Text(install.Paths[PageFile]), installDir + u"\\page.html");
  EXPECT_TRUE(EndsWith(Text(install.Paths[ComponentMenuLink]), u"\\V\\P\\A (B).lnk"));
  EXPECT_TRUE(EndsWith(Text(install.Paths[TextDesktopLink]), u"\\Read me.lnk"));
  EXPECT_TRUE(EndsWith(Text(install.Paths[PageDesktopPointer]), u"\\Page.url"));
  EXPECT_TRUE(EndsWith(Text(install.Paths[SetupSelf]), u"win_tests.exe"));
  EXPECT_EQ(Text(install.Paths[SetupCopy]), installDir + u"\\win_tests.exe");
  EXPECT_EQ(Text(install.Paths[SetupLinkName]), u"Remove the layout");
  EXPECT_TRUE(EndsWith(Text(install.Paths[SetupMenuLink]), u"\\V\\P\\Remove the layout.lnk"));
  for (int even = OldComponentFile; even <= OldSetupMenuLink; even += 2) {
    if (even != SetupSelf) {
      EXPECT_EQ(install.Paths[even].Length(), 0) << even;
    }
  }
}

// The setup copy keeps the program's file name, however the program was named
// when it was started.
TEST(Paths, FileNamePartFollowsTheLastSeparator) {
  struct Case {
    std::u16string path;
    std::u16string name;
  };
  const Case cases[] = {
      {u"C:\\Downloads\\setup.exe", u"setup.exe"},
      {u"setup.exe", u"setup.exe"},
      {u"build/win64/setup64.exe", u"setup64.exe"},
      {u"Z:\\work/build\\setup.exe", u"setup.exe"},
      {u"D:setup.exe", u"setup.exe"},
      {u"C:\\folder\\", u""},
  };
  for (const Case& c : cases) {
    GString path, name;
    ASSERT_EQ(path.AssignWide(c.path.c_str()), 1);
    EXPECT_EQ(CInstall::FileNamePart(path, name), 1);
    EXPECT_EQ(Text(name), c.name) << "case " << (&c - cases);
  }
}

TEST(Options, DefaultVariantIsTheFirstNameHoldingTheMarker) {
  struct Case {
    std::u16string marker;
    std::u16string names[3];
    int variant;
  };
  const Case cases[] = {
      {u"*", {u"one *", u"two *", u"three"}, 0},
      {u"*", {u"one", u"two", u"three *"}, 2},
      {u"*", {u"one", u"two", u"three"}, 0},
      {u"", {u"one", u"two", u"three"}, 0},
  };
  for (const Case& c : cases) {
    CInstall install;
    TableBuilder common;
    common.Wide(88, c.marker).Wide(113, c.names[0]).Wide(114, c.names[1]).Wide(115, c.names[2]);
    ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
    EXPECT_EQ(install.GetLayoutVariant(), c.variant);
    install.LayoutVariant = 1;
    EXPECT_EQ(install.GetLayoutVariant(), 1);  // derived once
  }
}

TEST(Options, DecimalKeyFollowsTheUserSeparator) {
  CInstall install;
  wchar_t separator[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  EXPECT_EQ(install.GetDecimalKeyChoice(), std::wstring(separator) == L"," ? 0 : 1);
}

// A document type of the test's own, opened by Notepad.
class Association : public ::testing::Test {
 protected:
  void SetUp() override {
    Set(L"Software\\Classes\\.setuptest", L"SetupTest.Document");
    Set(L"Software\\Classes\\SetupTest.Document\\shell\\open\\command",
        L"C:\\windows\\notepad.exe \"%1\"");
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\SetupTest.Document");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.setuptest");
  }
  static void Set(const wchar_t* path, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD(value.size() + 1) * 2);
    RegCloseKey(key);
  }
};

TEST_F(Association, AssociatedProgramIsSearchedInUpperCase) {
  struct Case {
    std::u16string association;
    std::u16string fragment;
    int found;
  };
  const Case cases[] = {
      {u".setuptest", u"NOTEPAD", 1},
      {u".setuptest", u"notepad", 0},  // the path is upper-cased, the fragment is not
      {u".setuptest", u"WORDPAD", 0},
      {u".no-such-type", u"NOTEPAD", 0},
  };
  for (const Case& c : cases) {
    CInstall install;
    TableBuilder common;
    common.Wide(42, c.association).Wide(45, c.fragment);
    ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
    EXPECT_EQ(install.AssocExecutableContains(42, 45), c.found)
        << std::string(c.fragment.begin(), c.fragment.end());
  }
}

}  // namespace
