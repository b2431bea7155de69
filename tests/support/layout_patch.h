// The installer's patching of a layout library, as the tests need it: decode
// a hex pattern, find it, write virtual keys into the scancode array and the
// E0/E1 lists, and turn the keypad decimal key's characters into commas.
// Header-only and free of Windows headers, so native tests and Windows tests
// share it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace layout_test {

struct KeyChange {
  uint16_t Scancode;
  uint16_t VirtualKey;
};

inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> out;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    int h = digit(text[i]), l = digit(text[i + 1]);
    if (h < 0 || l < 0) return {};
    out.push_back(uint8_t(h << 4 | l));
  }
  return out;
}

inline long Find(const std::vector<uint8_t>& image, const std::vector<uint8_t>& pattern) {
  if (pattern.empty() || pattern.size() > image.size()) return -1;
  for (size_t i = 0; i + pattern.size() <= image.size(); ++i)
    if (std::equal(pattern.begin(), pattern.end(), image.begin() + i)) return long(i);
  return -1;
}

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

// Patches the image as the installer does; false when a pattern is missing or
// a patch would leave the image.
inline bool Patch(std::vector<uint8_t>& image, const std::map<int, std::string>& patterns,
                  int variant, const std::vector<KeyChange>& changes, bool comma) {
  auto find = [&](int id) {
    auto it = patterns.find(id);
    return it == patterns.end() ? -1L : Find(image, Hex(it->second));
  };
  auto put16 = [&](size_t at, uint16_t v) {
    if (at + 2 > image.size()) return false;
    image[at] = uint8_t(v);
    image[at + 1] = uint8_t(v >> 8);
    return true;
  };
  if (!changes.empty()) {
    long base = find(147 + variant);
    if (base < 0) return false;
    for (const KeyChange& c : changes)
      if (c.Scancode < 0x7F && c.VirtualKey && !put16(size_t(base) + 2 * c.Scancode, c.VirtualKey))
        return false;
    for (int prefix : {0xE0, 0xE1}) {
      long list = find(prefix == 0xE0 ? 150 : 151);
      if (list < 0) return false;
      for (const KeyChange& c : changes) {
        if ((c.Scancode >> 8) != prefix || !c.VirtualKey) continue;
        for (size_t r = size_t(list); r + 4 <= image.size() && image[r] != 0; r += 4)
          if (image[r] == (c.Scancode & 0xFF)) {
            put16(r + 2, c.VirtualKey);
            break;
          }
      }
    }
  }
  if (comma) {
    long at = find(146);
    if (at < 0 || size_t(at) + 3 > image.size()) return false;
    image[at] = image[at + 2] = ',';
  }
  return true;
}

}  // namespace layout_test
