// Base of the first key page; adds nothing to the window base.
#pragma once

#include "ui/wnd_base.h"

class CDlgInstallBase : public CWndBase {
 public:
  CDlgInstallBase() = default;
  ~CDlgInstallBase() override;
};
