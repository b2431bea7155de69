// The user's options, their defaults and the import of the system's scancode map.
#include "core/key_map.h"
#include "core/install.h"
#include "text/memory_search.h"

// The default variant is the first whose name contains string 88.
int CInstall::GetLayoutVariant() {
  if (LayoutVariant >= 0) return LayoutVariant;
  GString wanted;
  GString name;
  LoadText(88, wanted);
  LayoutVariant = 0;
  for (int variant = 0; variant <= 2; ++variant) {
    LoadText(113 + variant, name);
    if (name.Find(wanted, 0) >= 0) {
      LayoutVariant = variant;
      break;
    }
  }
  return LayoutVariant;
}

// The comma patch is the default where the user's decimal separator is a comma.
int CInstall::GetDecimalKeyChoice() {
  if (DecimalKeyChoice >= 0) return DecimalKeyChoice;
  const int needed = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0);
  if (needed <= 0) return -1;
  GString separator;
  char16_t* buffer = separator.WideAppendBuffer(needed);
  if (buffer == nullptr) return -1;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, WinText(buffer), needed) == 0) {
    return -1;
  }
  separator.SetLength(-1);  // up to the first zero character
  GString comma;
  comma.AssignWide(u",");
  DecimalKeyChoice = StringsEqual(separator, comma) ? 0 : 1;
  return DecimalKeyChoice;
}

int CInstall::SetLayoutVariant(int v) {
  if (v >= 0 && v <= 2) LayoutVariant = v;
  return v;
}

int CInstall::SetDecimalKeyChoice(int v) {
  if (v == 0 || v == 1) DecimalKeyChoice = v;
  return v;
}

int CInstall::SetUiLanguage(int v) {
  if (v < 0 || v > 1) return 0;
  UiLanguage = v;
  return 1;
}

int CInstall::SetModifyMode(int v) {
  ModifyMode = v;
  if (v != 0) LicenceAccepted = 1;
  return v;
}

const KeyMapEntry* CInstall::FindOriginalKey(uint16_t scancode) const {
  return FindKeyRow(KeyTable, KeyTableRows, scancode);
}

KeyMapEntry* CInstall::FindWorkingKey(uint16_t scancode) {
  return FindKeyRow(KeyMap.get(), KeyMapCount, scancode);
}

int CInstall::NormalizeKeyMap() {
  if (!KeyMap || KeyMapCount == 0) return 0;
  ::NormalizeKeyMap(KeyMap.get(), KeyMapCount);
  return 1;
}

int CInstall::ApplySavedKeyMap(std::unique_ptr<uint8_t[]> pairs, uint32_t size) {
  if (!pairs || size == 0) return 0;
  if (!KeyMap || KeyMapCount == 0) return 0;
  ApplyKeyPairs(KeyMap.get(), KeyMapCount, pairs.get(), size);
  return 1;
}

std::unique_ptr<uint8_t[]> CInstall::PackKeyMap(uint32_t& size) {
  size = 0;
  if (!KeyMap) return nullptr;
  return PackKeyPairs(KeyMap.get(), KeyMapCount, size);
}

void CInstall::LoadScancodeMap() {
  if (!KeyMap || KeyMapCount == 0) return;
  RegistryKey key = OpenKeyById(HKEY_LOCAL_MACHINE, 5, KEY_READ);
  if (!key) return;
  uint32_t size = 0;
  std::unique_ptr<uint8_t[]> value = ReadBinaryById(key.Get(), 6, size);
  if (!value) return;
  // A map existed, even if it turns out malformed: removal must not treat
  // the system as one that never had one.
  HadScancodeMap = 1;
  ApplyScancodeMap(KeyMap.get(), KeyMapCount, value.get(), size);
}
