// Reads a built layout library the way the system does: from the PE headers
// to the exported descriptor function, from its code to the top table, and
// from there through the pointers to every table. Used to check the builds
// and to find the regions the installer patches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CPeSection {
  std::string Name;
  uint32_t Rva, VirtualSize, FileOffset, FileSize;
};

class CLayoutImage {
 public:
  // Parses the image; 0 with Error() set when it is no layout library we can read.
  int Read(const std::vector<uint8_t>& bytes);
  const std::string& Error() const { return ErrorText; }

  uint16_t Machine = 0;  // 0x014C x86, 0x8664 AMD64, 0x0200 IA64
  int PointerSize = 0;
  uint64_t ImageBase = 0;
  std::vector<CPeSection> Sections;
  uint32_t DescriptorRva = 0;  // the exported function (IA64: its function descriptor)
  uint32_t TablesRva = 0;      // the top table it returns

  // File offsets of the patched regions.
  uint32_t VscToVkOffset = 0;
  int VscToVkCount = 0;
  uint32_t E0Offset = 0, E1Offset = 0;
  int E0Count = 0, E1Count = 0;  // records before the terminating one
  uint32_t DecimalOffset = 0;    // first character of the keypad decimal key's row

  // Helpers over the file image.
  int RvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const;
  int ReadPointer(uint32_t rva, uint32_t& targetRva) const;  // 0 for a null pointer too
  // Character of virtualKey in a column, as the tables give it; 0xF000 none; -1 missing key.
  int CharOf(uint8_t virtualKey, int column) const;
  // Result of a dead character with a base character, or -1.
  int DeadResult(uint16_t accent, uint16_t base) const;

 private:
  int Fail(const std::string& what);
  uint32_t U32(uint32_t offset) const;
  uint16_t U16(uint32_t offset) const;
  std::vector<uint8_t> Bytes;
  uint32_t CharTablesRva = 0, DeadKeysRva = 0;
  std::string ErrorText;
};
