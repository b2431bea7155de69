// What the two key remapping pages share: one design over different tables.
// Page 1 stores a virtual key per key (KeyMapEntry::VirtualKey), page 2 a
// scancode the key sends instead (KeyMapEntry::TargetScancode).
//
// Each row of a page is a check box and, at the check box's id + 100, a
// drop-down list of choices. `rowValues` holds (scancode, value) pairs, one
// per row of the row table, in its order: the page's view of each row's
// choice, 0 meaning unchanged.
#pragma once

#include <cstdint>

#include "core/key_table.h"
#include "ui/wnd_base.h"

struct KeyPageTables {
  uint32_t firstCheckId;    // the page's first row check box
  const uint32_t* rows;     // combo id -> scancode
  const uint32_t* choices;  // string id -> value; the first row is a placeholder
  const uint32_t* texts;    // control id -> string id
  const uint32_t* hidden;   // controls disabled and hidden at every initialisation
  int editsTargetScancode;  // 0: VirtualKey (page 1), 1: TargetScancode (page 2)
};

namespace key_page {

int CountRows(const uint32_t* rows);
// The first part of initialisation: step, layout, hidden controls, texts,
// rowValues from the working map and the rows' labels.
void Init(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count);
int OnCheckToggled(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count,
                   int checkId);
void OnChoiceChanged(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count,
                     int comboId);
void SaveRows(CWndBase& page, const KeyPageTables& tables);
// A button of the page: Cancel, Back (rows saved), the button to the other
// key page (rows saved) or a row's check box. Returns 1 when the page goes.
int OnClicked(CWndBase& page, const KeyPageTables& tables, uint32_t* rowValues, int count,
              int controlId, int otherPageButton, UINT otherPageMessage);
// The value a working row holds in the field the page edits.
uint16_t WorkingValue(const KeyMapEntry& e, const KeyPageTables& tables);

}  // namespace key_page
