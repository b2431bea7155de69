// The package builder's layout step.
//
//   layout_tool emit SOURCE OUTDIR
//       writes the C source and resource script of every group and variant
//       (layout-g<G>v<V>.c and .rc);
//       files whose text is unchanged are left alone.
//   layout_tool ia64 AMD64DLL SLOT OUTDLL
//       writes the IA64 build of a slot from the AMD64 build of the same
//       group and variant (see ia64_image.h).
//   layout_tool check SOURCE PATTERNS MANIFEST DLL...
//       reads every built library (named layout-NN.dll by catalogue entry),
//       checks its machine, its tables against the source and the patched
//       regions, chooses the byte patterns and writes them and the manifest.
//
// Exit code 0 on success; otherwise a message on stderr naming what failed.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "ia64_image.h"
#include "layout_c_emitter.h"
#include "layout_patterns.h"
#include "layout_slots.h"
#include "layout_source.h"
#include "layout_tables.h"

namespace {

int Usage() {
  std::cerr << "usage: layout_tool emit SOURCE OUTDIR\n"
               "       layout_tool ia64 AMD64DLL SLOT OUTDLL\n"
               "       layout_tool check SOURCE PATTERNS MANIFEST DLL...\n";
  return 2;
}

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

bool WriteIfChanged(const std::string& path, const std::string& text) {
  std::string old;
  if (ReadFile(path, old) && old == text) return true;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return bool(f);
}

int LoadSource(const std::string& path, CLayoutSource& source) {
  std::string bytes;
  if (!ReadFile(path, bytes)) {
    std::cerr << path << ": cannot read\n";
    return 0;
  }
  if (!source.Parse(bytes)) {
    std::cerr << path << ": " << source.Error() << "\n";
    return 0;
  }
  if (int(source.Variants.size()) != LayoutVariants) {
    std::cerr << path << ": the package needs exactly " << LayoutVariants << " variants\n";
    return 0;
  }
  return 1;
}

int Emit(const std::string& sourcePath, const std::string& outDir) {
  CLayoutSource source;
  if (!LoadSource(sourcePath, source)) return 1;
  for (int g = 0; g < LayoutGroups; ++g)
    for (int v = 0; v < LayoutVariants; ++v) {
      CLayoutTables tables;
      std::string error;
      if (!ResolveLayoutTables(source, g, v, tables, error)) {
        std::cerr << sourcePath << ": " << error << "\n";
        return 1;
      }
      std::string title = "Keyboard layout " + source.FileName + ", group " + std::to_string(g) +
                          ", variant " + std::to_string(v) + ".";
      std::string path = outDir + "/layout-g" + std::to_string(g) + "v" + std::to_string(v) + ".c";
      std::string rcPath =
          outDir + "/layout-g" + std::to_string(g) + "v" + std::to_string(v) + ".rc";
      std::string description =
          "Keyboard layout library, variant " + std::to_string(v) + ", group " + std::to_string(g);
      if (!WriteIfChanged(path, EmitLayoutC(tables, title)) ||
          !WriteIfChanged(rcPath, EmitLayoutRc(source, description))) {
        std::cerr << path << ": cannot write\n";
        return 1;
      }
    }
  return 0;
}

// What the library holds must be what the source says.
std::string CompareWithSource(const CLayoutBuild& b, const CLayoutTables& t) {
  const CLayoutImage& im = b.Image;
  const CLayoutSlot& slot = LayoutSlotInfo(b.Slot);
  if (im.Machine != slot.Machine) return "machine does not match its slot";
  if (im.PointerSize != (slot.Machine == 0x014C ? 4 : 8))
    return "pointer size does not match its slot";
  if (im.VscToVkCount != VscTableEntries) return "scancode array has the wrong length";
  for (int s = 0; s < VscTableEntries; ++s) {
    uint32_t o = im.VscToVkOffset + 2 * s;
    if ((b.Bytes[o] | b.Bytes[o + 1] << 8) != t.VscToVk[s])
      return "scancode " + std::to_string(s) + " differs";
  }
  auto records = [&](uint32_t offset, int count, const std::vector<CVscVk>& want) {
    if (count != int(want.size())) return false;
    for (int i = 0; i < count; ++i) {
      uint32_t o = offset + 4 * i;
      if (b.Bytes[o] != want[i].Scancode ||
          (b.Bytes[o + 2] | b.Bytes[o + 3] << 8) != want[i].VirtualKey)
        return false;
    }
    return true;
  };
  if (!records(im.E0Offset, im.E0Count, t.E0)) return "E0 list differs";
  if (!records(im.E1Offset, im.E1Count, t.E1)) return "E1 list differs";
  for (const CCharTable& ct : t.CharTables)
    for (const CCharRow& r : ct.Rows) {
      if (r.VirtualKey == 0xFF) continue;
      for (int c = 0; c < ct.Columns; ++c)
        if (im.CharOf(r.VirtualKey, c) != r.Chars[c])
          return "virtual key " + std::to_string(r.VirtualKey) + " column " + std::to_string(c) +
                 " differs";
    }
  for (const CDeadKeyTable& d : t.DeadKeys)
    for (const auto& p : d.Pairs)
      if (im.DeadResult(d.Accent, p.first) != p.second) return "dead key table differs";
  return "";
}

int Check(const std::string& sourcePath, const std::string& patternsPath,
          const std::string& manifestPath, const std::vector<std::string>& dlls) {
  CLayoutSource source;
  if (!LoadSource(sourcePath, source)) return 1;
  std::vector<CLayoutBuild> builds;
  for (const std::string& path : dlls) {
    size_t slash = path.find_last_of('/');
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    int entry = -1;
    if (std::sscanf(file.c_str(), "layout-%d.dll", &entry) != 1 || entry < 0 ||
        entry >= LayoutEntries) {
      std::cerr << path << ": not named layout-NN.dll with an entry number 0.." << LayoutEntries - 1
                << "\n";
      return 1;
    }
    CLayoutBuild b{entry, entry / 39, entry % 39 / 13, entry % 13, file, {}, {}};
    std::string bytes;
    if (!ReadFile(path, bytes)) {
      std::cerr << path << ": cannot read\n";
      return 1;
    }
    b.Bytes.assign(bytes.begin(), bytes.end());
    if (!b.Image.Read(b.Bytes)) {
      std::cerr << path << ": " << b.Image.Error() << "\n";
      return 1;
    }
    CLayoutTables tables;
    std::string error;
    if (!ResolveLayoutTables(source, b.Group, b.Variant, tables, error)) {
      std::cerr << sourcePath << ": " << error << "\n";
      return 1;
    }
    std::string diff = CompareWithSource(b, tables);
    if (!diff.empty()) {
      std::cerr << path << ": " << diff << "\n";
      return 1;
    }
    builds.push_back(std::move(b));
  }
  std::map<int, std::string> patterns;
  std::string error;
  if (!ChoosePatterns(builds, LayoutVariants, patterns, error)) {
    std::cerr << "layout patterns: " << error << "\n";
    return 1;
  }
  std::ostringstream p;
  for (const auto& kv : patterns) p << kv.first << "\t" << kv.second << "\n";
  std::ostringstream m;
  m << "# entry\tfile\tgroup\tvariant\tslot\tmachine\tbytes\n";
  std::vector<bool> present(LayoutEntries);
  for (const CLayoutBuild& b : builds) present[b.Entry] = true;
  for (int t = 0; t < LayoutEntries; ++t) {
    const CLayoutBuild* b = nullptr;
    for (const CLayoutBuild& x : builds)
      if (x.Entry == t) b = &x;
    const CLayoutSlot& slot = LayoutSlotInfo(t % 13);
    const char* machine = slot.Machine == 0x014C   ? "x86"
                          : slot.Machine == 0x8664 ? "amd64"
                                                   : "ia64";
    m << t << "\t" << (b ? b->File : "-") << "\t" << t / 39 << "\t" << t % 39 / 13 << "\t" << t % 13
      << "\t" << machine << "\t" << (b ? std::to_string(b->Bytes.size()) : "missing") << "\n";
  }
  if (!WriteIfChanged(patternsPath, p.str()) || !WriteIfChanged(manifestPath, m.str())) {
    std::cerr << "cannot write " << patternsPath << " or " << manifestPath << "\n";
    return 1;
  }
  return 0;
}

int Ia64(const std::string& amd64Path, const std::string& slotText, const std::string& outPath) {
  std::string bytes;
  int slot = std::atoi(slotText.c_str());
  if (slot < 0 || slot >= LayoutSlots || LayoutSlotInfo(slot).Machine != 0x0200) {
    std::cerr << "slot " << slotText << " is no IA64 slot\n";
    return 1;
  }
  if (!ReadFile(amd64Path, bytes)) {
    std::cerr << amd64Path << ": cannot read\n";
    return 1;
  }
  size_t slash = outPath.find_last_of('/');
  std::vector<uint8_t> image;
  std::string error;
  if (!MakeIa64Image(std::vector<uint8_t>(bytes.begin(), bytes.end()), LayoutSlotInfo(slot),
                     slash == std::string::npos ? outPath : outPath.substr(slash + 1), image,
                     error)) {
    std::cerr << amd64Path << ": " << error << "\n";
    return 1;
  }
  std::ofstream f(outPath, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  if (!f) {
    std::cerr << outPath << ": cannot write\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "emit" && argc == 4) return Emit(argv[2], argv[3]);
  if (command == "ia64" && argc == 5) return Ia64(argv[2], argv[3], argv[4]);
  if (command == "check" && argc >= 5)
    return Check(argv[2], argv[3], argv[4], std::vector<std::string>(argv + 5, argv + argc));
  return Usage();
}
