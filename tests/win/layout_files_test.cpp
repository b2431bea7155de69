// The layout library steps with the real embedded builds: selection, paths,
// patching and staging, and the moves registered for the next restart.
#include <shlobj.h>

#include "layout_test_fixture.h"

namespace {

using LayoutFiles = LayoutFixture;

TEST_F(LayoutFiles, SelectionFollowsVersionArchitectureAndGroup) {
  struct Case {
    int32_t version;
    uint16_t architecture;
    int32_t variant, optFlag, savedFlag;
    int ok, group, slot32, slot64;
  };
  const Case cases[] = {
      {63, 6, 0, 0, 0, 0, 0, -1, -1},   // IA64 is not served after Windows 7
      {63, 9, 1, 0, 0, 1, 0, 11, 12},   //
      {50, 9, 2, 0, 0, 1, 0, 0, -1},    // one build whatever the processor
      {61, 9, 0, 0, 1, 1, 1, 8, 10},    // a saved flag alone picks group 1
      {52, 6, 2, 1, 0, 1, 1, 2, 3},     //
      {60, 0, 1, 0, 0, 1, 0, 5, -1},    //
      {60, 5, 0, 0, 0, 0, 0, -1, -1},   // an unknown processor
      {61, 9, 3, 0, 0, 0, 0, -1, -1},   // variants outside 0..2 never index the table
      {61, 9, -1, 0, 0, 0, 0, -1, -1},  //
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.version << "/" << c.architecture << "/" << c.variant);
    install.OsVersionCode = c.version;
    install.ProcessorArchitecture = c.architecture;
    install.LayoutVariant = c.variant;
    install.OptLayoutFlag = c.optFlag;
    install.SavedLayoutFlag = c.savedFlag;
    PayloadEntry build32{LayoutPointers[0][0][0], 1}, build64 = build32;
    ASSERT_EQ(install.SelectLayoutBuilds(build32, build64), c.ok);
    const uint8_t* want32 = c.slot32 < 0 ? nullptr : LayoutPointers[c.group][c.variant][c.slot32];
    const uint8_t* want64 = c.slot64 < 0 ? nullptr : LayoutPointers[c.group][c.variant][c.slot64];
    EXPECT_EQ(build32.Data, want32);
    EXPECT_EQ(build64.Data, want64);
    if (c.slot32 >= 0) {
      EXPECT_EQ(build32.Size, LayoutSizes[c.group][c.variant][c.slot32]);
      EXPECT_NE(want32, nullptr) << "the package lacks a build";
    }
  }
}

TEST_F(LayoutFiles, PathsOnBothKindsOfWindows) {
  wchar_t system[MAX_PATH], wow64[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, system, CSIDL_SYSTEM, FALSE));
  const std::u16string name = u"\\" + token + u".dll";
  const std::u16string staging = folder + name;
  GString final32, final64, staging32, staging64;

  install.Is64BitWindows = 0;
  staging64.AssignWide(u"left over");
  ASSERT_EQ(install.BuildLayoutPaths(final32, final64, &staging32, &staging64), 1);
  EXPECT_EQ(Lower(Text(final32)), Lower(Utf16(system) + name));
  EXPECT_EQ(Text(final64), u"");
  EXPECT_EQ(Text(staging32), staging);
  EXPECT_EQ(Text(staging64), u"");

  install.Is64BitWindows = 1;
  ASSERT_NE(GetSystemWow64DirectoryW(wow64, MAX_PATH), 0u) << "the prefix has no 32-bit folder";
  ASSERT_EQ(install.BuildLayoutPaths(final32, final64, &staging32, &staging64), 1);
  EXPECT_EQ(Lower(Text(final32)), Lower(Utf16(wow64) + name));
  EXPECT_EQ(Lower(Text(final64)), Lower(Utf16(system) + name));
  EXPECT_EQ(Text(staging32), staging);
  EXPECT_EQ(Text(staging64), staging + u"64");
  // Only the final paths: the staging paths are not asked for.
  ASSERT_EQ(install.BuildLayoutPaths(final32, final64, nullptr, nullptr), 1);

  // Without the function that names the 32-bit folder there is no 32-bit
  // target; without the file name there is no target at all.
  texts.erase(60);
  UseTexts();
  EXPECT_EQ(install.BuildLayoutPaths(final32, final64, &staging32, &staging64), 0);
  EXPECT_EQ(Text(final32), u"");
  EXPECT_EQ(Text(final64), u"");
  install.Is64BitWindows = 0;
  texts.erase(83);
  UseTexts();
  EXPECT_EQ(install.BuildLayoutPaths(final32, final64, nullptr, nullptr), 0);
}

TEST_F(LayoutFiles, HexPatternsByStringId) {
  std::vector<uint8_t> bytes;
  texts[900] = u"0A1B2";  // the odd last digit is ignored
  texts[901] = u"0a1b";   // lower case is no digit
  texts[902] = u"";       // empty
  texts[903] = u"0G";
  UseTexts();
  ASSERT_EQ(install.DecodeHexPattern(900, bytes), 1);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0A, 0x1B}));
  for (uint32_t id : {901u, 902u, 903u, 904u}) {
    EXPECT_EQ(install.DecodeHexPattern(id, bytes), 0) << id;
    EXPECT_TRUE(bytes.empty()) << id;
  }
  ASSERT_EQ(install.DecodeHexPattern(150, bytes), 1);
  EXPECT_EQ(bytes, Hex(texts[150]));
}

TEST_F(LayoutFiles, StagesThePatchedBuildAndRegistersItsReplacement) {
  const PayloadEntry build{LayoutPointers[0][1][10], LayoutSizes[0][1][10]};
  ASSERT_NE(build.Data, nullptr);
  install.LayoutVariant = 1;
  GString finalPath, stagingPath;
  finalPath.AssignWide((folder + u"\\final.dll").c_str());
  stagingPath.AssignWide((folder + u"\\" + token + u".staged").c_str());

  ASSERT_EQ(install.PatchAndStageLayout(finalPath, stagingPath, build), 1);
  const std::vector<uint8_t> staged = ReadFile(Text(stagingPath));
  const std::vector<uint8_t> plain = Plain(build);
  EXPECT_EQ(staged, Expected(build, 1, true, true));
  EXPECT_NE(staged, plain);
  // Left Shift now sends left Ctrl: the array entry of scancode 0x2A.
  const std::vector<uint8_t> base = Hex(texts[148]);
  const size_t at =
      size_t(std::search(plain.begin(), plain.end(), base.begin(), base.end()) - plain.begin());
  ASSERT_LT(at + 0x55, staged.size());
  EXPECT_EQ(staged[at + 0x54], 0xA2);
  EXPECT_EQ(staged[at + 0x55], 0x00);

  const auto moves = OurMoves();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(EndsWith(moves[0].first, Text(stagingPath)));
  EXPECT_EQ(moves[0].second.substr(0, 1), u"!");  // replaces an existing file
  EXPECT_TRUE(EndsWith(moves[0].second, Text(finalPath)));
}

TEST_F(LayoutFiles, WithoutCommaOrKeysNoPatternIsNeeded) {
  const PayloadEntry build{LayoutPointers[1][2][11], LayoutSizes[1][2][11]};
  ASSERT_NE(build.Data, nullptr);
  install.LayoutVariant = 2;
  install.Is64BitWindows = 0;
  GString noFinal, stagingPath;
  stagingPath.AssignWide((folder + u"\\" + token + u".staged").c_str());

  // The decimal key stays as it is: string 146 is not even looked up.
  install.DecimalKeyChoice = -1;
  texts.erase(146);
  UseTexts();
  ASSERT_EQ(install.PatchAndStageLayout(noFinal, stagingPath, build), 1);
  EXPECT_EQ(ReadFile(Text(stagingPath)), Expected(build, 2, true, false));
  // An empty final path stages the file and registers nothing.
  EXPECT_TRUE(OurMoves().empty());

  // No key chosen anywhere and no comma: the plain build, no patterns at all.
  install.KeyMapCount = 0;
  texts.erase(149);
  texts.erase(150);
  UseTexts();
  ASSERT_EQ(install.PatchAndStageLayout(noFinal, stagingPath, build), 1);
  EXPECT_EQ(ReadFile(Text(stagingPath)), Plain(build));
}

TEST_F(LayoutFiles, PatternAndInputFailuresStageNothing) {
  const PayloadEntry build{LayoutPointers[0][0][8], LayoutSizes[0][0][8]};
  ASSERT_NE(build.Data, nullptr);
  GString finalPath, stagingPath, empty;
  finalPath.AssignWide((folder + u"\\final.dll").c_str());
  stagingPath.AssignWide((folder + u"\\" + token + u".staged").c_str());
  const std::map<uint32_t, std::u16string> real = texts;
  struct Case {
    const char* what;
    uint32_t id;
    std::u16string text;  // empty: the string is missing
    int32_t decimalChoice;
  };
  const Case cases[] = {
      {"base pattern missing", 147, u"", 1},
      {"base pattern lower case", 147, u"0a0b", 1},
      {"base pattern absent from the build", 147, u"FEDCBA98765432100123456789ABCDEF", 1},
      {"E1 pattern absent from the build", 151, u"FEDCBA98765432100123456789ABCDEF", 1},
      {"decimal pattern missing with the comma wanted", 146, u"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    texts = real;
    if (c.text.empty())
      texts.erase(c.id);
    else
      texts[c.id] = c.text;
    UseTexts();
    install.DecimalKeyChoice = c.decimalChoice;
    EXPECT_EQ(install.PatchAndStageLayout(finalPath, stagingPath, build), 0);
    EXPECT_FALSE(Exists(Text(stagingPath)));
  }
  texts = real;
  UseTexts();
  // A variant outside 0..2, no build, a build that does not extract, no
  // staging path.
  install.LayoutVariant = 3;
  EXPECT_EQ(install.PatchAndStageLayout(finalPath, stagingPath, build), 0);
  install.LayoutVariant = 0;
  EXPECT_EQ(install.PatchAndStageLayout(finalPath, stagingPath, PayloadEntry()), 0);
  EXPECT_EQ(install.PatchAndStageLayout(finalPath, stagingPath, {build.Data, build.Size - 8}), 0);
  EXPECT_EQ(install.PatchAndStageLayout(finalPath, empty, build), 0);
  EXPECT_FALSE(Exists(Text(stagingPath)));
  EXPECT_TRUE(OurMoves().empty());
}

TEST_F(LayoutFiles, SixtyFourBitWindowsGetsBothBuilds) {
  ASSERT_EQ(install.InstallLayoutFiles(), 1);
  const std::u16string staged32 = folder + u"\\" + token + u".dll";
  const PayloadEntry build32{LayoutPointers[0][0][8], LayoutSizes[0][0][8]};
  const PayloadEntry build64{LayoutPointers[0][0][10], LayoutSizes[0][0][10]};
  EXPECT_EQ(ReadFile(staged32), Expected(build32, 0, true, true));
  EXPECT_EQ(ReadFile(staged32 + u"64"), Expected(build64, 0, true, true));

  GString final32, final64;
  ASSERT_EQ(install.BuildLayoutPaths(final32, final64, nullptr, nullptr), 1);
  const auto moves = OurMoves();
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_TRUE(EndsWith(moves[0].first, staged32));
  EXPECT_TRUE(EndsWith(moves[0].second, Text(final32)));
  EXPECT_TRUE(EndsWith(moves[1].first, staged32 + u"64"));
  EXPECT_TRUE(EndsWith(moves[1].second, Text(final64)));
}

// The 64-bit build failing (here: its staging file cannot be created) leaves
// the 32-bit one staged and registered.
TEST_F(LayoutFiles, SecondBuildFailingKeepsTheFirst) {
  const std::u16string staged32 = folder + u"\\" + token + u".dll";
  ASSERT_TRUE(CreateDirectoryW(Win(staged32 + u"64"), nullptr));
  EXPECT_EQ(install.InstallLayoutFiles(), 0);
  EXPECT_TRUE(Exists(staged32));
  const auto moves = OurMoves();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(EndsWith(moves[0].first, staged32));
}

TEST_F(LayoutFiles, ThirtyTwoBitWindowsGetsOneBuild) {
  install.Is64BitWindows = 0;
  install.ProcessorArchitecture = 0;
  const std::u16string staged = folder + u"\\" + token + u".dll";
  const PayloadEntry build{LayoutPointers[0][0][8], LayoutSizes[0][0][8]};
  ASSERT_EQ(install.InstallLayoutFiles(), 1);
  EXPECT_EQ(ReadFile(staged), Expected(build, 0, true, true));
  EXPECT_FALSE(Exists(staged + u"64"));
  EXPECT_EQ(OurMoves().size(), 1u);

  // An unserved system writes nothing.
  DeleteFileW(Win(staged));
  RemovePendingMoves();
  install.OsVersionCode = 63;
  install.ProcessorArchitecture = 6;
  EXPECT_EQ(install.InstallLayoutFiles(), 0);
  EXPECT_FALSE(Exists(staged));
  EXPECT_TRUE(OurMoves().empty());
}

}  // namespace
