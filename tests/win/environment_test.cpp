#include <windows.h>

#include <gtest/gtest.h>

#include "core/environment_rules.h"
#include "core/install.h"
#include "support/table_builder.h"

namespace {

void AttachCommon(CInstall& install, const TableBuilder& builder) {
  ASSERT_EQ(install.CommonStrings.Attach(builder.Build(), builder.Rows()), 1);
}

TEST(Environment, QueryFindsTheNativeArchitecture) {
  CInstall install;
  AttachCommon(install, TableBuilder().Wide(58, u"GetNativeSystemInfo").Wide(144, u"kernel32.dll"));
  ASSERT_EQ(install.QueryEnvironment(58, 144), 1);
  EXPECT_TRUE(IsSupportedPlatform(install.OsVersionCode, ArchX86)) << install.OsVersionCode;
  EXPECT_EQ(install.ProcessorArchitecture, ArchAMD64);
  EXPECT_EQ(install.Is64BitWindows, 1);
  EXPECT_EQ(install.IsSupportedSystem(), 1);
}

TEST(Environment, QueryFallsBackWithoutTheNativeFunction) {
  CInstall install;
  AttachCommon(install, TableBuilder().Wide(58, u"NoSuchFunction").Wide(144, u"kernel32.dll"));
  ASSERT_EQ(install.QueryEnvironment(58, 144), 1);
  // GetSystemInfo reports the architecture the program runs as; this one is 64-bit.
  EXPECT_EQ(install.ProcessorArchitecture, ArchAMD64);
  EXPECT_GT(install.OsVersionCode, 0);
}

TEST(Environment, LibrariesComeOnlyFromTheSystemFolder) {
  CInstall install;
  AttachCommon(install, TableBuilder()
                            .Wide(1, u"kernel32.dll")
                            .Wide(2, u"C:\\windows\\system32\\kernel32.dll")
                            .Wide(3, u"..\\kernel32.dll")
                            .Wide(4, u"no-such-library.dll")
                            .Wide(5, u"GetNativeSystemInfo"));
  HMODULE module = install.LoadLibraryById(1);
  ASSERT_NE(module, nullptr);
  FreeLibrary(module);
  for (uint32_t refused : {2u, 3u, 4u, 99u}) {
    EXPECT_EQ(install.LoadLibraryById(refused), nullptr) << "id " << refused;
  }

  HMODULE loaded = nullptr;
  EXPECT_NE(install.GetProcAddressById(5, 1, loaded), nullptr);
  ASSERT_NE(loaded, nullptr);  // the caller owns and frees it
  EXPECT_EQ(install.GetProcAddressById(99, 1, loaded), nullptr);
  FreeLibrary(loaded);
}

TEST(Environment, SecondInstanceFindsTheFirstWindow) {
  CInstall install;
  AttachCommon(install, TableBuilder().Wide(94, u"SetupTestsMainWindowClass"));
  EXPECT_EQ(install.CheckSingleInstance(), 1);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SetupTestsMainWindowClass";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND first = CreateWindowW(wc.lpszClassName, L"first", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, wc.hInstance, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(install.CheckSingleInstance(), 0);
  DestroyWindow(first);
  EXPECT_EQ(install.CheckSingleInstance(), 1);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST(Environment, WineRunsUsAsAnAdministrator) {
  CInstall install;
  EXPECT_EQ(install.IsUserAdmin(), 1);
}

// Wine loads only the US English layout, which is what a Windows 8 machine
// without any Cyrillic input language looks like.
TEST(Environment, CyrillicInputLanguageIsRequiredFromWindows8) {
  CInstall install;
  install.OsVersionCode = 61;
  EXPECT_EQ(install.HasCyrillicInputLanguage(), 1);
  for (int32_t version : {62, 63, 100}) {
    install.OsVersionCode = version;
    EXPECT_EQ(install.HasCyrillicInputLanguage(), 0) << version;
  }
}

}  // namespace
