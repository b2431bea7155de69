// What an installation must not do to a system: start on a damaged image, or
// drop the key remappings someone else made. The installer carries the real
// payload and layout texts, a test layout name, and registry texts that lead
// into a key of the tests' own.
#include <shlobj.h>

#include "layout_test_fixture.h"
#include "support/scancode_map.h"

namespace {

const wchar_t kRoot[] = L"Software\\SetupTests\\Integrity";

class Integrity : public LayoutFixture {
 protected:
  void SetUp() override {
    LayoutFixture::SetUp();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot);
    const std::u16string root(reinterpret_cast<const char16_t*>(kRoot));
    texts[5] = root + u"\\Scancode";
    texts[6] = u"Scancode Map";
    texts[7] = root + u"\\Software";
    texts[8] = u"Vendor";
    texts[10] = u"Shared";
    texts[36] = u"Packages";
    texts[89] = u"Package";
    for (uint32_t id : {155u, 156u, 157u, 158u, 159u}) texts[id] = u"v" + Decimal(id);
    UseTexts();
    Create(L"\\Scancode");
    Create(L"\\Software");
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot);
    LayoutFixture::TearDown();
  }

  static void Create(const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kRoot + path).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kRoot + path).c_str(), 0, KEY_READ, &key) != 0) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }
  static std::vector<uint8_t> Value(const std::wstring& path, const wchar_t* name) {
    std::vector<uint8_t> data(4096);
    DWORD size = DWORD(data.size());
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (kRoot + path).c_str(), name, RRF_RT_ANY, nullptr,
                     data.data(), &size) != ERROR_SUCCESS) {
      return {};
    }
    data.resize(size);
    return data;
  }
  static void SetMap(const std::vector<uint8_t>& map) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kRoot) + L"\\Scancode").c_str(), 0,
                            KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Scancode Map", 0, REG_BINARY, map.data(), DWORD(map.size()));
    RegCloseKey(key);
  }

  // The records a modify-mode run rewrites.
  void RecordPackage() { Create(L"\\Software\\Vendor\\Shared\\Packages\\Package"); }
};

// A copy of an entry's stored bytes with one byte flipped in the middle; the
// installer is pointed at the copy, the original stays as it is.
struct DamagedEntry {
  explicit DamagedEntry(const PayloadEntry& entry) : bytes(entry.Data, entry.Data + entry.Size) {
    bytes[bytes.size() / 2] ^= 0x40;
  }
  PayloadEntry Entry() const { return {bytes.data(), uint32_t(bytes.size())}; }
  std::vector<uint8_t> bytes;
};

// Points a layout build's table cell at a damaged copy for the test's lifetime.
struct DamagedBuild {
  DamagedBuild(int variant, int slot)
      : cell(LayoutPointers[0][variant][slot]),
        original(cell),
        damaged(PayloadEntry{cell, LayoutSizes[0][variant][slot]}) {
    cell = damaged.bytes.data();
  }
  ~DamagedBuild() { cell = original; }
  const uint8_t*& cell;
  const uint8_t* original;
  DamagedEntry damaged;
};

// One flipped byte in any entry the installation would extract refuses it
// before the first change: the earlier release's file is still there, no
// folder, staged file, pending move or record was made.
TEST_F(Integrity, DamagedImageIsRefusedBeforeAnythingChanges) {
  const std::u16string oldGuide = PlantOldGuide();
  ASSERT_FALSE(oldGuide.empty());
  const std::u16string vendor = folder + u"\\vendor";
  install.Paths[VendorDir].AssignWide(vendor.c_str());
  install.Paths[InstallDir].AssignWide((vendor + u"\\install").c_str());
  install.InstallState = LegacyInstallState;

  enum Damage { None, Build32, Build64, Component, Shared, Page };
  const struct {
    const char* name;
    Damage damage;
  } cases[] = {{"32-bit layout build", Build32},
               {"64-bit layout build", Build64},
               {"component file", Component},
               {"shared file", Shared},
               {"page file", Page}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CloseHandle(CreateFileW(Win(oldGuide), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CInstall& i = install;
    const PayloadEntry component = i.ComponentPayload, shared = i.SharedPayload,
                       page = i.PagePayload;
    DamagedEntry damagedComponent(component), damagedShared(shared), damagedPage(page);
    std::unique_ptr<DamagedBuild> build;
    if (c.damage == Build32) build.reset(new DamagedBuild(0, 8));
    if (c.damage == Build64) build.reset(new DamagedBuild(0, 10));
    if (c.damage == Component) i.ComponentPayload = damagedComponent.Entry();
    if (c.damage == Shared) i.SharedPayload = damagedShared.Entry();
    if (c.damage == Page) i.PagePayload = damagedPage.Entry();

    EXPECT_EQ(i.Install(), 0);
    EXPECT_TRUE(Exists(oldGuide));
    EXPECT_FALSE(Exists(vendor));
    EXPECT_TRUE(OurMoves().empty());
    EXPECT_FALSE(KeyExists(L"\\Software\\Vendor"));
    EXPECT_EQ(i.Installed, 0);
    i.ComponentPayload = component;
    i.SharedPayload = shared;
    i.PagePayload = page;
  }

  // A shared file already installed is not extracted, so its entry is not
  // asked for; the same holds for the page file once it was recorded.
  {
    DamagedEntry damagedShared(install.SharedPayload), damagedPage(install.PagePayload);
    install.SharedPayload = damagedShared.Entry();
    install.PagePayload = damagedPage.Entry();
    install.SharedStamp = InstallStamp;
    install.Paths[OldPageMenuPointer].AssignWide(u"C:\\recorded page pointer");
    EXPECT_EQ(install.CheckInstallPayload(), 1);
    install.SharedPayload = SharedFileEntry();
    install.PagePayload = PageFileEntry();
  }

  // The sound image goes on: the earlier release's file is the first to go
  // (the installation then stops for want of real install paths).
  install.Paths[VendorDir].SetLength(0);
  EXPECT_EQ(install.Install(), 0);
  EXPECT_FALSE(Exists(oldGuide));
  DeleteFileW(Win(oldGuide));
}

// In modify mode only the layout is extracted again: a damaged build refuses
// before the options are rewritten.
TEST_F(Integrity, ModifyModeRefusesADamagedBuildBeforeSavingOptions) {
  RecordPackage();
  install.ModifyMode = 1;
  install.LayoutVariant = 2;
  {
    DamagedBuild damaged(2, 10);
    EXPECT_EQ(install.Install(), 0);
    EXPECT_TRUE(Value(L"\\Software\\Vendor\\Shared\\Packages\\Package", L"v158").empty());
    EXPECT_TRUE(OurMoves().empty());
  }
  // A damaged companion file is no concern of modify mode.
  DamagedEntry component(install.ComponentPayload);
  install.ComponentPayload = component.Entry();
  EXPECT_EQ(install.Install(), 1);
  EXPECT_EQ(Value(L"\\Software\\Vendor\\Shared\\Packages\\Package", L"v158"),
            (std::vector<uint8_t>{2, 0, 0, 0}));
  EXPECT_EQ(OurMoves().size(), 2u);
  install.ComponentPayload = ComponentFileEntry();
}

// A remapping the key table does not hold (here physical key 0x0077) belongs
// to someone else: it survives the installation's map, a modify-mode run that
// changes ours, the user clearing every remapping of ours, and the removal.
TEST_F(Integrity, ForeignRemappingsSurvive) {
  const std::pair<uint16_t, uint16_t> foreign{0x0030, 0x0077};
  SetMap(ScancodeMap({{0x001D, 0x003A}, foreign}));
  install.LoadScancodeMap();
  ASSERT_EQ(install.HadScancodeMap, 1);
  ASSERT_EQ(install.FindWorkingKey(0x003A)->TargetScancode, 0x001D);

  // The installation's map: ours as chosen now, then the foreign one.
  install.FindWorkingKey(0xE05B)->TargetScancode = KeyDisabled;
  ASSERT_EQ(install.WriteScancodeMap(), 1);
  EXPECT_EQ(Value(L"\\Scancode", L"Scancode Map"),
            ScancodeMap({{0x001D, 0x003A}, {0x0000, 0xE05B}, foreign}));

  // Modify mode applies a changed choice of the second key page.
  RecordPackage();
  install.ModifyMode = 1;
  install.FindWorkingKey(0xE05B)->TargetScancode = 0;
  ASSERT_EQ(install.Install(), 1);
  EXPECT_EQ(Value(L"\\Scancode", L"Scancode Map"), ScancodeMap({{0x001D, 0x003A}, foreign}));

  // The user takes back every remapping of ours: the foreign one stays.
  install.ModifyMode = 0;
  install.FindWorkingKey(0x003A)->TargetScancode = 0;
  ASSERT_EQ(install.WriteScancodeMap(), 1);
  EXPECT_EQ(Value(L"\\Scancode", L"Scancode Map"), ScancodeMap({foreign}));

  // Removal does not touch the map.
  install.InstallState = InstallStamp;
  install.SharedInstallCount = 2;  // others remain: no input-language command runs
  EXPECT_EQ(install.Remove(), 1);
  EXPECT_EQ(Value(L"\\Scancode", L"Scancode Map"), ScancodeMap({foreign}));
}

// The system's list of moves for the next restart held as a value of another
// type for the test's lifetime; the value that was there comes back after.
class ForeignPendingValue {
 public:
  explicit ForeignPendingValue(DWORD type) {
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = 0;
    had_ = RegQueryValueExW(key_, kName, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
    if (had_) {
      saved_.resize(size);
      RegQueryValueExW(key_, kName, nullptr, &type_, saved_.data(), &size);
      saved_.resize(size);
    }
    const wchar_t text[] = L"not a list";
    RegSetValueExW(key_, kName, 0, type, reinterpret_cast<const BYTE*>(text), sizeof text);
  }
  ~ForeignPendingValue() {
    if (had_) {
      RegSetValueExW(key_, kName, 0, type_, saved_.data(), DWORD(saved_.size()));
    } else {
      RegDeleteValueW(key_, kName);
    }
    RegCloseKey(key_);
  }

 private:
  static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager";
  static constexpr const wchar_t* kName = L"PendingFileRenameOperations";
  HKEY key_ = nullptr;
  bool had_ = false;
  DWORD type_ = 0;
  std::vector<uint8_t> saved_;
};

// A replacement the system does not take would leave the old layout after the
// restart while everything else says the new one is installed: the layout
// step fails, and with it the installation (here the modify-mode run, the
// shortest one that replaces the layout).
TEST_F(Integrity, LayoutReplacementTheSystemRefusesFailsTheInstallation) {
  RecordPackage();
  install.ModifyMode = 1;
  for (DWORD type : {DWORD(REG_DWORD), DWORD(REG_SZ), DWORD(REG_BINARY)}) {
    SCOPED_TRACE(type);
    {
      ForeignPendingValue foreign(type);
      EXPECT_EQ(install.InstallLayoutFiles(), 0);
      EXPECT_EQ(install.Install(), 0);
    }
    EXPECT_TRUE(OurMoves().empty());
  }
  // With the list as it was, the same run succeeds.
  EXPECT_EQ(install.Install(), 1);
  EXPECT_EQ(OurMoves().size(), 2u);
}

}  // namespace
