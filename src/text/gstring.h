// GString: the program's one string type.
//
// A GString holds narrow text (UTF-8 bytes) or wide text (UTF-16 units) in one
// growable heap block, switches width in place and converts on the fly when text
// of the other width is appended or assigned.
//
// Conventions of every operation:
//  - Operations return 1 on success and 0 on failure. Bad input never throws; the
//    only exception that can leave an operation is std::bad_alloc.
//  - A negative length means "up to the terminating NUL"; a null text pointer is
//    empty text.
//  - Lengths and indexes count units of the string's width: bytes for narrow text,
//    char16_t units for wide text.
//  - A code page argument is 0 (UTF-8) or any other value for "the string's own
//    code page"; every string's code page is UTF-8, so both mean UTF-8.
//  - After every operation but AppendWideChar the unit at Length() is NUL, so the
//    text can be handed to any Win32 call as it is.
//
// Block layout: a 4-byte little-endian header, then the text area. The header is
// written whenever a block is allocated and has the shape of a string-table
// record header (bit 31 set for narrow text, bits 0..28 the text size in bytes),
// so a block can be read like a record. Nothing reads it back.
//
// Not thread-safe: a string and its companion belong to one thread.

#pragma once

#include <cstdarg>
#include <cstdint>

class CFormatArgs;

class GString {
 public:
  GString();
  // A wide string of `count` copies of `c`; stays empty when no block can be had.
  explicit GString(char16_t c, int count);
  virtual ~GString();

  // A copy would share or duplicate the block and the companion behind the
  // caller's back; text is copied explicitly with Assign.
  GString(const GString&) = delete;
  GString& operator=(const GString&) = delete;

  // Read-only state.
  int Length() const { return length; }
  int Start() const { return start; }
  int Capacity() const { return capacity; }
  bool IsWide() const { return isWide != 0; }
  int CodePage() const { return codePage; }
  uint8_t FormatOptions() const { return formatOptions; }
  void SetFormatOptions(uint8_t options) { formatOptions = options; }
  int DebugLineWidth() const { return debugLineWidth; }
  const unsigned char* Block() const { return block; }
  const GString* Companion() const { return companion; }

  // Storage and raw access.
  int Reserve(int n);
  int EnsureRoom(int n);
  void* Text();
  const void* Text() const;
  const char* NarrowText(int index) const;
  const char16_t* WideText(int index) const;
  void* Terminate();
  int SetLength(int n);
  int DropFront(int n);
  // Buffers for callers (typically Win32 calls) that write text directly: the
  // caller writes at most n units at the returned position, then calls SetLength.
  // Null when the width conversion or the room cannot be had.
  char16_t* WideAppendBuffer(int n);
  char* NarrowAppendBuffer(int n);

  // Same-width appends.
  int AppendWide(const char16_t* p, int n);
  int AppendNarrow(const char* p, int n, int textCodePage);
  int AppendWideChar(char16_t c);  // does not terminate: for unit-by-unit builders
  int AppendRepeated(char16_t c, int n);
  int AppendRepeatedByte(char c, int n);

  // Converting appends.
  int AppendWideText(const char16_t* p, int n);
  int AppendNarrowText(const char* p, int n, int textCodePage);
  int Append(const GString& other);
  int AppendNewline();

  // Assignments.
  int AssignWide(const char16_t* p, int n = -1);
  int AssignNarrow(const char* p, int n, int textCodePage);
  int AssignNarrowAsWide(const char* p, int n, int textCodePage);
  int Assign(const GString& other);
  int AssignAsWide(const GString* other);
  int AssignAsNarrow(const GString* other);
  // A string-table record: 32-bit little-endian header (bit 31 set: narrow,
  // bits 0..28: count of units) followed by the text. Needs no alignment.
  int AssignRecord(const uint8_t* record);

  // Width conversion in place.
  const char16_t* ToWide(int requestedCodePage);
  const char* ToNarrow(int requestedCodePage);

  // The companion: scratch string for conversions, created on first need.
  int PrepareCompanion();
  int CompanionAsNarrow(const char16_t* p, int n, int textCodePage);
  int CompanionAsWide(const char* p, int n, int textCodePage);
  int CompanionWideCopy(const GString* other);

  // Formatting (format.h has the directives and how arguments are passed). The
  // string must be wide; 0 when it is narrow, the format is null or a
  // conversion fails (what was appended before stays).
  int FormatAppend(const char16_t* format, ...);
  int FormatAppendV(const char16_t* format, va_list args);
  int FormatAppendArgs(const char16_t* format, CFormatArgs& args);

  // Searching and comparing (search.cpp). Searches return a position or -1;
  // comparisons -1, 0 or 1, shorter text first, then by the first differing unit.
  int Find(const char16_t* text, int first, int n = -1);
  int Find(const char* text, int first, int n);
  int Find(const GString& other, int first);
  int FindLast(char16_t c, int lowest);
  int Compare(const char16_t* text, int n);
  int Compare(const char* text, int n);

  // Case mapping: simple upper-case mapping of Unicode 5.2 for single units.
  int ToUpper();
  static char16_t UpperCaseOf(char16_t u);

  // Paths: the separator is the backslash.
  int EnsureSuffix(const char16_t* text, int n);
  int EnsureSuffix(const char* text, int n);
  int AppendPath(const char16_t* component, int n);
  int AppendPath(const char* component, int n);
  GString& AppendPath(const GString& component);

  // Sends up to `limit` characters to the debugger, in lines of DebugLineWidth().
  void DebugPrint(int limit);
  void SetDebugLineWidth(int width) { debugLineWidth = width; }

 private:
  int UnitSize() const { return isWide ? 2 : 1; }
  int Room() const;
  int FreeRoom() const;
  unsigned char* TextBytes() const;
  int OwnCodePage(int requested) const { return requested == 0 ? 0 : codePage; }
  bool InBlock(const void* p) const;

  int Compact();
  void Reallocate(int size);
  void WriteHeader();
  void Clear();
  void SetWidthAndClear(bool wide);

  int AppendUnits(const void* src, int n);
  int AssignUnits(bool wide, const void* src, int n);

 protected:
  unsigned char* block = nullptr;  // header + text area, allocated with new[]
  int32_t length = 0;              // units of text, without the terminator
  int32_t start = 0;               // units dropped from the front of the text area
  int32_t capacity = 0;            // size of block in bytes
  int32_t growStep = 64;           // every block size is a multiple of this
  int32_t codePage = 0;            // encoding of narrow text: 0 is UTF-8
  int32_t isWide = 0;
  uint8_t formatOptions = 0;  // flags read by the formatting code
  int32_t debugLineWidth = 80;
  GString* companion = nullptr;
};

#ifdef _WIN32
// The one place where our UTF-16 text meets the Win32 wchar_t API.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide characters are 16 bits");

inline const wchar_t* WinText(const char16_t* p) { return reinterpret_cast<const wchar_t*>(p); }

inline wchar_t* WinText(char16_t* p) { return reinterpret_cast<wchar_t*>(p); }

// The wide text of s; an empty string for narrow text (convert with ToWide first).
inline const wchar_t* WinText(const GString& s) { return WinText(s.WideText(0)); }
#endif
