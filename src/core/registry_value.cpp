#include "core/registry_value.h"

#include <string>

bool AcceptRegistryValue(uint32_t expectedType, uint32_t type, uint32_t size) {
  if (type != expectedType) return false;
  switch (type) {
    case RegistryText:
      return size <= MaxRegistryTextBytes;
    case RegistryNumber:
      return size == 4;
    case RegistryBinary:
      return size != 0 && size <= MaxRegistryBinaryBytes;
    default:
      return false;
  }
}

int DecodeRegistryText(uint32_t type, const uint8_t* data, uint32_t size, GString& out) {
  if (!AcceptRegistryValue(RegistryText, type, size) || (data == nullptr && size != 0)) return 0;
  const uint32_t units = size / 2;
  uint32_t length = 0;
  while (length < units && (data[2 * length] | data[2 * length + 1]) != 0) ++length;
  std::u16string text(length, u'\0');
  for (uint32_t i = 0; i < length; ++i) {
    text[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  }
  return out.AssignWide(text.c_str(), int(length));
}

int DecodeRegistryNumber(uint32_t type, const uint8_t* data, uint32_t size, uint32_t& out) {
  if (!AcceptRegistryValue(RegistryNumber, type, size) || data == nullptr) return 0;
  out = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
        uint32_t(data[3]) << 24;
  return 1;
}
