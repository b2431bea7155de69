// Key page 2: up to 20 multimedia, browser and lock keys move onto another
// physical key. Configured off: its rows are hidden and nothing leads to it
// but the main window's key page 2 message.
#pragma once

#include <memory>

#include "ui/wnd_base.h"

class CDlgExpert2 : public CWndBase {
 public:
  CDlgExpert2() = default;
  ~CDlgExpert2() override;

  int OnCommand() override;
  int OnInitDialog() override;

  int OnCheckToggled(int checkId);
  void OnChoiceChanged(int comboId);
  void SaveRows();

  std::unique_ptr<uint32_t[]> rowValues;
  int count = 0;
};
