// GString's searches, comparisons, upper-casing, path joining and debug output.
// Text of the other width is converted in the companion first, so a search
// or comparison never allocates once the companion has grown.
#include <climits>
#include <string>

#include "text/gstring.h"
#include "text/memory_search.h"
#include "text/upper_case_table.h"

#ifdef _WIN32
extern "C" __declspec(dllimport) void __stdcall OutputDebugStringW(const wchar_t* text);
#endif

namespace {

#ifdef _WIN32
void DefaultSink(const char16_t* line) { OutputDebugStringW(WinText(line)); }
#else
void DefaultSink(const char16_t*) {}
#endif

DebugSink currentSink = DefaultSink;

}  // namespace

DebugSink SetDebugSink(DebugSink sink) {
  const DebugSink previous = currentSink;
  currentSink = sink ? sink : DefaultSink;
  return previous;
}

// ---------------------------------------------------------------------------
// Searching

int GString::Find(const char16_t* text, int first, int n) {
  if (!text || length == 0 || first < 0 || first >= length) {
    return -1;
  }
  if (isWide) {
    return WideFind(WideText(0), text, length, n, first);
  }
  if (!CompanionAsNarrow(text, n, -1)) {
    return -1;
  }
  return ByteFind(NarrowText(0), companion->NarrowText(0), length, companion->length, first);
}

int GString::Find(const char* text, int first, int n) {
  if (!text || length == 0 || first < 0 || first >= length) {
    return -1;
  }
  if (!isWide) {
    return ByteFind(NarrowText(0), text, length, n < 0 ? StrLen(text) : n, first);
  }
  if (!CompanionAsWide(text, n, -1)) {
    return -1;
  }
  return WideFind(WideText(0), companion->WideText(0), length, companion->length, first);
}

int GString::Find(const GString& other, int first) {
  if (&other == this) {
    return length > 0 && first == 0 ? 0 : -1;
  }
  return other.isWide ? Find(other.WideText(0), first, other.length)
                      : Find(other.NarrowText(0), first, other.length);
}

int GString::FindLast(char16_t c, int lowest) {
  if (isWide) {
    return FindLastUnit(WideText(0), c, length, lowest);
  }
  if (c < 0x80) {
    return FindLastByte(NarrowText(0), static_cast<unsigned char>(c), length, lowest);
  }
  if (!CompanionAsNarrow(&c, 1, -1)) {
    return -1;
  }
  return ByteFindLast(NarrowText(0), companion->NarrowText(0), length, companion->length, lowest);
}

// ---------------------------------------------------------------------------
// Comparing

int GString::Compare(const char16_t* text, int n) {
  if (!text) {
    n = 0;
  } else if (n < 0) {
    n = WStrLen(text);
  }
  if (length == 0) {
    return n == 0 ? 0 : -1;
  }
  if (n == 0) {
    return 1;
  }
  if (isWide) {
    return UnitCompare(WideText(0), text, length, n);
  }
  if (!CompanionAsNarrow(text, n, -1)) {
    return 0;
  }
  return ByteCompare(NarrowText(0), companion->NarrowText(0), length, companion->length);
}

int GString::Compare(const char* text, int n) {
  if (!text) {
    n = 0;
  } else if (n < 0) {
    n = StrLen(text);
  }
  if (length == 0) {
    return n == 0 ? 0 : -1;
  }
  if (n == 0) {
    return 1;
  }
  if (!isWide) {
    return ByteCompare(NarrowText(0), text, length, n);
  }
  if (!CompanionAsWide(text, n, -1)) {
    return 0;
  }
  return UnitCompare(WideText(0), companion->WideText(0), length, companion->length);
}

int StringsEqual(GString& a, const GString& b) {
  const int result =
      b.IsWide() ? a.Compare(b.WideText(0), b.Length()) : a.Compare(b.NarrowText(0), b.Length());
  return result == 0 ? 1 : 0;
}

int StringsDiffer(GString& a, const GString& b) { return StringsEqual(a, b) ? 0 : 1; }

// ---------------------------------------------------------------------------
// Upper case

char16_t GString::UpperCaseOf(char16_t u) {
  if (u < 0x61) {
    return u;
  }
  if (u <= 0x7A) {
    return char16_t(u - 0x20);
  }
  if (u <= 0xDF) {
    return u;
  }
  if (u >= 0xE0 && u <= 0xF6) {
    return char16_t(u - 0x20);
  }
  if ((u >= 0x430 && u <= 0x44F) || (u >= 0xFF41 && u <= 0xFF5A)) {
    return char16_t(u - 0x20);
  }
  static const char16_t kOddRanges[][2] = {{0x0101, 0x012F}, {0x014B, 0x0177}, {0x01F9, 0x021F},
                                           {0x048B, 0x04BF}, {0x04D1, 0x0525}, {0x1E01, 0x1E95},
                                           {0x1EA1, 0x1EFF}, {0x2C81, 0x2CE3}, {0xA733, 0xA76F}};
  if (u & 1) {
    for (const auto& range : kOddRanges) {
      if (u >= range[0] && u <= range[1]) {
        return char16_t(u - 1);
      }
    }
  }
  if ((u >= 0x561 && u <= 0x586) || (u >= 0x2C30 && u <= 0x2C5E)) {
    return char16_t(u - 0x30);
  }
  if (u >= 0x24D0 && u <= 0x24E9) {
    return char16_t(u - 0x1A);
  }
  if (u >= 0x2D00 && u <= 0x2D25) {
    return char16_t(u - 0x1C60);
  }
  if ((u >= 0x4D0 && u <= 0x1D78) || (u >= 0x2185 && u <= 0x2C60) || (u >= 0x2CEF && u <= 0xA640) ||
      u > 0xA78C) {
    return u;
  }
  int low = 0;
  int high = kUpperCasePairCount - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    if (kUpperCasePairs[middle][0] == u) {
      return kUpperCasePairs[middle][1];
    }
    if (kUpperCasePairs[middle][0] < u) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return u;
}

int GString::ToUpper() {
  if (isWide) {
    char16_t* text = static_cast<char16_t*>(Text());
    for (int i = 0; i < length; ++i) {
      text[i] = UpperCaseOf(text[i]);
    }
    return 1;
  }
  if (length == 0) {
    return 1;
  }
  if (!CompanionWideCopy(this)) {
    return 0;
  }
  companion->ToUpper();
  return AssignAsNarrow(companion);
}

// ---------------------------------------------------------------------------
// Paths

int GString::EnsureSuffix(const char16_t* text, int n) {
  if (!text || text[0] == 0) {
    return 0;
  }
  if (!isWide) {
    if (!CompanionAsNarrow(text, n, -1)) {
      return 0;
    }
    const std::string converted(companion->NarrowText(0), size_t(companion->length));
    return EnsureSuffix(converted.c_str(), int(converted.size()));
  }
  if (n < 0) {
    n = WStrLen(text);
  }
  if (n == 0) {
    return 0;
  }
  if (length >= n && UnitCompare(WideText(length - n), text, n, n) == 0) {
    return 1;
  }
  return AppendWide(text, n);
}

int GString::EnsureSuffix(const char* text, int n) {
  if (!text || text[0] == 0) {
    return 0;
  }
  if (isWide) {
    if (!CompanionAsWide(text, n, -1)) {
      return 0;
    }
    const std::u16string converted(companion->WideText(0), size_t(companion->length));
    return EnsureSuffix(converted.c_str(), int(converted.size()));
  }
  if (n < 0) {
    n = StrLen(text);
  }
  if (n == 0) {
    return 0;
  }
  if (length >= n && ByteCompare(NarrowText(length - n), text, n, n) == 0) {
    return 1;
  }
  return AppendNarrow(text, n, -1);
}

int GString::AppendPath(const char16_t* component, int n) {
  if (!isWide) {
    if (component && n != 0 && component[0] != 0) {
      if (!CompanionAsNarrow(component, n, -1)) {
        return 0;
      }
      const std::string converted(companion->NarrowText(0), size_t(companion->length));
      return AppendPath(converted.c_str(), int(converted.size()));
    }
    EnsureSuffix("\\", 1);
    return 1;
  }
  if (component && n < 0) {
    n = WStrLen(component);
  }
  if (!component || n == 0) {
    EnsureSuffix(u"\\", 1);
    return 1;
  }
  // The component may be this string's own text, which appending would move.
  const std::u16string copy(component, size_t(n));
  size_t skip = (copy[0] == u'\\' || copy[0] == u'/') ? 1 : 0;
  EnsureSuffix(u"\\", 1);
  AppendWide(copy.data() + skip, int(copy.size() - skip));
  return 1;
}

int GString::AppendPath(const char* component, int n) {
  if (isWide) {
    if (component && n != 0 && component[0] != 0) {
      if (!CompanionAsWide(component, n, -1)) {
        return 0;
      }
      const std::u16string converted(companion->WideText(0), size_t(companion->length));
      return AppendPath(converted.c_str(), int(converted.size()));
    }
    EnsureSuffix(u"\\", 1);
    return 1;
  }
  if (component && n < 0) {
    n = StrLen(component);
  }
  if (!component || n == 0) {
    EnsureSuffix("\\", 1);
    return 1;
  }
  const std::string copy(component, size_t(n));
  size_t skip = (copy[0] == '\\' || copy[0] == '/') ? 1 : 0;
  EnsureSuffix("\\", 1);
  AppendNarrow(copy.data() + skip, int(copy.size() - skip), -1);
  return 1;
}

GString& GString::AppendPath(const GString& component) {
  if (component.isWide) {
    AppendPath(component.WideText(0), component.length);
  } else {
    AppendPath(component.NarrowText(0), component.length);
  }
  return *this;
}

// ---------------------------------------------------------------------------
// Debug output

void GString::DebugPrint(int limit) {
  if (length == 0) {
    return;
  }
  // Characters: units of wide text, UTF-8 sequences of narrow text.
  auto startsCharacter = [](unsigned char b) { return (b & 0xC0) != 0x80; };
  const unsigned char* bytes = isWide ? nullptr : static_cast<const unsigned char*>(Text());
  int n = length;
  if (!isWide) {
    n = 0;
    for (int i = 0; i < length; ++i) {
      n += startsCharacter(bytes[i]) ? 1 : 0;
    }
  }
  if (limit >= 0 && n > limit) {
    n = limit;
  }
  const int width = debugLineWidth > 0 ? debugLineWidth : 0;
  const int lines = width > 0 ? n / width : 0;
  const int rest = width > 0 ? n % width : n;
  PrepareCompanion();
  GString& line = *companion;
  int at = 0;  // units of this string already sent
  // The units of the next `characters` characters from `at`.
  auto unitsFor = [&](int characters) {
    if (isWide) {
      return characters;
    }
    int end = at;
    for (int c = 0; c < characters && end < length; ++c) {
      ++end;
      while (end < length && !startsCharacter(bytes[end])) {
        ++end;
      }
    }
    return end - at;
  };
  auto appendUnits = [&](int units) {
    if (isWide) {
      line.AppendWide(WideText(at), units);
    } else {
      line.AppendNarrowText(NarrowText(at), units, -1);
    }
    at += units;
  };
  for (int i = 0; i < lines; ++i) {
    line.AssignWide(u"", 0);
    appendUnits(unitsFor(width));
    const bool more = i + 1 < lines || rest != 0;
    line.AppendWide(more ? u" \\\n" : u"\n", -1);
    currentSink(line.WideText(0));
  }
  if (rest != 0) {
    line.AssignWide(u"", 0);
    appendUnits(length - at);
    line.AppendWide(u"\n", -1);
    currentSink(line.WideText(0));
  }
}
