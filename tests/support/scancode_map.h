// The machine's scancode map value for a list of (sent, physical) pairs: the
// 8-byte header, the count (the pairs, the terminator and `extraCount`), the
// pairs and the 4-byte terminator.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

inline std::vector<uint8_t> ScancodeMap(std::vector<std::pair<uint16_t, uint16_t>> mappings,
                                        int extraCount = 0) {
  std::vector<uint8_t> v(8, 0);
  const uint32_t count = uint32_t(mappings.size() + 1 + extraCount);
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(count >> (8 * i)));
  for (auto [sent, physical] : mappings) {
    v.insert(v.end(),
             {uint8_t(sent), uint8_t(sent >> 8), uint8_t(physical), uint8_t(physical >> 8)});
  }
  v.insert(v.end(), 4, 0);
  return v;
}
