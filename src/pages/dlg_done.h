// The finish page: what was done, and the button that ends the program and
// restarts the system.
#pragma once

#include "ui/wnd_base.h"

class CDlgDone : public CWndBase {
 public:
  CDlgDone() = default;
  ~CDlgDone() override;

  int OnCommand() override;
  int OnInitDialog() override;
};
