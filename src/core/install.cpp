#include "core/install.h"
#include "core/system_library.h"

#include <shellapi.h>

#include <cwchar>

#include "ui/wizard.h"

namespace {

constexpr LANGID PolishLangId = 0x0415;

}  // namespace

CInstall::CInstall() : KeyMap(new KeyMapEntry[KeyTableRows]) {
  // The working copy starts with every key at its default: no virtual key
  // chosen, no scancode sent instead.
  for (int i = 0; i < KeyMapCount; ++i) {
    KeyMap[i] = KeyTable[i];
    KeyMap[i].VirtualKey = 0;
  }
}

CInstall::~CInstall() {
  CInstall::ReleaseTables();
  Wizard.reset();
  KeyMap.reset();
  // Paths (last to first) and ExtraStrings go with the members, then the base.
}

HWND CInstall::OwnerWindow() { return Wizard ? Wizard->MainWindow() : nullptr; }

void CInstall::ReleaseTables() {
  CInstallBase::ReleaseTables();
  ExtraStrings.Release();
}

const uint8_t* CInstall::FindStringRecord(uint32_t id) const {
  if (const uint8_t* record = CInstallBase::FindStringRecord(id)) return record;
  return ExtraStrings.Find(id);
}

int CInstall::AttachStrings(StringTable& table, const PayloadEntry& entry) {
  uint32_t size = entry.Size;
  uint32_t rows = 0;
  uint8_t* buffer = Guard.Extract(entry.Data, &size, &rows);
  if (buffer == nullptr) return 0;
  if (!table.Attach(buffer, rows, size)) {
    delete[] buffer;
    return 0;
  }
  return 1;
}

void CInstall::ReadDefaultLayoutLangId() {
  unsigned int value = 0;
  LoadText(86, ScratchText);
  if (swscanf(WinText(ScratchText), L"%X", &value) == 1) {
    DefaultLayoutLangId = static_cast<uint16_t>(value & 0xFFFF);
  }
}

int CInstall::LoadPayload() {
  const PayloadEntry blob = KeyBlobItem();
  if (!Guard.Load(blob.Data, blob.Size)) return 0;
  if (!AttachStrings(CommonStrings, CommonStringsEntry())) return 0;
  if (!AttachStrings(ExtraStrings, ExtraStringsEntry())) return 0;
  if (!AttachStrings(LanguageStrings[0], LanguageStringsEntry(0))) return 0;
  if (!AttachStrings(LanguageStrings[1], LanguageStringsEntry(1))) return 0;
  return 1;
}

// Nothing is shown when start-up fails: without the string tables there is
// no text to show.
int CInstall::Init(HINSTANCE instance) {
  if (!CInstallBase::Init(instance)) return 0;
  if (!LoadPayload()) return 0;

  Wizard = std::make_unique<CWizard>(this);
  if (!Wizard->Init(instance)) return 0;

  ReadDefaultLayoutLangId();
  GetLayoutVariant();
  GetDecimalKeyChoice();
  return 1;
}

int CInstall::Run() {
  if (!Wizard) return 0;

  UiLanguage = GetUserDefaultLangID() == PolishLangId ? 1 : 0;

  // On failure the version stays 0 and the support check below rejects it.
  QueryEnvironment(58, 144);
  if (!IsSupportedSystem()) {
    MsgBoxId(124, MB_ICONEXCLAMATION | MB_OK);
    return 0;
  }

  LayoutLangId = OsVersionCode >= 60 ? GetUserDefaultLangID() : DefaultLayoutLangId;
  if (OsVersionCode < 51) OptDefaultLayout = 0;

  if (!CheckSingleInstance()) return 0;

  BuildPaths();
  AssocFound = AssocExecutableContains(42, 45);
  IsAdmin = IsUserAdmin();
  if (!IsAdmin) {
    MsgBoxId(123, MB_OK);
    return 1;
  }

  if (!HasCyrillicInputLanguage()) {
    MsgBoxId(125, MB_OK);
    GString operation;
    GString file;
    GString parameters;
    LoadText(53, operation);
    LoadText(54, file);
    LoadText(55, parameters);
    // The shell looks for a bare program name in the current folder first,
    // which is the download folder this program was started from: a bare
    // name means the system folder's program.
    GString systemProgram;
    const GString& target =
        SystemFolderPath(file.WideText(0), file.Length(), systemProgram) ? systemProgram : file;
    ShellExecuteW(nullptr, WinText(operation), WinText(target), WinText(parameters), nullptr,
                  SW_SHOWNORMAL);
    Sleep(1000);
    return 1;
  }

  LoadScancodeMap();
  LoadInstallInfo();
  return Wizard->Run();
}

void CInstall::Finish() {
  if (Wizard) {
    Wizard->DestroyAll();
    Wizard.reset();
  }
  if (Removed || Installed) WritePostChangeNote();
  ReleaseTables();
  if (RestartOnExit) RestartSystem();
}

int CInstall::MsgBoxId(uint32_t id, UINT style) { return Wizard ? Wizard->MsgBoxId(id, style) : 0; }
