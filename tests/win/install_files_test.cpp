// InstallFiles against a throw-away tree under the temporary folder, with the
// licence entries standing in for the companion files.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/install.h"
#include "support/table_builder.h"
#include "test_files.h"

namespace {

using testfiles::FileExists;
using testfiles::ReadAll;
using testfiles::U16;

// The target and description of a saved shortcut.
std::pair<std::wstring, std::wstring> ReadShortcut(const std::wstring& path) {
  const testfiles::Shortcut link = testfiles::ReadShortcut(path);
  return {link.target, link.description};
}

class InstallFiles : public ::testing::Test {
 protected:
  InstallFiles() : tree(L"setup-install-files-test") {}

  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(tree.Made());
    root = tree.Path();
    ASSERT_TRUE(CreateDirectoryW((root + L"\\Desktop").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\Old").c_str(), nullptr));

    ASSERT_EQ(install.LoadPayload(), 1);
    // The licences are entries every package has; they stand in for the
    // companion files.
    install.ComponentPayload = install.LicenceEntry(0);
    install.SharedPayload = install.LicenceEntry(1);
    install.PagePayload = install.LicenceEntry(0);
    strings.Wide(52, u"shell32.dll")
        .Wide(121, u"Component")
        .Wide(35, u"Shared")
        .Wide(122, u"Read me")
        .Wide(67, u"Text file\r\n")
        .Wide(69, u"[Shortcut]\r\nURL=file:///%s\\%s\r\n")
        .Wide(80, u"page.htm");
    AttachStrings();
    install.OsVersionCode = 61;

    Set(VendorDir, L"\\Vendor");
    Set(InstallDir, L"\\Vendor\\Package");
    Set(MenuVendorDir, L"\\Menu");
    Set(MenuDir, L"\\Menu\\Package");
    Set(ComponentFile, L"\\Vendor\\Package\\component.exe");
    Set(ComponentMenuLink, L"\\Menu\\Package\\component.lnk");
    Set(ComponentDesktopLink, L"\\Desktop\\component.lnk");
    Set(SharedFile, L"\\Vendor\\Package\\shared.exe");
    Set(SharedMenuLink, L"\\Menu\\Package\\shared.lnk");
    Set(SharedDesktopLink, L"\\Desktop\\shared.lnk");
    Set(TextFile, L"\\Vendor\\Package\\text.txt");
    Set(TextMenuLink, L"\\Menu\\Package\\text.lnk");
    Set(TextDesktopLink, L"\\Desktop\\text.lnk");
    Set(PageMenuPointer, L"\\Menu\\Package\\page.url");
    Set(PageDesktopPointer, L"\\Desktop\\page.url");
    Set(PageFile, L"\\Vendor\\Package\\page.htm");
    Set(SetupSelf, L"\\self.exe");
    Set(SetupCopy, L"\\Vendor\\Package\\setup.exe");
    Set(SetupMenuLink, L"\\Menu\\Package\\setup.lnk");
    install.Paths[SetupLinkName].AssignWide(u"Setup");
    std::ofstream((root + L"\\self.exe").c_str(), std::ios::binary) << "MZ setup";
  }

  void TearDown() override { CoUninitialize(); }

  // The language table is asked first, so the test's strings go there too.
  void AttachStrings() {
    ASSERT_EQ(install.LanguageStrings[install.UiLanguage].Attach(strings.Build(), strings.Rows()),
              1);
    ASSERT_EQ(install.CommonStrings.Attach(strings.Build(), strings.Rows()), 1);
    ASSERT_EQ(install.ExtraStrings.Attach(strings.Build(), strings.Rows()), 1);
  }

  void Set(int index, const std::wstring& relative) {
    install.Paths[index].AssignWide(U16(root + relative).c_str());
  }
  std::wstring At(int index) {
    const char16_t* text = install.Paths[index].WideText(0);
    return std::wstring(text, text + install.Paths[index].Length());
  }
  testfiles::TestFolder tree;
  std::wstring root;
  TableBuilder strings;
  CInstall install;
};

TEST_F(InstallFiles, FirstInstallationMakesEverything) {
  install.OptShortcuts = 1;
  install.ComponentRefCount = 1;  // another package holds the component
  ASSERT_EQ(install.InstallFiles(), 1);

  EXPECT_EQ(install.ComponentRefCount, 2);
  EXPECT_EQ(install.ComponentDesktopLinkMade, 1);
  EXPECT_EQ(install.SharedDesktopLinkMade, 1);
  EXPECT_EQ(install.TextDesktopLinkMade, 1);
  for (int path : {ComponentFile, SharedFile, PageFile, SetupCopy}) {
    EXPECT_GT(ReadAll(At(path)).size(), 0u) << path;
  }
  EXPECT_EQ(ReadAll(At(TextFile)), "Text file\r\n");
  EXPECT_EQ(ReadAll(At(SetupCopy)), "MZ setup");
  const std::wstring folder = At(InstallDir);
  const std::string pointer =
      "[Shortcut]\r\nURL=file:///" + std::string(folder.begin(), folder.end()) + "\\page.htm\r\n";
  EXPECT_EQ(ReadAll(At(PageMenuPointer)), pointer);
  EXPECT_EQ(ReadAll(At(PageDesktopPointer)), pointer);

  EXPECT_EQ(ReadShortcut(At(ComponentDesktopLink)),
            std::make_pair(At(ComponentFile), std::wstring(L"Component")));
  EXPECT_EQ(ReadShortcut(At(SharedMenuLink)),
            std::make_pair(At(SharedFile), std::wstring(L"Shared")));
  EXPECT_EQ(ReadShortcut(At(TextDesktopLink)),
            std::make_pair(At(TextFile), std::wstring(L"Read me")));
  EXPECT_EQ(ReadShortcut(At(SetupMenuLink)), std::make_pair(At(SetupCopy), std::wstring(L"Setup")));
}

TEST_F(InstallFiles, ReinstallationOverTheSamePaths) {
  // As LoadInstallInfo leaves an earlier installation of this package.
  for (int path : {ComponentFile, ComponentMenuLink, SharedFile, SharedMenuLink, TextFile,
                   TextMenuLink, PageMenuPointer, SetupCopy}) {
    install.Paths[path - 1].Assign(install.Paths[path]);
  }
  install.OptShortcuts = 0;
  install.ComponentRefCount = 2;
  install.SharedStamp = InstallStamp;
  ASSERT_EQ(install.InstallFiles(), 1);

  EXPECT_EQ(install.ComponentRefCount, 2);  // taken back, then counted again
  EXPECT_TRUE(FileExists(At(ComponentFile)));
  EXPECT_TRUE(FileExists(At(ComponentMenuLink)));
  EXPECT_FALSE(FileExists(At(ComponentDesktopLink)));  // shortcuts off, none before
  // Recorded items of the shared, text and page records are not written again.
  for (int path : {SharedFile, SharedMenuLink, SharedDesktopLink, TextFile, TextMenuLink,
                   TextDesktopLink, PageFile, PageMenuPointer, PageDesktopPointer}) {
    EXPECT_FALSE(FileExists(At(path))) << path;
  }
  EXPECT_EQ(install.SharedDesktopLinkMade, 0);
  EXPECT_EQ(install.TextDesktopLinkMade, 0);
  EXPECT_TRUE(FileExists(At(SetupMenuLink)));
}

TEST_F(InstallFiles, EarlierComponentElsewhereIsMoved) {
  Set(OldComponentFile, L"\\Old\\component.exe");
  Set(OldComponentMenuLink, L"\\Old\\component.lnk");
  Set(OldComponentDesktopLink, L"\\Old\\desktop component.lnk");
  Set(OldSetupCopy, L"\\Old\\setup.exe");
  for (int path : {OldComponentFile, OldComponentMenuLink, OldComponentDesktopLink, OldSetupCopy}) {
    std::ofstream(At(path).c_str()) << "old";
  }
  install.OptShortcuts = 0;
  install.ComponentRefCount = 1;
  ASSERT_EQ(install.InstallFiles(), 1);

  for (int path : {OldComponentFile, OldComponentMenuLink, OldComponentDesktopLink, OldSetupCopy}) {
    EXPECT_FALSE(FileExists(At(path))) << path;
  }
  EXPECT_EQ(install.ComponentRefCount, 1);
  EXPECT_EQ(ReadShortcut(At(ComponentDesktopLink)).first, At(ComponentFile));
  EXPECT_EQ(install.ComponentDesktopLinkMade, 1);
  // Shortcuts off: nothing else lands on the desktop but the page pointer.
  EXPECT_FALSE(FileExists(At(SharedDesktopLink)));
  EXPECT_FALSE(FileExists(At(TextDesktopLink)));
  EXPECT_TRUE(FileExists(At(PageDesktopPointer)));
}

TEST_F(InstallFiles, DesktopTextShortcutFollowsTheRecordedTextFile) {
  Set(OldTextFile, L"\\Old\\text.txt");
  Set(OldTextMenuLink, L"\\Old\\text.lnk");
  install.OptShortcuts = 1;
  ASSERT_EQ(install.InstallFiles(), 1);
  EXPECT_FALSE(FileExists(At(TextFile)));
  EXPECT_FALSE(FileExists(At(TextMenuLink)));
  EXPECT_EQ(ReadShortcut(At(TextDesktopLink)),
            std::make_pair(At(OldTextFile), std::wstring(L"Read me")));
  EXPECT_EQ(install.TextDesktopLinkMade, 1);
}

TEST_F(InstallFiles, FailuresStopTheSequence) {
  // No text for the text file: everything after it is left undone.
  strings.Wide(67, u"");
  AttachStrings();
  EXPECT_EQ(install.InstallFiles(), 0);
  EXPECT_TRUE(FileExists(At(ComponentFile)));
  EXPECT_FALSE(FileExists(At(TextMenuLink)));
  EXPECT_FALSE(FileExists(At(SetupCopy)));

  // A folder that cannot be made fails before anything is written.
  Set(VendorDir, L"\\Missing\\Vendor");
  Set(ComponentFile, L"\\Vendor\\Package\\second.exe");
  EXPECT_EQ(install.InstallFiles(), 0);
  EXPECT_FALSE(FileExists(At(ComponentFile)));

  // The companion file cannot be extracted.
  Set(VendorDir, L"\\Vendor");
  install.ComponentPayload = PayloadEntry{};
  EXPECT_EQ(install.InstallFiles(), 0);
  EXPECT_FALSE(FileExists(At(ComponentFile)));
}

}  // namespace
