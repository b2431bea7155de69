#include "core/install_base.h"

CInstallBase::~CInstallBase() { CInstallBase::ReleaseTables(); }

HWND CInstallBase::OwnerWindow() { return nullptr; }

int CInstallBase::Init(HINSTANCE instance) {
  Instance = instance;
  return 1;
}

void CInstallBase::ReleaseTables() {
  CommonStrings.Release();
  LanguageStrings[0].Release();
  LanguageStrings[1].Release();
  Guard.Clear();
}

const uint8_t* CInstallBase::FindStringRecord(uint32_t id) const {
  if (UiLanguage == 0 || UiLanguage == 1) {
    if (const uint8_t* record = LanguageStrings[UiLanguage].Find(id)) return record;
  }
  return CommonStrings.Find(id);
}

int CInstallBase::LoadText(uint32_t id, GString& out) const {
  out.SetLength(0);
  const uint8_t* record = FindStringRecord(id);
  if (record == nullptr) return 0;
  if (out.AssignRecord(record) && out.ToWide(-1) != nullptr) return 1;
  // A record whose text cannot be decoded is treated as missing.
  out.SetLength(0);
  return 0;
}
