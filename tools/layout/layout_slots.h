// The thirteen builds of each variant: which processor and which Windows
// version each slot is made for. The installer picks the slot from the
// running system; the builder stamps each build with its slot's version.
#pragma once

#include <cstdint>

struct CLayoutSlot {
  int Slot;
  uint16_t Machine;  // 0x014C x86, 0x0200 IA64, 0x8664 AMD64
  int OsMajor, OsMinor;
  const char* Windows;
};

constexpr int LayoutSlots = 13;
constexpr int LayoutGroups = 2;
constexpr int LayoutVariants = 3;
constexpr int LayoutEntries = LayoutGroups * LayoutVariants * LayoutSlots;

inline const CLayoutSlot& LayoutSlotInfo(int slot) {
  static const CLayoutSlot slots[LayoutSlots] = {
      {0, 0x014C, 5, 0, "Windows 2000"},
      {1, 0x014C, 5, 1, "Windows XP"},
      {2, 0x014C, 5, 2, "Windows Server 2003 and XP x64, 32-bit"},
      {3, 0x0200, 5, 2, "Windows Server 2003, IA64"},
      {4, 0x8664, 5, 2, "Windows Server 2003 and XP x64, AMD64"},
      {5, 0x014C, 6, 0, "Windows Vista, 32-bit"},
      {6, 0x0200, 6, 0, "Windows Server 2008, IA64"},
      {7, 0x8664, 6, 0, "Windows Vista, AMD64"},
      {8, 0x014C, 6, 1, "Windows 7, 32-bit"},
      {9, 0x0200, 6, 1, "Windows Server 2008 R2, IA64"},
      {10, 0x8664, 6, 1, "Windows 7, AMD64"},
      {11, 0x014C, 6, 2, "Windows 8 and later, 32-bit"},
      {12, 0x8664, 6, 2, "Windows 8 and later, AMD64"},
  };
  return slots[slot];
}

// Entry t of the catalogue is group t / 39, variant (t mod 39) / 13, slot t mod 13.
inline int LayoutEntry(int group, int variant, int slot) {
  return group * LayoutVariants * LayoutSlots + variant * LayoutSlots + slot;
}
