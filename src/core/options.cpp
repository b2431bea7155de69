// The user's options, their defaults and the import of the system's scancode map.
#include "core/key_map.h"
#include "core/install.h"

// Not built yet: needs the text search. No default is derived, so both stay
// "not yet derived".
int CInstall::GetLayoutVariant() { return LayoutVariant; }

int CInstall::GetDecimalKeyChoice() { return DecimalKeyChoice; }

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
