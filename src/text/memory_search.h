// Searching and comparing plain memory. Lengths count units (bytes or 16-bit
// units); positions count from the start of the data. Searches return a
// position or -1, comparisons -1, 0 or 1: a shorter text is smaller whatever
// its contents, texts of equal length compare by their first differing unit
// (unsigned). The functions read exactly the lengths passed and never beyond;
// the entry points without explicit lengths measure up to the NUL (a null
// pointer measures 0).
#pragma once

int StrLen(const char* text);
int WStrLen(const char16_t* text);
void FillWide(char16_t* destination, char16_t unit, int count);

int ByteFind(const void* data, const void* pattern, int dataLength, int patternLength, int first);
int ByteFind(const char* data, const char* pattern, int first = 0);
int ByteFindLast(const void* data, const void* pattern, int dataLength, int patternLength,
                 int lowest);
int ByteFindLast(const char* data, const char* pattern, int lowest = 0);
int FindLastByte(const void* data, unsigned char byte, int dataLength, int lowest);
int FindLastByte(const char* data, unsigned char byte, int lowest = 0);
int FindLastUnit(const char16_t* text, char16_t unit, int length, int lowest);
// Negative lengths measure the texts.
int WideFind(const char16_t* text, const char16_t* pattern, int textLength, int patternLength,
             int first);

int ByteCompare(const void* a, const void* b, int lengthA, int lengthB);
int ByteCompare(const char* a, const char* b);
int UnitCompare(const char16_t* a, const char16_t* b, int lengthA, int lengthB);

class GString;
// 1 when a's text equals b's (b is passed in its own width and converted when
// the widths differ); StringsDiffer is the opposite.
int StringsEqual(GString& a, const GString& b);
int StringsDiffer(GString& a, const GString& b);

// Where DebugPrint's lines go outside Windows (tests replace it); on Windows
// they go to OutputDebugStringW.
using DebugSink = void (*)(const char16_t* line);
DebugSink SetDebugSink(DebugSink sink);
