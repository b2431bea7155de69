// The licence page: the licence in the current language and the acceptance
// box that unlocks the next button.
#pragma once

#include "ui/wnd_base.h"

class CDlgEula : public CWndBase {
 public:
  CDlgEula() = default;
  ~CDlgEula() override;

  int OnCommand() override;
  int OnInitDialog() override;
};
