// The setup options page: the input language the layout is registered for,
// the layout variant, the keypad's decimal key and the yes/no options. Every
// control writes its option the moment it changes. Its default button runs
// the installation (or, in modify mode, re-applies the options).
#pragma once

#include "ui/wnd_base.h"

class CDlgSetup : public CWndBase {
 public:
  CDlgSetup();
  ~CDlgSetup() override;

  int OnCommand() override;
  int OnInitDialog() override;

  int FillLanguages();
  static BOOL CALLBACK LocaleCallback(LPWSTR localeText);
  int OnLanguageSelected();
  void UpdateDefaultLabel();
  void UpdateShortcutsBox();
  int StartInstall();
};
