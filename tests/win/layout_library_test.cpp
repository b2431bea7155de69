// The 64-bit layout libraries as Windows uses them: loaded, asked for their
// tables through the exported descriptor function, and walked through real
// pointers. Also the installer's patches applied to a copy, which must still
// load and report the new virtual key.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "layout_source.h"
#include "layout_tables.h"
#include "support/layout_patch.h"

namespace {

// The layout tables as the system reads them (64-bit pointers).
struct VkToBit {
  BYTE Vk, ModBits;
};
struct Modifiers {
  VkToBit* pVkToBit;
  WORD wMaxModBits;
  BYTE ModNumber[8];
};
struct VkToWcharTable {
  BYTE* pVkToWchars;
  BYTE nModifications, cbSize;
};
struct DeadKey {
  DWORD dwBoth;
  WCHAR wchComposed;
  USHORT uFlags;
};
struct VscVk {
  BYTE Vsc;
  USHORT Vk;
};
struct KbdTables {
  Modifiers* pCharModifiers;
  VkToWcharTable* pVkToWcharTable;
  DeadKey* pDeadKey;
  void* pKeyNames;
  void* pKeyNamesExt;
  WCHAR** pKeyNamesDead;
  USHORT* pusVSCtoVK;
  BYTE bMaxVSCtoVK;
  VscVk* pVSCtoVK_E0;
  VscVk* pVSCtoVK_E1;
  DWORD fLocaleFlags;
  BYTE nLgMax, cbLgEntry;
  void* pLigature;
  DWORD dwType, dwSubType;
};
static_assert(sizeof(KbdTables) == 104, "64-bit top table");

const std::string PackageDir = LAYOUT_PACKAGE_DIR;

std::wstring WindowsPath(const std::string& unixPath) {
  std::wstring w = L"Z:";
  for (char c : unixPath) w += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
  return w;
}

std::string EntryPath(int t) {
  char name[32];
  std::snprintf(name, sizeof name, "/layouts/layout-%02d.dll", t);
  return PackageDir + name;
}

// Column of a shift state: Shift 1, Ctrl 2, Alt 4.
int Column(const KbdTables* t, int state) { return t->pCharModifiers->ModNumber[state]; }

// The character of a virtual key in a column; 0xF000 none, -1 the key is missing.
int CharOf(const KbdTables* t, BYTE vk, int column) {
  for (const VkToWcharTable* table = t->pVkToWcharTable; table->pVkToWchars; ++table)
    for (const BYTE* row = table->pVkToWchars; row[0]; row += table->cbSize)
      if (row[0] == vk) {
        if (column >= table->nModifications) return 0xF000;
        return reinterpret_cast<const WCHAR*>(row + 2)[column];
      }
  return -1;
}

int DeadResult(const KbdTables* t, WCHAR accent, WCHAR base) {
  for (const DeadKey* d = t->pDeadKey; d->dwBoth; ++d)
    if (d->dwBoth == (DWORD(accent) << 16 | base)) return d->wchComposed;
  return -1;
}

class CLoadedLayout {
 public:
  explicit CLoadedLayout(const std::wstring& path) : Module(LoadLibraryW(path.c_str())) {
    if (!Module) return;
    auto descriptor = reinterpret_cast<KbdTables*(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(Module, "KbdLayerDescriptor")));
    if (descriptor) Tables = descriptor();
  }
  ~CLoadedLayout() {
    if (Module) FreeLibrary(Module);
  }
  CLoadedLayout(const CLoadedLayout&) = delete;
  CLoadedLayout& operator=(const CLoadedLayout&) = delete;
  HMODULE Module;
  KbdTables* Tables = nullptr;
};

const int Amd64Slots[] = {4, 7, 10, 12};

// Which key carries which letter: per variant, the scancode of a few keys.
TEST(LayoutLibrary, EveryAmd64BuildGivesTheSourcesCharacters) {
  struct Key {
    int variant;  // -1 every variant
    int group;    // -1 every group
    BYTE scancode;
    int state;
    WCHAR expected;
  };
  const Key keys[] = {
      {0, -1, 0x1E, 0, 0x0430},                             // а on A
      {2, -1, 0x1E, 0, 0x044F},                             // AZERTY: the key marked Q gives я
      {-1, -1, 0x12, 1, 0x0415},                            // Shift+E: Е
      {-1, -1, 0x12, 6, 0x0451},                            // AltGr+E: ё
      {-1, -1, 0x2D, 7, 0x042A},                            // Shift+AltGr+X: Ъ
      {-1, -1, 0x1A, 2, 0x001B},                            // Ctrl+[
      {-1, -1, 0x53, 0, L'.'},                              // keypad decimal key
      {-1, -1, 0x53, 1, L'.'},   {0, -1, 0x15, 0, 0x044B},  // QWERTY: Y key gives ы
      {0, -1, 0x2C, 0, 0x0437},                             // QWERTY: Z key gives з
      {1, -1, 0x15, 0, 0x0437},                             // QWERTZ: the key marked Z gives з
      {1, -1, 0x2C, 1, 0x042B},  // QWERTZ: Shift on the key marked Y gives Ы
      {2, -1, 0x10, 0, 0x0430},  // AZERTY: the key marked A gives а
      {2, -1, 0x27, 0, 0x043C},  // AZERTY: the key marked M gives м
      {0, 0, 0x11, 0, 0x0432},   // group 0: W gives в
      {0, 1, 0x11, 0, 0x0436},   // group 1: W gives ж
      {1, 1, 0x2F, 1, 0x0412},   // group 1: Shift+V gives В
      {2, 0, 0x29, 0, 0x044E},   // group 0: ю left of 1
      {2, 1, 0x29, 0, 0x0451},   // group 1: ё left of 1
  };
  for (int group = 0; group < 2; ++group)
    for (int variant = 0; variant < 3; ++variant)
      for (int slot : Amd64Slots) {
        int t = group * 39 + variant * 13 + slot;
        SCOPED_TRACE("entry " + std::to_string(t));
        CLoadedLayout layout(WindowsPath(EntryPath(t)));
        ASSERT_NE(layout.Module, nullptr)
            << "not loadable: " << EntryPath(t) << " (built by the native build)";
        ASSERT_NE(layout.Tables, nullptr);
        const KbdTables* tables = layout.Tables;
        EXPECT_EQ(tables->fLocaleFlags, 0x10001u);
        ASSERT_EQ(tables->bMaxVSCtoVK, 128);
        EXPECT_EQ(tables->pusVSCtoVK[0x2A], 0x00A0);  // left Shift, as the key table says
        EXPECT_EQ(tables->pusVSCtoVK[0x36], 0x01A1);
        EXPECT_EQ(tables->pVSCtoVK_E1[0].Vsc, 0x1D);
        EXPECT_EQ(tables->pVSCtoVK_E1[0].Vk, 0x13);
        EXPECT_EQ(tables->pVSCtoVK_E0[0].Vsc, 0x10);
        for (const Key& k : keys) {
          if ((k.variant >= 0 && k.variant != variant) || (k.group >= 0 && k.group != group))
            continue;
          BYTE vk = BYTE(tables->pusVSCtoVK[k.scancode]);
          EXPECT_EQ(CharOf(tables, vk, Column(tables, k.state)), k.expected)
              << "scancode " << int(k.scancode) << " state " << k.state;
        }
        // The diaeresis is a dead key on AltGr+; and makes ё of е.
        BYTE semicolonKey = BYTE(tables->pusVSCtoVK[variant == 2 ? 0x35 : 0x27]);
        EXPECT_EQ(CharOf(tables, semicolonKey, Column(tables, 6)), 0xF001);
        EXPECT_EQ(DeadResult(tables, 0x00A8, 0x0435), 0x0451);
        EXPECT_EQ(DeadResult(tables, 0x00A8, L' '), 0x00A8);
        // The display name "@file,-1000" refers to, and the language's name.
        wchar_t text[64] = {};
        EXPECT_GT(LoadStringW(layout.Module, 1000, text, 64), 0);
        EXPECT_EQ(std::wstring(text), L"Russian - Phonetic");
        EXPECT_GT(LoadStringW(layout.Module, 1100, text, 64), 0);
        EXPECT_EQ(std::wstring(text), L"Russian (Russia)");
        ASSERT_NE(tables->pKeyNamesDead[0], nullptr);
        EXPECT_EQ(tables->pKeyNamesDead[0][0], 0x00A8);
      }
}

// Every key of the source, in every column, as the loaded library gives it
// through its own pointers: the characters, the dead keys' results and the
// scancode tables of each group and variant.
TEST(LayoutLibrary, LoadedTablesMatchTheSourceKeyForKey) {
  std::vector<uint8_t> text = layout_test::ReadBytes(LAYOUT_SOURCE_FILE);
  CLayoutSource source;
  ASSERT_TRUE(source.Parse(std::string(text.begin(), text.end()))) << source.Error();
  for (int t : {4, 13 + 7, 26 + 10, 39 + 12, 39 + 13 + 4, 39 + 26 + 7}) {
    SCOPED_TRACE("entry " + std::to_string(t));
    CLayoutTables want;
    std::string error;
    ASSERT_TRUE(ResolveLayoutTables(source, t / 39, t % 39 / 13, want, error)) << error;
    CLoadedLayout layout(WindowsPath(EntryPath(t)));
    ASSERT_NE(layout.Tables, nullptr);
    for (int sc = 0; sc < VscTableEntries; ++sc)
      EXPECT_EQ(layout.Tables->pusVSCtoVK[sc], want.VscToVk[sc]) << sc;
    for (const CCharTable& table : want.CharTables)
      for (const CCharRow& row : table.Rows) {
        if (row.VirtualKey == 0xFF) continue;
        for (int c = 0; c < table.Columns; ++c)
          EXPECT_EQ(CharOf(layout.Tables, row.VirtualKey, c), row.Chars[c])
              << int(row.VirtualKey) << " " << c;
      }
    for (const CDeadKeyTable& dead : want.DeadKeys)
      for (const auto& pair : dead.Pairs)
        EXPECT_EQ(DeadResult(layout.Tables, dead.Accent, pair.first), pair.second);
  }
}

// The installer's patches on a copy: left Ctrl moved onto Caps Lock and right
// Alt, keypad decimal key made a comma; the copy still loads and says so.
TEST(LayoutLibrary, PatchedCopyLoadsAndReportsTheNewVirtualKey) {
  auto patterns = layout_test::ReadPatterns(PackageDir + "/patterns.txt");
  ASSERT_EQ(patterns.size(), 6u);
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  for (int t : {4, 39 + 13 + 12, 39 + 26 + 7}) {
    SCOPED_TRACE("entry " + std::to_string(t));
    std::vector<uint8_t> image = layout_test::ReadBytes(EntryPath(t));
    ASSERT_FALSE(image.empty());
    ASSERT_TRUE(layout_test::Patch(image, patterns, t % 39 / 13,
                                   {{0x003A, 0x00A2}, {0xE038, 0x00A2}}, true));
    ASSERT_NE(GetTempFileNameW(folder, L"kbd", 0, file), 0u);
    HANDLE h =
        CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, image.data(), DWORD(image.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, image.size());
    {
      CLoadedLayout layout(file);
      ASSERT_NE(layout.Tables, nullptr);
      EXPECT_EQ(layout.Tables->pusVSCtoVK[0x3A], 0x00A2);
      EXPECT_EQ(layout.Tables->pusVSCtoVK[0x1D], 0x00A2);
      int rightAlt = -1;
      for (const VscVk* e = layout.Tables->pVSCtoVK_E0; e->Vsc; ++e)
        if (e->Vsc == 0x38) rightAlt = e->Vk;
      EXPECT_EQ(rightAlt, 0x00A2);
      EXPECT_EQ(CharOf(layout.Tables, VK_DECIMAL, 0), L',');
      EXPECT_EQ(CharOf(layout.Tables, VK_DECIMAL, 1), L',');
    }
    DeleteFileW(file);
  }
}

}  // namespace
