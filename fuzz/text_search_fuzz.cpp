// Fuzzes the searches, comparisons, upper-casing and path joining of GString
// and the plain memory functions they rest on. Buffers have exactly the
// length passed, so the sanitizers catch any read past it; results of
// same-width searches and comparisons are checked against plain loops.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/gstring.h"
#include "text/memory_search.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

int NaiveFind(const std::vector<uint8_t>& data, const std::vector<uint8_t>& pattern, int first) {
  if (pattern.empty() || first < 0) return -1;
  for (size_t at = size_t(first); at + pattern.size() <= data.size(); ++at) {
    if (std::equal(pattern.begin(), pattern.end(), data.begin() + long(at))) return int(at);
  }
  return -1;
}

int NaiveCompare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

void Fill(GString& s, bool wide, const std::string& bytes) {
  if (wide) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      units += char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    }
    s.AssignWide(units.c_str(), int(units.size()));
  } else {
    s.AssignNarrow(bytes.data(), int(bytes.size()), 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  FuzzedDataProvider data(input, size);
  const int first = data.ConsumeIntegralInRange<int>(-2, 64);
  const std::string a = data.ConsumeRandomLengthString(256);
  const std::string b = data.ConsumeRandomLengthString(64);

  // Plain memory: exactly sized copies.
  const std::vector<uint8_t> va(a.begin(), a.end());
  const std::vector<uint8_t> vb(b.begin(), b.end());
  const int found = ByteFind(va.data(), vb.data(), int(va.size()), int(vb.size()), first);
  Check(found == NaiveFind(va, vb, first));
  const int last = ByteFindLast(va.data(), vb.data(), int(va.size()), int(vb.size()), first);
  Check(last == -1 || (last >= first && NaiveFind(va, vb, last) == last));
  Check(ByteCompare(va.data(), vb.data(), int(va.size()), int(vb.size())) == NaiveCompare(va, vb));
  if (!vb.empty()) {
    const int byte = FindLastByte(va.data(), vb[0], int(va.size()), first);
    Check(byte == -1 || (byte >= first && va[size_t(byte)] == vb[0]));
  }

  // GString operations on strings of either width.
  const bool wideA = data.ConsumeBool();
  const bool wideB = data.ConsumeBool();
  GString sa;
  GString sb;
  Fill(sa, wideA, a);
  Fill(sb, wideB, b);
  const int position = sa.Find(sb, first);
  Check(position == -1 || (position >= first && position < sa.Length()));
  if (wideA == wideB && !wideA) {
    Check(position == (first < sa.Length() ? NaiveFind(va, vb, first) : -1));
  }
  const int order = StringsEqual(sa, sb) ? 0 : 1;
  Check(order == 0 ? StringsDiffer(sa, sb) == 0 : StringsDiffer(sa, sb) == 1);
  const char16_t c = data.ConsumeIntegral<char16_t>();
  const int at = sa.FindLast(c, first);
  Check(at == -1 || (at >= first && at < sa.Length()));

  GString path;
  path.Assign(sa);
  if (data.ConsumeBool()) {
    path.AppendPath(sb);
  } else if (wideB) {
    path.EnsureSuffix(sb.WideText(0), sb.Length());
  } else {
    path.EnsureSuffix(sb.NarrowText(0), sb.Length());
  }
  Check(path.Length() >= sa.Length());

  GString upper;
  upper.Assign(sa);
  if (upper.ToUpper() && wideA) {
    Check(upper.Length() == sa.Length());
    for (int i = 0; i < sa.Length(); ++i) {
      Check(upper.WideText(0)[i] == GString::UpperCaseOf(sa.WideText(0)[i]));
    }
  }
  return 0;
}
