// Fuzzes the rules and readers every registry value goes through before the
// program uses it: the type and size rules, the text and number decoders, and
// the binary values they admit, applied as the chosen-key list and as the
// system scancode map, and merged into the map the installation writes.
//
// Input: one byte choosing the reader (text, number, chosen keys, scancode
// map), one byte giving the value's type, then the value's data: exactly the
// rest, so the sanitizers catch any read past it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/key_map.h"
#include "core/registry_value.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct WorkingMap {
  WorkingMap() {
    std::memcpy(rows, KeyTable, sizeof rows);
    for (KeyMapEntry& row : rows) row.VirtualKey = 0;
  }
  KeyMapEntry rows[KeyTableRows];
};

// Whatever the admitted value held, the map written is well formed: a header,
// the counted mappings, a zero terminator; no physical key twice or zero; and
// importing it gives back exactly the remapping it was built from.
void CheckWrittenMap(const WorkingMap& imported, const uint8_t* existing, uint32_t size) {
  const std::vector<uint8_t> map = BuildScancodeMap(imported.rows, KeyTableRows, existing, size);
  Check(map.size() >= 16 && map.size() % 4 == 0);
  Check(ReadU32(map.data()) == 0 && ReadU32(map.data() + 4) == 0);
  const uint32_t count = ReadU32(map.data() + 8);
  Check(map.size() == 12 + 4 * size_t(count));
  Check(ReadU32(map.data() + map.size() - 4) == 0);
  std::vector<bool> seen(0x10000, false);
  for (uint32_t i = 0; i + 1 < count; ++i) {
    const uint16_t physical = uint16_t(ReadU32(map.data() + 12 + 4 * size_t(i)) >> 16);
    Check(physical != 0 && !seen[physical]);
    seen[physical] = true;
  }
  WorkingMap again;
  if (count > 1) {
    Check(ApplyScancodeMap(again.rows, KeyTableRows, map.data(), uint32_t(map.size())) == 1);
  }
  for (int i = 0; i < KeyTableRows; ++i) {
    Check(again.rows[i].TargetScancode == imported.rows[i].TargetScancode);
  }
  // Everything kept beyond the table's keys came from the existing value.
  for (uint32_t mapping : ForeignScancodeMappings(imported.rows, KeyTableRows, existing, size)) {
    bool found = false;
    for (uint32_t at = 12; !found && at + 4 <= size; at += 4)
      found = ReadU32(existing + at) == mapping;
    Check(found && FindKeyRow(imported.rows, KeyTableRows, uint16_t(mapping >> 16)) == nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t length) {
  if (length < 2) return 0;
  const int reader = input[0] % 4;
  const uint32_t type = input[1];
  // The data in a buffer of its own exact size (none for an empty value).
  const uint32_t size = uint32_t(length - 2);
  std::vector<uint8_t> copy(input + 2, input + length);
  const uint8_t* data = size != 0 ? copy.data() : nullptr;

  switch (reader) {
    case 0: {
      GString text;
      text.AssignWide(u"kept");
      const int read = DecodeRegistryText(type, data, size, text);
      Check(read == (AcceptRegistryValue(RegistryText, type, size) ? 1 : 0));
      if (read) {
        Check(uint32_t(text.Length()) <= size / 2);
        for (int i = 0; i < text.Length(); ++i) Check(text.WideText(0)[i] != 0);
      } else {
        Check(text.Length() == 4);
      }
      break;
    }
    case 1: {
      uint32_t value = 7;
      const int read = DecodeRegistryNumber(type, data, size, value);
      Check(read == (type == RegistryNumber && size == 4 ? 1 : 0));
      if (!read) Check(value == 7);
      break;
    }
    case 2: {
      if (!AcceptRegistryValue(RegistryBinary, type, size)) break;
      WorkingMap map;
      ApplyKeyPairs(map.rows, KeyTableRows, data, size);
      for (int i = 0; i < KeyTableRows; ++i) {
        Check(map.rows[i].VirtualKey == 0 || map.rows[i].VirtualKey != KeyTable[i].VirtualKey);
        Check(map.rows[i].TargetScancode == 0);
      }
      uint32_t packed = 0;
      PackKeyPairs(map.rows, KeyTableRows, packed);
      Check(packed % 4 == 0 && packed <= 4 * KeyTableEndRow);
      break;
    }
    default: {
      if (!AcceptRegistryValue(RegistryBinary, type, size)) break;
      WorkingMap map;
      ApplyScancodeMap(map.rows, KeyTableRows, data, size);
      for (int i = 0; i < KeyTableRows; ++i) {
        Check(map.rows[i].TargetScancode != KeyTable[i].Scancode || KeyTable[i].Scancode == 0);
      }
      CheckWrittenMap(map, data, size);
      break;
    }
  }
  return 0;
}
