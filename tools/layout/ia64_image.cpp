#include "ia64_image.h"

#include <algorithm>
#include <map>

#include "layout_image.h"

namespace {

constexpr uint32_t SectionAlignment = 0x2000;  // the IA64 page size
constexpr uint32_t FileAlignment = 0x200;
constexpr uint64_t ImageBase = 0x5FFE0000;
constexpr uint16_t RelocDir64 = 10;

uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

struct Writer {
  std::vector<uint8_t>& b;
  void U8(size_t at, uint8_t v) { b[at] = v; }
  void U16(size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
  }
  void U32(size_t at, uint32_t v) {
    U16(at, uint16_t(v));
    U16(at + 2, uint16_t(v >> 16));
  }
  void U64(size_t at, uint64_t v) {
    U32(at, uint32_t(v));
    U32(at + 4, uint32_t(v >> 32));
  }
};

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

uint64_t Read64(const std::vector<uint8_t>& b, size_t at) {
  return Read32(b, at) | uint64_t(Read32(b, at + 4)) << 32;
}

// Encodes an IA64 bundle from its template and three 41-bit slots.
void Bundle(uint8_t out[16], uint32_t templ, uint64_t s0, uint64_t s1, uint64_t s2) {
  // 128 bits: template in bits 0..4, slots at 5, 46 and 87.
  unsigned __int128 v = templ;
  v |= static_cast<unsigned __int128>(s0) << 5;
  v |= static_cast<unsigned __int128>(s1) << 46;
  v |= static_cast<unsigned __int128>(s2) << 87;
  for (int i = 0; i < 16; ++i) out[i] = uint8_t(v >> (8 * i));
}

struct BundleInit {
  uint8_t Bytes[16];
  BundleInit() {
    const uint64_t addsR8R1 =
        8ull << 37 | 2ull << 34 | 1ull << 20 | 8ull << 6;           // A4: adds r8 = 0, r1
    const uint64_t nopI = 1ull << 27;                               // I19: nop.i 0
    const uint64_t brRet = 0x21ull << 27 | 1ull << 12 | 4ull << 6;  // B4: br.ret.sptk.many b0
    Bundle(Bytes, 0x11, addsR8R1, nopI, brRet);                     // MIB, stop at the end
  }
};

// Moves a resource tree by delta: its data entries hold image addresses; the
// directories and names hold offsets within the tree, which stay.
bool MoveResources(std::vector<uint8_t>& r, int64_t delta, std::string& error) {
  std::vector<uint32_t> directories = {0};
  int visited = 0;
  while (!directories.empty()) {
    uint32_t d = directories.back();
    directories.pop_back();
    if (++visited > 256 || uint64_t(d) + 16 > r.size()) {
      error = "malformed resource tree in the AMD64 build";
      return false;
    }
    uint32_t count = uint32_t(r[d + 12] | r[d + 13] << 8) + uint32_t(r[d + 14] | r[d + 15] << 8);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t e = d + 16 + 8 * i;
      if (uint64_t(e) + 8 > r.size()) {
        error = "malformed resource tree in the AMD64 build";
        return false;
      }
      uint32_t target = Read32(r, e + 4);
      if (target & 0x80000000u) {
        directories.push_back(target & 0x7FFFFFFFu);
      } else if (uint64_t(target) + 16 <= r.size()) {
        Writer w{r};
        w.U32(target, uint32_t(int64_t(Read32(r, target)) + delta));
      } else {
        error = "malformed resource tree in the AMD64 build";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

const uint8_t Ia64ReturnGpBundle[16] = {0x11, 0x40, 0x00, 0x02, 0x00, 0x21, 0x00, 0x00,
                                        0x00, 0x02, 0x00, 0x80, 0x08, 0x00, 0x84, 0x00};

int MakeIa64Image(const std::vector<uint8_t>& amd64, const CLayoutSlot& slot,
                  const std::string& dllName, std::vector<uint8_t>& out, std::string& error) {
  static const BundleInit encoded;
  if (!std::equal(encoded.Bytes, encoded.Bytes + 16, Ia64ReturnGpBundle)) {
    error = "the IA64 bundle encoder and its stated bytes disagree";
    return 0;
  }
  CLayoutImage source;
  if (!source.Read(amd64) || source.Machine != 0x8664) {
    error = "the AMD64 build cannot be read: " + source.Error();
    return 0;
  }
  // The section holding the tables, and the relocations inside it.
  const CPeSection* data = nullptr;
  for (const CPeSection& s : source.Sections)
    if (source.TablesRva >= s.Rva && source.TablesRva < s.Rva + s.FileSize) data = &s;
  if (!data) {
    error = "the AMD64 build's tables lie in no section";
    return 0;
  }
  uint32_t pe = Read32(amd64, 0x3C), opt = pe + 24;
  uint32_t relocRva = Read32(amd64, opt + 112 + 5 * 8),
           relocSize = Read32(amd64, opt + 112 + 5 * 8 + 4);
  std::vector<uint32_t> pointers;  // RVAs of the 64-bit pointers in the data section
  uint32_t ro;
  if (relocSize && !source.RvaToOffset(relocRva, relocSize, ro)) {
    error = "the AMD64 build's relocations lie outside the image";
    return 0;
  }
  for (uint32_t at = 0; relocSize && at + 8 <= relocSize;) {
    uint32_t page = Read32(amd64, ro + at), size = Read32(amd64, ro + at + 4);
    if (size < 8 || at + size > relocSize) {
      error = "malformed relocation block in the AMD64 build";
      return 0;
    }
    for (uint32_t e = 8; e + 2 <= size; e += 2) {
      uint16_t entry = uint16_t(amd64[ro + at + e] | amd64[ro + at + e + 1] << 8);
      uint32_t rva = page + (entry & 0xFFF);
      if ((entry >> 12) == 0) continue;
      if ((entry >> 12) != RelocDir64) {
        error = "the AMD64 build has a relocation other than a 64-bit address";
        return 0;
      }
      if (rva >= data->Rva && rva + 8 <= data->Rva + data->FileSize) {
        pointers.push_back(rva);
      } else {
        error = "the AMD64 build has a relocation outside its tables";
        return 0;
      }
    }
    at += size;
  }

  // The resources (display names, version), moved as a whole: only the data
  // entries' addresses depend on where the section lies.
  std::vector<uint8_t> rsrc;
  uint32_t rsrcOldRva = Read32(amd64, opt + 112 + 2 * 8),
           rsrcSize = Read32(amd64, opt + 112 + 2 * 8 + 4);
  if (rsrcSize) {
    uint32_t o;
    if (!source.RvaToOffset(rsrcOldRva, rsrcSize, o)) {
      error = "the AMD64 build's resources lie outside the image";
      return 0;
    }
    rsrc.assign(amd64.begin() + o, amd64.begin() + o + rsrcSize);
  }

  // Layout: headers, .text, .data, .edata, .rsrc, .reloc.
  const uint32_t headerSize = FileAlignment;
  const uint32_t textRva = SectionAlignment, textSize = 16;
  const uint32_t dataRva = textRva + AlignUp(textSize, SectionAlignment);
  const uint32_t descriptorOffset = AlignUp(data->FileSize, 16);  // inside .data
  const uint32_t dataSize = descriptorOffset + 16;
  const uint32_t edataRva = dataRva + AlignUp(dataSize, SectionAlignment);
  const std::string function = "KbdLayerDescriptor";
  const uint32_t exportDir = 0, functions = 40, names = 44, ordinals = 48, nameText = 50;
  const uint32_t functionText = nameText + uint32_t(dllName.size()) + 1;
  const uint32_t edataSize = functionText + uint32_t(function.size()) + 1;
  const uint32_t rsrcRva = edataRva + AlignUp(edataSize, SectionAlignment);
  const uint32_t relocNewRva = rsrcRva + AlignUp(uint32_t(rsrc.size()), SectionAlignment);
  if (!rsrc.empty() && !MoveResources(rsrc, int64_t(rsrcRva) - int64_t(rsrcOldRva), error))
    return 0;
  const int64_t delta = int64_t(dataRva) - int64_t(data->Rva);

  std::vector<uint32_t> newPointers;
  for (uint32_t p : pointers) newPointers.push_back(uint32_t(p + delta));
  newPointers.push_back(dataRva + descriptorOffset);
  newPointers.push_back(dataRva + descriptorOffset + 8);
  std::sort(newPointers.begin(), newPointers.end());
  std::map<uint32_t, std::vector<uint16_t>> blocks;
  for (uint32_t p : newPointers)
    blocks[p & ~0xFFFu].push_back(uint16_t(RelocDir64 << 12 | (p & 0xFFF)));
  std::vector<uint8_t> reloc;
  for (auto& blk : blocks) {
    if (blk.second.size() % 2) blk.second.push_back(0);  // blocks end on a 4-byte boundary
    uint32_t size = 8 + 2 * uint32_t(blk.second.size());
    size_t at = reloc.size();
    reloc.resize(at + size);
    Writer w{reloc};
    w.U32(at, blk.first);
    w.U32(at + 4, size);
    for (size_t i = 0; i < blk.second.size(); ++i) w.U16(at + 8 + 2 * i, blk.second[i]);
  }
  const uint32_t relocSizeNew = uint32_t(reloc.size());
  const uint32_t imageSize = relocNewRva + AlignUp(relocSizeNew, SectionAlignment);

  struct Section {
    const char* Name;
    uint32_t Rva, Size, FileOffset, Characteristics;
  };
  std::vector<Section> sections = {
      {".text", textRva, textSize, 0, 0x60000020},
      {".data", dataRva, dataSize, 0, 0xC0000040},
      {".edata", edataRva, edataSize, 0, 0x40000040},
  };
  if (!rsrc.empty()) sections.push_back({".rsrc", rsrcRva, uint32_t(rsrc.size()), 0, 0x40000040});
  sections.push_back({".reloc", relocNewRva, relocSizeNew, 0, 0x42000040});
  uint32_t fileOffset = headerSize;
  for (Section& s : sections) {
    s.FileOffset = fileOffset;
    fileOffset += AlignUp(s.Size, FileAlignment);
  }
  out.assign(fileOffset, 0);
  Writer w{out};

  // DOS header: only the signature and the offset of the PE header.
  out[0] = 'M';
  out[1] = 'Z';
  w.U32(0x3C, 0x40);
  const uint32_t np = 0x40, nopt = np + 24;
  out[np] = 'P';
  out[np + 1] = 'E';
  w.U16(np + 4, 0x0200);  // IA64
  w.U16(np + 6, uint16_t(sections.size()));
  w.U16(np + 20, 240);
  w.U16(np + 22, 0x2022);  // executable image, large addresses, DLL
  w.U16(nopt, 0x20B);
  w.U8(nopt + 2, 2);
  w.U32(nopt + 4, AlignUp(textSize, FileAlignment));
  w.U32(nopt + 8, AlignUp(dataSize, FileAlignment) + AlignUp(edataSize, FileAlignment) +
                      AlignUp(uint32_t(rsrc.size()), FileAlignment) +
                      AlignUp(relocSizeNew, FileAlignment));
  w.U32(nopt + 16, 0);  // no entry point
  w.U32(nopt + 20, textRva);
  w.U64(nopt + 24, ImageBase);
  w.U32(nopt + 32, SectionAlignment);
  w.U32(nopt + 36, FileAlignment);
  w.U16(nopt + 40, uint16_t(slot.OsMajor));
  w.U16(nopt + 42, uint16_t(slot.OsMinor));
  w.U16(nopt + 44, 1);  // image version 1.0
  w.U16(nopt + 48, uint16_t(slot.OsMajor));
  w.U16(nopt + 50, uint16_t(slot.OsMinor));
  w.U32(nopt + 56, imageSize);
  w.U32(nopt + 60, headerSize);
  w.U16(nopt + 68, 1);       // subsystem native
  w.U16(nopt + 70, 0x0140);  // relocatable, NX compatible
  w.U64(nopt + 72, 0x40000);
  w.U64(nopt + 80, 0x1000);
  w.U64(nopt + 88, 0x100000);
  w.U64(nopt + 96, 0x1000);
  w.U32(nopt + 108, 16);
  w.U32(nopt + 112, edataRva + exportDir);
  w.U32(nopt + 116, edataSize);
  if (!rsrc.empty()) {
    w.U32(nopt + 112 + 2 * 8, rsrcRva);
    w.U32(nopt + 112 + 2 * 8 + 4, uint32_t(rsrc.size()));
  }
  w.U32(nopt + 112 + 5 * 8, relocNewRva);
  w.U32(nopt + 112 + 5 * 8 + 4, relocSizeNew);
  uint32_t sh = nopt + 240;
  for (const Section& s : sections) {
    for (size_t i = 0; s.Name[i]; ++i) out[sh + i] = uint8_t(s.Name[i]);
    w.U32(sh + 8, s.Size);
    w.U32(sh + 12, s.Rva);
    w.U32(sh + 16, AlignUp(s.Size, FileAlignment));
    w.U32(sh + 20, s.FileOffset);
    w.U32(sh + 36, s.Characteristics);
    sh += 40;
  }

  // .text: the bundle.
  std::copy(Ia64ReturnGpBundle, Ia64ReturnGpBundle + 16, out.begin() + sections[0].FileOffset);
  // .data: the tables, their pointers moved with the section, then the descriptor.
  const uint32_t d = sections[1].FileOffset;
  std::copy(amd64.begin() + data->FileOffset, amd64.begin() + data->FileOffset + data->FileSize,
            out.begin() + d);
  for (uint32_t p : pointers) {
    uint32_t at = d + (p - data->Rva);
    uint64_t v = Read64(out, at);
    if (v < ImageBase + data->Rva || v >= ImageBase + data->Rva + data->FileSize) {
      error = "a pointer of the AMD64 tables leads out of its section";
      return 0;
    }
    w.U64(at, uint64_t(int64_t(v) + delta));
  }
  w.U64(d + descriptorOffset, ImageBase + textRva);
  w.U64(d + descriptorOffset + 8, ImageBase + uint32_t(source.TablesRva + delta));
  // .edata: one function, ordinal 1, the descriptor.
  const uint32_t e = sections[2].FileOffset;
  w.U32(e + 12, edataRva + nameText);
  w.U32(e + 16, 1);
  w.U32(e + 20, 1);
  w.U32(e + 24, 1);
  w.U32(e + 28, edataRva + functions);
  w.U32(e + 32, edataRva + names);
  w.U32(e + 36, edataRva + ordinals);
  w.U32(e + functions, dataRva + descriptorOffset);
  w.U32(e + names, edataRva + functionText);
  w.U16(e + ordinals, 0);
  std::copy(dllName.begin(), dllName.end(), out.begin() + e + nameText);
  std::copy(function.begin(), function.end(), out.begin() + e + functionText);
  // .rsrc, .reloc
  if (!rsrc.empty()) std::copy(rsrc.begin(), rsrc.end(), out.begin() + sections[3].FileOffset);
  std::copy(reloc.begin(), reloc.end(), out.begin() + sections.back().FileOffset);
  return 1;
}
