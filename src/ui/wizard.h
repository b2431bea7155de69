// The wizard controller: owns the main window object, the page on show and
// the header font, shows message boxes and runs the program's only message
// loop. Pages read and write the installer's options only through the
// forwarding operations at the end.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/key_table.h"
#include "text/gstring.h"
#include "core/win_handles.h"

class CInstall;
class CWndBase;
class CWndMain;

// Answers a message box instead of the system. Tests set it; the program never does.
using MessageBoxHook = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

class CWizard {
 public:
  explicit CWizard(CInstall* install);
  virtual ~CWizard();
  CWizard(const CWizard&) = delete;
  CWizard& operator=(const CWizard&) = delete;

  // Stores the instance and creates the header font. 1/0.
  int Init(HINSTANCE inst);
  // Creates the main window and runs the message loop until it ends. 1 when
  // the window was created and the loop ran, 0 when the window was not created.
  int Run();
  // The two halves of Run: the frame (with the welcome page) and the handling
  // of one message as the loop does it (dialog navigation, Esc, dispatch).
  int CreateMainWindow();
  void HandleMessage(MSG& msg);
  // Deletes the header font, the main window object and the page objects.
  void DestroyAll();

  // Pages.
  int ShowWelcomePage();
  int ShowLicencePage();
  int ShowSetupPage();
  int ShowKeyPage1();
  int ShowKeyPage2();
  int ShowDonePage();
  int ShowPage(uint32_t templateId, CWndBase* page);
  void Release(CWndBase* object);
  HWND MainHwnd() const;
  HWND MainWindow() const { return MainHwnd(); }
  void DisableAllControls();
  CWndBase* CurrentPage() const { return currentPage; }
  HINSTANCE Instance() const { return instance; }
  HFONT HeaderFont() const { return static_cast<HFONT>(headerFont.Get()); }

  // Texts and message boxes.
  int LoadText(uint32_t stringId);
  int LoadText(uint32_t stringId, GString& out);
  int MsgBox(const wchar_t* msgText, UINT type);
  int MsgBoxId(uint32_t stringId, UINT type);

  // Forwarding to the installer object.
  int GetOsVersion();
  int GetAssocFound();
  int GetLayoutLangId();
  int SetLayoutLangId(int id);
  int GetStep();
  int SetStep(int step);
  int GetInstallState();
  int GetIsAdmin();
  int Remove();
  int GetRemoved();
  int GetOptDefaultLayout();
  int SetOptDefaultLayout(int v);
  int GetOptUserToggleValues();
  int SetOptUserToggleValues(int v);
  int GetOptShortcuts();
  int SetOptShortcuts(int v);
  int GetLayoutVariant();
  int SetLayoutVariant(int v);
  int GetDecimalKeyChoice();
  int SetDecimalKeyChoice(int v);
  int GetOptLayoutFlag();
  int SetOptLayoutFlag(int v);
  int GetUiLanguage();
  int SetUiLanguage(int v);
  const GString* GetLayoutLanguageName();
  int SetLayoutLanguageName(const char16_t* name);
  const KeyMapEntry* FindOriginalKey(uint16_t scancode);
  KeyMapEntry* FindWorkingKey(uint16_t scancode);
  int NormalizeKeyMap();
  int GetModifyMode();
  int SetModifyMode(int v);
  int LaunchAssociated();

  HINSTANCE instance = nullptr;
  CInstall* installer;
  CWndMain* mainWindow = nullptr;
  CWndBase* currentPage = nullptr;
  CWndBase* welcomePage = nullptr;
  CWndBase* licencePage = nullptr;
  CWndBase* setupPage = nullptr;
  CWndBase* keyPage1 = nullptr;
  CWndBase* keyPage2 = nullptr;
  CWndBase* donePage = nullptr;
  GString text;
  GdiObject headerFont;
  int32_t frameSized = 0;
  int32_t bandHeight = 0;
  HACCEL accelerators = nullptr;
  MessageBoxHook messageBoxHook = nullptr;

 private:
  CWndBase** PageField(CWndBase* object);
};
