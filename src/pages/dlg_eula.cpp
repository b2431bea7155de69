#include "pages/dlg_eula.h"

#include "core/install.h"
#include "pages/page_controls.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

constexpr int IdLicence = 306;
constexpr int IdAccept = 305;

const uint32_t LicenceTexts[] = {311, 132, 305, 105, 300, 98, 301, 100, 1, 99, 0, 0};

}  // namespace

CDlgEula::~CDlgEula() = default;

int CDlgEula::OnInitDialog() {
  SetStep(StepLicence);
  LayoutPage();
  CInstall* installer = owner ? owner->installer : nullptr;
  const int accepted = installer ? installer->LicenceAccepted : 0;
  SetItemChecked(IdAccept, accepted);
  EnableItem(IdNext, accepted);
  SetItemTexts(LicenceTexts);

  if (installer != nullptr) {
    const PayloadEntry entry = installer->LicenceEntry(owner->GetUiLanguage());
    GString licence;
    // A licence that cannot be extracted leaves the box empty; the page still works.
    if (installer->LicenceText(entry.Data, entry.Size, licence) && licence.ToWide(0) != nullptr) {
      SetItemText(IdLicence, WinText(licence));
    }
  }
  SetFocus(GetDlgItem(hwnd, IdAccept));
  SetForegroundWindow(hwnd);
  return 1;
}

int CDlgEula::OnCommand() {
  if (notifyCode == BN_CLICKED) {
    switch (controlId) {
      case IdNext:
        PostToFrame(WM_WIZ_NEXT);
        return 1;
      case IdCancel:
        PostToFrame(WM_WIZ_CLOSE);
        return 1;
      case IdBack:
        PostToFrame(WM_WIZ_BACK);
        return 1;
      case IdAccept: {
        const int accepted = IsItemChecked(IdAccept);
        EnableItem(IdNext, accepted);
        if (owner && owner->installer) owner->installer->LicenceAccepted = accepted;
        return 1;
      }
      default:
        return 0;
    }
  }
  if (notifyCode == EN_SETFOCUS) {
    // Entered by keyboard, the edit control would select the whole licence.
    if (controlId == IdLicence) SendDlgItemMessageW(hwnd, IdLicence, EM_SETSEL, -1, -1);
    return 1;
  }
  return 0;
}
