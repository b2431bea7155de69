// The main window and the controller: frame size, page flow, closing.
#include "ui/wizard_fixture.h"

#include "pages/dlg_eula.h"
#include "pages/dlg_welcome.h"

namespace {

using Flow = WizardTest;

TEST_F(Flow, FrameFitsTheFirstPageUnderTheHeaderBand) {
  Start();
  ASSERT_NE(Page(), nullptr);
  EXPECT_EQ(install.WizardStep, StepWelcome);

  // The band is one and a half header text heights, measured in the header font.
  HDC dc = GetDC(wizard->MainHwnd());
  HGDIOBJ previous = SelectObject(dc, wizard->HeaderFont());
  SIZE size = {};
  const wchar_t probe = L'\u00D3';
  ASSERT_TRUE(GetTextExtentPoint32W(dc, &probe, 1, &size));
  SelectObject(dc, previous);
  ReleaseDC(wizard->MainHwnd(), dc);
  EXPECT_GT(size.cy, 20);
  EXPECT_EQ(wizard->bandHeight, size.cy + size.cy / 2);

  RECT frame, page, pageInFrame;
  GetClientRect(wizard->MainHwnd(), &frame);
  GetClientRect(Page(), &page);
  EXPECT_EQ(frame.right, page.right);
  EXPECT_EQ(frame.bottom, page.bottom + wizard->bandHeight);
  EXPECT_NE(frame.right, 500);  // not the creation size
  GetWindowRect(Page(), &pageInFrame);
  MapWindowPoints(nullptr, wizard->MainHwnd(), reinterpret_cast<POINT*>(&pageInFrame), 2);
  EXPECT_EQ(pageInFrame.left, 0);
  EXPECT_EQ(pageInFrame.top, wizard->bandHeight);

  // Centred on the desktop.
  RECT desktop, window;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(wizard->MainHwnd(), &window);
  EXPECT_LE(std::abs((window.left + window.right) - desktop.right), 1);
  EXPECT_LE(std::abs((window.top + window.bottom) - desktop.bottom), 1);

  wchar_t title[64] = L"";
  GetWindowTextW(wizard->MainHwnd(), title, 64);
  EXPECT_STREQ(title, L"Test Setup");
  EXPECT_EQ(GetWindowLongW(wizard->MainHwnd(), GWL_STYLE) & 0x00CA0000, 0x00CA0000);

  // Later pages keep the frame where it is.
  GetWindowRect(wizard->MainHwnd(), &window);
  Click(1);
  RECT after;
  GetWindowRect(wizard->MainHwnd(), &after);
  EXPECT_EQ(std::memcmp(&window, &after, sizeof(RECT)), 0);
}

TEST_F(Flow, NextAndBackFollowTheStepAndIgnoreTheWrongOnes) {
  Start();
  HWND welcome = Page();
  Post(WM_WIZ_BACK);  // nothing before the welcome page
  EXPECT_EQ(Page(), welcome);
  EXPECT_EQ(install.WizardStep, StepWelcome);

  Click(1);
  EXPECT_EQ(install.WizardStep, StepLicence);
  EXPECT_FALSE(IsWindow(welcome));
  Click(301);
  EXPECT_EQ(install.WizardStep, StepWelcome);
  Click(1);
  Click(305);
  Click(1);
  EXPECT_EQ(install.WizardStep, StepSetup);
  HWND setup = Page();
  Post(WM_WIZ_NEXT);
  EXPECT_EQ(Page(), setup);

  Click(303);
  EXPECT_EQ(install.WizardStep, StepKeys);
  HWND keys = Page();
  Post(WM_WIZ_NEXT);
  Post(WM_WIZ_BACK);
  EXPECT_EQ(Page(), keys);
  EXPECT_EQ(install.WizardStep, StepKeys);

  Click(301);
  EXPECT_EQ(install.WizardStep, StepSetup);
  Click(301);
  EXPECT_EQ(install.WizardStep, StepLicence);
  EXPECT_EQ(boxes.size(), 0u);
}

TEST_F(Flow, TheSamePageMessageTwiceCreatesThePageOnce) {
  Start();
  PostMessageW(wizard->MainHwnd(), WM_WIZ_KEYS1, 0, 0);
  PostMessageW(wizard->MainHwnd(), WM_WIZ_KEYS1, 0, 0);
  Pump();
  HWND keys = Page();
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(wizard->currentPage, wizard->keyPage1);
  EXPECT_EQ(wizard->ShowKeyPage1(), 0);
  EXPECT_EQ(Page(), keys);
  // Exactly one page window in the frame.
  int pages = 0;
  for (HWND child = GetWindow(wizard->MainHwnd(), GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT))
    ++pages;
  EXPECT_EQ(pages, 1);
}

TEST_F(Flow, ClosingAsksAndNoKeepsEverything) {
  Start();
  Click(1);
  HWND licence = Page();

  answers = {IDNO};
  Click(300);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Text(96));
  EXPECT_EQ(boxes[0].caption, L"Test Setup");
  EXPECT_EQ(boxes[0].type, UINT(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(boxes[0].owner, wizard->MainHwnd());
  EXPECT_TRUE(IsWindow(licence));
  EXPECT_EQ(install.WizardStep, StepLicence);
  EXPECT_FALSE(quit);

  // The title bar's close asks the same question.
  answers = {IDYES};
  HWND frame = wizard->MainHwnd();
  SendMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_FALSE(IsWindow(frame));
  EXPECT_TRUE(quit);
  EXPECT_EQ(wizard->mainWindow, nullptr);
  EXPECT_EQ(wizard->currentPage, nullptr);
  EXPECT_EQ(wizard->licencePage, nullptr);
  EXPECT_EQ(install.RestartOnExit, 0);
}

TEST_F(Flow, StepSixClosesWithoutAQuestion) {
  Start();
  install.WizardStep = StepFinished;
  Post(WM_WIZ_CLOSE);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(quit);
  EXPECT_EQ(wizard->MainHwnd(), nullptr);
}

TEST_F(Flow, FinishButtonArmsTheRestartAndTitleBarCloseDoesNot) {
  Start();
  Post(WM_WIZ_DONE);
  ASSERT_EQ(wizard->currentPage, wizard->donePage);
  EXPECT_EQ(install.WizardStep, StepFinished);
  EXPECT_EQ(DefaultId(), 1213);
  EXPECT_EQ(FocusId(), 1213);
  // Enter goes through the dialog manager to the default button.
  Press(VK_RETURN);
  EXPECT_TRUE(quit);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(install.RestartOnExit, 1);
}

TEST_F(Flow, TitleBarCloseOnTheFinishPageDoesNotRestart) {
  Start();
  Post(WM_WIZ_DONE);
  SendMessageW(wizard->MainHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_TRUE(quit);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(install.RestartOnExit, 0);
}

TEST_F(Flow, MessageBoxOfAMissingTextHasTheCaption) {
  EXPECT_EQ(wizard->MsgBoxId(9999, MB_OK), IDOK);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"");
  EXPECT_EQ(boxes[0].caption, L"Test Setup");
  EXPECT_EQ(boxes[0].owner, nullptr);  // no main window yet
}

TEST_F(Flow, HeaderFaceNameIsCutAt31Characters) {
  CInstall other;
  TableBuilder common;
  common.Wide(40, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij");
  ASSERT_EQ(other.CommonStrings.Attach(common.Build(), common.Rows()), 1);
  CWizard w(&other);
  ASSERT_EQ(w.Init(GetModuleHandleW(nullptr)), 1);
  LOGFONTW font = {};
  ASSERT_NE(GetObjectW(w.HeaderFont(), sizeof(font), &font), 0);
  EXPECT_STREQ(font.lfFaceName, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
  EXPECT_EQ(font.lfHeight, -30);
  EXPECT_EQ(font.lfWeight, 700);
  EXPECT_EQ(CWizard(nullptr).Init(GetModuleHandleW(nullptr)), 0);
}

// A page object whose window is created with the wrong procedure kind is
// never bound: the frame procedure refuses dialogs and the dialog procedure
// frames; messages before binding get the default answers.
TEST_F(Flow, ProceduresBindOnlyTheirOwnKind) {
  Start();
  CDlgEula page;
  page.owner = wizard;
  EXPECT_EQ(page.ShowDialog(9999, wizard->MainHwnd()), 0);  // no such template
  EXPECT_EQ(page.hwnd, nullptr);
  EXPECT_EQ(CWndBase::DialogProc(wizard->MainHwnd(), WM_SETFONT, 0, 0), FALSE);

  // Showing a dialog twice on one object fails and creates nothing.
  CDlgWelcome* welcome = static_cast<CDlgWelcome*>(wizard->currentPage);
  EXPECT_EQ(welcome->ShowDialog(200, wizard->MainHwnd()), 0);
  EXPECT_EQ(wizard->mainWindow->CreateFrame(93, 0, 10, 10), 0);

  // WM_NOTIFY never reaches a page handler; a handled WM_COMMAND sets the
  // message result and the procedure answers 0.
  NMHDR header = {Item(1), 1, 12345};
  EXPECT_EQ(SendMessageW(Page(), WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header)), 0);
  SetWindowLongPtrW(Page(), DWLP_MSGRESULT, 77);
  EXPECT_EQ(CWndBase::DialogProc(Page(), WM_COMMAND, MAKEWPARAM(300, BN_CLICKED), 0), FALSE);
  EXPECT_EQ(GetWindowLongPtrW(Page(), DWLP_MSGRESULT), 0);
}

}  // namespace

namespace {

// Every page is 318 x 172 dialog units, and its controls sit where the
// layout puts them (a sample of each page's buttons).
TEST_F(Flow, PagesHaveTheirTemplateSizesAndDefaultButtons) {
  struct Case {
    UINT message;
    int defaultId;
    RECT button;  // x, y, width, height of the default button, in dialog units
  };
  const Case cases[] = {
      {0, 2, {201, 152, 109, 16}},
      {WM_WIZ_NEXT, 1, {260, 152, 50, 16}},
      {WM_WIZ_SETUP, 206, {260, 152, 50, 16}},
      {WM_WIZ_KEYS1, 301, {201, 152, 50, 16}},
      {WM_WIZ_KEYS2, 301, {201, 152, 50, 16}},
      {WM_WIZ_DONE, 1213, {114, 152, 90, 16}},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.defaultId);
    if (c.message != 0) Post(c.message);
    RECT size = {0, 0, 318, 172};
    MapDialogRect(Page(), &size);
    RECT client;
    GetClientRect(Page(), &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    EXPECT_EQ(DefaultId(), c.defaultId);
    // The dialog manager converts position and size separately.
    RECT expected = c.button;
    MapDialogRect(Page(), &expected);
    expected.right += expected.left;
    expected.bottom += expected.top;
    RECT actual;
    GetWindowRect(Item(c.defaultId), &actual);
    MapWindowPoints(nullptr, Page(), reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
  }
  // The frame was sized once, around the first page.
  RECT frame;
  GetClientRect(wizard->MainHwnd(), &frame);
  RECT page;
  GetClientRect(Page(), &page);
  EXPECT_EQ(frame.bottom, page.bottom + wizard->bandHeight);
}

// Esc reaches the page as command 2 through the dialog manager: on the
// licence page that does nothing, and nothing asks to leave.
TEST_F(Flow, EscOnAPageIsItsCommandTwo) {
  Start();
  Click(1);
  HWND licence = Page();
  Press(VK_ESCAPE);
  EXPECT_EQ(Page(), licence);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(quit);
}

}  // namespace
