// Entry of the wizard tests.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Under Wine without a window manager, hiding a managed top-level window
  // waits two seconds for a state change no one sends. The tests' frames
  // need no window manager: ask Wine's X11 driver, before any window exists,
  // to leave them unmanaged. Windows itself ignores this key.
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                   2 * sizeof(wchar_t));
    RegCloseKey(key);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
