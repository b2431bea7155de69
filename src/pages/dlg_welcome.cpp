#include "pages/dlg_welcome.h"

#include "core/install.h"
#include "pages/page_controls.h"
#include "text/format.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

constexpr int IdTitle = 308;
constexpr int IdBody = 309;
constexpr int IdLanguage = 2002;
constexpr int IdRemove = 315;
constexpr int IdModify = 2003;
constexpr int IdLaunch = 2;

const uint32_t WelcomeTexts[] = {307, 1, 315, 127, 300, 98, 1, 99, 2, 140, 2003, 128, 0, 0};
// Language names and the language table each selects.
const uint32_t LanguageChoices[] = {92, 0, 91, 1, 0, 0};
const uint32_t InstalledOnly[] = {IdRemove, IdLaunch, IdModify, 0};

}  // namespace

CDlgWelcome::~CDlgWelcome() = default;

int CDlgWelcome::IsInstalled() { return owner && owner->GetInstallState() == InstallStamp; }

int CDlgWelcome::OnInitDialog() {
  SetStep(StepWelcome);
  LayoutPage();
  const int installed = IsInstalled();
  FillTexts();
  EnableItems(InstalledOnly, installed);
  ShowItems(InstalledOnly, installed);
  EnableItem(IdNext, !installed);
  ShowItem(IdNext, !installed);
  SetForegroundWindow(hwnd);
  return 1;
}

void CDlgWelcome::FillTexts() {
  const int installed = IsInstalled();
  GString pattern;
  GString product;
  GString title;
  LoadText(installed ? 141 : 97, pattern);
  LoadText(81, product);
  Format(title, pattern.WideText(0), product.WideText(0));
  SetFocus(GetDlgItem(hwnd, installed ? IdLaunch : IdNext));
  SetItemText(IdTitle, WinText(title));
  SetItemTextId(IdBody, installed ? 136 : 131);
  SetItemTexts(WelcomeTexts);
  FillComboId(IdLanguage, LanguageChoices, owner ? owner->GetUiLanguage() : 0);
}

int CDlgWelcome::OnCommand() {
  if (owner == nullptr) return 0;
  if (notifyCode == CBN_SELENDOK && controlId == IdLanguage) {
    owner->SetUiLanguage(static_cast<int>(ComboSelData(IdLanguage)));
    FillTexts();
  }
  if (notifyCode != BN_CLICKED) return 0;

  const int installed = IsInstalled();
  const int admin = owner->GetIsAdmin();
  switch (controlId) {
    case IdCancel:
      PostToFrame(WM_WIZ_CLOSE);
      return 1;
    case IdNext:
      if (!installed) PostToFrame(WM_WIZ_NEXT);
      return 1;
    case IdLaunch:
      owner->LaunchAssociated();
      return 1;
    case IdRemove: {
      if (!admin) {
        MsgBoxId(123, MB_OK);
        SetStep(StepFinished);
        PostToFrame(WM_WIZ_CLOSE);
        return 1;
      }
      GString pattern;
      GString product;
      GString question;
      LoadText(129, pattern);
      LoadText(0, product);
      Format(question, pattern.WideText(0), product.WideText(0));
      if (MsgBox(WinText(question), MB_YESNO | MB_ICONQUESTION) == IDYES) {
        owner->DisableAllControls();
        if (owner->Remove()) {
          SetStep(StepFinished);
          PostToFrame(WM_WIZ_DONE);
        }
      }
      return 1;
    }
    case IdModify:
      if (installed) {
        owner->SetModifyMode(1);
        SetStep(StepSetup);
        PostToFrame(WM_WIZ_SETUP);
      }
      return 0;
    default:
      return 0;
  }
}
