#include "pages/key_page.h"

#include "pages/page_controls.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace key_page {

namespace {

uint32_t* RowPair(uint32_t scancode, uint32_t* rowValues, int count) {
  return const_cast<uint32_t*>(CWndBase::FindPair(scancode, rowValues, count));
}

void SetWorkingValue(KeyMapEntry& e, const KeyPageTables& tables, uint32_t value) {
  if (tables.editsTargetScancode) {
    e.TargetScancode = static_cast<uint16_t>(value);
  } else {
    e.VirtualKey = static_cast<uint16_t>(value);
  }
}

}  // namespace

uint16_t WorkingValue(const KeyMapEntry& e, const KeyPageTables& tables) {
  return tables.editsTargetScancode ? e.TargetScancode : e.VirtualKey;
}

int CountRows(const uint32_t* rows) {
  int n = 0;
  while (rows[2 * n] != 0) ++n;
  return n;
}

void Init(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count) {
  page.SetStep(StepKeys);
  page.LayoutPage();
  page.EnableItems(tables.hidden, 0);
  page.ShowItems(tables.hidden, 0);
  page.SetItemTexts(tables.texts);
  CWizard* owner = page.owner;
  for (int i = 0; i < count; ++i) {
    const uint32_t comboId = tables.rows[2 * i];
    const uint32_t scancode = tables.rows[2 * i + 1];
    rowValues[2 * i] = scancode;
    rowValues[2 * i + 1] = 0;
    const KeyMapEntry* e = owner ? owner->FindWorkingKey(static_cast<uint16_t>(scancode)) : nullptr;
    if (e == nullptr) continue;
    rowValues[2 * i + 1] = WorkingValue(*e, tables);
    page.SetItemTextId(static_cast<int>(comboId - 100), e->LabelId);
  }
}

int OnCheckToggled(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count,
                   int checkId) {
  if (checkId < static_cast<int>(tables.firstCheckId)) return 0;
  const int comboId = checkId + 100;
  HWND combo = GetDlgItem(page.hwnd, comboId);
  if (combo == nullptr) return 0;
  const uint16_t scancode = CWndBase::LookupValue(static_cast<uint32_t>(comboId), tables.rows);
  if (scancode == 0) return 1;

  const int ticked = page.IsItemChecked(checkId);
  page.EnableItem(comboId, ticked);
  uint32_t* pair = RowPair(scancode, rowValues, count);

  if (ticked) {
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) <= 0) page.FillCombo(combo, tables.choices, 0);
    // The placeholder of a fresh fill, or the blank item a clearing inserted.
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    uint32_t value = pair != nullptr ? pair[1] : 0;
    if (value == 0) {
      if (tables.editsTargetScancode) {
        value = scancode;
      } else {
        const KeyMapEntry* original = page.owner ? page.owner->FindOriginalKey(scancode) : nullptr;
        value = original != nullptr ? original->VirtualKey : 0;
      }
    }
    int item = 0;
    for (int k = 1; tables.choices[2 * k] != 0; ++k) {
      if (tables.choices[2 * k + 1] == value) {
        item = k - 1;
        break;
      }
    }
    page.ComboSetSel(combo, item);
    return 1;
  }

  uint32_t value = page.ComboSelData(comboId);
  if (tables.editsTargetScancode) value &= 0xFFFF;
  if (pair != nullptr) pair[1] = value;
  const LRESULT blank = SendMessageW(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L" "));
  if (blank == CB_ERR || blank == CB_ERRSPACE) return 1;
  SendMessageW(combo, CB_SETITEMDATA, 0, 0);
  page.ComboSetSel(combo, 0);
  return 1;
}

void OnChoiceChanged(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count,
                     int comboId) {
  const uint16_t scancode = CWndBase::LookupValue(static_cast<uint32_t>(comboId), tables.rows);
  if (scancode == 0) return;
  const uint32_t value = page.ComboSelData(comboId);
  KeyMapEntry* e = page.owner ? page.owner->FindWorkingKey(scancode) : nullptr;
  if (e != nullptr) SetWorkingValue(*e, tables, value);
  if (uint32_t* pair = RowPair(scancode, rowValues, count)) pair[1] = value;
}

void SaveRows(CWndBase& page, const KeyPageTables& tables) {
  if (page.owner == nullptr) return;
  for (int i = 0; tables.rows[2 * i] != 0; ++i) {
    const int comboId = static_cast<int>(tables.rows[2 * i]);
    KeyMapEntry* e = page.owner->FindWorkingKey(static_cast<uint16_t>(tables.rows[2 * i + 1]));
    if (e == nullptr) continue;
    SetWorkingValue(*e, tables, page.IsItemChecked(comboId - 100) ? page.ComboSelData(comboId) : 0);
  }
  // A key set to its own function or position is stored as unchanged.
  page.owner->NormalizeKeyMap();
}

int OnClicked(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count,
              int controlId, int otherPageButton, UINT otherPageMessage) {
  if (controlId == IdCancel) {
    page.PostToFrame(WM_WIZ_CLOSE);
    return 1;
  }
  if (controlId == IdBack || controlId == otherPageButton) {
    SaveRows(page, tables);
    page.PostToFrame(controlId == IdBack ? WM_WIZ_SETUP : otherPageMessage);
    return 1;
  }
  OnCheckToggled(page, tables, rowValues, count, controlId);
  return 0;
}

}  // namespace key_page
