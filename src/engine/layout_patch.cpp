#include "engine/layout_patch.h"

#include <algorithm>

namespace {

constexpr uint16_t LastBaseScancode = 0x7E;
constexpr size_t BaseTableBytes = 2 * (LastBaseScancode + 1);
constexpr size_t ExtendedRecordBytes = 4;

void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// The first occurrence of `pattern` in the image, or `size` when there is none.
size_t Find(const uint8_t* image, size_t size, const std::vector<uint8_t>& pattern) {
  if (pattern.empty() || pattern.size() > size) return size;
  const uint8_t* end = image + size;
  const uint8_t* at = std::search(image, end, pattern.begin(), pattern.end());
  return at == end ? size : size_t(at - image);
}

// Writes the rows of one extended prefix (0xE0 or 0xE1) into the records
// that start at `table`.
PatchResult PatchExtended(uint8_t* image, size_t size, size_t table, const KeyMapEntry* map,
                          int count, uint8_t prefix) {
  for (int i = 0; i < count && map[i].Scancode != 0; ++i) {
    if ((map[i].Scancode >> 8) != prefix || map[i].VirtualKey == 0) continue;
    const uint8_t low = uint8_t(map[i].Scancode);
    for (size_t at = table;; at += ExtendedRecordBytes) {
      if (at + ExtendedRecordBytes > size) return PatchResult::OutOfImage;
      if (image[at] == 0) break;  // the key is not in this build: nothing to change
      if (image[at] == low) {
        WriteU16(image + at + 2, map[i].VirtualKey);
        break;
      }
    }
  }
  return PatchResult::Patched;
}

}  // namespace

bool SelectLayoutSlots(int32_t osVersionCode, uint16_t architecture, LayoutSlots& slots) {
  slots = LayoutSlots();
  // Before XP x64 there is one build whatever the processor.
  if (osVersionCode == 50 || osVersionCode == 51) {
    slots.Slot32 = osVersionCode == 50 ? 0 : 1;
    return true;
  }
  struct Row {
    int32_t version;
    int slot32, ia64, amd64;
  };
  static const Row kRows[] = {{52, 2, 3, 4}, {60, 5, 6, 7}, {61, 8, 9, 10}};
  Row row = {0, 11, -1, 12};  // 62, 63, 100 and every version not listed
  for (const Row& r : kRows) {
    if (r.version == osVersionCode) row = r;
  }
  switch (architecture) {
    case 0:
      slots.Slot32 = row.slot32;
      return true;
    case 6:
    case 9:
      slots.Slot64 = architecture == 6 ? row.ia64 : row.amd64;
      if (slots.Slot64 < 0) return false;
      slots.Slot32 = row.slot32;
      return true;
    default:
      return false;
  }
}

bool DecodeHexText(const char* text, size_t length, std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  bytes.clear();
  if (text == nullptr || length < 2) return false;
  auto digit = [](char c) {
    const char* at = std::find(kDigits, kDigits + 16, c);
    return at == kDigits + 16 ? -1 : int(at - kDigits);
  };
  for (size_t i = 0; i + 1 < length; i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) {
      bytes.clear();
      return false;
    }
    bytes.push_back(uint8_t(high * 16 + low));
  }
  return true;
}

PatchResult PatchLayoutImage(uint8_t* image, size_t size, const KeyMapEntry* map, int count,
                             const LayoutPatterns& patterns) {
  if (map != nullptr && count > 0) {
    const size_t base = Find(image, size, patterns.Base);
    if (base == size) return PatchResult::PatternNotFound;
    if (size - base < BaseTableBytes) return PatchResult::OutOfImage;
    for (int i = 0; i < count; ++i) {
      if (map[i].Scancode <= LastBaseScancode && map[i].VirtualKey != 0) {
        WriteU16(image + base + 2 * map[i].Scancode, map[i].VirtualKey);
      }
    }
    for (const auto& [pattern, prefix] :
         {std::pair(&patterns.E0, uint8_t(0xE0)), std::pair(&patterns.E1, uint8_t(0xE1))}) {
      const size_t table = Find(image, size, *pattern);
      if (table == size) return PatchResult::PatternNotFound;
      const PatchResult result = PatchExtended(image, size, table, map, count, prefix);
      if (result != PatchResult::Patched) return result;
    }
  }
  if (!patterns.Decimal.empty()) {
    const size_t decimal = Find(image, size, patterns.Decimal);
    if (decimal == size) return PatchResult::PatternNotFound;
    if (size - decimal < 3) return PatchResult::OutOfImage;
    image[decimal] = ',';
    image[decimal + 2] = ',';
  }
  return PatchResult::Patched;
}
