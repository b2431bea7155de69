#include "ui/wizard.h"

#include "core/install.h"
#include "core/system_library.h"
#include "pages/dlg_done.h"
#include "pages/dlg_eula.h"
#include "pages/dlg_expert1.h"
#include "pages/dlg_expert2.h"
#include "pages/dlg_setup.h"
#include "pages/dlg_welcome.h"
#include "ui/wnd_main.h"

namespace {

constexpr uint32_t TemplateWelcome = 200;
constexpr uint32_t TemplateLicence = 201;
constexpr uint32_t TemplateSetup = 202;
constexpr uint32_t TemplateDone = 203;
constexpr uint32_t TemplateKeys1 = 204;
constexpr uint32_t TemplateKeys2 = 205;
constexpr uint32_t AcceleratorTable = 130;

constexpr DWORD FrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int FrameWidth = 500;
constexpr int FrameHeight = 400;

}  // namespace

CWizard::CWizard(CInstall* install) : installer(install) {}

CWizard::~CWizard() { DestroyAll(); }

int CWizard::Init(HINSTANCE inst) {
  instance = inst;
  if (installer == nullptr || inst == nullptr) return 0;

  LOGFONTW font = {};
  font.lfHeight = -30;
  font.lfWeight = FW_BOLD;
  GString face;
  LoadText(40, face);
  const int n = face.Length() < LF_FACESIZE - 1 ? face.Length() : LF_FACESIZE - 1;
  for (int i = 0; i < n; ++i) font.lfFaceName[i] = static_cast<wchar_t>(face.WideText(0)[i]);
  // Without the font the header is drawn in the device context's own font.
  headerFont.Reset(CreateFontIndirectW(&font));
  LoadCommonControls();
  return 1;
}

int CWizard::CreateMainWindow() {
  if (mainWindow != nullptr) return 0;
  mainWindow = new CWndMain;
  mainWindow->owner = this;
  mainWindow->RegisterFrameClass();
  if (!mainWindow->CreateFrame(93, FrameStyle, FrameWidth, FrameHeight)) {
    // No window, so no WM_NCDESTROY will ever delete the object.
    delete mainWindow;
    mainWindow = nullptr;
    return 0;
  }
  if (accelerators == nullptr)
    accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(AcceleratorTable));
  return 1;
}

void CWizard::HandleMessage(MSG& msg) {
  if (currentPage != nullptr && currentPage->hwnd != nullptr &&
      IsDialogMessageW(currentPage->hwnd, &msg)) {
    return;
  }
  if (mainWindow == nullptr || mainWindow->hwnd == nullptr) return;
  if (accelerators != nullptr && TranslateAcceleratorW(mainWindow->hwnd, accelerators, &msg)) {
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int CWizard::Run() {
  // Without a frame nothing could ever end the loop: return at once.
  if (!CreateMainWindow()) return 0;
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    HandleMessage(msg);
  }
  return 1;
}

void CWizard::DestroyAll() {
  headerFont.Reset();
  // A window still alive dies with its object; its pages are released on the way.
  delete mainWindow;
  mainWindow = nullptr;
  for (CWndBase** field :
       {&welcomePage, &licencePage, &setupPage, &keyPage1, &keyPage2, &donePage}) {
    CWndBase* page = *field;
    *field = nullptr;
    if (page == currentPage) currentPage = nullptr;
    delete page;
  }
  currentPage = nullptr;
}

int CWizard::ShowWelcomePage() {
  if (welcomePage != nullptr) return 0;
  welcomePage = new CDlgWelcome;
  return ShowPage(TemplateWelcome, welcomePage);
}

int CWizard::ShowLicencePage() {
  if (licencePage != nullptr) return 0;
  licencePage = new CDlgEula;
  return ShowPage(TemplateLicence, licencePage);
}

int CWizard::ShowSetupPage() {
  if (setupPage != nullptr) return 0;
  setupPage = new CDlgSetup;
  return ShowPage(TemplateSetup, setupPage);
}

int CWizard::ShowKeyPage1() {
  if (keyPage1 != nullptr) return 0;
  keyPage1 = new CDlgExpert1;
  return ShowPage(TemplateKeys1, keyPage1);
}

int CWizard::ShowKeyPage2() {
  if (keyPage2 != nullptr) return 0;
  keyPage2 = new CDlgExpert2;
  return ShowPage(TemplateKeys2, keyPage2);
}

int CWizard::ShowDonePage() {
  if (donePage != nullptr) return 0;
  donePage = new CDlgDone;
  return ShowPage(TemplateDone, donePage);
}

int CWizard::ShowPage(uint32_t templateId, CWndBase* page) {
  if (page == nullptr) return 0;
  if (currentPage != nullptr && currentPage != page) {
    if (currentPage->hwnd != nullptr) {
      // Its WM_NCDESTROY releases the object and clears its field.
      currentPage->DestroyHwnd();
    } else {
      // A page whose dialog was never created gets no WM_NCDESTROY.
      Release(currentPage);
    }
  }
  currentPage = page;
  page->owner = this;
  page->ShowDialog(templateId, MainHwnd());
  return 1;
}

CWndBase** CWizard::PageField(CWndBase* object) {
  for (CWndBase** field :
       {&welcomePage, &licencePage, &setupPage, &keyPage1, &keyPage2, &donePage}) {
    if (*field == object) return field;
  }
  return nullptr;
}

void CWizard::Release(CWndBase* object) {
  if (object == nullptr) return;
  if (object == mainWindow) {
    mainWindow = nullptr;
    delete object;
    return;
  }
  CWndBase** field = PageField(object);
  if (field == nullptr) return;
  *field = nullptr;
  if (currentPage == object) currentPage = nullptr;
  delete object;
}

HWND CWizard::MainHwnd() const { return mainWindow != nullptr ? mainWindow->hwnd : nullptr; }

void CWizard::DisableAllControls() {
  if (currentPage == nullptr || currentPage->hwnd == nullptr) return;
  for (HWND child = GetWindow(currentPage->hwnd, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    EnableWindow(child, FALSE);
  }
}

int CWizard::LoadText(uint32_t stringId) { return LoadText(stringId, text); }

int CWizard::LoadText(uint32_t stringId, GString& out) {
  if (installer == nullptr) {
    out.AssignWide(u"", 0);
    return 0;
  }
  return installer->LoadText(stringId, out);
}

int CWizard::MsgBox(const wchar_t* msgText, UINT type) {
  GString caption;
  LoadText(93, caption);
  HWND ownerWindow = MainHwnd();
  if (messageBoxHook != nullptr)
    return messageBoxHook(ownerWindow, msgText, WinText(caption), type);
  return MessageBoxW(ownerWindow, msgText, WinText(caption), type);
}

int CWizard::MsgBoxId(uint32_t stringId, UINT type) {
  GString msgText;
  LoadText(stringId, msgText);
  return MsgBox(WinText(msgText), type);
}

// Forwarding: one member or operation of the installer object each.
int CWizard::GetOsVersion() { return installer ? installer->OsVersionCode : 0; }
int CWizard::GetAssocFound() { return installer ? installer->AssocFound : 0; }
int CWizard::GetLayoutLangId() { return installer ? installer->LayoutLangId : 0; }
int CWizard::SetLayoutLangId(int id) {
  if (installer) installer->LayoutLangId = static_cast<uint16_t>(id);
  return id;
}
int CWizard::GetStep() { return installer ? installer->WizardStep : 0; }
int CWizard::SetStep(int step) {
  if (installer) installer->WizardStep = step;
  return step;
}
int CWizard::GetInstallState() { return installer ? installer->InstallState : 0; }
int CWizard::GetIsAdmin() { return installer ? installer->IsAdmin : 0; }
int CWizard::Remove() { return installer ? installer->Remove() : 0; }
int CWizard::GetRemoved() { return installer ? installer->Removed : 0; }
int CWizard::GetOptDefaultLayout() { return installer ? installer->OptDefaultLayout : 0; }
int CWizard::SetOptDefaultLayout(int v) {
  if (installer) installer->OptDefaultLayout = v;
  return v;
}
int CWizard::GetOptUserToggleValues() { return installer ? installer->OptUserToggleValues : 0; }
int CWizard::SetOptUserToggleValues(int v) {
  if (installer) installer->OptUserToggleValues = v;
  return v;
}
int CWizard::GetOptShortcuts() { return installer ? installer->OptShortcuts : 0; }
int CWizard::SetOptShortcuts(int v) {
  if (installer) installer->OptShortcuts = v;
  return v;
}
int CWizard::GetLayoutVariant() { return installer ? installer->GetLayoutVariant() : 0; }
int CWizard::SetLayoutVariant(int v) { return installer ? installer->SetLayoutVariant(v) : 0; }
int CWizard::GetDecimalKeyChoice() { return installer ? installer->GetDecimalKeyChoice() : 0; }
int CWizard::SetDecimalKeyChoice(int v) {
  return installer ? installer->SetDecimalKeyChoice(v) : 0;
}
int CWizard::GetOptLayoutFlag() { return installer ? installer->GetOptLayoutFlag() : 0; }
int CWizard::SetOptLayoutFlag(int v) { return installer ? installer->SetOptLayoutFlag(v) : 0; }
int CWizard::GetUiLanguage() { return installer ? installer->UiLanguage : 0; }
int CWizard::SetUiLanguage(int v) { return installer ? installer->SetUiLanguage(v) : 0; }

// The display name of the chosen input language is kept in the first path text.
const GString* CWizard::GetLayoutLanguageName() {
  return installer ? &installer->Paths[0] : nullptr;
}

int CWizard::SetLayoutLanguageName(const char16_t* name) {
  if (installer == nullptr) return 0;
  return installer->Paths[0].AssignWide(name != nullptr ? name : u"", -1);
}

const KeyMapEntry* CWizard::FindOriginalKey(uint16_t scancode) {
  return installer ? installer->FindOriginalKey(scancode) : nullptr;
}
KeyMapEntry* CWizard::FindWorkingKey(uint16_t scancode) {
  return installer ? installer->FindWorkingKey(scancode) : nullptr;
}
int CWizard::NormalizeKeyMap() { return installer ? installer->NormalizeKeyMap() : 0; }
int CWizard::GetModifyMode() { return installer ? installer->ModifyMode : 0; }
int CWizard::SetModifyMode(int v) { return installer ? installer->SetModifyMode(v) : 0; }
int CWizard::LaunchAssociated() { return installer ? installer->LaunchAssociated() : 0; }
