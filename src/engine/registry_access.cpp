// Registry access by string ids: every key path and value name is a text of
// the string tables, and a missing or empty text fails the call.
#include "core/install.h"

namespace {

DWORD ByteSize(const GString& text) { return DWORD(text.Length() + 1) * sizeof(char16_t); }

}  // namespace

RegistryKey CInstall::OpenKeyById(HKEY parent, uint32_t subKeyId, REGSAM access) {
  RegistryKey key;
  GString path;
  if (parent == nullptr || !LoadText(subKeyId, path) || path.Length() == 0) return key;
  if (RegOpenKeyExW(parent, WinText(path), 0, access, key.Receive()) != ERROR_SUCCESS) {
    key.Release();  // a failed call hands out nothing to close
  }
  return key;
}

RegistryKey CInstall::CreateKeyById(HKEY parent, uint32_t subKeyId, REGSAM access) {
  RegistryKey key;
  GString path;
  if (parent == nullptr || !LoadText(subKeyId, path) || path.Length() == 0) return key;
  if (RegCreateKeyExW(parent, WinText(path), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                      key.Receive(), nullptr) != ERROR_SUCCESS) {
    key.Release();
  }
  return key;
}

int CInstall::SetStringById(HKEY key, uint32_t valueNameId, const GString& text) {
  GString name;
  GString wide;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  if (!wide.AssignAsWide(&text)) return 0;
  // Stored with its terminating NUL.
  return RegSetValueExW(key, WinText(name), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(wide.WideText(0)),
                        ByteSize(wide)) == ERROR_SUCCESS;
}

int CInstall::SetStringDataById(HKEY key, uint32_t valueNameId, uint32_t dataId) {
  GString data;
  LoadText(dataId, data);
  return SetStringById(key, valueNameId, data);
}

int CInstall::ReadStringById(HKEY key, uint32_t valueNameId, GString& out) {
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return 0;
  }
  // One spare unit: the stored data need not end with a NUL, and a value that
  // grows between the two calls fails the second one instead of overrunning.
  const int units = int(bytes / 2);
  GString text;
  char16_t* buffer = text.WideAppendBuffer(units + 1);
  if (buffer == nullptr) return 0;
  DWORD read = bytes;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &read) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return 0;
  }
  int length = int(read / 2);
  // The terminator, when stored, is not part of the text; a value stored
  // without one keeps all its characters.
  if (length > 0 && buffer[length - 1] == 0) --length;
  text.SetLength(length);
  out.AssignAsWide(&text);
  return 1;
}

int CInstall::StringEqualsById(HKEY key, uint32_t valueNameId, const GString& text) {
  GString stored;
  GString wide;
  if (!ReadStringById(key, valueNameId, stored) || !wide.AssignAsWide(&text)) return 0;
  if (stored.Length() != wide.Length()) return 0;
  const char16_t* a = stored.WideText(0);
  const char16_t* b = wide.WideText(0);
  for (int i = 0; i < wide.Length(); ++i) {
    if (a[i] != b[i]) return 0;
  }
  return 1;
}

int CInstall::SetDwordById(HKEY key, uint32_t valueNameId, uint32_t value) {
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  const DWORD data = value;
  return RegSetValueExW(key, WinText(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

int CInstall::ReadDwordById(HKEY key, uint32_t valueNameId, uint32_t& value) {
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  DWORD type = 0;
  DWORD data = 0;
  DWORD bytes = sizeof data;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                       &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD || bytes != sizeof data) {
    return 0;
  }
  value = data;
  return 1;
}

int CInstall::SetBinaryById(HKEY key, uint32_t valueNameId, const uint8_t* data, uint32_t size) {
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  return RegSetValueExW(key, WinText(name), 0, REG_BINARY, data, size) == ERROR_SUCCESS;
}

std::unique_ptr<uint8_t[]> CInstall::ReadBinaryById(HKEY key, uint32_t valueNameId,
                                                    uint32_t& size) {
  size = 0;
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return nullptr;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_BINARY || bytes == 0) {
    return nullptr;
  }
  std::unique_ptr<uint8_t[]> data(new uint8_t[bytes]);
  DWORD read = bytes;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, data.get(), &read) != ERROR_SUCCESS ||
      type != REG_BINARY || read == 0) {
    return nullptr;
  }
  size = read;
  return data;
}

void CInstall::DeleteValueById(HKEY key, uint32_t valueNameId) {
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return;
  RegDeleteValueW(key, WinText(name));
}

int CInstall::DeleteKeyById(HKEY parent, uint32_t subKeyId) {
  GString path;
  if (parent == nullptr || !LoadText(subKeyId, path) || path.Length() == 0) return 0;
  return RegDeleteKeyW(parent, WinText(path)) == ERROR_SUCCESS;
}
