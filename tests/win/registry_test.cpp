#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/install.h"
#include "core/registry_value.h"
#include "support/table_builder.h"

namespace {

// Every key the records touch lives below this key of the tests' own.
const wchar_t kRoot[] = L"Software\\SetupTests\\Registry";

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::u16string Name(uint32_t id) { return u"v" + U16(std::to_wstring(id)); }

class RegistryRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot);
    RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    AttachStrings(install);
    for (const wchar_t* key : {L"\\Layouts", L"\\Note", L"\\Scancode", L"\\Software"}) {
      Create(HKEY_LOCAL_MACHINE, std::wstring(kRoot) + key);
    }
  }

  static void AttachStrings(CInstall& install) {
    TableBuilder common;
    const std::u16string root = U16(kRoot);
    common.Wide(3, root + u"\\Layouts")
        .Wide(4, root + u"\\Note")
        .Wide(5, root + u"\\Scancode")
        .Wide(7, root + u"\\Software")
        .Wide(8, u"Vendor")
        .Wide(10, u"Shared")
        .Wide(13, root + u"\\Toggle")
        .Wide(23, u"Component")
        .Wide(24, u"Components")
        .Wide(36, u"Packages")
        .Wide(85, u"00010419")
        .Wide(89, u"Package")
        .Wide(81, u"layout name")
        .Wide(83, u"layout.dll")
        .Wide(84, u"layout id")
        .Wide(87, u"layout text")
        .Wide(50, u"note")
        .Wide(51, u"note for 2000")
        .Wide(59, u"RegDeleteKeyExW")
        .Wide(145, u"advapi32.dll")
        .Wide(12, u"%04x:%s");
    for (uint32_t id : {6u,  11u, 14u, 15u, 16u, 17u,  18u,  19u,  20u,  21u, 25u, 26u,
                        27u, 28u, 29u, 31u, 32u, 33u,  34u,  37u,  38u,  39u, 71u, 72u,
                        73u, 74u, 75u, 76u, 79u, 155u, 156u, 157u, 158u, 159u}) {
      common.Wide(id, Name(id));
    }
    ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
  }

  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot);
    RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
  }

  static void Create(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }

  static void Put(const std::wstring& path, uint32_t id, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    const std::wstring full = std::wstring(kRoot) + path;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring name = L"v" + std::to_wstring(id);
    RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }
  static void PutText(const std::wstring& path, uint32_t id, const std::wstring& text) {
    Put(path, id, REG_SZ, text.c_str(), DWORD(text.size() + 1) * 2);
  }
  static void PutNumber(const std::wstring& path, uint32_t id, DWORD value) {
    Put(path, id, REG_DWORD, &value, sizeof value);
  }

  static bool Exists(const std::wstring& path) {
    HKEY key = nullptr;
    const std::wstring full = std::wstring(kRoot) + path;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  static std::vector<uint8_t> Read(HKEY root, const std::wstring& path, uint32_t id,
                                   DWORD expectedType) {
    const std::wstring full = std::wstring(kRoot) + path;
    const std::wstring name = L"v" + std::to_wstring(id);
    std::vector<uint8_t> data(1024);
    DWORD size = DWORD(data.size());
    DWORD type = 0;
    if (RegGetValueW(root, full.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                     data.data(), &size) != ERROR_SUCCESS ||
        type != expectedType) {
      return {};
    }
    data.resize(size);
    return data;
  }

  // A complete set of records as an installation of this release leaves them.
  static void PutFullRecords() {
    const std::wstring shared = L"\\Software\\Vendor\\Shared";
    PutText(shared, 11, L"prior");
    PutNumber(shared, 21, 2);
    for (uint32_t id : {72u, 73u, 74u, 75u, 76u, 31u, 32u, 33u, 79u}) {
      PutText(shared, id, L"shared " + std::to_wstring(id));
    }
    PutNumber(shared, 34, 190);
    const std::wstring component = shared + L"\\Components\\Component";
    for (uint32_t id : {25u, 26u, 27u}) PutText(component, id, L"component " + std::to_wstring(id));
    PutNumber(component, 28, 190);
    PutNumber(component, 29, 3);
    const std::wstring package = shared + L"\\Packages\\Package";
    PutText(package, 37, L"C:\\setup copy.exe");
    PutText(package, 38, L"setup link");
    PutNumber(package, 39, 190);
    const uint8_t pairs[] = {0x3A, 0x00, 0xA2, 0x00};
    Put(package, 157, REG_BINARY, pairs, sizeof pairs);
    PutNumber(package, 158, 3);  // out of range: ignored
    PutNumber(package, 159, 0xFFFFFFFF);
    PutNumber(package, 155, 1);
    PutNumber(package, 156, 0);
  }

  std::u16string PathText(int index) { return install.Paths[index].WideText(0); }

  CInstall install;
};

TEST_F(RegistryRecords, NothingInstalled) {
  install.LoadInstallInfo();
  EXPECT_EQ(install.InstallState, 0);
  EXPECT_EQ(install.SharedInstallCount, 0);
}

TEST_F(RegistryRecords, FullRecordsAreReadBack) {
  PutFullRecords();
  install.LayoutVariant = 1;
  install.DecimalKeyChoice = 0;
  install.LoadInstallInfo();
  EXPECT_EQ(install.InstallState, InstallStamp);
  EXPECT_EQ(install.SharedInstallCount, 2);
  EXPECT_EQ(install.SharedStamp, 190);
  EXPECT_EQ(install.ComponentStamp, 190);
  EXPECT_EQ(install.ComponentRefCount, 3);
  EXPECT_EQ(PathText(SavedPriorLayout), u"prior");
  EXPECT_EQ(PathText(OldTextFile), u"shared 72");
  EXPECT_EQ(PathText(OldPageFile), u"shared 79");
  EXPECT_EQ(PathText(OldComponentDesktopLink), u"component 27");
  EXPECT_EQ(PathText(OldSetupCopy), u"C:\\setup copy.exe");
  EXPECT_EQ(install.FindWorkingKey(0x003A)->VirtualKey, 0x00A2);
  EXPECT_EQ(install.LayoutVariant, 1);     // 3 is out of range
  EXPECT_EQ(install.DecimalKeyChoice, 0);  // so is 0xFFFFFFFF
  EXPECT_EQ(install.OptLayoutFlag, 1);
}

TEST_F(RegistryRecords, MissingRequiredValueEndsTheReading) {
  PutFullRecords();
  // Replaced by a value of another type: counts as missing.
  Put(L"\\Software\\Vendor\\Shared", 75, REG_EXPAND_SZ, L"x", 4);
  install.LoadInstallInfo();
  EXPECT_EQ(PathText(OldTextFile), u"shared 72");  // read before the gap
  EXPECT_EQ(PathText(OldSharedFile), u"");         // after it: not read
  EXPECT_EQ(install.SharedStamp, 0);
  EXPECT_EQ(install.InstallState, 0);
}

TEST_F(RegistryRecords, TextStoredWithoutTerminatorKeepsAllItsCharacters) {
  PutFullRecords();
  Put(L"\\Software\\Vendor\\Shared", 11, REG_SZ, L"abc", 6);
  install.LoadInstallInfo();
  EXPECT_EQ(PathText(SavedPriorLayout), u"abc");
}

TEST_F(RegistryRecords, LegacyRegistrationIsRecognised) {
  install.OsVersionCode = 61;
  PutText(L"\\Layouts\\00010419", 17, L"layout name");
  PutText(L"\\Layouts\\00010419", 19, L"layout id");
  PutText(L"\\Layouts\\00010419", 18, L"layout.dll");
  install.LoadInstallInfo();
  EXPECT_EQ(install.InstallState, LegacyInstallState);

  PutText(L"\\Layouts\\00010419", 18, L"other.dll");
  install.LoadInstallInfo();
  EXPECT_EQ(install.InstallState, 0);
}

TEST_F(RegistryRecords, LayoutKeyRegisteredAndRemovedInBothViews) {
  for (int32_t is64 : {0, 1}) {
    install.Is64BitWindows = is64;
    ASSERT_EQ(install.RegisterLayoutKey(), 1) << is64;
    const auto file = Read(HKEY_LOCAL_MACHINE, L"\\Layouts\\00010419", 18, REG_SZ);
    EXPECT_EQ(file.size(), sizeof L"layout.dll") << is64;
    EXPECT_EQ(install.UnregisterLayoutKey(), 1) << is64;
    EXPECT_FALSE(Exists(L"\\Layouts\\00010419")) << is64;
    EXPECT_EQ(install.UnregisterLayoutKey(), 0) << is64;
  }
}

TEST_F(RegistryRecords, RemovalKeepsWhatOthersStillUse) {
  PutFullRecords();
  install.ComponentRefCount = 1;
  install.SharedInstallCount = 1;
  ASSERT_EQ(install.RemoveInstallInfo(), 1);
  EXPECT_FALSE(Exists(L"\\Software\\Vendor\\Shared\\Packages"));
  EXPECT_EQ(
      Read(HKEY_LOCAL_MACHINE, L"\\Software\\Vendor\\Shared\\Components\\Component", 29, REG_DWORD),
      (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"\\Software\\Vendor\\Shared", 21, REG_DWORD),
            (std::vector<uint8_t>{1, 0, 0, 0}));

  // The last package out takes everything with it, and the package key is gone.
  EXPECT_EQ(install.RemoveInstallInfo(), 0);
  PutText(L"\\Software\\Vendor\\Shared\\Packages\\Package", 37, L"copy");
  install.ComponentRefCount = 0;
  install.SharedInstallCount = 0;
  ASSERT_EQ(install.RemoveInstallInfo(), 1);
  EXPECT_FALSE(Exists(L"\\Software\\Vendor"));
  EXPECT_TRUE(Exists(L"\\Software"));
}

TEST_F(RegistryRecords, ScancodeMapIsWrittenOnlyWhenItChangesSomething) {
  ASSERT_EQ(install.WriteScancodeMap(), 1);
  EXPECT_TRUE(Read(HKEY_LOCAL_MACHINE, L"\\Scancode", 6, REG_BINARY).empty());

  install.HadScancodeMap = 1;
  ASSERT_EQ(install.WriteScancodeMap(), 1);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"\\Scancode", 6, REG_BINARY),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));

  install.FindWorkingKey(0xE05B)->TargetScancode = KeyDisabled;
  ASSERT_EQ(install.WriteScancodeMap(), 1);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"\\Scancode", 6, REG_BINARY).size(), 20u);
}

TEST_F(RegistryRecords, ToggleValuesNeedTheirKey) {
  EXPECT_EQ(install.WriteToggleValues(), 0);
  Create(HKEY_CURRENT_USER, std::wstring(kRoot) + L"\\Toggle");
  ASSERT_EQ(install.WriteToggleValues(), 1);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"\\Toggle", 16, REG_SZ), (std::vector<uint8_t>{'3', 0, 0, 0}));
}

// What an installation leaves, as InstallFiles would have set it up.
void SetUpNewInstallation(CInstall& install) {
  auto set = [&](int index, const char16_t* text) { install.Paths[index].AssignWide(text); };
  set(TextFile, u"C:\\text.txt");
  set(TextMenuLink, u"C:\\text.lnk");
  set(TextDesktopLink, u"C:\\desk\\text.lnk");
  set(PageMenuPointer, u"C:\\page.url");
  set(PageDesktopPointer, u"C:\\desk\\page.url");
  set(PageFile, u"C:\\page.htm");
  set(SharedFile, u"C:\\shared.exe");
  set(SharedMenuLink, u"C:\\shared.lnk");
  set(SharedDesktopLink, u"C:\\desk\\shared.lnk");
  set(ComponentFile, u"C:\\component.exe");
  set(ComponentMenuLink, u"C:\\component.lnk");
  set(ComponentDesktopLink, u"C:\\desk\\component.lnk");
  set(SetupCopy, u"C:\\setup.exe");
  set(SetupMenuLink, u"C:\\setup.lnk");
  install.TextDesktopLinkMade = 1;
  install.SharedDesktopLinkMade = 1;
  install.ComponentDesktopLinkMade = 1;
  install.ComponentRefCount = 4;
  install.SharedInstallCount = 2;
  install.LayoutVariant = 2;
  install.DecimalKeyChoice = 1;
  install.OptLayoutFlag = 1;
  install.FindWorkingKey(0x003A)->VirtualKey = 0x00A2;
}

TEST_F(RegistryRecords, SavedRecordsAreReadBack) {
  SetUpNewInstallation(install);
  ASSERT_EQ(install.SaveInstallInfo(), 1);

  CInstall later;
  AttachStrings(later);
  later.LoadInstallInfo();
  EXPECT_EQ(later.InstallState, InstallStamp);
  EXPECT_EQ(later.SharedInstallCount, 2);
  EXPECT_EQ(later.SharedStamp, InstallStamp);
  EXPECT_EQ(later.ComponentStamp, InstallStamp);
  EXPECT_EQ(later.ComponentRefCount, 4);
  for (int path : {TextFile, TextMenuLink, TextDesktopLink, PageMenuPointer, PageDesktopPointer,
                   PageFile, SharedFile, SharedMenuLink, SharedDesktopLink, ComponentFile,
                   ComponentMenuLink, ComponentDesktopLink, SetupCopy, SetupMenuLink}) {
    EXPECT_EQ(later.Paths[path - 1].WideText(0), PathText(path)) << path;
  }
  EXPECT_EQ(later.LayoutVariant, 2);
  EXPECT_EQ(later.DecimalKeyChoice, 1);
  EXPECT_EQ(later.OptLayoutFlag, 1);
  EXPECT_EQ(later.FindWorkingKey(0x003A)->VirtualKey, 0x00A2);

  // The user's layout before the package: language as four hex digits, then
  // the active layout's name.
  wchar_t layoutName[KL_NAMELENGTH] = {};
  ASSERT_TRUE(GetKeyboardLayoutNameW(layoutName));
  wchar_t expected[64];
  swprintf(expected, 64, L"%04x:%ls", unsigned(GetUserDefaultLangID()), layoutName);
  EXPECT_EQ(std::u16string(later.Paths[SavedPriorLayout].WideText(0)), U16(expected));
}

TEST_F(RegistryRecords, RecordsOfEarlierInstallationsAreKept) {
  PutFullRecords();
  install.LoadInstallInfo();
  SetUpNewInstallation(install);
  install.TextDesktopLinkMade = 0;
  install.SharedDesktopLinkMade = 0;
  ASSERT_EQ(install.SaveInstallInfo(), 1);

  const std::wstring shared = L"\\Software\\Vendor\\Shared";
  auto text = [](const std::wstring& t) {
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(t.c_str()),
                               reinterpret_cast<const uint8_t*>(t.c_str() + t.size() + 1));
    return bytes;
  };
  // The first installation's prior layout, text, page and shared records stay.
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, shared, 11, REG_SZ), text(L"prior"));
  for (uint32_t id : {72u, 73u, 74u, 75u, 76u, 79u, 31u, 32u, 33u}) {
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, shared, id, REG_SZ), text(L"shared " + std::to_wstring(id)))
        << id;
  }
  // The component and the package are this installation's.
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, shared + L"\\Components\\Component", 25, REG_SZ),
            text(L"C:\\component.exe"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, shared + L"\\Packages\\Package", 37, REG_SZ),
            text(L"C:\\setup.exe"));
}

TEST_F(RegistryRecords, ModifyModeRewritesOnlyThePackageOptions) {
  install.ModifyMode = 1;
  install.LayoutVariant = 2;
  EXPECT_EQ(install.SaveInstallInfo(), 0);  // no package recorded: nothing is created
  EXPECT_FALSE(Exists(L"\\Software\\Vendor"));

  PutFullRecords();
  ASSERT_EQ(install.SaveInstallInfo(), 1);
  const std::wstring package = L"\\Software\\Vendor\\Shared\\Packages\\Package";
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, package, 158, REG_DWORD), (std::vector<uint8_t>{2, 0, 0, 0}));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, package, 37, REG_SZ).size(), sizeof L"C:\\setup copy.exe");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"\\Software\\Vendor\\Shared", 21, REG_DWORD),
            (std::vector<uint8_t>{2, 0, 0, 0}));
}

TEST_F(RegistryRecords, PostChangeNoteByVersion) {
  install.OsVersionCode = 50;
  ASSERT_EQ(install.WritePostChangeNote(), 1);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"\\Note", 71, REG_SZ).size(), sizeof L"note for 2000");
  install.OsVersionCode = 51;
  ASSERT_EQ(install.WritePostChangeNote(), 1);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"\\Note", 71, REG_SZ).size(), sizeof L"note");
}

// Every value the program reads back, stored with the wrong type, without its
// terminator, empty, or far too large: each counts as missing (or, for the
// texts, ends at its terminator), and the reading goes on as for a missing
// value. The records, the layout registration and the scancode map alike.
TEST_F(RegistryRecords, DamagedValuesCountAsMissing) {
  const std::wstring shared = L"\\Software\\Vendor\\Shared";
  const std::wstring component = shared + L"\\Components\\Component";
  const std::wstring package = shared + L"\\Packages\\Package";
  auto bytes = [](const std::wstring& text, size_t cut = 0) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    return std::vector<uint8_t>(p, p + 2 * text.size() - cut);
  };
  const std::vector<uint8_t> hugeText(MaxRegistryTextBytes + 2, 'x');
  std::vector<uint8_t> hugeBinary(MaxRegistryBinaryBytes + 4, 0);
  hugeBinary[8] = 2;  // a well-formed map at its start
  hugeBinary[12] = 0x1D;
  hugeBinary[14] = 0x3A;
  const std::vector<uint8_t> wellFormedPair = {0x3A, 0x00, 0xA2, 0x00};

  struct Outcome {
    int32_t state;
    const char16_t* prior;  // SavedPriorLayout
    int32_t sharedCount;
    int32_t componentCount;
    uint16_t capsVirtualKey;  // the chosen key list applied to Caps Lock
    int32_t variant;          // value 158 applied or not (1 before)
    int32_t hadMap;
    uint16_t capsTarget;  // the scancode map applied to Caps Lock
  };
  const Outcome full = {InstallStamp, u"prior", 2, 3, 0x00A2, 1, 0, 0};
  struct Case {
    const char* name;
    std::wstring path;
    uint32_t id;
    DWORD type;
    std::vector<uint8_t> data;
    Outcome expected;
  };
  const Case cases[] = {
      // Required texts of the records.
      {"text of another type",
       shared,
       11,
       REG_EXPAND_SZ,
       bytes(std::wstring(L"x", 2)),
       {0, u"", 0, 0, 0, 1, 0, 0}},
      {"text of binary type", shared, 11, REG_BINARY, bytes(L"prior"), {0, u"", 0, 0, 0, 1, 0, 0}},
      {"empty text", shared, 11, REG_SZ, {}, {InstallStamp, u"", 2, 3, 0x00A2, 1, 0, 0}},
      {"text without terminator",
       shared,
       11,
       REG_SZ,
       bytes(L"abc"),
       {InstallStamp, u"abc", 2, 3, 0x00A2, 1, 0, 0}},
      {"text of an odd size",
       shared,
       11,
       REG_SZ,
       bytes(L"abcd", 1),
       {InstallStamp, u"abc", 2, 3, 0x00A2, 1, 0, 0}},
      {"text with a NUL inside",
       shared,
       11,
       REG_SZ,
       bytes(std::wstring(L"ab\0cd\0", 6)),
       {InstallStamp, u"ab", 2, 3, 0x00A2, 1, 0, 0}},
      {"text far too large", shared, 11, REG_SZ, hugeText, {0, u"", 0, 0, 0, 1, 0, 0}},
      // Required numbers.
      {"number too short", shared, 21, REG_DWORD, {2, 0}, {0, u"prior", 0, 0, 0, 1, 0, 0}},
      {"number too long",
       shared,
       21,
       REG_DWORD,
       {2, 0, 0, 0, 0, 0, 0, 0},
       {0, u"prior", 0, 0, 0, 1, 0, 0}},
      {"number of zero size", shared, 21, REG_DWORD, {}, {0, u"prior", 0, 0, 0, 1, 0, 0}},
      {"64-bit number",
       shared,
       21,
       REG_QWORD,
       {2, 0, 0, 0, 0, 0, 0, 0},
       {0, u"prior", 0, 0, 0, 1, 0, 0}},
      {"big-endian number",
       shared,
       21,
       REG_DWORD_BIG_ENDIAN,
       {0, 0, 0, 2},
       {0, u"prior", 0, 0, 0, 1, 0, 0}},
      {"number as text",
       component,
       29,
       REG_SZ,
       bytes(std::wstring(L"3", 2)),
       {0, u"prior", 2, 0, 0, 1, 0, 0}},
      {"state as binary", package, 39, REG_BINARY, {190, 0, 0, 0}, {0, u"prior", 2, 3, 0, 1, 0, 0}},
      // Optional values of the package: each ignored alone.
      {"chosen keys as a number",
       package,
       157,
       REG_DWORD,
       wellFormedPair,
       {InstallStamp, u"prior", 2, 3, 0, 1, 0, 0}},
      {"chosen keys of zero size",
       package,
       157,
       REG_BINARY,
       {},
       {InstallStamp, u"prior", 2, 3, 0, 1, 0, 0}},
      {"chosen keys short of a pair",
       package,
       157,
       REG_BINARY,
       {0x3A, 0x00, 0xA2},
       {InstallStamp, u"prior", 2, 3, 0, 1, 0, 0}},
      {"chosen keys far too large",
       package,
       157,
       REG_BINARY,
       [&] {
         std::vector<uint8_t> v(MaxRegistryBinaryBytes + 4, 0);
         std::copy(wellFormedPair.begin(), wellFormedPair.end(), v.begin());
         return v;
       }(),
       {InstallStamp, u"prior", 2, 3, 0, 1, 0, 0}},
      {"variant as text", package, 158, REG_SZ, bytes(std::wstring(L"2", 2)), full},
      {"variant of zero size", package, 158, REG_DWORD, {}, full},
      // The scancode map.
      {"map of another type", L"\\Scancode", 6, REG_DWORD, {0, 0, 0, 0}, full},
      {"map of zero size", L"\\Scancode", 6, REG_BINARY, {}, full},
      {"map shorter than its header",
       L"\\Scancode",
       6,
       REG_BINARY,
       {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0},
       {InstallStamp, u"prior", 2, 3, 0x00A2, 1, 1, 0}},
      {"map counting more than it holds",
       L"\\Scancode",
       6,
       REG_BINARY,
       {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x1D, 0, 0x3A, 0, 0, 0, 0, 0},
       {InstallStamp, u"prior", 2, 3, 0x00A2, 1, 1, 0}},
      {"map far too large", L"\\Scancode", 6, REG_BINARY, hugeBinary, full},
      {"well-formed map",
       L"\\Scancode",
       6,
       REG_BINARY,
       {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x1D, 0, 0x3A, 0, 0, 0, 0, 0},
       {InstallStamp, u"prior", 2, 3, 0x00A2, 1, 1, 0x001D}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kRoot) + L"\\Software\\Vendor").c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kRoot) + L"\\Scancode").c_str());
    Create(HKEY_LOCAL_MACHINE, std::wstring(kRoot) + L"\\Scancode");
    PutFullRecords();
    PutNumber(package, 158, 2);
    Put(c.path, c.id, c.type, c.data.empty() ? nullptr : c.data.data(), DWORD(c.data.size()));

    CInstall fresh;
    AttachStrings(fresh);
    fresh.LayoutVariant = 1;
    fresh.LoadScancodeMap();
    fresh.LoadInstallInfo();
    const Outcome& e = c.expected;
    EXPECT_EQ(fresh.InstallState, e.state);
    EXPECT_EQ(std::u16string(fresh.Paths[SavedPriorLayout].WideText(0),
                             size_t(fresh.Paths[SavedPriorLayout].Length())),
              e.prior);
    EXPECT_EQ(fresh.SharedInstallCount, e.sharedCount);
    EXPECT_EQ(fresh.ComponentRefCount, e.componentCount);
    EXPECT_EQ(fresh.FindWorkingKey(0x003A)->VirtualKey, e.capsVirtualKey);
    // The variant is read last: only a run that reached it and found it sound applies 2.
    EXPECT_EQ(fresh.LayoutVariant, e.state == InstallStamp && c.id != 158 ? 2 : e.variant);
    EXPECT_EQ(fresh.HadScancodeMap, e.hadMap);
    EXPECT_EQ(fresh.FindWorkingKey(0x003A)->TargetScancode, e.capsTarget);
  }
}

// The layout registration of an older release is recognised only from text
// values of the right type; a text is compared up to its terminator.
TEST_F(RegistryRecords, LegacyRegistrationNeedsSoundTexts) {
  install.OsVersionCode = 61;
  const std::wstring layout = L"\\Layouts\\00010419";
  struct Case {
    const char* name;
    DWORD type;
    std::wstring data;  // stored as it is, without an added terminator
    int32_t state;
  };
  const Case cases[] = {
      {"terminated", REG_SZ, std::wstring(L"layout.dll", 11), LegacyInstallState},
      {"no terminator", REG_SZ, L"layout.dll", LegacyInstallState},
      {"something after the terminator", REG_SZ, std::wstring(L"layout.dll\0x", 12),
       LegacyInstallState},
      {"expandable text", REG_EXPAND_SZ, std::wstring(L"layout.dll", 11), 0},
      {"list of texts", REG_MULTI_SZ, std::wstring(L"layout.dll\0", 12), 0},
      {"binary", REG_BINARY, L"layout.dll", 0},
      {"empty", REG_SZ, L"", 0},
      {"a longer name", REG_SZ, std::wstring(L"layout.dll2", 12), 0},
  };
  PutText(layout, 17, L"layout name");
  PutText(layout, 19, L"layout id");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(layout, 18, c.type, c.data.data(), DWORD(2 * c.data.size()));
    install.LoadInstallInfo();
    EXPECT_EQ(install.InstallState, c.state);
  }
}

}  // namespace
