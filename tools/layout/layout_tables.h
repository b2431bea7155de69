// The tables of one layout build, resolved from the source for one group and
// one variant: what the generated library holds, independent of pointer size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "layout_source.h"

// Entries of the scancode-to-virtual-key array: scancodes 0x00..0x7F.
constexpr int VscTableEntries = 128;

struct CVscVk {
  uint8_t Scancode;
  uint16_t VirtualKey;  // with the table flags in the high byte
};

struct CCharRow {
  uint8_t VirtualKey;
  uint8_t Attributes;
  std::vector<uint16_t> Chars;
};

// Rows of one character table: all of them have Columns characters.
struct CCharTable {
  int Columns;
  std::vector<CCharRow> Rows;  // a dead key row is followed by its 0xFF row
};

struct CLayoutTables {
  std::vector<uint8_t> ColumnOfState;  // per modifier combination 0..7, 0x0F invalid
  uint16_t VscToVk[VscTableEntries];
  std::vector<CVscVk> E0, E1;
  std::vector<CCharTable> CharTables;  // the keypad digits' table last
  std::vector<CDeadKeyTable> DeadKeys;
  std::vector<CKeyName> KeyNames, KeyNamesExt, KeyNamesDead;
  uint32_t LocaleFlags = 0;
};

// Resolves the tables of group 0..1 and variant 0..Variants-1. The defaults of
// the scancode tables are the installer's key table, so that every key the
// installer knows behaves as that table says unless the layout moves it.
int ResolveLayoutTables(const CLayoutSource& source, int group, int variant, CLayoutTables& out,
                        std::string& error);

// The character a key gives in one column, or WchNone: what a test expects
// from a built library. Dead keys give WchDead.
uint16_t CharOfKey(const CLayoutTables& tables, uint8_t virtualKey, int column);
