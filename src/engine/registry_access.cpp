// Registry access by string ids: every key path and value name is a text of
// the string tables, and a missing or empty text fails the call.
#include <algorithm>

#include "core/install.h"
#include "core/registry_value.h"

namespace {

DWORD ByteSize(const GString& text) { return DWORD(text.Length() + 1) * sizeof(char16_t); }

}  // namespace

int CInstall::QueryValueById(HKEY key, uint32_t valueNameId, uint32_t expectedType,
                             std::vector<uint8_t>& data, DWORD& type) {
  data.clear();
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      !AcceptRegistryValue(expectedType, type, bytes)) {
    return 0;
  }
  // A value that grows between the two calls fails the second one; one that
  // changes its type or shrinks is judged again by what was actually read.
  data.resize(bytes);
  DWORD read = bytes;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, data.empty() ? nullptr : data.data(),
                       &read) != ERROR_SUCCESS ||
      read > bytes || !AcceptRegistryValue(expectedType, type, read)) {
    data.clear();
    return 0;
  }
  data.resize(read);
  return 1;
}

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
  std::vector<uint8_t> data;
  DWORD type = 0;
  if (!QueryValueById(key, valueNameId, RegistryText, data, type)) return 0;
  return DecodeRegistryText(type, data.data(), uint32_t(data.size()), out);
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
  std::vector<uint8_t> data;
  DWORD type = 0;
  if (!QueryValueById(key, valueNameId, RegistryNumber, data, type)) return 0;
  return DecodeRegistryNumber(type, data.data(), uint32_t(data.size()), value);
}

int CInstall::SetBinaryById(HKEY key, uint32_t valueNameId, const uint8_t* data, uint32_t size) {
  GString name;
  if (key == nullptr || !LoadText(valueNameId, name) || name.Length() == 0) return 0;
  return RegSetValueExW(key, WinText(name), 0, REG_BINARY, data, size) == ERROR_SUCCESS;
}

std::unique_ptr<uint8_t[]> CInstall::ReadBinaryById(HKEY key, uint32_t valueNameId,
                                                    uint32_t& size) {
  size = 0;
  std::vector<uint8_t> data;
  DWORD type = 0;
  if (!QueryValueById(key, valueNameId, RegistryBinary, data, type)) return nullptr;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size()]);
  std::copy(data.begin(), data.end(), copy.get());
  size = uint32_t(data.size());
  return copy;
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
