#include "pages/dlg_setup.h"

#include <cwchar>
#include <memory>

#include "core/install.h"
#include "pages/page_controls.h"
#include "text/format.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

constexpr int IdHeading = 313;
constexpr int IdLanguage = 1202;
constexpr int IdDefaultLayout = 1200;
constexpr int IdToggleValues = 1205;
constexpr int IdShortcuts = 1212;
constexpr int IdLayoutFlag = 1213;
constexpr int IdVariant = 1214;
constexpr int IdDecimalKey = 1215;
constexpr int IdInstall = 206;

const uint32_t SetupTexts[] = {300, 98,  301, 100, 313, 101, 206, 104, 1212, 106, 1205, 139, 1213,
                               108, 314, 110, 316, 111, 317, 112, 303, 152,  304, 153,  0,   0};
const uint32_t HiddenControls[] = {IdKeys2, 0};
const uint32_t VariantChoices[] = {113, 0, 114, 1, 115, 2, 0, 0};
const uint32_t DecimalKeyChoices[] = {119, 0, 120, 1, 0, 0};

constexpr int NameBufferUnits = 1024;

// EnumSystemLocalesW hands its callback no context, so the enumeration's
// state lives here, shared by every instance of the page.
std::unique_ptr<HKL[]> layoutList;
int layoutCount = 0;
std::unique_ptr<wchar_t[]> nameBuffer;
int nameBufferSize = 0;
HWND languageCombo = nullptr;
uint16_t currentLangId = 0;
// The name of the locale of currentLangId; kept for the whole run.
GString currentLangName;

}  // namespace

CDlgSetup::CDlgSetup() {
  layoutList.reset();
  nameBuffer.reset();
  layoutCount = 0;
  nameBufferSize = 0;
}

CDlgSetup::~CDlgSetup() {
  layoutList.reset();
  nameBuffer.reset();
  currentLangId = 0;
  languageCombo = nullptr;
}

int CDlgSetup::OnInitDialog() {
  SetStep(StepSetup);
  LayoutPage();
  EnableItems(HiddenControls, 0);
  ShowItems(HiddenControls, 0);
  if (owner == nullptr) return 1;

  const int toggleValues = owner->GetOptUserToggleValues();
  const int defaultLayout = owner->GetOptDefaultLayout();
  const int osVersion = owner->GetOsVersion();
  currentLangId = static_cast<uint16_t>(owner->GetLayoutLangId());

  SetItemChecked(IdLayoutFlag, owner->GetOptLayoutFlag());
  FillLanguages();
  FillComboId(IdVariant, VariantChoices, static_cast<uint32_t>(owner->GetLayoutVariant()));
  FillComboId(IdDecimalKey, DecimalKeyChoices, static_cast<uint32_t>(owner->GetDecimalKeyChoice()));
  owner->SetLayoutLanguageName(currentLangName.IsWide() ? currentLangName.WideText(0) : u"");
  UpdateDefaultLabel();

  // These change only the boxes, never the options behind them.
  const int modify = owner->GetModifyMode();
  const int languageShown = osVersion >= 60 && !modify;
  SetItemChecked(IdToggleValues, modify ? 0 : toggleValues);
  ShowItem(IdToggleValues, !modify);
  EnableItem(IdToggleValues, !modify);
  SetItemChecked(IdDefaultLayout, languageShown ? defaultLayout : 0);
  for (int id : {IdDefaultLayout, IdHeading, IdLanguage}) {
    ShowItem(id, languageShown);
    EnableItem(id, languageShown);
  }
  UpdateShortcutsBox();

  SetItemTexts(SetupTexts);
  GString pattern;
  GString product;
  GString heading;
  LoadText(101, pattern);
  LoadText(81, product);
  Format(heading, pattern.WideText(0), product.WideText(0));
  SetItemText(IdHeading, WinText(heading));

  SetFocus(GetDlgItem(hwnd, IdInstall));
  SetForegroundWindow(hwnd);
  return 0;
}

void CDlgSetup::UpdateShortcutsBox() {
  if (owner == nullptr) return;
  const int forced = owner->GetOsVersion() >= 62;
  const int value = forced ? 1 : owner->GetOptShortcuts();
  owner->SetOptShortcuts(value);
  if (owner->GetModifyMode()) {
    SetItemChecked(IdShortcuts, 0);
    ShowItem(IdShortcuts, 0);
    EnableItem(IdShortcuts, 0);
    return;
  }
  SetItemChecked(IdShortcuts, value);
  ShowItem(IdShortcuts, !forced);
  EnableItem(IdShortcuts, !forced);
}

void CDlgSetup::UpdateDefaultLabel() {
  if (owner == nullptr) return;
  GString pattern;
  GString argument;
  GString product;
  GString label;
  LoadText(102, pattern);
  argument.AssignWide(u"", 0);
  const GString* name = owner->GetLayoutLanguageName();
  if (name != nullptr) argument.Append(*name);
  argument.AppendWideText(u" - ", 3);
  LoadText(81, product);
  argument.Append(product);
  Format(label, pattern.WideText(0), argument.WideText(0));
  SetItemText(IdDefaultLayout, WinText(label));
}

int CDlgSetup::FillLanguages() {
  HWND combo = GetDlgItem(hwnd, IdLanguage);
  if (combo == nullptr || owner == nullptr) return 0;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);

  nameBuffer.reset(new wchar_t[NameBufferUnits]);
  nameBufferSize = NameBufferUnits;

  layoutList.reset();
  layoutCount = GetKeyboardLayoutList(0, nullptr);
  if (layoutCount == 0) return 0;
  layoutList.reset(new HKL[layoutCount]);
  currentLangId = static_cast<uint16_t>(owner->GetLayoutLangId());
  languageCombo = combo;
  layoutCount = GetKeyboardLayoutList(layoutCount, layoutList.get());
  if (layoutCount == 0) {
    languageCombo = nullptr;
    return 0;
  }

  const BOOL enumerated = EnumSystemLocalesW(LocaleCallback, LCID_INSTALLED);
  languageCombo = nullptr;
  if (!enumerated) {
    layoutList.reset();
    nameBuffer.reset();
    return 0;
  }
  nameBuffer.reset();

  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0);
    if (data == static_cast<LRESULT>(currentLangId)) {
      ComboSetSel(combo, static_cast<int>(i));
      break;
    }
  }
  return 1;
}

BOOL CALLBACK CDlgSetup::LocaleCallback(LPWSTR localeText) {
  if (localeText == nullptr || languageCombo == nullptr || !nameBuffer) return FALSE;
  unsigned int lcid = 0;
  if (swscanf(localeText, L"%x", &lcid) != 1 || lcid == 0) return FALSE;

  int accepted = lcid == currentLangId;
  for (int i = 0; i < layoutCount && !accepted; ++i) {
    const auto layout = reinterpret_cast<uintptr_t>(layoutList[i]);
    accepted = (layout & 0xFFFF) == (lcid & 0xFFFF);
  }
  if (!accepted) return TRUE;

  if (GetLocaleInfoW(lcid, LOCALE_SLANGUAGE, nameBuffer.get(), nameBufferSize - 1) == 0) {
    return FALSE;
  }
  const LRESULT index =
      SendMessageW(languageCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nameBuffer.get()));
  if (index == CB_ERR || index == CB_ERRSPACE) return FALSE;
  SendMessageW(languageCombo, CB_SETITEMDATA, static_cast<WPARAM>(index), lcid);
  if (lcid == currentLangId) {
    currentLangName.AssignWide(reinterpret_cast<const char16_t*>(nameBuffer.get()), -1);
  }
  return TRUE;
}

int CDlgSetup::OnLanguageSelected() {
  if (owner == nullptr) return 0;
  HWND combo = GetDlgItem(hwnd, IdLanguage);
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return 0;
  const LRESULT data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  owner->SetLayoutLangId(static_cast<int>(data & 0xFFFF));

  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return 0;
  std::unique_ptr<wchar_t[]> name(new wchar_t[length + 1]());
  if (SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(name.get())) <= 0) {
    return 0;
  }
  owner->SetLayoutLanguageName(reinterpret_cast<const char16_t*>(name.get()));
  UpdateDefaultLabel();
  return 1;
}

int CDlgSetup::StartInstall() {
  if (owner == nullptr) return 1;
  if (owner->GetIsAdmin()) {
    if (owner->installer != nullptr && owner->installer->Install()) {
      SetStep(StepFinished);
      PostToFrame(WM_WIZ_DONE);
    } else {
      MsgBoxId(143, MB_OK);
      SetStep(StepFinished);
      PostToFrame(WM_WIZ_CLOSE);
    }
  } else {
    MsgBoxId(123, MB_OK);
    SetStep(StepFinished);
    PostToFrame(WM_WIZ_CLOSE);
  }
  return 1;
}

int CDlgSetup::OnCommand() {
  if (owner == nullptr) return 0;
  if (notifyCode == BN_CLICKED) {
    switch (controlId) {
      case IdInstall:
        return StartInstall();
      case IdCancel:
        PostToFrame(WM_WIZ_CLOSE);
        return 1;
      case IdBack:
        PostToFrame(WM_WIZ_BACK);
        return 1;
      case IdKeys1:
        PostToFrame(WM_WIZ_KEYS1);
        return 1;
      case IdKeys2:
        PostToFrame(WM_WIZ_KEYS2);
        return 1;
      case IdDefaultLayout:
        owner->SetOptDefaultLayout(IsItemChecked(controlId));
        return 1;
      case IdToggleValues:
        owner->SetOptUserToggleValues(IsItemChecked(controlId));
        return 1;
      case IdShortcuts:
        owner->SetOptShortcuts(IsItemChecked(controlId));
        return 1;
      case IdLayoutFlag:
        owner->SetOptLayoutFlag(IsItemChecked(controlId));
        return 1;
      default:
        return 0;
    }
  }
  if (notifyCode == CBN_SELCHANGE) {
    switch (controlId) {
      case IdLanguage:
        return OnLanguageSelected();
      case IdVariant:
      case IdDecimalKey: {
        HWND combo = GetDlgItem(hwnd, controlId);
        if (SendMessageW(combo, CB_GETCURSEL, 0, 0) == CB_ERR) return 0;
        const int value = static_cast<int>(ComboSelData(controlId));
        if (controlId == IdVariant) {
          owner->SetLayoutVariant(value);
        } else {
          owner->SetDecimalKeyChoice(value);
        }
        return 1;
      }
      default:
        return 0;
    }
  }
  return 0;
}
