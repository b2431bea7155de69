#include "text/gstring.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

static_assert(sizeof(int) == 4, "lengths are 32-bit");
static_assert(sizeof(char16_t) == 2, "wide text is UTF-16");

namespace {

const char kEmptyNarrow[1] = {0};
const char16_t kEmptyWide[1] = {0};

constexpr int kHeaderSize = 4;
constexpr uint32_t kNarrowFlag = 0x80000000u;
constexpr uint32_t kLengthMask = 0x1FFFFFFFu;

// Units before the first NUL. Texts longer than any block can hold are clamped
// to INT_MAX, which then fails the room check instead of wrapping.
int NarrowLength(const char* p) {
  const size_t n = std::strlen(p);
  return n > size_t(INT_MAX) ? INT_MAX : int(n);
}

int WideLength(const char16_t* p) {
  int n = 0;
  while (n < INT_MAX && p[n] != 0) {
    ++n;
  }
  return n;
}

int Utf8Size(char16_t u) { return u <= 0x7F ? 1 : u <= 0x7FF ? 2 : 3; }

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes n bytes of UTF-8 into out (when out is not null) and returns the
// number of units, or -1 when the bytes are malformed. Only one- to three-byte
// sequences fit a single unit; four-byte sequences are refused. Overlong forms
// and surrogate values are taken as they decode, so text produced by
// EncodeUtf8 (which writes surrogates one by one) always converts back.
int DecodeUtf8(const char* text, int n, char16_t* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  int units = 0;
  int i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    char16_t u;
    if (b < 0x80) {
      u = b;
      i += 1;
    } else if ((b & 0xE0) == 0xC0) {
      if (n - i < 2 || !IsContinuation(p[i + 1])) {
        return -1;
      }
      u = char16_t(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
      i += 2;
    } else if ((b & 0xF0) == 0xE0) {
      if (n - i < 3 || !IsContinuation(p[i + 1]) || !IsContinuation(p[i + 2])) {
        return -1;
      }
      u = char16_t(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
      i += 3;
    } else {
      return -1;
    }
    if (out) {
      out[units] = u;
    }
    ++units;
  }
  return units;
}

// Encodes each unit on its own: a surrogate pair becomes two three-byte
// sequences, which DecodeUtf8 turns back into the same two units.
void EncodeUtf8(const char16_t* p, int n, char* out) {
  for (int i = 0; i < n; ++i) {
    const char16_t u = p[i];
    if (u <= 0x7F) {
      *out++ = char(u);
    } else if (u <= 0x7FF) {
      *out++ = char(0xC0 | (u >> 6));
      *out++ = char(0x80 | (u & 0x3F));
    } else {
      *out++ = char(0xE0 | (u >> 12));
      *out++ = char(0x80 | ((u >> 6) & 0x3F));
      *out++ = char(0x80 | (u & 0x3F));
    }
  }
}

bool IsEmptyText(const char* p, int n) { return !p || n == 0 || (n < 0 && p[0] == 0); }

bool IsEmptyText(const char16_t* p, int n) { return !p || n == 0 || (n < 0 && p[0] == 0); }

}  // namespace

// ---------------------------------------------------------------------------
// Lifetime

GString::GString() = default;

GString::GString(char16_t c, int count) {
  isWide = 1;
  AppendRepeated(c, count);
}

GString::~GString() {
  delete[] block;
  delete companion;
  block = nullptr;
  length = 0;
  start = 0;
  capacity = 0;
  growStep = 64;
  codePage = 0;
  isWide = 0;
  formatOptions = 0;
  debugLineWidth = 80;
  companion = nullptr;
}

// ---------------------------------------------------------------------------
// Storage

int GString::Room() const {
  if (!block) {
    return 0;
  }
  const int room = (capacity - kHeaderSize) / UnitSize() - start - 1;
  return room > 0 ? room : 0;
}

int GString::FreeRoom() const {
  const int free = Room() - length;
  return free > 0 ? free : 0;
}

unsigned char* GString::TextBytes() const {
  return block ? block + kHeaderSize + size_t(start) * size_t(UnitSize()) : nullptr;
}

bool GString::InBlock(const void* p) const {
  if (!block || !p) {
    return false;
  }
  // Compare as integers: relational operators on unrelated pointers are unspecified.
  const uintptr_t first = reinterpret_cast<uintptr_t>(block);
  const uintptr_t q = reinterpret_cast<uintptr_t>(p);
  return q >= first && q - first < uintptr_t(capacity);
}

int GString::Reserve(int n) {
  if (n < 0) {
    return 1;
  }
  if (n <= length) {
    return Compact();
  }
  const int unit = UnitSize();
  auto blockBytes = [&](int64_t units) {
    const int64_t bytes = (units + 1) * unit + kHeaderSize;
    return (bytes + growStep - 1) / growStep * growStep;
  };
  // Grow by at least half the current length so a run of appends costs
  // amortised constant time; drop the margin only when it alone would push
  // the block past what a 32-bit size can describe.
  int64_t target = std::max<int64_t>(n, int64_t(length) + length / 2);
  if (blockBytes(target) > INT_MAX) {
    target = n;
  }
  const int64_t bytes = (target + 1) * unit + kHeaderSize;
  if (bytes <= capacity) {
    // The block is big enough, but dropped front units may eat the room.
    if (Room() < target) {
      Compact();
    }
    return 1;
  }
  const int64_t size = blockBytes(target);
  if (size > INT_MAX) {
    return 0;
  }
  Reallocate(int(size));
  return 1;
}

void GString::Reallocate(int size) {
  // Zero-filled, so SetLength(-1) after a caller's partial write never reads
  // indeterminate bytes.
  unsigned char* fresh = new unsigned char[size]();
  const int fits = isWide ? (size - kHeaderSize) / 2 - 1 : size - kHeaderSize - 1;
  const int keep = std::min(length, fits);
  if (keep > 0) {
    std::memcpy(fresh + kHeaderSize, TextBytes(), size_t(keep) * size_t(UnitSize()));
  }
  delete[] block;
  block = fresh;
  capacity = size;
  start = 0;
  length = keep;
  Terminate();
  WriteHeader();
}

void GString::WriteHeader() {
  if (length > int32_t(kLengthMask)) {
    return;
  }
  const uint32_t bytes = uint32_t(length) * uint32_t(UnitSize());
  // Wide text over 0x0FFFFFFF units has a byte size the 29-bit field cannot
  // hold; a truncated size would describe a different record.
  if (bytes > kLengthMask) {
    return;
  }
  const uint32_t header = bytes | (isWide ? 0 : kNarrowFlag);
  block[0] = uint8_t(header);
  block[1] = uint8_t(header >> 8);
  block[2] = uint8_t(header >> 16);
  block[3] = uint8_t(header >> 24);
}

int GString::Compact() {
  if (!block) {
    return 0;
  }
  if (start != 0) {
    const unsigned char* from = TextBytes();
    std::memmove(block + kHeaderSize, from, size_t(length) * size_t(UnitSize()));
    start = 0;
    Terminate();
  }
  return 1;
}

int GString::EnsureRoom(int n) {
  if (n <= 0 || FreeRoom() >= n) {
    return 1;
  }
  const int64_t total = int64_t(length) + n;
  if (total > INT_MAX) {
    return 0;
  }
  return Reserve(int(total));
}

void* GString::Text() { return TextBytes(); }

const void* GString::Text() const { return TextBytes(); }

const char* GString::NarrowText(int index) const {
  if (isWide || length == 0 || index < 0 || !block) {
    return kEmptyNarrow;
  }
  return reinterpret_cast<const char*>(TextBytes()) + std::min(index, length);
}

const char16_t* GString::WideText(int index) const {
  if (!isWide || length == 0 || index < 0 || !block) {
    return kEmptyWide;
  }
  return reinterpret_cast<const char16_t*>(TextBytes()) + std::min(index, length);
}

void* GString::Terminate() {
  unsigned char* text = TextBytes();
  if (!text) {
    return nullptr;
  }
  if (isWide) {
    reinterpret_cast<char16_t*>(text)[length] = 0;
  } else {
    text[length] = 0;
  }
  return text;
}

void GString::Clear() {
  length = 0;
  start = 0;
  Terminate();
}

void GString::SetWidthAndClear(bool wide) {
  isWide = wide ? 1 : 0;
  Clear();
}

int GString::SetLength(int n) {
  if (!block) {
    return 0;
  }
  const int room = Room();
  if (n < 0) {
    // The slot at `room` is the terminator's; a caller that filled the room
    // exactly leaves its NUL there.
    int found = 0;
    if (isWide) {
      const char16_t* text = reinterpret_cast<const char16_t*>(TextBytes());
      while (found <= room && text[found] != 0) {
        ++found;
      }
    } else {
      const unsigned char* text = TextBytes();
      while (found <= room && text[found] != 0) {
        ++found;
      }
    }
    length = found <= room ? found : 0;
  } else {
    length = std::min(n, room);
  }
  if (length == 0) {
    start = 0;
  }
  Terminate();
  return 1;
}

int GString::DropFront(int n) {
  if (n <= 0) {
    return 0;
  }
  if (n >= length) {
    length = 0;
    start = 0;
  } else {
    start += n;
    length -= n;
  }
  Terminate();
  return 1;
}

char16_t* GString::WideAppendBuffer(int n) {
  if (!ToWide(-1) || !EnsureRoom(n) || !block) {
    return nullptr;
  }
  return reinterpret_cast<char16_t*>(TextBytes()) + length;
}

char* GString::NarrowAppendBuffer(int n) {
  if (!ToNarrow(-1) || !EnsureRoom(n) || !block) {
    return nullptr;
  }
  return reinterpret_cast<char*>(TextBytes()) + length;
}

// ---------------------------------------------------------------------------
// Same-width appends

// Copies n units of the current width. A source inside our own block (the
// string appended to itself) is copied out first: growing frees the old block
// and compacting moves the text under it.
int GString::AppendUnits(const void* src, int n) {
  if (n <= 0) {
    Terminate();
    return 1;
  }
  if (InBlock(src)) {
    const auto* bytes = static_cast<const unsigned char*>(src);
    const std::vector<unsigned char> copy(bytes, bytes + size_t(n) * size_t(UnitSize()));
    return AppendUnits(copy.data(), n);
  }
  if (!EnsureRoom(n)) {
    return 0;
  }
  const size_t unit = size_t(UnitSize());
  std::memcpy(TextBytes() + size_t(length) * unit, src, size_t(n) * unit);
  length += n;
  Terminate();
  return 1;
}

int GString::AppendWide(const char16_t* p, int n) {
  if (IsEmptyText(p, n)) {
    Terminate();
    return 1;
  }
  if (!isWide) {
    return 0;
  }
  return AppendUnits(p, n < 0 ? WideLength(p) : n);
}

int GString::AppendNarrow(const char* p, int n, int /*textCodePage*/) {
  // Refused even for empty text: the caller has the widths mixed up.
  if (isWide) {
    return 0;
  }
  if (IsEmptyText(p, n)) {
    Terminate();
    return 1;
  }
  return AppendUnits(p, n < 0 ? NarrowLength(p) : n);
}

int GString::AppendWideChar(char16_t c) {
  if (!isWide || !EnsureRoom(1)) {
    return 0;
  }
  reinterpret_cast<char16_t*>(TextBytes())[length] = c;
  ++length;
  return 1;
}

int GString::AppendRepeated(char16_t c, int n) {
  if (n < 0) {
    return 0;
  }
  if (c == 0 || n == 0) {
    Terminate();
    return 1;
  }
  if (!isWide) {
    return c < 0x80 ? AppendRepeatedByte(char(c), n) : 0;
  }
  if (!EnsureRoom(n)) {
    return 0;
  }
  char16_t* out = reinterpret_cast<char16_t*>(TextBytes()) + length;
  std::fill(out, out + n, c);
  length += n;
  Terminate();
  return 1;
}

int GString::AppendRepeatedByte(char c, int n) {
  if (n < 0) {
    return 0;
  }
  if (c == 0 || n == 0) {
    Terminate();
    return 1;
  }
  const unsigned char byte = static_cast<unsigned char>(c);
  if (isWide) {
    // Only ASCII means the same character in both widths.
    return byte < 0x80 ? AppendRepeated(char16_t(byte), n) : 0;
  }
  if (!EnsureRoom(n)) {
    return 0;
  }
  std::memset(TextBytes() + length, byte, size_t(n));
  length += n;
  Terminate();
  return 1;
}

// ---------------------------------------------------------------------------
// Converting appends

int GString::AppendWideText(const char16_t* p, int n) {
  if (IsEmptyText(p, n)) {
    Terminate();
    return 1;
  }
  if (isWide) {
    return AppendWide(p, n);
  }
  codePage = 0;
  // Stop at a NUL even inside an explicit length: the size and the encoding
  // must cover the same units or the encoding would outrun the reserved room.
  int units = 0;
  int64_t bytes = 0;
  while ((n < 0 || units < n) && units < INT_MAX && p[units] != 0) {
    bytes += Utf8Size(p[units]);
    ++units;
  }
  if (units == 0) {
    Terminate();
    return 1;
  }
  if (bytes > INT_MAX) {
    return 0;
  }
  if (InBlock(p)) {
    const std::u16string copy(p, size_t(units));
    return AppendWideText(copy.data(), units);
  }
  char* out = NarrowAppendBuffer(int(bytes));
  if (!out) {
    return 0;
  }
  EncodeUtf8(p, units, out);
  length += int(bytes);
  Terminate();
  return 1;
}

int GString::AppendNarrowText(const char* p, int n, int textCodePage) {
  if (IsEmptyText(p, n)) {
    Terminate();
    return 1;
  }
  if (!isWide) {
    return AppendNarrow(p, n, textCodePage);
  }
  const int bytes = n < 0 ? NarrowLength(p) : n;
  if (InBlock(p)) {
    const std::string copy(p, size_t(bytes));
    return AppendNarrowText(copy.data(), bytes, textCodePage);
  }
  // Validate before touching anything, so malformed input leaves the string,
  // its block and its terminator exactly as they were.
  const int units = DecodeUtf8(p, bytes, nullptr);
  if (units < 0) {
    return 0;
  }
  char16_t* out = WideAppendBuffer(units);
  if (!out) {
    return 0;
  }
  DecodeUtf8(p, bytes, out);
  length += units;
  Terminate();
  return 1;
}

int GString::Append(const GString& other) {
  if (isWide) {
    return other.isWide ? AppendWide(other.WideText(0), other.length)
                        : AppendNarrowText(other.NarrowText(0), other.length, other.codePage);
  }
  return other.isWide ? AppendWideText(other.WideText(0), other.length)
                      : AppendNarrow(other.NarrowText(0), other.length, other.codePage);
}

int GString::AppendNewline() {
  return isWide ? AppendWide(u"\r\n", 2) : AppendNarrow("\r\n", 2, -1);
}

// ---------------------------------------------------------------------------
// Assignments

// Clearing writes a terminator at the front of the text area, so a source
// inside our own block is copied out before the width changes.
int GString::AssignUnits(bool wide, const void* src, int n) {
  if (n > 0 && InBlock(src)) {
    const auto* bytes = static_cast<const unsigned char*>(src);
    const std::vector<unsigned char> copy(bytes, bytes + size_t(n) * (wide ? 2 : 1));
    return AssignUnits(wide, copy.data(), n);
  }
  SetWidthAndClear(wide);
  return AppendUnits(src, n);
}

int GString::AssignWide(const char16_t* p, int n) {
  return AssignUnits(true, p, IsEmptyText(p, n) ? 0 : n < 0 ? WideLength(p) : n);
}

int GString::AssignNarrow(const char* p, int n, int /*textCodePage*/) {
  return AssignUnits(false, p, IsEmptyText(p, n) ? 0 : n < 0 ? NarrowLength(p) : n);
}

int GString::AssignNarrowAsWide(const char* p, int n, int textCodePage) {
  if (!IsEmptyText(p, n) && InBlock(p)) {
    const std::string copy(p, size_t(n < 0 ? NarrowLength(p) : n));
    return AssignNarrowAsWide(copy.data(), int(copy.size()), textCodePage);
  }
  SetWidthAndClear(true);
  return AppendNarrowText(p, n, textCodePage);
}

int GString::Assign(const GString& other) {
  codePage = other.codePage;
  if (other.isWide) {
    return AssignUnits(true, other.WideText(0), other.length);
  }
  return AssignUnits(false, other.NarrowText(0), other.length);
}

int GString::AssignAsWide(const GString* other) {
  if (!other) {
    return 0;
  }
  if (other == this) {
    // Clearing first would lose the text; convert it where it is.
    return ToWide(-1) ? 1 : 0;
  }
  SetWidthAndClear(true);
  codePage = other->codePage;
  if (other->isWide) {
    return AppendWide(other->WideText(0), other->length);
  }
  return AppendNarrowText(other->NarrowText(0), other->length, other->codePage);
}

int GString::AssignAsNarrow(const GString* other) {
  if (!other) {
    return 0;
  }
  if (other == this) {
    return ToNarrow(-1) ? 1 : 0;
  }
  SetWidthAndClear(false);
  codePage = other->codePage;
  if (other->isWide) {
    return AppendWideText(other->WideText(0), other->length);
  }
  return AppendNarrow(other->NarrowText(0), other->length, other->codePage);
}

int GString::AssignRecord(const uint8_t* record) {
  if (!record) {
    Clear();
    return 0;
  }
  // Records sit at any offset in a pool: read the header byte by byte and
  // copy the text with memcpy, never through a char16_t pointer.
  const uint32_t header = uint32_t(record[0]) | uint32_t(record[1]) << 8 |
                          uint32_t(record[2]) << 16 | uint32_t(record[3]) << 24;
  const int count = int(header & kLengthMask);
  const bool narrow = (header & kNarrowFlag) != 0;
  return AssignUnits(!narrow, record + 4, count);
}

// ---------------------------------------------------------------------------
// Width conversion in place

const char16_t* GString::ToWide(int requestedCodePage) {
  const int page = OwnCodePage(requestedCodePage);
  if (!isWide) {
    if (!CompanionWideCopy(this)) {
      return nullptr;
    }
    if (!AssignUnits(true, companion->WideText(0), companion->length)) {
      return nullptr;
    }
  }
  codePage = page;
  return WideText(0);
}

const char* GString::ToNarrow(int requestedCodePage) {
  const int page = OwnCodePage(requestedCodePage);
  if (isWide) {
    codePage = page;
    if (length == 0) {
      SetWidthAndClear(false);
    } else {
      if (!CompanionAsNarrow(reinterpret_cast<const char16_t*>(TextBytes()), length, 0)) {
        return nullptr;
      }
      if (!AssignAsNarrow(companion)) {
        return nullptr;
      }
    }
  }
  return NarrowText(0);
}

// ---------------------------------------------------------------------------
// Companion

int GString::PrepareCompanion() {
  if (!companion) {
    companion = new GString();
  }
  companion->Clear();
  companion->codePage = codePage;
  return 1;
}

int GString::CompanionAsNarrow(const char16_t* p, int n, int textCodePage) {
  // Preparing clears the companion, which would destroy a source that is the
  // companion's own text.
  if (companion && !IsEmptyText(p, n) && companion->InBlock(p)) {
    const std::u16string copy(p, size_t(n < 0 ? WideLength(p) : n));
    return CompanionAsNarrow(copy.data(), int(copy.size()), textCodePage);
  }
  if (!PrepareCompanion()) {
    return 0;
  }
  companion->codePage = OwnCodePage(textCodePage);
  companion->SetWidthAndClear(false);
  return companion->AppendWideText(p, n);
}

int GString::CompanionAsWide(const char* p, int n, int textCodePage) {
  if (companion && !IsEmptyText(p, n) && companion->InBlock(p)) {
    const std::string copy(p, size_t(n < 0 ? NarrowLength(p) : n));
    return CompanionAsWide(copy.data(), int(copy.size()), textCodePage);
  }
  if (!PrepareCompanion()) {
    return 0;
  }
  companion->codePage = OwnCodePage(textCodePage);
  companion->SetWidthAndClear(true);
  return companion->AppendNarrowText(p, n, textCodePage);
}

int GString::CompanionWideCopy(const GString* other) {
  if (!other) {
    return 0;
  }
  if (other == companion) {
    // Preparing would clear the very text to be copied.
    return companion->ToWide(-1) ? 1 : 0;
  }
  if (!PrepareCompanion()) {
    return 0;
  }
  companion->codePage = other->codePage;
  return companion->AssignAsWide(other);
}
