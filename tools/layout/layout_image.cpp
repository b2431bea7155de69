#include "layout_image.h"

#include <cstring>

uint32_t CLayoutImage::U32(uint32_t o) const {
  return uint32_t(Bytes[o]) | uint32_t(Bytes[o + 1]) << 8 | uint32_t(Bytes[o + 2]) << 16 |
         uint32_t(Bytes[o + 3]) << 24;
}

uint16_t CLayoutImage::U16(uint32_t o) const { return uint16_t(Bytes[o] | Bytes[o + 1] << 8); }

int CLayoutImage::Fail(const std::string& what) {
  ErrorText = what;
  return 0;
}

int CLayoutImage::RvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const {
  for (const CPeSection& s : Sections) {
    uint64_t end = uint64_t(s.Rva) + s.FileSize;
    if (rva >= s.Rva && uint64_t(rva) + size <= end) {
      uint64_t at = uint64_t(s.FileOffset) + (rva - s.Rva);
      if (at + size > Bytes.size()) return 0;
      offset = uint32_t(at);
      return 1;
    }
  }
  return 0;
}

int CLayoutImage::ReadPointer(uint32_t rva, uint32_t& target) const {
  uint32_t o;
  if (!RvaToOffset(rva, PointerSize, o)) return 0;
  uint64_t va = U32(o);
  if (PointerSize == 8) va |= uint64_t(U32(o + 4)) << 32;
  if (va == 0 || va < ImageBase || va - ImageBase > 0xFFFFFFFFu) return 0;
  target = uint32_t(va - ImageBase);
  return 1;
}

int CLayoutImage::Read(const std::vector<uint8_t>& bytes) {
  Bytes = bytes;
  Sections.clear();
  if (Bytes.size() < 0x40 || Bytes[0] != 'M' || Bytes[1] != 'Z') return Fail("no MZ header");
  uint32_t pe = U32(0x3C);
  if (uint64_t(pe) + 24 > Bytes.size() || std::memcmp(&Bytes[pe], "PE\0\0", 4) != 0)
    return Fail("no PE signature");
  Machine = U16(pe + 4);
  int sectionCount = U16(pe + 6);
  uint32_t optSize = U16(pe + 20);
  uint32_t opt = pe + 24;
  if (uint64_t(opt) + optSize + 40ull * sectionCount > Bytes.size())
    return Fail("truncated headers");
  // The optional header must reach the sixth data directory (relocations).
  uint16_t magic = optSize >= 2 ? U16(opt) : 0;
  const uint32_t needed = magic == 0x20B ? 112 + 6 * 8 : 96 + 6 * 8;
  if (optSize < needed) return Fail("optional header too short");
  uint32_t dirs;
  if (magic == 0x10B) {
    PointerSize = 4;
    ImageBase = U32(opt + 28);
    dirs = opt + 96;
  } else if (magic == 0x20B) {
    PointerSize = 8;
    ImageBase = U32(opt + 24) | uint64_t(U32(opt + 28)) << 32;
    dirs = opt + 112;
  } else {
    return Fail("unknown optional header");
  }
  uint32_t sec = opt + optSize;
  for (int i = 0; i < sectionCount; ++i, sec += 40) {
    CPeSection s;
    s.Name.assign(reinterpret_cast<const char*>(&Bytes[sec]),
                  strnlen(reinterpret_cast<const char*>(&Bytes[sec]), 8));
    s.VirtualSize = U32(sec + 8);
    s.Rva = U32(sec + 12);
    s.FileSize = U32(sec + 16);
    s.FileOffset = U32(sec + 20);
    if (s.VirtualSize && s.VirtualSize < s.FileSize) s.FileSize = s.VirtualSize;
    Sections.push_back(s);
  }

  // The export directory: exactly the descriptor function.
  uint32_t exportRva = U32(dirs), ed;
  if (!exportRva || !RvaToOffset(exportRva, 40, ed)) return Fail("no export directory");
  uint32_t functions = U32(ed + 20), names = U32(ed + 24);
  uint32_t fo, no, so, ao;
  if (functions != 1 || names != 1 || !RvaToOffset(U32(ed + 28), 4, fo) ||
      !RvaToOffset(U32(ed + 32), 4, no) || !RvaToOffset(U32(ed + 36), 2, ao) || U16(ao) != 0 ||
      U32(ed + 16) != 1)
    return Fail("the exports are not exactly one function with ordinal 1");
  const char wanted[] = "KbdLayerDescriptor";
  if (!RvaToOffset(U32(no), sizeof wanted, so) ||
      std::memcmp(&Bytes[so], wanted, sizeof wanted) != 0)
    return Fail("the export is not KbdLayerDescriptor");
  DescriptorRva = U32(fo);

  // The function's code: it does nothing but return the address of the tables.
  uint32_t co;
  if (Machine == 0x014C) {
    if (!RvaToOffset(DescriptorRva, 6, co) || Bytes[co] != 0xB8 || Bytes[co + 5] != 0xC3)
      return Fail("x86 descriptor is not mov eax, tables; ret");
    uint32_t va = U32(co + 1);
    if (va < ImageBase) return Fail("descriptor returns an address outside the image");
    TablesRva = uint32_t(va - ImageBase);
  } else if (Machine == 0x8664) {
    if (!RvaToOffset(DescriptorRva, 8, co) || Bytes[co] != 0x48 || Bytes[co + 1] != 0x8D ||
        Bytes[co + 2] != 0x05 || Bytes[co + 7] != 0xC3)
      return Fail("AMD64 descriptor is not lea rax, [rip+tables]; ret");
    TablesRva = DescriptorRva + 7 + U32(co + 3);
  } else if (Machine == 0x0200) {
    // Exports name function descriptors {code, gp}. The code must be one MIB
    // bundle: adds r8 = imm14, r1 (gp); nop.i; br.ret b0: it returns gp + imm14.
    uint32_t d, codeRva, gpRva, bo;
    if (!ReadPointer(DescriptorRva, codeRva) || !ReadPointer(DescriptorRva + 8, gpRva) ||
        !RvaToOffset(DescriptorRva, 16, d) || !RvaToOffset(codeRva, 16, bo) || (codeRva & 15))
      return Fail("IA64 function descriptor or its bundle outside the image");
    unsigned __int128 v = 0;
    for (int i = 15; i >= 0; --i) v = v << 8 | Bytes[bo + i];
    const uint64_t mask = (uint64_t(1) << 41) - 1;
    uint64_t s0 = uint64_t(v >> 5) & mask, s2 = uint64_t(v >> 87) & mask;
    uint32_t templ = uint32_t(v & 31);
    bool adds = (s0 >> 37) == 8 && (s0 >> 34 & 3) == 2 && (s0 >> 33 & 1) == 0 &&
                (s0 >> 6 & 127) == 8 && (s0 >> 20 & 127) == 1 && (s0 & 63) == 0;
    bool ret = (s2 >> 37) == 0 && (s2 >> 27 & 63) == 0x21 && (s2 >> 6 & 7) == 4 &&
               (s2 >> 13 & 7) == 0 && (s2 & 63) == 0;
    if ((templ != 0x10 && templ != 0x11) || !adds || !ret)
      return Fail("IA64 descriptor code is not adds r8 = imm, gp; br.ret b0");
    int32_t imm = int32_t((s0 >> 13 & 127) | (s0 >> 27 & 63) << 7 | (s0 >> 36 & 1) << 13);
    if (imm & 0x2000) imm -= 0x4000;
    TablesRva = uint32_t(int64_t(gpRva) + imm);
  } else {
    return Fail("unknown machine");
  }

  // The top table.
  const uint32_t p = PointerSize;
  uint32_t to;
  if (!RvaToOffset(TablesRva, p == 8 ? 104 : 60, to)) return Fail("top table outside the image");
  uint32_t vscRva, e0Rva, e1Rva;
  if (!ReadPointer(TablesRva + 6 * p, vscRva) || !ReadPointer(TablesRva + 8 * p, e0Rva) ||
      !ReadPointer(TablesRva + 9 * p, e1Rva) || !ReadPointer(TablesRva + 1 * p, CharTablesRva))
    return Fail("a table pointer is missing");
  if (!ReadPointer(TablesRva + 2 * p, DeadKeysRva)) DeadKeysRva = 0;
  VscToVkCount = Bytes[to + 7 * p];
  if (!RvaToOffset(vscRva, 2 * VscToVkCount, VscToVkOffset))
    return Fail("scancode array outside the image");
  if ((U32(to + 10 * p) >> 16) != 1) return Fail("table version is not 1");
  auto records = [&](uint32_t rva, uint32_t& offset, int& count) {
    count = 0;
    if (!RvaToOffset(rva, 4, offset)) return 0;
    uint32_t o = offset;
    while (Bytes[o] != 0) {
      ++count;
      if (!RvaToOffset(rva + 4 * count, 4, o)) return 0;
    }
    return 1;
  };
  if (!records(e0Rva, E0Offset, E0Count)) return Fail("E0 list runs out of the image");
  if (!records(e1Rva, E1Offset, E1Count)) return Fail("E1 list runs out of the image");

  // The keypad decimal key's row in a table of at least two columns.
  bool found = false;
  for (uint32_t t = CharTablesRva;; t += p + p) {
    uint32_t rows, o;
    if (!ReadPointer(t, rows)) break;
    if (!RvaToOffset(t + p, 2, o)) return Fail("character table list runs out of the image");
    int columns = Bytes[o], size = Bytes[o + 1];
    for (uint32_t r = rows;; r += size) {
      uint32_t ro;
      if (size < 2 || !RvaToOffset(r, size, ro)) return Fail("character rows run out of the image");
      if (Bytes[ro] == 0) break;
      if (Bytes[ro] == 0x6E && columns >= 2 && !found) {
        DecimalOffset = ro + 2;
        found = true;
      }
    }
  }
  if (!found) return Fail("no keypad decimal key with two characters");
  return 1;
}

int CLayoutImage::CharOf(uint8_t vk, int column) const {
  const uint32_t p = PointerSize;
  for (uint32_t t = CharTablesRva;; t += p + p) {
    uint32_t rows, o;
    if (!ReadPointer(t, rows) || !RvaToOffset(t + p, 2, o)) return -1;
    int columns = Bytes[o], size = Bytes[o + 1];
    for (uint32_t r = rows;; r += size) {
      uint32_t ro;
      if (size < 2 || !RvaToOffset(r, size, ro) || Bytes[ro] == 0) break;
      if (Bytes[ro] == vk) return column < columns ? U16(ro + 2 + 2 * column) : 0xF000;
    }
  }
}

int CLayoutImage::DeadResult(uint16_t accent, uint16_t base) const {
  if (!DeadKeysRva) return -1;
  for (uint32_t r = DeadKeysRva;; r += 8) {
    uint32_t o;
    if (!RvaToOffset(r, 8, o) || U32(o) == 0) return -1;
    if (U32(o) == (uint32_t(accent) << 16 | base)) return U16(o + 4);
  }
}
