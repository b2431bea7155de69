#include "pages/dlg_done.h"

#include "text/format.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

constexpr int IdUpper = 1209;
constexpr int IdLower = 1204;
constexpr int IdFinish = 1213;

const uint32_t DoneTexts[] = {1213, 137, 0, 0};

// Lower text before Windows Vista: a pattern with the product name.
constexpr uint32_t OldSystemsPattern = 134;

}  // namespace

CDlgDone::~CDlgDone() = default;

int CDlgDone::OnInitDialog() {
  SetStep(StepFinished);
  LayoutPage();
  SetItemTexts(DoneTexts);
  const int removed = owner ? owner->GetRemoved() : 0;
  const int assoc = owner ? owner->GetAssocFound() : 0;

  GString upper;
  GString lower;
  upper.AssignWide(u"", 0);
  lower.AssignWide(u"", 0);
  if (removed) {
    LoadText(130, lower);
  } else {
    LoadText(136, upper);
    if (owner && owner->GetOsVersion() >= 60) {
      LoadText(135, lower);
    } else {
      GString pattern;
      GString product;
      LoadText(OldSystemsPattern, pattern);
      LoadText(81, product);
      if (pattern.Length() > 0) Format(lower, pattern.WideText(0), product.WideText(0));
    }
    if (!assoc) {
      GString note;
      LoadText(133, note);
      lower.AppendWideText(u"\n\n", 2);
      lower.Append(note);
    }
  }
  SetItemText(IdUpper, WinText(upper));
  SetItemText(IdLower, WinText(lower));
  SetFocus(GetDlgItem(hwnd, IdFinish));
  SetForegroundWindow(hwnd);
  return 1;
}

int CDlgDone::OnCommand() {
  if (notifyCode != BN_CLICKED || controlId != IdFinish) return 0;
  SetStep(StepFinished);
  PostToFrame(WM_WIZ_FINISH);
  return 1;
}
