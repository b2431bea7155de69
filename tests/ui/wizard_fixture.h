// A wizard in real windows, built on an installer object whose string tables
// are made in memory. Messages are pumped the way the program's own loop
// handles them, and message boxes are answered by the test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/install.h"
#include "support/table_builder.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

struct ShownBox {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
  int enabledControls;  // of the page on show when the box came up
};

class WizardTest : public ::testing::Test {
 protected:
  // Common texts; language 0 says "<id>", language 1 "pl <id>" for the texts
  // a test reads back.
  static void BuildTables(CInstall& install) {
    TableBuilder common, extra, language0, language1;
    common.Wide(0, u"Layout")
        .Wide(40, u"Arial")
        .Wide(81, u"Test Layout")
        .Wide(82, u"Setup")
        .Wide(89, u"2.0")
        .Wide(93, u"Test Setup")
        .Wide(94, u"TestSetupWizardClass")
        .Wide(92, u"English")
        .Wide(91, u"Polski");
    const uint32_t paged[] = {1,   97,  98,  99,  100, 101, 102, 104, 105, 106, 108, 110, 111,
                              112, 113, 114, 115, 119, 120, 123, 127, 128, 129, 130, 131, 132,
                              133, 134, 135, 136, 137, 139, 140, 141, 143, 152, 153, 154, 96};
    for (uint32_t id : paged) {
      language0.Wide(id, Text16(id, u""));
      language1.Wide(id, Text16(id, u"pl "));
    }
    // Patterns with one text argument.
    language0.Wide(97, u"Welcome to %s").Wide(141, u"%s is installed").Wide(101, u"Options of %s");
    language0.Wide(102, u"Default: %s").Wide(129, u"Remove %s?").Wide(134, u"Restart for %s");
    language1.Wide(97, u"Witamy: %s");
    // Key names by label id.
    for (uint32_t id = 160; id <= 330; ++id) extra.Wide(id, Text16(id, u"key "));
    Attach(install.CommonStrings, common);
    Attach(install.ExtraStrings, extra);
    Attach(install.LanguageStrings[0], language0);
    Attach(install.LanguageStrings[1], language1);
  }

  static std::u16string Text16(uint32_t id, const std::u16string& prefix) {
    std::u16string s = prefix;
    for (char c : std::to_string(id)) s += char16_t(c);
    return s;
  }

  static std::wstring Text(uint32_t id, const std::wstring& prefix = L"") {
    return prefix + std::to_wstring(id);
  }

  static void Attach(StringTable& table, const TableBuilder& builder) {
    ASSERT_EQ(table.Attach(builder.Build(), builder.Rows()), 1);
  }

  void SetUp() override {
    BuildTables(install);
    install.OsVersionCode = 61;
    install.IsAdmin = 1;
    install.LayoutLangId = 0x0409;
    install.LayoutVariant = 0;
    install.DecimalKeyChoice = 1;
    install.Wizard = std::make_unique<CWizard>(&install);
    wizard = install.Wizard.get();
    ASSERT_EQ(wizard->Init(GetModuleHandleW(nullptr)), 1);
    current = this;
    wizard->messageBoxHook = &WizardTest::AnswerBox;
  }

  void TearDown() override {
    install.Wizard.reset();
    current = nullptr;
  }

  // Creates the frame with the welcome page and handles what it posted.
  void Start() {
    ASSERT_EQ(wizard->CreateMainWindow(), 1);
    Pump();
  }

  // Handles every message waiting, as the program's loop would.
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        continue;
      }
      wizard->HandleMessage(msg);
    }
  }

  void Post(UINT message) {
    PostMessageW(wizard->MainHwnd(), message, 0, 0);
    Pump();
  }

  HWND Page() const { return wizard->currentPage != nullptr ? wizard->currentPage->hwnd : nullptr; }
  HWND Item(int id) const { return GetDlgItem(Page(), id); }

  void Click(int id) {
    HWND button = Item(id);
    ASSERT_NE(button, nullptr) << "control " << id;
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
  }

  // Chooses a list entry as the user would: the selection, then the
  // notification the combo box sends its page.
  void Choose(int id, int index, WORD notification) {
    HWND combo = Item(id);
    ASSERT_NE(combo, nullptr) << "control " << id;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(id, notification), reinterpret_cast<LPARAM>(combo));
    Pump();
  }

  // A key pressed on the control with the focus.
  void Press(WPARAM key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    Pump();
  }

  std::wstring ItemText(int id) const {
    wchar_t buffer[1024] = L"?";
    GetDlgItemTextW(Page(), id, buffer, 1024);
    return buffer;
  }

  bool Usable(int id) const { return IsWindowVisible(Item(id)) && IsWindowEnabled(Item(id)); }
  bool Hidden(int id) const { return !IsWindowVisible(Item(id)) && !IsWindowEnabled(Item(id)); }

  int FocusId() const { return GetDlgCtrlID(GetFocus()); }

  int DefaultId() const { return LOWORD(SendMessageW(Page(), DM_GETDEFID, 0, 0)); }

  LRESULT ComboCount(int id) const { return SendMessageW(Item(id), CB_GETCOUNT, 0, 0); }
  LRESULT ComboSel(int id) const { return SendMessageW(Item(id), CB_GETCURSEL, 0, 0); }
  LRESULT ComboSelData(int id) const {
    const LRESULT index = ComboSel(id);
    return index == CB_ERR ? -1 : SendMessageW(Item(id), CB_GETITEMDATA, index, 0);
  }
  std::wstring ComboItemText(int id, LRESULT index) const {
    wchar_t buffer[512] = L"";
    SendMessageW(Item(id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }

  static int AnswerBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    int enabled = 0;
    if (HWND page = current->Page()) {
      for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        enabled += IsWindowEnabled(child) ? 1 : 0;
    }
    current->boxes.push_back({owner, text, caption, type, enabled});
    if (current->answers.empty()) return IDOK;
    const int answer = current->answers.front();
    current->answers.pop_front();
    return answer;
  }

  CInstall install;
  CWizard* wizard = nullptr;
  bool quit = false;
  std::vector<ShownBox> boxes;
  std::deque<int> answers;
  static inline WizardTest* current = nullptr;
};
