// Registry access by string ids: every key path and value name is a text of
// the string tables.
#include "core/install.h"

RegistryKey CInstall::OpenKeyById(HKEY parent, uint32_t subKeyId, REGSAM access) {
  RegistryKey key;
  if (parent == nullptr) return key;
  GString path;
  if (!LoadText(subKeyId, path) || path.Length() == 0) return key;
  if (RegOpenKeyExW(parent, WinText(path), 0, access, key.Receive()) != ERROR_SUCCESS) {
    key.Release();  // untouched by a failed call: never close what we did not get
  }
  return key;
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
  // The value may change between the two calls; take what the second one says.
  DWORD read = bytes;
  if (RegQueryValueExW(key, WinText(name), nullptr, &type, data.get(), &read) != ERROR_SUCCESS ||
      type != REG_BINARY || read == 0 || read > bytes) {
    return nullptr;
  }
  size = read;
  return data;
}
