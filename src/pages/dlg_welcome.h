// The first page: greeting, the user-interface language, and the route:
// on to the licence on a fresh system; change, removal or the associated
// program where the package is installed.
#pragma once

#include "ui/wnd_base.h"

class CDlgWelcome : public CWndBase {
 public:
  CDlgWelcome() = default;
  ~CDlgWelcome() override;

  int OnCommand() override;
  int OnInitDialog() override;

  // Sets every text of the page in the current language.
  void FillTexts();

 private:
  int IsInstalled();
};
