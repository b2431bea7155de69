// The layout tests' access to the package's builds and patterns, and the
// installer's patching of a build applied to a copy. Header-only and free of
// Windows headers, so native tests and Windows tests share it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/layout_patch.h"

namespace layout_test {

struct KeyChange {
  uint16_t Scancode;
  uint16_t VirtualKey;
};

// Reads "id<TAB>hex" lines.
inline std::map<int, std::string> ReadPatterns(const std::string& path) {
  std::map<int, std::string> patterns;
  std::ifstream f(path);
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream s(line);
    int id;
    std::string hex;
    if (s >> id >> hex) patterns[id] = hex;
  }
  return patterns;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
}

// Patches the image through the installer's own patcher, with the patterns
// decoded as the installer decodes them; false when a pattern is missing or
// malformed, is not found, or a patch would leave the image.
inline bool Patch(std::vector<uint8_t>& image, const std::map<int, std::string>& patterns,
                  int variant, const std::vector<KeyChange>& changes, bool comma) {
  auto decode = [&](int id, std::vector<uint8_t>& bytes) {
    auto it = patterns.find(id);
    return it != patterns.end() && DecodeHexText(it->second.data(), it->second.size(), bytes);
  };
  LayoutPatterns decoded;
  std::vector<KeyMapEntry> map;
  for (const KeyChange& c : changes) {
    KeyMapEntry row{};
    row.Scancode = c.Scancode;
    row.VirtualKey = c.VirtualKey;
    map.push_back(row);
  }
  if (!map.empty() && (!decode(147 + variant, decoded.Base) || !decode(150, decoded.E0) ||
                       !decode(151, decoded.E1))) {
    return false;
  }
  if (comma && !decode(146, decoded.Decimal)) return false;
  return PatchLayoutImage(image.data(), image.size(), map.empty() ? nullptr : map.data(),
                          int(map.size()), decoded) == PatchResult::Patched;
}

}  // namespace layout_test
