// Program entry: one installer object, driven through start-up, the wizard
// and the work after it.
#include <windows.h>
#include <objbase.h>

#include "core/install.h"
#include "core/library_search.h"

// The C runtime's own entry for a GUI program: it sets up the runtime, runs
// the static constructors and calls wWinMain.
extern "C" int WinMainCRTStartup();

// The executable's real entry point (set at link time). Only the system's
// libraries in the import table are loaded before it; everything after it,
// the runtime's start-up included, may load more, so the library search is
// restricted before anything else runs.
extern "C" int ProtectedStartup() {
  if (!ProtectLibrarySearch()) ExitProcess(0);
  return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CInstall install;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (install.Init(instance) && install.Run()) install.Finish();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
