#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/install.h"
#include "support/table_builder.h"

namespace {

TEST(Options, SettersKeepTheirRanges) {
  CInstall install;
  install.SetLayoutVariant(2);
  install.SetLayoutVariant(-1);
  install.SetLayoutVariant(3);
  EXPECT_EQ(install.LayoutVariant, 2);

  install.SetDecimalKeyChoice(0);
  install.SetDecimalKeyChoice(2);
  EXPECT_EQ(install.DecimalKeyChoice, 0);

  EXPECT_EQ(install.SetUiLanguage(1), 1);
  EXPECT_EQ(install.SetUiLanguage(2), 0);
  EXPECT_EQ(install.UiLanguage, 1);

  install.SetModifyMode(0);
  EXPECT_EQ(install.LicenceAccepted, 0);
  install.SetModifyMode(1);
  EXPECT_EQ(install.LicenceAccepted, 1);
}

TEST(Options, SavedKeyMapNeedsPairs) {
  CInstall install;
  EXPECT_EQ(install.ApplySavedKeyMap(nullptr, 4), 0);
  EXPECT_EQ(install.ApplySavedKeyMap(std::unique_ptr<uint8_t[]>(new uint8_t[4]()), 0), 0);
  std::unique_ptr<uint8_t[]> pairs(new uint8_t[4]{0x3A, 0x00, 0xA2, 0x00});
  EXPECT_EQ(install.ApplySavedKeyMap(std::move(pairs), 4), 1);
  EXPECT_EQ(install.FindWorkingKey(0x003A)->VirtualKey, 0x00A2);
  EXPECT_EQ(install.FindOriginalKey(0x003A)->VirtualKey, 0x0014);
}

// The scancode map is read from a key of the tests' own, never the system's.
class ScancodeMapImport : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kKey = L"Software\\SetupTests\\ScancodeMap";

  void SetUp() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    TableBuilder common;
    common.Wide(5, u"Software\\SetupTests\\ScancodeMap").Wide(6, u"Scancode Map");
    ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
  }
  void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey); }

  void Store(DWORD type, const std::vector<uint8_t>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, L"Scancode Map", 0, type, data.data(), DWORD(data.size()));
    RegCloseKey(key);
  }

  CInstall install;
};

TEST_F(ScancodeMapImport, NoKeyNoMap) {
  install.LoadScancodeMap();
  EXPECT_EQ(install.HadScancodeMap, 0);
}

TEST_F(ScancodeMapImport, MappingsReachTheKeyMap) {
  Store(REG_BINARY, {0,    0,    0,    0,    0, 0, 0, 0, 3, 0, 0, 0,  // two mappings
                     0x1D, 0x00, 0x3A, 0x00,                          // Caps Lock sends Left Ctrl
                     0x00, 0x00, 0x5B, 0xE0,                          // Left Windows off
                     0,    0,    0,    0});
  install.LoadScancodeMap();
  EXPECT_EQ(install.HadScancodeMap, 1);
  EXPECT_EQ(install.FindWorkingKey(0x003A)->TargetScancode, 0x001D);
  EXPECT_EQ(install.FindWorkingKey(0xE05B)->TargetScancode, KeyDisabled);
}

TEST_F(ScancodeMapImport, MalformedMapIsNotedButNotApplied) {
  Store(REG_BINARY, {0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0x1D, 0x00, 0x3A, 0x00});
  install.LoadScancodeMap();
  EXPECT_EQ(install.HadScancodeMap, 1);
  EXPECT_EQ(install.FindWorkingKey(0x003A)->TargetScancode, 0);
}

TEST_F(ScancodeMapImport, ValueOfAnotherTypeIsNotAMap) {
  Store(REG_DWORD, {1, 0, 0, 0});
  install.LoadScancodeMap();
  EXPECT_EQ(install.HadScancodeMap, 0);
}

}  // namespace
