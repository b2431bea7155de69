#include "ui/wnd_main.h"

#include "core/install.h"
#include "ui/wizard.h"

CWndMain::~CWndMain() = default;

int CWndMain::OnMessage() {
  if (CWndBase::OnMessage()) return 1;
  switch (message) {
    case WM_WIZ_CLOSE:
      return RequestClose();
    case WM_WIZ_BACK:
      return OnBack();
    case WM_WIZ_NEXT:
      return OnNext();
    case WM_WIZ_SETUP:
      return ShowSetupPage();
    case WM_WIZ_KEYS1:
      return ShowKeyPage1();
    case WM_WIZ_KEYS2:
      return ShowKeyPage2();
    case WM_WIZ_DONE:
      return ShowDonePage();
    case WM_WIZ_FINISH:
      return OnFinish();
    default:
      return 0;
  }
}

int CWndMain::OnCreate() {
  if (owner == nullptr) return 0;
  owner->ShowWelcomePage();
  return 1;
}

int CWndMain::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  PaintHeader(dc);
  EndPaint(hwnd, &ps);
  return 1;
}

int CWndMain::OnDestroy() {
  PostQuitMessage(0);
  return 1;
}

int CWndMain::OnClose() {
  if (owner == nullptr) return 0;
  if (GetStep() != StepFinished && MsgBoxId(96, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    // Declined: the wizard stays as it was.
    return 1;
  }
  DestroyWindow(hwnd);
  return 1;
}

int CWndMain::OnFinish() {
  if (owner == nullptr || owner->installer == nullptr) return 0;
  owner->installer->RestartOnExit = 1;
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  return 1;
}

int CWndMain::ShowDonePage() {
  if (owner == nullptr) return 0;
  owner->ShowDonePage();
  return 1;
}

int CWndMain::OnBack() {
  if (owner == nullptr) return 0;
  switch (GetStep()) {
    case StepLicence:
      owner->ShowWelcomePage();
      break;
    case StepSetup:
      owner->ShowLicencePage();
      break;
    default:
      break;
  }
  return 1;
}

int CWndMain::OnNext() {
  if (owner == nullptr) return 0;
  switch (GetStep()) {
    case StepWelcome:
      owner->ShowLicencePage();
      break;
    case StepLicence:
      owner->ShowSetupPage();
      break;
    default:
      break;
  }
  return 1;
}

int CWndMain::ShowSetupPage() { return owner ? owner->ShowSetupPage() : 0; }
int CWndMain::ShowKeyPage1() { return owner ? owner->ShowKeyPage1() : 0; }
int CWndMain::ShowKeyPage2() { return owner ? owner->ShowKeyPage2() : 0; }

void CWndMain::PaintHeader(HDC dc) {
  if (owner == nullptr || dc == nullptr) return;
  RECT client = {};
  GetClientRect(hwnd, &client);
  DrawIcon(dc, 10, 10, LoadIconW(owner->Instance(), MAKEINTRESOURCEW(128)));

  HFONT font = owner->HeaderFont();
  if (textHeight == 0) {
    HDC measure = GetDC(hwnd);
    if (measure != nullptr) {
      HGDIOBJ previous = SelectObject(measure, font);
      SIZE size = {};
      const wchar_t probe = L'\u00D3';
      if (GetTextExtentPoint32W(measure, &probe, 1, &size)) textHeight = size.cy;
      SelectObject(measure, previous);
      ReleaseDC(hwnd, measure);
    }
  }
  RECT band = {60, 10, client.right, 10 + textHeight};

  const COLORREF previousColour = SetTextColor(dc, RGB(128, 128, 128));
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  HGDIOBJ previousFont = SelectObject(dc, font);

  GString line;
  GString part;
  LoadText(0, line);
  for (uint32_t id : {89u, 82u}) {
    line.AppendWideText(u" ", 1);
    LoadText(id, part);
    line.Append(part);
  }
  DrawTextW(dc, WinText(line), line.Length(), &band, DT_SINGLELINE);

  SelectObject(dc, previousFont);
  SetBkMode(dc, previousMode);
  SetTextColor(dc, previousColour);
}
