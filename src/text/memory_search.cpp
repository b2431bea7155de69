#include "text/memory_search.h"

#include <climits>
#include <cstdint>
#include <cstring>

int StrLen(const char* text) {
  if (!text) {
    return 0;
  }
  const size_t n = std::strlen(text);
  return n > size_t(INT_MAX) ? INT_MAX : int(n);
}

int WStrLen(const char16_t* text) {
  int n = 0;
  while (text && n < INT_MAX && text[n] != 0) {
    ++n;
  }
  return n;
}

void FillWide(char16_t* destination, char16_t unit, int count) {
  for (int i = 0; destination && i < count; ++i) {
    destination[i] = unit;
  }
}

namespace {

template <typename Unit>
int FindFirst(const Unit* data, const Unit* pattern, int dataLength, int patternLength, int first) {
  if (!data || !pattern || dataLength <= 0 || patternLength <= 0 || first < 0 ||
      int64_t(first) + patternLength > dataLength) {
    return -1;
  }
  for (int at = first; at <= dataLength - patternLength; ++at) {
    if (std::memcmp(data + at, pattern, size_t(patternLength) * sizeof(Unit)) == 0) {
      return at;
    }
  }
  return -1;
}

template <typename Unit>
int FindLastValue(const Unit* data, Unit value, int length, int lowest) {
  if (!data || length <= 0 || lowest < 0 || lowest >= length) {
    return -1;
  }
  for (int at = length - 1; at >= lowest; --at) {
    if (data[at] == value) {
      return at;
    }
  }
  return -1;
}

template <typename Unit>
int CompareUnits(const Unit* a, const Unit* b, int lengthA, int lengthB) {
  const bool emptyA = !a || lengthA <= 0;
  const bool emptyB = !b || lengthB <= 0;
  if (emptyA || emptyB) {
    return emptyA && emptyB ? 0 : emptyA ? -1 : 1;
  }
  if (lengthA != lengthB) {
    return lengthA < lengthB ? -1 : 1;
  }
  for (int i = 0; i < lengthA; ++i) {
    if (a[i] != b[i]) {
      return a[i] < b[i] ? -1 : 1;
    }
  }
  return 0;
}

}  // namespace

int ByteFind(const void* data, const void* pattern, int dataLength, int patternLength, int first) {
  return FindFirst(static_cast<const unsigned char*>(data),
                   static_cast<const unsigned char*>(pattern), dataLength, patternLength, first);
}

int ByteFind(const char* data, const char* pattern, int first) {
  return ByteFind(data, pattern, StrLen(data), StrLen(pattern), first);
}

int ByteFindLast(const void* data, const void* pattern, int dataLength, int patternLength,
                 int lowest) {
  const auto* d = static_cast<const unsigned char*>(data);
  const auto* p = static_cast<const unsigned char*>(pattern);
  if (!d || !p || dataLength <= 0 || patternLength <= 0 || lowest < 0 ||
      int64_t(lowest) + patternLength > dataLength) {
    return -1;
  }
  for (int at = dataLength - patternLength; at >= lowest; --at) {
    if (std::memcmp(d + at, p, size_t(patternLength)) == 0) {
      return at;
    }
  }
  return -1;
}

int ByteFindLast(const char* data, const char* pattern, int lowest) {
  return ByteFindLast(data, pattern, StrLen(data), StrLen(pattern), lowest);
}

int FindLastByte(const void* data, unsigned char byte, int dataLength, int lowest) {
  return FindLastValue(static_cast<const unsigned char*>(data), byte, dataLength, lowest);
}

int FindLastByte(const char* data, unsigned char byte, int lowest) {
  return FindLastByte(static_cast<const void*>(data), byte, StrLen(data), lowest);
}

int FindLastUnit(const char16_t* text, char16_t unit, int length, int lowest) {
  return FindLastValue(text, unit, length, lowest);
}

int WideFind(const char16_t* text, const char16_t* pattern, int textLength, int patternLength,
             int first) {
  if (textLength < 0) {
    textLength = WStrLen(text);
  }
  if (patternLength < 0) {
    patternLength = WStrLen(pattern);
  }
  return FindFirst(text, pattern, textLength, patternLength, first);
}

int ByteCompare(const void* a, const void* b, int lengthA, int lengthB) {
  return CompareUnits(static_cast<const unsigned char*>(a), static_cast<const unsigned char*>(b),
                      lengthA, lengthB);
}

int ByteCompare(const char* a, const char* b) { return ByteCompare(a, b, StrLen(a), StrLen(b)); }

int UnitCompare(const char16_t* a, const char16_t* b, int lengthA, int lengthB) {
  return CompareUnits(a, b, lengthA, lengthB);
}
