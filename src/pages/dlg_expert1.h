// Key page 1: up to 14 modifier, lock and system keys get another function.
// A changed row's list first holds only its current choice; the full list is
// filled when the user first opens it.
#pragma once

#include <memory>

#include "pages/dlg_install_base.h"

class CDlgExpert1 : public CDlgInstallBase {
 public:
  CDlgExpert1() = default;
  ~CDlgExpert1() override;

  int OnCommand() override;
  int OnInitDialog() override;

  int OnCheckToggled(int checkId);
  void OnChoiceChanged(int comboId);
  void OnDropDown(int comboId);
  void SaveRows();

  std::unique_ptr<uint32_t[]> rowValues;
  int count = 0;
  std::unique_ptr<uint32_t[]> dropdownFilled;
};
