// The installation and removal sequences: which steps run and how the
// counters move. The installer carries only the layout texts and a test
// layout name, so no step can reach the system's own records.
#include <shlobj.h>

#include "layout_test_fixture.h"

namespace {

using Sequences = LayoutFixture;

TEST_F(Sequences, ModifyModeWithUnsavedOptionsLeavesTheLayoutAlone) {
  install.ModifyMode = 1;
  install.SharedInstallCount = 1;
  EXPECT_EQ(install.Install(), 0);
  EXPECT_FALSE(Exists(folder + u"\\" + token + u".dll"));
  EXPECT_TRUE(OurMoves().empty());
  EXPECT_EQ(install.Installed, 0);
  EXPECT_EQ(install.SharedInstallCount, 1);
}

// A failing file step stops the installation before the layout is staged and
// before the package is counted; the earlier release's files are gone by then.
TEST_F(Sequences, InstallationStopsAtTheFirstFailingStep) {
  const std::u16string oldGuide = PlantOldGuide();
  ASSERT_FALSE(oldGuide.empty());
  install.InstallState = LegacyInstallState;
  install.SharedInstallCount = 1;

  EXPECT_EQ(install.Install(), 0);  // no package files to install: the file step fails
  EXPECT_FALSE(Exists(oldGuide));
  DeleteFileW(Win(oldGuide));
  EXPECT_FALSE(Exists(folder + u"\\" + token + u".dll"));
  EXPECT_TRUE(OurMoves().empty());
  EXPECT_EQ(install.SharedInstallCount, 1);
  EXPECT_EQ(install.Installed, 0);
}

TEST_F(Sequences, LegacyRemovalTouchesNoCounterAndSchedulesTheLayout) {
  install.InstallState = LegacyInstallState;
  install.SharedInstallCount = 2;
  install.ComponentRefCount = 3;
  const std::u16string setupCopy = folder + u"\\setup copy.exe";
  CloseHandle(CreateFileW(Win(setupCopy), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  install.Paths[OldSetupCopy].AssignWide(setupCopy.c_str());

  EXPECT_EQ(install.Remove(), 1);
  EXPECT_EQ(install.Removed, 1);
  EXPECT_EQ(install.SharedInstallCount, 2);
  EXPECT_EQ(install.ComponentRefCount, 3);
  EXPECT_TRUE(Exists(setupCopy));  // only the old release's files go
  GString final32, final64;
  ASSERT_EQ(install.BuildLayoutPaths(final32, final64, nullptr, nullptr), 1);
  const auto moves = OurMoves();
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_TRUE(EndsWith(moves[0].first, Text(final32)));
  EXPECT_EQ(moves[0].second, u"");
  EXPECT_TRUE(EndsWith(moves[1].first, Text(final64)));
  EXPECT_EQ(moves[1].second, u"");

  // 32-bit Windows has one layout file to delete.
  RemovePendingMoves();
  install.Is64BitWindows = 0;
  install.ProcessorArchitecture = 0;
  EXPECT_EQ(install.ScheduleLayoutDeletion(), 1);
  ASSERT_EQ(install.BuildLayoutPaths(final32, final64, nullptr, nullptr), 1);
  ASSERT_EQ(OurMoves().size(), 1u);
  EXPECT_TRUE(EndsWith(OurMoves()[0].first, Text(final32)));
}

TEST_F(Sequences, RemovalCountsDownAndKeepsWhatOthersStillUse) {
  struct Case {
    int32_t shared, component;
    int32_t sharedAfter, componentAfter;
    bool sharedGone, componentGone;
  };
  const Case cases[] = {
      {2, 2, 1, 1, false, false},  // another package still uses both
      {1, 2, 0, 1, true, false},
      {2, 1, 1, 0, false, true},
      {0, 0, 0, 0, true, true},  // counters at 0 stay 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.shared << "/" << c.component);
    const std::u16string sub = folder + u"\\install";
    ASSERT_TRUE(CreateDirectoryW(Win(sub), nullptr));
    auto make = [&](PathIndex index, const char16_t* name) {
      const std::u16string path = sub + u"\\" + name;
      CloseHandle(CreateFileW(Win(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      install.Paths[index].AssignWide(path.c_str());
      return path;
    };
    const std::u16string shared = make(OldSharedFile, u"shared.bin");
    const std::u16string component = make(OldComponentFile, u"component.bin");
    const std::u16string copy = make(OldSetupCopy, u"setup.exe");
    install.Paths[InstallDir].AssignWide(sub.c_str());
    install.InstallState = InstallStamp;
    install.Removed = 0;
    install.SharedInstallCount = c.shared;
    install.ComponentRefCount = c.component;

    EXPECT_EQ(install.Remove(), 1);
    EXPECT_EQ(install.Removed, 1);
    EXPECT_EQ(install.SharedInstallCount, c.sharedAfter);
    EXPECT_EQ(install.ComponentRefCount, c.componentAfter);
    EXPECT_EQ(Exists(shared), !c.sharedGone);
    EXPECT_EQ(Exists(component), !c.componentGone);
    EXPECT_FALSE(Exists(copy));
    // The folder goes once it is empty, and only then.
    EXPECT_EQ(Exists(sub), !(c.sharedGone && c.componentGone));
    DeleteFileW(Win(shared));
    DeleteFileW(Win(component));
    RemoveDirectoryW(Win(sub));
    EXPECT_EQ(OurMoves().size(), 2u);  // both layout files, for deletion
    RemovePendingMoves();
  }
}

// Removal started from the installed copy: the copy cannot go while it runs,
// so it and then its folders, in that order, are left to the restart, which
// removes a folder only if it is empty by then.
TEST_F(Sequences, RemovalThroughTheRunningCopyLeavesItsFoldersToTheRestart) {
  const std::u16string vendor = folder + u"\\" + token + u" vendor";  // our moves carry the token
  const std::u16string product = vendor + u"\\product";
  ASSERT_TRUE(CreateDirectoryW(Win(vendor), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Win(product), nullptr));
  const std::u16string copy = product + u"\\setup.exe";
  // Held open without delete sharing, as a running program's file is.
  HANDLE running = CreateFileW(Win(copy), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  install.Paths[OldSetupCopy].AssignWide(copy.c_str());
  install.Paths[InstallDir].AssignWide(product.c_str());
  install.Paths[VendorDir].AssignWide(vendor.c_str());
  install.InstallState = InstallStamp;
  install.SharedInstallCount = 1;

  EXPECT_EQ(install.Remove(), 1);
  CloseHandle(running);
  const auto moves = OurMoves();
  ASSERT_EQ(moves.size(), 5u);  // both layout files, the copy, its two folders
  EXPECT_TRUE(EndsWith(moves[2].first, copy));
  EXPECT_TRUE(EndsWith(moves[3].first, product));
  EXPECT_TRUE(EndsWith(moves[4].first, vendor));
  for (const auto& move : moves) EXPECT_EQ(move.second, u"");
  DeleteFileW(Win(copy));
  RemoveDirectoryW(Win(product));
  RemoveDirectoryW(Win(vendor));
}

TEST_F(Sequences, RemovalFailsOnlyWithoutLayoutPaths) {
  texts.erase(60);  // no 32-bit system folder on 64-bit Windows
  UseTexts();
  install.InstallState = InstallStamp;
  install.SharedInstallCount = 1;
  EXPECT_EQ(install.Remove(), 0);
  EXPECT_EQ(install.Removed, 0);
  install.InstallState = LegacyInstallState;
  EXPECT_EQ(install.Remove(), 1);  // the legacy path ignores it
  EXPECT_EQ(install.RemoveOldVersionFiles(0), 1);
  EXPECT_EQ(install.RemoveOldVersionFiles(1), 0);
}

TEST_F(Sequences, OldVersionFilesInThePersonalFolders) {
  wchar_t documents[MAX_PATH], desktop[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, TRUE));
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, TRUE));
  texts[77] = token + u" guide";
  texts[78] = token + u" readme";
  texts[42] = u".pdf";
  texts[43] = u".lnk";
  texts[44] = u".txt";
  UseTexts();
  const std::u16string files[] = {
      Utf16(documents) + u"\\" + texts[77] + u".pdf", Utf16(desktop) + u"\\" + texts[77] + u".lnk",
      Utf16(documents) + u"\\" + texts[78] + u".txt", Utf16(desktop) + u"\\" + texts[78] + u".lnk",
      Utf16(documents) + u"\\" + texts[78] + u".pdf"};  // not one of them
  for (const auto& f : files)
    CloseHandle(CreateFileW(Win(f), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_EQ(install.RemoveOldVersionFiles(0), 1);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(Exists(files[i])) << i;
  EXPECT_TRUE(Exists(files[4]));
  DeleteFileW(Win(files[4]));
  EXPECT_TRUE(OurMoves().empty());
}

}  // namespace
