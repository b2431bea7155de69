#include "layout_patterns.h"

#include <algorithm>

namespace {

constexpr size_t ShortestPattern = 8;
constexpr uint32_t VscPatchedBytes = 2 * 0x7F;  // scancodes 0x00..0x7E

struct Region {
  uint32_t Offset;
  uint32_t Room;  // bytes the patch step may touch from Offset
};

int StepOf(int id) {
  if (id >= PatternVscVariant0 && id < PatternE0) return 0;
  if (id == PatternE0) return 1;
  if (id == PatternE1) return 2;
  return 3;
}

Region RegionOf(const CLayoutBuild& b, int id) {
  const CLayoutImage& im = b.Image;
  switch (StepOf(id)) {
    case 0:
      return {im.VscToVkOffset, uint32_t(2 * im.VscToVkCount)};
    case 1:
      return {im.E0Offset, uint32_t(4 * im.E0Count + 4)};
    case 2:
      return {im.E1Offset, uint32_t(4 * im.E1Count + 4)};
    default:
      return {im.DecimalOffset, 4};
  }
}

bool Serves(const CLayoutBuild& b, int id) {
  return StepOf(id) != 0 || b.Variant == id - PatternVscVariant0;
}

std::string Name(const CLayoutBuild& b) {
  return b.File + " (group " + std::to_string(b.Group) + ", variant " + std::to_string(b.Variant) +
         ", slot " + std::to_string(b.Slot) + ")";
}

// What is wrong with the pattern in one build it serves, or "".
std::string CheckOne(const CLayoutBuild& b, int id, const std::vector<uint8_t>& pattern) {
  Region r = RegionOf(b, id);
  std::string where = "string " + std::to_string(id) + " in " + Name(b) + ": ";
  if (uint64_t(r.Offset) + std::max<size_t>(r.Room, pattern.size()) > b.Bytes.size())
    return where + "the region does not fit in the image";
  if (StepOf(id) == 0 && r.Room < VscPatchedBytes)
    return where + "the scancode array has room for fewer than 127 entries";
  long at = FindBytes(b.Bytes, pattern);
  if (at < 0) return where + "pattern not found";
  if (uint32_t(at) != r.Offset)
    return where + "first match at " + std::to_string(at) + ", region starts at " +
           std::to_string(r.Offset);
  // Bytes patched by earlier steps must lie after the pattern.
  for (int earlier = 0; earlier < StepOf(id); ++earlier) {
    int earlierId = earlier == 0   ? PatternVscVariant0 + b.Variant
                    : earlier == 1 ? PatternE0
                                   : PatternE1;
    Region e = RegionOf(b, earlierId);
    if (e.Offset < r.Offset + pattern.size())
      return where + "bytes patched before this search (string " + std::to_string(earlierId) +
             ") lie before the end of the pattern";
  }
  return "";
}

}  // namespace

std::vector<uint8_t> DecodeHex(const std::string& hex) {
  std::vector<uint8_t> out;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int h = digit(hex[i]), l = digit(hex[i + 1]);
    if (h < 0 || l < 0) return {};
    out.push_back(uint8_t(h << 4 | l));
  }
  return out;
}

std::string EncodeHex(const uint8_t* bytes, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s.push_back(digits[bytes[i] >> 4]);
    s.push_back(digits[bytes[i] & 15]);
  }
  return s;
}

long FindBytes(const std::vector<uint8_t>& image, const std::vector<uint8_t>& pattern) {
  if (pattern.empty() || pattern.size() > image.size()) return -1;
  auto it = std::search(image.begin(), image.end(), pattern.begin(), pattern.end());
  return it == image.end() ? -1 : long(it - image.begin());
}

std::string CheckPattern(const std::vector<CLayoutBuild>& builds, int id, const std::string& hex) {
  std::vector<uint8_t> pattern = DecodeHex(hex);
  if (pattern.empty()) return "string " + std::to_string(id) + ": not an upper-case hex pattern";
  bool any = false;
  for (const CLayoutBuild& b : builds) {
    if (!Serves(b, id)) continue;
    any = true;
    std::string e = CheckOne(b, id, pattern);
    if (!e.empty()) return e;
  }
  return any ? "" : "string " + std::to_string(id) + ": no build to check it against";
}

int ChoosePatterns(const std::vector<CLayoutBuild>& builds, int variants,
                   std::map<int, std::string>& patterns, std::string& error) {
  patterns.clear();
  std::vector<int> ids = {PatternDecimal};
  for (int v = 0; v < variants; ++v) ids.push_back(PatternVscVariant0 + v);
  ids.push_back(PatternE0);
  ids.push_back(PatternE1);
  for (int id : ids) {
    const CLayoutBuild* first = nullptr;
    for (const CLayoutBuild& b : builds)
      if (Serves(b, id) && !first) first = &b;
    if (!first) {
      error = "string " + std::to_string(id) + ": no build of its variant";
      return 0;
    }
    Region r = RegionOf(*first, id);
    // The longest run of bytes from the region start that every build shares.
    size_t common = first->Bytes.size() - std::min<size_t>(r.Offset, first->Bytes.size());
    for (const CLayoutBuild& b : builds) {
      if (!Serves(b, id)) continue;
      Region br = RegionOf(b, id);
      size_t n = 0;
      while (n < common && br.Offset + n < b.Bytes.size() &&
             b.Bytes[br.Offset + n] == first->Bytes[r.Offset + n])
        ++n;
      common = n;
    }
    std::string lastError = "string " + std::to_string(id) + ": the builds share fewer than " +
                            std::to_string(ShortestPattern) + " bytes at the region";
    bool chosen = false;
    for (size_t len = ShortestPattern; len <= common && !chosen; len += 2) {
      std::vector<uint8_t> p(first->Bytes.begin() + r.Offset,
                             first->Bytes.begin() + r.Offset + len);
      std::string e;
      for (const CLayoutBuild& b : builds) {
        if (Serves(b, id)) {
          e = CheckOne(b, id, p);
        } else if (FindBytes(b.Bytes, p) >= 0) {
          // A variant's array pattern must not fit another variant's builds.
          e = "string " + std::to_string(id) + " also occurs in " + Name(b);
        }
        if (!e.empty()) break;
      }
      if (e.empty()) {
        patterns[id] = EncodeHex(p.data(), p.size());
        chosen = true;
      } else {
        lastError = e;
      }
    }
    if (!chosen) {
      error = lastError;
      return 0;
    }
  }
  return 1;
}
