// The layout source, the tables resolved from it and the built libraries:
// the builds hold what the source says, the byte patterns find exactly the
// regions the installer patches, and patching changes exactly those bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/key_table.h"
#include "ia64_image.h"
#include "layout_c_emitter.h"
#include "layout_image.h"
#include "layout_patterns.h"
#include "layout_slots.h"
#include "layout_source.h"
#include "layout_tables.h"
#include "support/layout_patch.h"

namespace {

const std::string PackageDir = LAYOUT_PACKAGE_DIR;

CLayoutSource LoadSource() {
  CLayoutSource source;
  std::vector<uint8_t> bytes = layout_test::ReadBytes(LAYOUT_SOURCE_FILE);
  EXPECT_TRUE(source.Parse(std::string(bytes.begin(), bytes.end()))) << source.Error();
  return source;
}

std::string EntryFile(int t) {
  char name[32];
  std::snprintf(name, sizeof name, "/layouts/layout-%02d.dll", t);
  return PackageDir + name;
}

std::vector<CLayoutBuild> LoadBuilds() {
  std::vector<CLayoutBuild> builds;
  for (int t = 0; t < LayoutEntries; ++t) {
    CLayoutBuild b{
        t, t / 39, t % 39 / 13, t % 13, EntryFile(t), layout_test::ReadBytes(EntryFile(t)), {}};
    EXPECT_FALSE(b.Bytes.empty()) << b.File << " missing: the native build makes it";
    EXPECT_TRUE(b.Image.Read(b.Bytes)) << b.File << ": " << b.Image.Error();
    builds.push_back(std::move(b));
  }
  return builds;
}

TEST(LayoutSource, RejectsBrokenTextWithItsLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const std::string head = "KBD\tx\t\"x\"\nSHIFTSTATE\n0\n1\nLAYOUT\n";
  const Case cases[] = {
      {"10\tQ\t1\tq\n", "line 6: a LAYOUT row has"},
      {"10\tNOSUCH\t1\tq\tQ\n", "line 6: unknown virtual key NOSUCH"},
      {"80\tQ\t1\tq\tQ\n", "line 6: bad scancode"},
      {"10\tQ\t2\tq\tQ\n", "line 6: Cap is 0 or 1"},
      {"10\tQ\t1\tqq\tQ\n", "line 6: bad character cell"},
      {"10\tQ\t1\t00a8@\tQ\nENDKBD\n", "line 6: dead key without a DEADKEY table"},
      {"10\tQ\t1\tq\tQ\n", "ENDKBD missing"},
      {"10\tQ\t1\tq\tQ\nVARIANT\t2\nENDKBD\n", "line 7: VARIANT numbers run"},
  };
  for (const Case& c : cases) {
    CLayoutSource source;
    EXPECT_FALSE(source.Parse(head + c.text)) << c.text;
    EXPECT_NE(source.Error().find(c.error), std::string::npos) << source.Error();
  }
  CLayoutSource utf16;
  std::string good = head + "10\tQ\t1\tя\tЯ\nENDKBD\n";
  std::u16string wide = u"\xFEFF";
  // The same text as UTF-16 with a byte-order mark reads the same.
  for (size_t i = 0; i < good.size();) {
    unsigned char c = good[i];
    if (c < 0x80) {
      wide += char16_t(c);
      i += 1;
    } else {
      wide += char16_t((c & 0x1F) << 6 | (good[i + 1] & 0x3F));
      i += 2;
    }
  }
  std::string bytes;
  for (char16_t ch : wide) bytes += {char(ch & 0xFF), char(ch >> 8)};
  ASSERT_TRUE(utf16.Parse(bytes)) << utf16.Error();
  ASSERT_EQ(utf16.Rows.size(), 1u);
  EXPECT_EQ(utf16.Rows[0].Chars[0], 0x044F);
}

// Keys the installer lets the user remap, and the keys it knows, keep the
// virtual keys of its key table in every group and variant, unless the
// variant moves a letter or punctuation key on purpose.
TEST(LayoutTables, KeysKeepTheKeyTableExceptWhereAVariantMovesThem) {
  CLayoutSource source = LoadSource();
  const uint16_t remappable[] = {0x2A, 0x36, 0x1D, 0x38, 0x56, 0x0F, 0x3A, 0x46, 0x45};
  for (int g = 0; g < 2; ++g)
    for (int v = 0; v < 3; ++v) {
      CLayoutTables t;
      std::string error;
      ASSERT_TRUE(ResolveLayoutTables(source, g, v, t, error)) << error;
      for (uint16_t sc : remappable)
        for (int i = 0; i < KeyTableEndRow; ++i)
          if (KeyTable[i].Scancode == sc) {
            EXPECT_EQ(t.VscToVk[sc], KeyTable[i].VirtualKey) << sc;
          }
      ASSERT_EQ(t.E0.size(), 39u);
      for (size_t i = 0; i < t.E0.size(); ++i)
        EXPECT_EQ(t.E0[i].VirtualKey, KeyTable[104 + i].VirtualKey);
      ASSERT_EQ(t.E1.size(), 1u);
      EXPECT_EQ(t.E1[0].Scancode, 0x1D);
      EXPECT_EQ(t.E1[0].VirtualKey, 0x13);
      EXPECT_EQ(t.LocaleFlags, 0x10001u);  // table version 1, AltGr
    }
  struct Case {
    int variant;
    uint8_t scancode;
    uint8_t vk;
  };
  // A source that moves such a key is refused.
  const std::string bad =
      "KBD\tx\t\"x\"\nSHIFTSTATE\n0\n1\nLAYOUT\n10\tQ\t1\tq\tQ\nVARIANT\t1\t\"y\"\n3a\tQ\nENDKBD\n";
  CLayoutSource broken;
  ASSERT_TRUE(broken.Parse(bad)) << broken.Error();
  CLayoutTables brokenTables;
  std::string brokenError;
  EXPECT_TRUE(ResolveLayoutTables(broken, 0, 0, brokenTables, brokenError)) << brokenError;
  EXPECT_FALSE(ResolveLayoutTables(broken, 0, 1, brokenTables, brokenError));
  EXPECT_NE(brokenError.find("scancode 58 is a key the installer remaps"), std::string::npos) << brokenError;
  const Case moved[] = {{0, 0x15, 'Y'}, {0, 0x2C, 'Z'}, {1, 0x15, 'Z'}, {1, 0x2C, 'Y'},
                        {2, 0x10, 'A'}, {2, 0x1E, 'Q'}, {2, 0x11, 'Z'}, {2, 0x2C, 'W'},
                        {2, 0x27, 'M'}, {2, 0x35, 0xBA}};
  for (const Case& c : moved) {
    CLayoutTables t;
    std::string error;
    ASSERT_TRUE(ResolveLayoutTables(source, 0, c.variant, t, error));
    EXPECT_EQ(t.VscToVk[c.scancode], c.vk)
        << "variant " << c.variant << " scancode " << int(c.scancode);
  }
}

TEST(LayoutBuilds, HoldTheirSlotsMachineAndNoTimestamp) {
  for (const CLayoutBuild& b : LoadBuilds()) {
    const CLayoutSlot& slot = LayoutSlotInfo(b.Slot);
    EXPECT_EQ(b.Image.Machine, slot.Machine) << b.File;
    // Narrow tables on every 32-bit build: the 32-bit kernel reads them.
    EXPECT_EQ(b.Image.PointerSize, slot.Machine == 0x014C ? 4 : 8) << b.File;
    uint32_t pe = b.Bytes[0x3C] | b.Bytes[0x3D] << 8;
    uint32_t stamp = b.Bytes[pe + 8] | b.Bytes[pe + 9] << 8 | b.Bytes[pe + 10] << 16 |
                     uint32_t(b.Bytes[pe + 11]) << 24;
    EXPECT_EQ(stamp, 0u) << b.File;
    uint32_t opt = pe + 24;
    EXPECT_EQ(b.Bytes[opt + 68] | b.Bytes[opt + 69] << 8, 1) << b.File << ": subsystem native";
    EXPECT_EQ(b.Bytes[opt + 40] | b.Bytes[opt + 41] << 8, slot.OsMajor) << b.File;
    EXPECT_EQ(b.Bytes[opt + 42] | b.Bytes[opt + 43] << 8, slot.OsMinor) << b.File;
    EXPECT_EQ(b.Bytes[opt + 16] | b.Bytes[opt + 17] << 8, 0) << b.File << ": no entry point";
  }
}

TEST(LayoutBuilds, SameTablesForEverySlotOfAGroupAndVariant) {
  std::vector<CLayoutBuild> builds = LoadBuilds();
  for (const CLayoutBuild& a : builds)
    for (const CLayoutBuild& b : builds) {
      if (a.Group != b.Group || a.Variant != b.Variant || a.Image.Machine != b.Image.Machine)
        continue;
      // Builds of one machine differ only in the version stamps of the headers.
      ASSERT_EQ(a.Bytes.size(), b.Bytes.size());
      int differing = 0;
      for (size_t i = 0; i < a.Bytes.size(); ++i) differing += a.Bytes[i] != b.Bytes[i];
      EXPECT_LE(differing, 12) << a.File << " " << b.File;
    }
}

TEST(LayoutPatterns, FindExactlyTheRegionsInEveryBuild) {
  std::vector<CLayoutBuild> builds = LoadBuilds();
  auto patterns = layout_test::ReadPatterns(PackageDir + "/patterns.txt");
  ASSERT_EQ(patterns.size(), 6u);
  for (const auto& kv : patterns) {
    EXPECT_EQ(CheckPattern(builds, kv.first, kv.second), "") << kv.first;
    for (char c : kv.second)
      EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << kv.first;
  }
  EXPECT_NE(patterns[147], patterns[148]);
  EXPECT_NE(patterns[148], patterns[149]);
  EXPECT_NE(patterns[147], patterns[149]);
}

TEST(LayoutPatterns, CheckReportsEarlyMatchesMissingPatternsAndShortImages) {
  std::vector<CLayoutBuild> builds = LoadBuilds();
  auto patterns = layout_test::ReadPatterns(PackageDir + "/patterns.txt");
  std::vector<CLayoutBuild> one;
  one.push_back(builds[0]);
  // A copy of the E0 pattern planted in the headers' slack makes it match early.
  std::vector<uint8_t> e0 = DecodeHex(patterns[150]);
  std::copy(e0.begin(), e0.end(), one[0].Bytes.begin() + 0x300);
  EXPECT_NE(CheckPattern(one, 150, patterns[150]).find("first match at 768"), std::string::npos);
  EXPECT_NE(CheckPattern(one, 146, "0123456789ABCDEF").find("pattern not found"),
            std::string::npos);
  EXPECT_NE(CheckPattern(one, 146, "2e00").find("not an upper-case hex pattern"),
            std::string::npos);
  one[0] = builds[0];
  one[0].Bytes.resize(one[0].Image.VscToVkOffset + 200);
  EXPECT_NE(CheckPattern(one, 147, patterns[147]).find("does not fit"), std::string::npos);
  // A variant's array pattern serves only that variant's builds.
  std::string error;
  std::map<int, std::string> chosen;
  EXPECT_TRUE(ChoosePatterns(builds, 3, chosen, error)) << error;
  EXPECT_EQ(chosen, patterns);
}

// Patching a copy with a remapped modifier key (left Shift as left Ctrl, right
// Ctrl as the Application key, left Windows as nothing) and the comma patch
// changes exactly the intended bytes, in every build.
TEST(LayoutPatch, ChangesExactlyTheIntendedBytes) {
  auto patterns = layout_test::ReadPatterns(PackageDir + "/patterns.txt");
  const std::vector<layout_test::KeyChange> changes = {
      {0x002A, 0x00A2}, {0xE01D, 0x015D}, {0xE05B, 0x00FF}};
  for (const CLayoutBuild& b : LoadBuilds()) {
    std::vector<uint8_t> image = b.Bytes;
    ASSERT_TRUE(layout_test::Patch(image, patterns, b.Variant, changes, true)) << b.File;
    std::vector<size_t> want = {b.Image.VscToVkOffset + 2 * 0x2A, b.Image.DecimalOffset,
                                b.Image.DecimalOffset + 2};
    for (int i = 0; i < b.Image.E0Count; ++i) {
      uint8_t sc = b.Bytes[b.Image.E0Offset + 4 * i];
      if (sc == 0x1D || sc == 0x5B) {
        want.push_back(b.Image.E0Offset + 4 * i + 2);
        want.push_back(b.Image.E0Offset + 4 * i + 3);
      }
    }
    std::vector<size_t> changed;
    for (size_t i = 0; i < image.size(); ++i)
      if (image[i] != b.Bytes[i]) changed.push_back(i);
    // The low byte of each changed value differs; a high byte only where the flags change.
    for (size_t at : changed)
      EXPECT_NE(std::find(want.begin(), want.end(), at), want.end()) << b.File << " byte " << at;
    CLayoutImage patched;
    ASSERT_TRUE(patched.Read(image)) << patched.Error();
    EXPECT_EQ(image[patched.VscToVkOffset + 2 * 0x2A], 0xA2);
    EXPECT_EQ(patched.CharOf(0x6E, 0), ',');
    EXPECT_EQ(patched.CharOf(0x6E, 1), ',');
    EXPECT_EQ(b.Image.CharOf(0x6E, 0), '.');
  }
}

TEST(LayoutEmitter, SameSourceGivesTheSameText) {
  CLayoutSource source = LoadSource();
  CLayoutTables t;
  std::string error;
  ASSERT_TRUE(ResolveLayoutTables(source, 1, 2, t, error)) << error;
  EXPECT_EQ(EmitLayoutC(t, "x"), EmitLayoutC(t, "x"));
  // Group 1's alternative placement.
  EXPECT_EQ(CharOfKey(t, 'W', 0), 0x0436);  // ж
  EXPECT_EQ(CharOfKey(t, 'V', 1), 0x0412);  // В
}

// The companion documents: a manual with a title page and a chart of each of
// the six group and variant pairs, key-cap labels for both groups, the page.
TEST(LayoutDocuments, HoldEveryChartAndTheLetterTable) {
  auto count = [](const std::vector<uint8_t>& pdf) {
    std::string s(pdf.begin(), pdf.end());
    int pages = 0;
    for (size_t at = s.find("/Type /Page"); at != std::string::npos;
         at = s.find("/Type /Page", at + 1))
      pages += s.compare(at, 12, "/Type /Pages") != 0;
    return pages;
  };
  std::vector<uint8_t> manual = layout_test::ReadBytes(PackageDir + "/documents/manual.pdf");
  std::vector<uint8_t> caps = layout_test::ReadBytes(PackageDir + "/documents/keycaps.pdf");
  std::vector<uint8_t> page = layout_test::ReadBytes(PackageDir + "/documents/page.html");
  ASSERT_GT(manual.size(), 4u);
  EXPECT_EQ(std::string(manual.begin(), manual.begin() + 4), "%PDF");
  EXPECT_EQ(count(manual), 1 + 6);
  EXPECT_EQ(count(caps), 2);
  std::string html(page.begin(), page.end());
  EXPECT_NE(html.find("<tr><td>W</td><td>\xD0\xB2</td><td>\xD0\xB6</td></tr>"),
            std::string::npos);  // в, ж
  // A fixed date instead of the time of the build.
  EXPECT_NE(std::string(manual.begin(), manual.end()).find("20240101000000"), std::string::npos);
}

// The IA64 builds come from our own PE32+ writer. The mingw-w64 linker's
// reader, which knows no IA64, reads the same image once its machine field
// says AMD64: the headers, the sections, the export and the relocations must
// make sense to it too.
TEST(LayoutIa64, ImageReadsWithAnIndependentPeReader) {
  std::vector<uint8_t> image = layout_test::ReadBytes(EntryFile(39 + 13 + 6));
  ASSERT_GT(image.size(), 0x200u);
  CLayoutImage ours;
  ASSERT_TRUE(ours.Read(image)) << ours.Error();
  EXPECT_EQ(ours.Machine, 0x0200);
  uint32_t pe = image[0x3C];
  image[pe + 4] = 0x64;
  image[pe + 5] = 0x86;
  std::string copy = testing::TempDir() + "ia64-as-amd64.dll";
  {
    std::ofstream f(copy, std::ios::binary);
    f.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }
  std::string report;
  FILE* p = popen(("x86_64-w64-mingw32-objdump -p -h '" + copy + "' 2>&1").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buffer[512];
  while (fgets(buffer, sizeof buffer, p)) report += buffer;
  EXPECT_EQ(pclose(p), 0) << report;
  // The resources moved with their section: the resource compiler reads them back.
  std::string resources;
  p = popen(("x86_64-w64-mingw32-windres -i '" + copy + "' -O rc 2>&1").c_str(), "r");
  ASSERT_NE(p, nullptr);
  while (fgets(buffer, sizeof buffer, p)) resources += buffer;
  EXPECT_EQ(pclose(p), 0) << resources;
  EXPECT_NE(resources.find("1000, \"Russian - Phonetic\""), std::string::npos) << resources;
  EXPECT_NE(resources.find("VALUE \"OriginalFilename\", \"kbdruphn.dll\""), std::string::npos)
      << resources;
  std::remove(copy.c_str());
  for (const char* line :
       {"Subsystem\t\t00000001\t(NT native)", "[   0] KbdLayerDescriptor", ".text", ".data",
        ".edata", ".rsrc", ".reloc", "reloc    0 offset", "MajorSubsystemVersion\t6"})
    EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
  // The descriptor's two words are relocated addresses: code, then gp.
  EXPECT_NE(report.find("DIR64"), std::string::npos) << report;
}

TEST(LayoutIa64, TheBundleReturnsGp) {
  // { .mib adds r8 = 0, r1; nop.i 0; br.ret.sptk.many b0 ;; }: template MIB with
  // a stop, then the three slots; the last eight bytes are those of every
  // "nop.i; br.ret b0" bundle.
  EXPECT_EQ(Ia64ReturnGpBundle[0] & 31, 0x11);
  EXPECT_EQ(EncodeHex(Ia64ReturnGpBundle + 8, 8), "0002008008008400");
  std::vector<uint8_t> image = layout_test::ReadBytes(EntryFile(3));
  CLayoutImage ia64, amd64;
  ASSERT_TRUE(ia64.Read(image)) << ia64.Error();
  ASSERT_TRUE(amd64.Read(layout_test::ReadBytes(EntryFile(4)))) << amd64.Error();
  EXPECT_EQ(ia64.CharOf('Q', 0), amd64.CharOf('Q', 0));
  EXPECT_EQ(ia64.DeadResult(0xA8, 0x0435), 0x0451);
  // A changed bundle is refused, not misread.
  uint32_t textOffset = 0;
  for (const CPeSection& s : ia64.Sections)
    if (s.Name == ".text") textOffset = s.FileOffset;
  ASSERT_NE(textOffset, 0u);
  image[textOffset + 1] ^= 0x08;  // adds r9 instead of r8
  CLayoutImage broken;
  EXPECT_FALSE(broken.Read(image));
  EXPECT_NE(broken.Error().find("IA64 descriptor code"), std::string::npos) << broken.Error();
}

// Damaged input gets an error, never a read outside the buffer (the
// sanitizer build runs this too): every prefix of a library and of the
// source, and libraries with bytes overwritten all over.
TEST(LayoutReaders, DamagedInputIsRefusedWithoutOverruns) {
  for (int t : {0, 3, 4}) {
    const std::vector<uint8_t> whole = layout_test::ReadBytes(EntryFile(t));
    ASSERT_FALSE(whole.empty());
    for (size_t n = 0; n < whole.size(); n += (n < 0x600 ? 1 : 7)) {
      CLayoutImage image;
      if (image.Read(std::vector<uint8_t>(whole.begin(), whole.begin() + n))) {
        // A shortened image may still hold the tables; then it reads them fully.
        EXPECT_GE(n, image.VscToVkOffset + 2u * image.VscToVkCount);
      } else {
        EXPECT_FALSE(image.Error().empty());
      }
    }
    uint32_t start = 12345;
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> bytes = whole;
      for (int k = 0; k < 4; ++k) {
        start = start * 1103515245u + 12345u;
        bytes[(start >> 8) % bytes.size()] = uint8_t(start >> 3);
      }
      CLayoutImage image;
      if (image.Read(bytes)) {
        image.CharOf('A', 0);
        image.DeadResult(0xA8, 0x0435);
      }
    }
  }
  const std::vector<uint8_t> text = layout_test::ReadBytes(LAYOUT_SOURCE_FILE);
  for (size_t n = 0; n < text.size(); n += 13) {
    CLayoutSource source;
    EXPECT_FALSE(source.Parse(std::string(text.begin(), text.begin() + n)));
    EXPECT_FALSE(source.Error().empty());
  }
}

}  // namespace
