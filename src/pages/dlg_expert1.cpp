#include "pages/dlg_expert1.h"

#include "pages/key_page.h"
#include "pages/page_controls.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

constexpr int FirstCombo = 1401;

const uint32_t Rows[] = {1401, 0x002A, 1402, 0x0036, 1403, 0x001D, 1404, 0xE01D, 1405, 0x0038,
                         1406, 0xE038, 1407, 0xE05B, 1408, 0xE05C, 1409, 0xE05D, 1410, 0x0056,
                         1411, 0x000F, 1412, 0x003A, 1413, 0x0046, 1414, 0x0045, 0,    0};

// Virtual keys a key can produce, named by the key that produces them;
// 0x00FF makes the key produce nothing. The first row is a placeholder.
const uint32_t Choices[] = {
    154, 0x0000, 326, 0x00FF, 176, 0x0020, 280, 0x00A0, 281, 0x01A1, 282, 0x00A2, 283, 0x01A3,
    284, 0x00A4, 285, 0x01A5, 228, 0x015B, 229, 0x015C, 230, 0x015D, 317, 0x00E2, 175, 0x001B,
    311, 0x00C0, 167, 0x0009, 174, 0x0014, 279, 0x0091, 278, 0x0090, 189, 0x012D, 190, 0x012E,
    180, 0x0124, 179, 0x0123, 177, 0x0121, 178, 0x0122, 188, 0x002C, 173, 0x0013, 0,   0};

const uint32_t Texts[] = {300, 98, 301, 100, 303, 152, 0, 0};

const uint32_t Hidden[] = {1315, 1316, 1317, 1318, 1319, 1320,    1415,
                           1416, 1417, 1418, 1419, 1420, IdKeys2, 0};

const KeyPageTables Tables = {1301, Rows, Choices, Texts, Hidden, 0};

}  // namespace

CDlgExpert1::~CDlgExpert1() = default;

int CDlgExpert1::OnInitDialog() {
  count = key_page::CountRows(Rows);
  rowValues.reset(new uint32_t[2 * count]());
  dropdownFilled.reset(new uint32_t[count]());
  key_page::Init(*this, Tables, rowValues.get(), count);

  for (int i = 0; i < count; ++i) {
    const uint32_t value = rowValues[2 * i + 1];
    if (value == 0) continue;
    const int comboId = static_cast<int>(Rows[2 * i]);
    HWND combo = GetDlgItem(hwnd, comboId);
    if (combo == nullptr) continue;
    SetItemChecked(comboId - 100, 1);
    EnableItem(comboId, 1);
    // Only the current choice for now: the full list waits for the first drop-down.
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int k = 0; Choices[2 * k] != 0; ++k) {
      if (Choices[2 * k + 1] != value) continue;
      LoadText(Choices[2 * k]);
      const LRESULT index =
          SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WinText(text)));
      if (index == 0) {
        SendMessageW(combo, CB_SETITEMDATA, 0, value);
        ComboSetSel(combo, 0);
      }
    }
  }
  SetFocus(GetDlgItem(hwnd, IdBack));
  SetForegroundWindow(hwnd);
  return 0;
}

int CDlgExpert1::OnCheckToggled(int checkId) {
  return key_page::OnCheckToggled(*this, Tables, rowValues.get(), count, checkId);
}

void CDlgExpert1::OnChoiceChanged(int comboId) {
  key_page::OnChoiceChanged(*this, Tables, rowValues.get(), count, comboId);
}

void CDlgExpert1::OnDropDown(int comboId) {
  const int index = comboId - FirstCombo;
  if (index < 0 || index >= count || !dropdownFilled || dropdownFilled[index]) return;
  const uint16_t scancode = LookupValue(static_cast<uint32_t>(comboId), Rows);
  if (scancode == 0 || owner == nullptr) return;
  const KeyMapEntry* e = owner->FindWorkingKey(scancode);
  if (e == nullptr) return;
  FillComboId(comboId, Choices, e->VirtualKey);
  SendDlgItemMessageW(hwnd, comboId, CB_DELETESTRING, 0, 0);
  dropdownFilled[index] = 1;
}

void CDlgExpert1::SaveRows() { key_page::SaveRows(*this, Tables); }

int CDlgExpert1::OnCommand() {
  if (notifyCode == BN_CLICKED) {
    return key_page::OnClicked(*this, Tables, rowValues.get(), count, controlId, IdKeys2,
                               WM_WIZ_KEYS2);
  }
  if (notifyCode == CBN_SELENDOK) OnChoiceChanged(controlId);
  if (notifyCode == CBN_DROPDOWN) OnDropDown(controlId);
  return 0;
}
