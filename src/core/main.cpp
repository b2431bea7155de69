// Program entry: one installer object, driven through start-up, the wizard
// and the work after it.
#include <windows.h>
#include <objbase.h>

#include "core/install.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CInstall install;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (install.Init(instance) && install.Run()) install.Finish();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
