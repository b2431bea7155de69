#include "ui/wnd_base.h"

#include "ui/wizard.h"

namespace {

// Changes nothing but makes the system drop its cached window data (the
// window's user data is read through that cache on some systems).
void RefreshFrame(HWND window) {
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

CWndBase* BoundObject(HWND window) {
  return reinterpret_cast<CWndBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

CWndBase::CWndBase() = default;

CWndBase::~CWndBase() {
  if (hwnd != nullptr) {
    HWND window = hwnd;
    Detach();
    DestroyWindow(window);
  }
  if (classAtom != 0 && owner != nullptr) {
    GString className;
    owner->LoadText(94, className);
    UnregisterClassW(WinText(className), owner->Instance());
  }
}

int CWndBase::OnMessage() {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_DESTROY:
      return OnDestroy();
    case WM_PAINT:
      return OnPaint();
    case WM_CLOSE:
      return OnClose();
    case WM_NCDESTROY:
      return OnNcDestroy();
    case WM_INITDIALOG:
      return OnInitDialog();
    default:
      return 0;
  }
}

int CWndBase::OnCommand() { return 0; }

int CWndBase::OnNcDestroy() {
  Detach();
  // The owner deletes this object: nothing of it may be touched afterwards.
  if (owner != nullptr) owner->Release(this);
  return 1;
}

int CWndBase::OnCreate() { return 1; }
int CWndBase::OnPaint() { return 0; }
int CWndBase::OnDestroy() { return 0; }

int CWndBase::OnClose() {
  DestroyWindow(hwnd);
  return 1;
}

int CWndBase::OnInitDialog() { return 0; }

int CWndBase::RequestClose() {
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  return 0;
}

void CWndBase::ClearRouting() {
  result = 0;
  notifyCode = 0;
  controlId = 0;
  controlHwnd = nullptr;
  notifyHeaderCode = 0;
  notifyHeader = nullptr;
}

void CWndBase::StoreMessage(UINT msg, WPARAM wp, LPARAM lp) {
  message = msg;
  wParam = wp;
  lParam = lp;
  ClearRouting();
}

LRESULT CALLBACK CWndBase::WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  CWndBase* self = BoundObject(window);
  if (self == nullptr) {
    if (msg != WM_NCCREATE && msg != WM_CREATE) return DefWindowProcW(window, msg, wp, lp);
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    self = create != nullptr ? static_cast<CWndBase*>(create->lpCreateParams) : nullptr;
    if (self == nullptr || self->isDialog) return DefWindowProcW(window, msg, wp, lp);
    if (!self->Attach(window)) return DefWindowProcW(window, msg, wp, lp);
  }

  self->StoreMessage(msg, wp, lp);
  if (msg == WM_COMMAND) {
    self->notifyCode = HIWORD(wp);
    self->controlId = LOWORD(wp);
    self->controlHwnd = reinterpret_cast<HWND>(lp);
  } else if (msg == WM_NOTIFY) {
    self->notifyHeader = reinterpret_cast<NMHDR*>(lp);
    if (self->notifyHeader != nullptr) {
      self->controlId = static_cast<uint16_t>(self->notifyHeader->idFrom);
      self->notifyHeaderCode = self->notifyHeader->code;
    }
  }
  if (msg == WM_NCDESTROY) {
    // The object is gone once its handler returns.
    self->OnMessage();
    return 0;
  }
  if (self->OnMessage()) return self->result;
  return DefWindowProcW(window, msg, wp, lp);
}

INT_PTR CALLBACK CWndBase::DialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  CWndBase* self = BoundObject(window);
  if (self == nullptr) {
    if (msg != WM_INITDIALOG) return FALSE;
    self = reinterpret_cast<CWndBase*>(lp);
    if (self == nullptr || !self->isDialog || !self->Attach(window)) return FALSE;
  }

  self->StoreMessage(msg, wp, lp);
  int handled = 0;
  if (msg == WM_COMMAND) {
    self->notifyCode = HIWORD(wp);
    self->controlId = LOWORD(wp);
    self->controlHwnd = reinterpret_cast<HWND>(lp);
    handled = self->OnCommand();
  } else if (msg == WM_NOTIFY) {
    self->controlId = LOWORD(wp);
    self->notifyHeader = reinterpret_cast<NMHDR*>(lp);
    if (self->notifyHeader != nullptr) {
      self->controlId = static_cast<uint16_t>(self->notifyHeader->idFrom);
      self->notifyHeaderCode = self->notifyHeader->code;
    }
    return FALSE;
  } else if (msg == WM_NCDESTROY) {
    self->OnMessage();
    return FALSE;
  } else {
    if (msg == WM_INITDIALOG) self->result = 1;
    handled = self->OnMessage();
  }

  if (!handled) return FALSE;
  if (msg == WM_COMMAND) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, self->result);
    return FALSE;
  }
  return self->result;
}

int CWndBase::Attach(HWND window) {
  if (hwnd != nullptr || window == nullptr) return 0;
  hwnd = window;
  if (GetWindowLongPtrW(window, GWLP_USERDATA) != 0) return 1;
  SetLastError(0);
  if (SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this)) == 0 &&
      GetLastError() != 0) {
    hwnd = nullptr;
    return 0;
  }
  RefreshFrame(window);
  return 1;
}

void CWndBase::Detach() {
  if (hwnd == nullptr) return;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  RefreshFrame(hwnd);
  hwnd = nullptr;
}

int CWndBase::DestroyHwnd() { return hwnd != nullptr ? DestroyWindow(hwnd) : 1; }

void CWndBase::RegisterFrameClass() {
  if (owner == nullptr) return;
  GString className;
  owner->LoadText(94, className);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = owner->Instance();
  wc.hIcon = LoadIconW(owner->Instance(), MAKEINTRESOURCEW(129));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = WinText(className);
  classAtom = RegisterClassExW(&wc);
  if (classAtom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
    // Left by an earlier frame of this process: its object is deleted while
    // its window is still being destroyed, too early to unregister the class.
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
    classAtom = RegisterClassExW(&wc);
  }
}

int CWndBase::CreateFrame(uint32_t titleStringId, DWORD style, int width, int height) {
  if (owner == nullptr || hwnd != nullptr) return 0;
  isDialog = 0;
  RECT desktop = {};
  GetWindowRect(GetDesktopWindow(), &desktop);
  const int x = (desktop.right - desktop.left - width) / 2;
  const int y = (desktop.bottom - desktop.top - height) / 2;
  LoadText(titleStringId);
  HWND created = CreateWindowExW(0, MAKEINTATOM(classAtom), WinText(text), style, x, y, width,
                                 height, nullptr, nullptr, owner->Instance(), this);
  if (created == nullptr || hwnd == nullptr) return 0;
  ShowWindow(hwnd, SW_SHOW);
  return 1;
}

int CWndBase::ShowDialog(uint32_t templateId, HWND parentHwnd) {
  if (owner == nullptr || hwnd != nullptr) return 0;
  isDialog = 1;
  HWND created = CreateDialogParamW(owner->Instance(), MAKEINTRESOURCEW(templateId), parentHwnd,
                                    DialogProc, reinterpret_cast<LPARAM>(this));
  if (created == nullptr || hwnd == nullptr) return 0;
  ShowWindow(hwnd, SW_SHOW);
  return 1;
}

int CWndBase::LoadText(uint32_t stringId) { return owner ? owner->LoadText(stringId, text) : 0; }

int CWndBase::LoadText(uint32_t stringId, GString& out) {
  return owner ? owner->LoadText(stringId, out) : 0;
}

int CWndBase::GetStep() { return owner ? owner->GetStep() : -1; }
int CWndBase::SetStep(int step) { return owner ? owner->SetStep(step) : 0; }

int CWndBase::MsgBox(const wchar_t* msgText, UINT type) {
  return owner ? owner->MsgBox(msgText, type) : 0;
}

int CWndBase::MsgBoxId(uint32_t stringId, UINT type) {
  return owner ? owner->MsgBoxId(stringId, type) : 0;
}

int CWndBase::PostToFrame(UINT msg) {
  if (owner == nullptr) return 0;
  return PostMessageW(owner->MainHwnd(), msg, 0, 0);
}

int CWndBase::EnableItem(int id, int enable) {
  HWND control = GetDlgItem(hwnd, id);
  if (control == nullptr) return 0;
  EnableWindow(control, enable ? TRUE : FALSE);
  return 1;
}

int CWndBase::EnableItems(const uint32_t* list, int enable) {
  if (list == nullptr) return 0;
  for (; *list != 0; ++list) EnableItem(static_cast<int>(*list), enable);
  return 1;
}

int CWndBase::ShowItem(int id, int show) {
  HWND control = GetDlgItem(hwnd, id);
  if (control == nullptr) return 0;
  ShowWindow(control, show ? SW_SHOW : SW_HIDE);
  return 1;
}

int CWndBase::ShowItems(const uint32_t* list, int show) {
  if (list == nullptr) return 0;
  for (; *list != 0; ++list) ShowItem(static_cast<int>(*list), show);
  return 1;
}

int CWndBase::SetItemTextId(int id, uint32_t stringId) {
  if (GetDlgItem(hwnd, id) == nullptr) return 0;
  if (!LoadText(stringId)) return 0;
  return SetDlgItemTextW(hwnd, id, WinText(text)) ? 1 : 0;
}

int CWndBase::SetItemText(int id, const wchar_t* itemText) {
  if (itemText == nullptr || GetDlgItem(hwnd, id) == nullptr) return 0;
  return SetDlgItemTextW(hwnd, id, itemText) ? 1 : 0;
}

int CWndBase::SetItemTexts(const uint32_t* table) {
  if (table == nullptr) return 0;
  for (; table[0] != 0; table += 2) {
    const int id = static_cast<int>(table[0]);
    if (GetDlgItem(hwnd, id) == nullptr) continue;
    LoadText(table[1]);
    SetDlgItemTextW(hwnd, id, WinText(text));
  }
  return 1;
}

int CWndBase::IsItemChecked(int id) {
  HWND control = GetDlgItem(hwnd, id);
  if (control == nullptr) return 0;
  return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

int CWndBase::SetItemChecked(int id, int checked) {
  HWND control = GetDlgItem(hwnd, id);
  if (control == nullptr) return 0;
  SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return 1;
}

int CWndBase::ComboSetSel(HWND combo, int index) {
  if (combo == nullptr) return 0;
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  return 1;
}

uint32_t CWndBase::ComboSelData(int id) {
  HWND combo = GetDlgItem(hwnd, id);
  if (combo == nullptr) return 0;
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return 0;
  return static_cast<uint32_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

int CWndBase::FillCombo(HWND combo, const uint32_t* choiceTable, uint32_t selectedValue) {
  if (combo == nullptr || choiceTable == nullptr) return 0;
  int rows = 0;
  while (choiceTable[2 * rows] != 0) ++rows;
  const int n = rows > 0 ? rows - 1 : 0;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  SendMessageW(combo, CB_INITSTORAGE, static_cast<WPARAM>(n), static_cast<LPARAM>(n * 100));
  for (int row = 0; row < rows; ++row) {
    LoadText(choiceTable[2 * row]);
    const LRESULT index =
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WinText(text)));
    if (index == CB_ERR || index == CB_ERRSPACE) return 0;
    const uint32_t value = choiceTable[2 * row + 1];
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(value));
    if (value == selectedValue) ComboSetSel(combo, static_cast<int>(index));
  }
  return 1;
}

int CWndBase::FillComboId(int id, const uint32_t* choiceTable, uint32_t selectedValue) {
  return FillCombo(GetDlgItem(hwnd, id), choiceTable, selectedValue);
}

uint16_t CWndBase::LookupValue(uint32_t key, const uint32_t* table) {
  if (key == 0 || table == nullptr) return 0;
  for (; table[0] != 0; table += 2) {
    if (table[0] == key) return static_cast<uint16_t>(table[1]);
  }
  return 0;
}

const uint32_t* CWndBase::FindPair(uint32_t key, const uint32_t* pairs, int count) {
  if (pairs == nullptr) return nullptr;
  for (int i = 0; i < count; ++i) {
    if (pairs[2 * i] == key) return pairs + 2 * i;
  }
  return nullptr;
}

int CWndBase::LayoutPage() {
  if (owner == nullptr || hwnd == nullptr) return 0;
  HWND frame = owner->MainHwnd();
  if (frame == nullptr) return 0;

  if (owner->bandHeight == 0) {
    HDC dc = GetDC(frame);
    if (dc != nullptr) {
      HGDIOBJ previous = SelectObject(dc, owner->HeaderFont());
      SIZE size = {};
      const wchar_t probe = L'\u00D3';
      if (GetTextExtentPoint32W(dc, &probe, 1, &size)) textHeight = size.cy;
      SelectObject(dc, previous);
      ReleaseDC(frame, dc);
    }
    owner->bandHeight = textHeight + textHeight / 2;
  }

  RECT frameWindow, frameClient, pageClient, desktop;
  if (!GetWindowRect(frame, &frameWindow) || !GetClientRect(frame, &frameClient) ||
      !GetClientRect(hwnd, &pageClient) || !GetWindowRect(GetDesktopWindow(), &desktop)) {
    return 0;
  }
  const int band = owner->bandHeight;
  if (!owner->frameSized) {
    const int width = (frameWindow.right - frameWindow.left) - frameClient.right + pageClient.right;
    const int height =
        (frameWindow.bottom - frameWindow.top) - frameClient.bottom + pageClient.bottom + band;
    SetWindowPos(frame, nullptr, (desktop.right - desktop.left - width) / 2,
                 (desktop.bottom - desktop.top - height) / 2, width, height, SWP_NOZORDER);
  }
  owner->frameSized = 1;
  SetWindowPos(hwnd, nullptr, 0, band, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  return 1;
}
