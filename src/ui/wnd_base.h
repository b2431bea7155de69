// The base of every window of the wizard: the main frame and the dialog pages.
//
// One object is bound to one window: the object's address sits in the
// window's GWLP_USERDATA slot from WM_NCCREATE (frame) or WM_INITDIALOG (page)
// until WM_NCDESTROY, when the object is detached and the controller deletes
// it. The two static procedures turn raw messages into calls of the virtual
// handlers below; a handler returns nonzero when it handled the message and
// leaves the value to report in `result`.
//
// The control helpers look controls up on the object's own window and return
// 0 without effect when a control does not exist. The tables they walk are
// arrays of 32-bit values ended by a zero in the first column.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "text/gstring.h"

class CWizard;

class CWndBase {
 public:
  CWndBase();
  virtual ~CWndBase();
  CWndBase(const CWndBase&) = delete;
  CWndBase& operator=(const CWndBase&) = delete;

  // The handlers, in slot order.
  virtual int OnMessage();
  virtual int OnCommand();
  virtual int OnNcDestroy();
  virtual int OnCreate();
  virtual int OnPaint();
  virtual int OnDestroy();
  virtual int OnClose();
  virtual int OnInitDialog();
  virtual int RequestClose();

  // Creation and binding.
  void RegisterFrameClass();
  int CreateFrame(uint32_t titleStringId, DWORD style, int width, int height);
  int ShowDialog(uint32_t templateId, HWND parentHwnd);
  int Attach(HWND window);
  void Detach();
  int DestroyHwnd();
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);

  // Forwarding to the owner.
  int LoadText(uint32_t stringId);
  int LoadText(uint32_t stringId, GString& out);
  int GetStep();
  int SetStep(int step);
  int MsgBox(const wchar_t* msgText, UINT type);
  int MsgBoxId(uint32_t stringId, UINT type);
  int PostToFrame(UINT msg);

  // Control helpers.
  int EnableItem(int id, int enable);
  int EnableItems(const uint32_t* list, int enable);
  int ShowItem(int id, int show);
  int ShowItems(const uint32_t* list, int show);
  int SetItemTextId(int id, uint32_t stringId);
  int SetItemText(int id, const wchar_t* itemText);
  int SetItemTexts(const uint32_t* table);
  int IsItemChecked(int id);
  int SetItemChecked(int id, int checked);
  int ComboSetSel(HWND combo, int index);
  uint32_t ComboSelData(int id);
  int FillCombo(HWND combo, const uint32_t* choiceTable, uint32_t selectedValue);
  int FillComboId(int id, const uint32_t* choiceTable, uint32_t selectedValue);
  static uint16_t LookupValue(uint32_t key, const uint32_t* table);
  static const uint32_t* FindPair(uint32_t key, const uint32_t* pairs, int count);
  int LayoutPage();

  HWND hwnd = nullptr;
  int32_t isDialog = 0;
  ATOM classAtom = 0;
  CWizard* owner = nullptr;
  GString text;
  LRESULT result = 0;
  uint16_t notifyCode = 0;
  uint16_t controlId = 0;
  HWND controlHwnd = nullptr;
  UINT notifyHeaderCode = 0;
  NMHDR* notifyHeader = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  int32_t textHeight = 0;

 private:
  void ClearRouting();
  void StoreMessage(UINT msg, WPARAM wp, LPARAM lp);
};
