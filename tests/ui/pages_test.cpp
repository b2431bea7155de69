// The six pages in real windows: what they show, and what each control writes.
#include "ui/wizard_fixture.h"

#include <cstring>

namespace {

using WelcomePage = WizardTest;

TEST_F(WelcomePage, ButtonsFollowTheInstallState) {
  struct Case {
    int32_t state;
    std::vector<int> usable, hidden;
    int focus;
    const wchar_t* title;
    uint32_t body;
  };
  const Case cases[] = {
      {0, {300, 1, 2002}, {315, 2003, 2}, 1, L"Welcome to Test Layout", 131},
      {LegacyInstallState, {300, 1}, {315, 2003, 2}, 1, L"Welcome to Test Layout", 131},
      {InstallStamp, {300, 315, 2003, 2}, {1}, 2, L"Test Layout is installed", 136},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    install.InstallState = c.state;
    Start();
    for (int id : c.usable) EXPECT_TRUE(Usable(id)) << id;
    for (int id : c.hidden) EXPECT_TRUE(Hidden(id)) << id;
    EXPECT_EQ(FocusId(), c.focus);
    EXPECT_EQ(DefaultId(), 2);
    EXPECT_EQ(ItemText(308), c.title);
    EXPECT_EQ(ItemText(309), Text(c.body));
    EXPECT_EQ(ItemText(307), Text(1));
    EXPECT_EQ(ItemText(300), Text(98));
    EXPECT_EQ(ComboCount(2002), 2);
    EXPECT_EQ(ComboSelData(2002), 0);
    install.WizardStep = StepFinished;
    Post(WM_WIZ_CLOSE);
    ASSERT_TRUE(quit);
    quit = false;
  }
}

TEST_F(WelcomePage, LanguageSwitchRewritesTheTextsAtOnce) {
  Start();
  EXPECT_EQ(ComboItemText(2002, 0), L"English");
  EXPECT_EQ(ComboItemText(2002, 1), L"Polski");
  Choose(2002, 1, CBN_SELENDOK);
  EXPECT_EQ(install.UiLanguage, 1);
  EXPECT_EQ(ItemText(1), Text(99, L"pl "));
  EXPECT_EQ(ItemText(309), Text(131, L"pl "));
  EXPECT_EQ(ItemText(308), L"Witamy: Test Layout");
  EXPECT_EQ(ComboSel(2002), 1);
  wchar_t title[64] = L"";
  GetWindowTextW(wizard->MainHwnd(), title, 64);
  EXPECT_STREQ(title, L"Test Setup");

  // The licence page comes in the new language too.
  Click(1);
  EXPECT_EQ(ItemText(305), Text(105, L"pl "));
}

TEST_F(WelcomePage, RemovalAsksFirstAndAFailureLeavesThePageDisabled) {
  install.InstallState = InstallStamp;
  Start();
  answers = {IDNO};
  Click(315);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Remove Layout?");
  EXPECT_EQ(boxes[0].type, UINT(MB_YESNO | MB_ICONQUESTION));
  EXPECT_TRUE(Usable(315));

  answers = {IDYES};
  Click(315);
  // The removal reports failure: the page stays, every control disabled.
  EXPECT_EQ(install.WizardStep, StepWelcome);
  EXPECT_NE(Page(), nullptr);
  for (HWND child = GetWindow(Page(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    EXPECT_FALSE(IsWindowEnabled(child)) << GetDlgCtrlID(child);
}

TEST_F(WelcomePage, RemovalWithoutAdministratorRightsCloses) {
  install.InstallState = InstallStamp;
  install.IsAdmin = 0;
  Start();
  Click(315);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Text(123));
  EXPECT_EQ(install.WizardStep, StepFinished);
  EXPECT_TRUE(quit);
}

TEST_F(WelcomePage, ModifyLeadsToTheSetupPageInModifyMode) {
  install.InstallState = InstallStamp;
  Start();
  Click(2003);
  EXPECT_EQ(install.ModifyMode, 1);
  EXPECT_EQ(install.LicenceAccepted, 1);
  EXPECT_EQ(install.WizardStep, StepSetup);
  EXPECT_EQ(wizard->currentPage, wizard->setupPage);
  for (int id : {1205, 1200, 1212, 313, 1202}) EXPECT_TRUE(Hidden(id)) << id;
  for (int id : {1213, 1214, 1215, 206, 301, 300}) EXPECT_TRUE(Usable(id)) << id;
  // Back reaches the licence with the acceptance ticked.
  Click(301);
  EXPECT_EQ(SendMessageW(Item(305), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(Usable(1));
}

using LicencePage = WizardTest;

TEST_F(LicencePage, AcceptanceUnlocksNextAndSurvivesBackAndNext) {
  Start();
  Click(1);
  EXPECT_EQ(SendMessageW(Item(305), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(IsWindowEnabled(Item(1)));
  EXPECT_EQ(FocusId(), 305);
  EXPECT_EQ(DefaultId(), 1);
  EXPECT_EQ(ItemText(311), Text(132));
  // No licence entry in this image: the box stays empty and the page works.
  EXPECT_EQ(ItemText(306), L"");

  Click(305);
  EXPECT_TRUE(IsWindowEnabled(Item(1)));
  EXPECT_EQ(install.LicenceAccepted, 1);
  Click(305);
  EXPECT_FALSE(IsWindowEnabled(Item(1)));
  EXPECT_EQ(install.LicenceAccepted, 0);
  Click(305);

  Click(301);
  Click(1);
  EXPECT_EQ(SendMessageW(Item(305), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(IsWindowEnabled(Item(1)));
}

TEST(LicenceText, ByteOrderMarkIsDropped) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFLicence\r\nline", u"Licence\r\nline"},
      {"Licence \xC5\x82", u"Licence \u0142"},
      {"\xEF\xBB", u"\uFFFD"},
      {"ab", u"ab"},
      {"\xEF\xBB\xBF", u""},
  };
  for (const Case& c : cases) {
    GString out;
    ASSERT_EQ(CInstall::AssignLicence(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                      uint32_t(c.bytes.size()), out),
              1);
    out.ToWide(0);
    if (c.bytes == "\xEF\xBB") {
      EXPECT_NE(out.Length(), 0);  // two bytes are kept, whatever they decode to
    } else {
      EXPECT_EQ(std::u16string(out.WideText(0)), c.text);
    }
  }
  CInstall install;
  GString out;
  const uint8_t entry[8] = {};
  EXPECT_EQ(install.LicenceText(nullptr, 8, out), 0);
  EXPECT_EQ(install.LicenceText(entry, 0, out), 0);
}

class SetupPage : public WizardTest {
 protected:
  void Open() {
    Start();
    Post(WM_WIZ_SETUP);
    ASSERT_EQ(wizard->currentPage, wizard->setupPage);
  }
};

TEST_F(SetupPage, ControlsFollowTheWindowsVersion) {
  struct Case {
    int version;
    std::vector<int> usable, hidden;
  };
  const Case cases[] = {
      {51, {1205, 1212, 1213, 1214, 1215}, {313, 1202, 1200, 304}},
      {61, {313, 1202, 1200, 1205, 1212, 1213}, {304}},
      {62, {313, 1202, 1200, 1205, 1213}, {1212, 304}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    install.OsVersionCode = c.version;
    install.OptShortcuts = 0;
    Open();
    for (int id : c.usable) EXPECT_TRUE(Usable(id)) << id;
    for (int id : c.hidden) EXPECT_TRUE(Hidden(id)) << id;
    EXPECT_EQ(install.OptShortcuts, c.version >= 62 ? 1 : 0);
    EXPECT_EQ(FocusId(), 206);
    EXPECT_EQ(DefaultId(), 206);
    EXPECT_EQ(ItemText(313), L"Options of Test Layout");
    EXPECT_EQ(ItemText(1205), Text(139));
    install.WizardStep = StepFinished;
    Post(WM_WIZ_CLOSE);
    ASSERT_TRUE(quit);
    quit = false;
  }
}

TEST_F(SetupPage, LanguageListHoldsLoadedLayoutsAndTheCurrentLanguage) {
  // Russian has no loaded layout here; as the current language it is listed.
  install.LayoutLangId = 0x0419;
  Open();
  const LRESULT n = ComboCount(1202);
  ASSERT_GE(n, 2);
  HKL layouts[32];
  const int layoutCount = GetKeyboardLayoutList(32, layouts);
  std::wstring previous;
  for (LRESULT i = 0; i < n; ++i) {
    const LRESULT lcid = SendMessageW(Item(1202), CB_GETITEMDATA, i, 0);
    bool matches = (lcid & 0xFFFF) == 0x0419;
    for (int k = 0; k < layoutCount; ++k)
      matches = matches || (reinterpret_cast<uintptr_t>(layouts[k]) & 0xFFFF) == (lcid & 0xFFFF);
    EXPECT_TRUE(matches) << std::hex << lcid;
    const std::wstring name = ComboItemText(1202, i);
    EXPECT_LE(CompareStringW(LOCALE_USER_DEFAULT, 0, previous.c_str(), -1, name.c_str(), -1), 2);
    previous = name;
  }
  EXPECT_EQ(ComboSelData(1202), 0x0419);
  wchar_t russian[128] = L"";
  GetLocaleInfoW(0x0419, LOCALE_SLANGUAGE, russian, 128);
  EXPECT_EQ(std::wstring(WinText(install.Paths[0])), russian);
  EXPECT_EQ(ItemText(1200), std::wstring(L"Default: ") + russian + L" - Test Layout");

  // Another language rewrites the label at once.
  LRESULT other = 0;
  while (other < n && SendMessageW(Item(1202), CB_GETITEMDATA, other, 0) == 0x0419) ++other;
  ASSERT_LT(other, n);
  const LRESULT otherId = SendMessageW(Item(1202), CB_GETITEMDATA, other, 0);
  Choose(1202, int(other), CBN_SELCHANGE);
  EXPECT_EQ(install.LayoutLangId, otherId & 0xFFFF);
  EXPECT_EQ(ItemText(1200), L"Default: " + ComboItemText(1202, other) + L" - Test Layout");
}

TEST_F(SetupPage, EveryControlWritesItsOptionAtOnce) {
  install.OptDefaultLayout = 1;
  install.OptUserToggleValues = 1;
  install.OptShortcuts = 1;
  install.OptLayoutFlag = 0;
  install.LayoutVariant = 1;
  Open();
  EXPECT_EQ(ComboSelData(1214), 1);
  EXPECT_EQ(ComboSelData(1215), 1);
  EXPECT_EQ(ComboCount(1214), 3);
  EXPECT_EQ(ComboItemText(1215, 0), Text(119));

  Click(1200);
  Click(1205);
  Click(1212);
  Click(1213);
  EXPECT_EQ(install.OptDefaultLayout, 0);
  EXPECT_EQ(install.OptUserToggleValues, 0);
  EXPECT_EQ(install.OptShortcuts, 0);
  EXPECT_EQ(install.OptLayoutFlag, 1);
  Choose(1214, 2, CBN_SELCHANGE);
  Choose(1215, 0, CBN_SELCHANGE);
  EXPECT_EQ(install.LayoutVariant, 2);
  EXPECT_EQ(install.DecimalKeyChoice, 0);

  // A new visit shows the stored options.
  Click(303);
  Click(301);
  EXPECT_EQ(SendMessageW(Item(1213), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(Item(1205), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(ComboSelData(1214), 2);
}

TEST_F(SetupPage, FailedInstallationReportsAndClosesWithoutQuestion) {
  struct Case {
    int admin;
    uint32_t message;
  };
  for (const Case c : {Case{1, 143}, Case{0, 123}}) {
    SCOPED_TRACE(c.message);
    install.IsAdmin = c.admin;
    boxes.clear();
    Open();
    Click(206);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Text(c.message));
    EXPECT_EQ(boxes[0].type, UINT(MB_OK));
    // The installation disables the page before it starts.
    if (c.admin) {
      EXPECT_EQ(boxes[0].enabledControls, 0);
    }
    EXPECT_EQ(install.WizardStep, StepFinished);
    EXPECT_TRUE(quit);
    quit = false;
  }
}

class KeyPage : public WizardTest {
 protected:
  void Open(UINT message = WM_WIZ_KEYS1) {
    Start();
    Post(WM_WIZ_SETUP);
    Post(message);
    ASSERT_EQ(install.WizardStep, StepKeys);
  }
  KeyMapEntry& Working(uint16_t scancode) { return *install.FindWorkingKey(scancode); }
  bool Checked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
};

TEST_F(KeyPage, TickingShowsTheKeysOwnFunctionAndSavingNormalisesIt) {
  Open();
  EXPECT_EQ(FocusId(), 301);
  EXPECT_EQ(DefaultId(), 301);
  EXPECT_EQ(ItemText(1301), Text(280, L"key "));  // left Shift
  EXPECT_FALSE(Checked(1301));
  EXPECT_FALSE(IsWindowEnabled(Item(1401)));
  EXPECT_EQ(ComboCount(1401), 0);
  for (int id : {1315, 1320, 1415, 1420, 304}) EXPECT_TRUE(Hidden(id)) << id;
  EXPECT_TRUE(IsWindowVisible(Item(1314)));

  Click(1301);
  EXPECT_TRUE(IsWindowEnabled(Item(1401)));
  EXPECT_EQ(ComboCount(1401), 26);  // every choice but the placeholder
  EXPECT_EQ(ComboSelData(1401), 0x00A0);
  EXPECT_EQ(ComboItemText(1401, ComboSel(1401)), Text(280, L"key "));

  Click(301);  // saved, then normalised back to "unchanged"
  EXPECT_EQ(install.WizardStep, StepSetup);
  EXPECT_EQ(Working(0x002A).VirtualKey, 0);
}

TEST_F(KeyPage, NothingChoiceIsStoredAndAChangedRowShowsOnlyItsChoice) {
  Open();
  Click(1301);
  Choose(1401, 0, CBN_SELENDOK);  // string 326: the key produces nothing
  EXPECT_EQ(Working(0x002A).VirtualKey, 0x00FF);
  Click(301);
  EXPECT_EQ(Working(0x002A).VirtualKey, 0x00FF);

  Post(WM_WIZ_KEYS1);
  EXPECT_TRUE(Checked(1301));
  EXPECT_TRUE(IsWindowEnabled(Item(1401)));
  EXPECT_EQ(ComboCount(1401), 1);
  EXPECT_EQ(ComboSelData(1401), 0x00FF);

  // Cleared: disabled, a blank entry; ticked again before the list was
  // opened: the only entry is the choice, the first of the full list.
  Click(1301);
  EXPECT_FALSE(IsWindowEnabled(Item(1401)));
  EXPECT_EQ(ComboItemText(1401, ComboSel(1401)), L" ");
  Click(1301);
  EXPECT_EQ(ComboCount(1401), 1);
  EXPECT_EQ(ComboSelData(1401), 0x00FF);
  // Opening the list fills it with the stored choice selected.
  SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(1401, CBN_DROPDOWN),
               reinterpret_cast<LPARAM>(Item(1401)));
  EXPECT_EQ(ComboCount(1401), 26);
  EXPECT_EQ(ComboSelData(1401), 0x00FF);

  // With the full list shown, clearing and ticking again selects the choice again.
  Choose(1401, 6, CBN_SELENDOK);
  const LRESULT chosen = ComboSelData(1401);
  Click(1301);
  Click(1301);
  EXPECT_EQ(ComboSelData(1401), chosen);

  // Cleared and saved: unchanged.
  Click(1301);
  Click(301);
  EXPECT_EQ(Working(0x002A).VirtualKey, 0);
}

TEST_F(KeyPage, ChangedRowNeverOpenedSavesNothing) {
  Working(0x003A).VirtualKey = 0x00A2;  // Caps Lock as left Ctrl
  Open();
  EXPECT_TRUE(Checked(1312));
  EXPECT_EQ(ComboSelData(1412), 0x00A2);
  // Cleared and ticked again: the choice is not first in the full list, so
  // the one-entry list ends without a selection, and saving stores nothing.
  Click(1312);
  Click(1312);
  EXPECT_EQ(ComboSel(1412), CB_ERR);
  Click(301);
  EXPECT_EQ(Working(0x003A).VirtualKey, 0);
}

TEST_F(KeyPage, SecondPageOpensOnlyByItsMessageAndEditsTargets) {
  Working(0x003A).TargetScancode = 0x001D;
  Open(WM_WIZ_KEYS2);
  ASSERT_EQ(wizard->currentPage, wizard->keyPage2);
  for (int id : {1501, 1520, 1601, 1620}) EXPECT_FALSE(IsWindowVisible(Item(id))) << id;
  EXPECT_FALSE(IsWindowEnabled(Item(1620)));
  EXPECT_EQ(ItemText(1501), Text(174, L"key "));
  EXPECT_EQ(ItemText(304), Text(153));
  EXPECT_TRUE(Checked(1501));
  EXPECT_EQ(ComboCount(1601), 23);
  EXPECT_EQ(ComboSelData(1601), 0x001D);

  // Its rows work although hidden: the choice is stored as the list changes.
  Choose(1601, 0, CBN_SELCHANGE);
  EXPECT_EQ(Working(0x003A).TargetScancode, 0x00FF);
  Click(303);
  EXPECT_EQ(wizard->currentPage, wizard->keyPage1);
  EXPECT_EQ(Working(0x003A).TargetScancode, 0x00FF);
}

using DonePage = WizardTest;

TEST_F(DonePage, TextsSayWhatWasDone) {
  struct Case {
    int removed, version, assoc;
    std::wstring upper, lower;
  };
  const Case cases[] = {
      {1, 61, 0, L"", Text(130)},
      {0, 61, 1, Text(136), Text(135)},
      {0, 61, 0, Text(136), Text(135) + L"\n\n" + Text(133)},
      {0, 51, 1, Text(136), L"Restart for Test Layout"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lower);
    install.Removed = c.removed;
    install.OsVersionCode = c.version;
    install.AssocFound = c.assoc;
    Start();
    Post(WM_WIZ_DONE);
    EXPECT_EQ(ItemText(1209), c.upper);
    EXPECT_EQ(ItemText(1204), c.lower);
    EXPECT_EQ(ItemText(1213), Text(137));
    Click(1213);
    EXPECT_TRUE(quit);
    EXPECT_EQ(install.RestartOnExit, 1);
    install.RestartOnExit = 0;
    quit = false;
  }
}

}  // namespace
