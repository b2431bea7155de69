#include "pages/dlg_expert2.h"

#include "pages/key_page.h"
#include "pages/page_controls.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

const uint32_t Rows[] = {1601,   0x003A, 1602,   0x001D, 1603,   0xE068, 1604,   0xE067, 1605,
                         0xE065, 1606,   0xE066, 1607,   0xE032, 1608,   0xE06C, 1609,   0xE06B,
                         1610,   0xE021, 1611,   0xE030, 1612,   0xE02E, 1613,   0xE020, 1614,
                         0xE022, 1615,   0xE024, 1616,   0xE010, 1617,   0xE019, 1618,   0xE06D,
                         1619,   0xE05F, 1620,   0xE05E, 0,      0};

// Scancodes a key can send instead, named by their keys; 0x00FF disables the
// key. The first row is a placeholder.
const uint32_t Choices[] = {154, 0,      326, 0x00FF, 287, 0xE06A, 288, 0xE069, 290, 0xE068,
                            289, 0xE067, 291, 0xE065, 292, 0xE066, 293, 0xE032, 301, 0xE06C,
                            303, 0xE06B, 304, 0xE021, 296, 0xE030, 295, 0xE02E, 294, 0xE020,
                            300, 0xE022, 299, 0xE024, 298, 0xE010, 297, 0xE019, 302, 0xE06D,
                            232, 0xE05F, 231, 0xE05E, 174, 0x003A, 282, 0x001D, 0,   0};

const uint32_t Texts[] = {300, 98, 301, 100, 303, 152, 304, 153, 0, 0};

const uint32_t Hidden[] = {1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1510, 1511,
                           1512, 1513, 1514, 1515, 1516, 1517, 1518, 1519, 1520, 1601, 1602,
                           1603, 1604, 1605, 1606, 1607, 1608, 1609, 1610, 1611, 1612, 1613,
                           1614, 1615, 1616, 1617, 1618, 1619, 1620, 0};

const KeyPageTables Tables = {1501, Rows, Choices, Texts, Hidden, 1};

}  // namespace

CDlgExpert2::~CDlgExpert2() = default;

int CDlgExpert2::OnInitDialog() {
  count = key_page::CountRows(Rows);
  rowValues.reset(new uint32_t[2 * count]());
  key_page::Init(*this, Tables, rowValues.get(), count);

  for (int i = 0; i < count; ++i) {
    const uint32_t value = rowValues[2 * i + 1];
    if (value == 0) continue;
    const int comboId = static_cast<int>(Rows[2 * i]);
    if (GetDlgItem(hwnd, comboId) == nullptr) continue;
    SetItemChecked(comboId - 100, 1);
    EnableItem(comboId, 1);
    FillComboId(comboId, Choices, value);
    // Without the placeholder; the row's value stays selected.
    SendDlgItemMessageW(hwnd, comboId, CB_DELETESTRING, 0, 0);
  }
  SetForegroundWindow(hwnd);
  return 1;
}

int CDlgExpert2::OnCheckToggled(int checkId) {
  return key_page::OnCheckToggled(*this, Tables, rowValues.get(), count, checkId);
}

void CDlgExpert2::OnChoiceChanged(int comboId) {
  key_page::OnChoiceChanged(*this, Tables, rowValues.get(), count, comboId);
}

void CDlgExpert2::SaveRows() { key_page::SaveRows(*this, Tables); }

int CDlgExpert2::OnCommand() {
  if (notifyCode == BN_CLICKED) {
    return key_page::OnClicked(*this, Tables, rowValues.get(), count, controlId, IdKeys1,
                               WM_WIZ_KEYS1);
  }
  if (notifyCode == CBN_SELCHANGE) OnChoiceChanged(controlId);
  return 0;
}
