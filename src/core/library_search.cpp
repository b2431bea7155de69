// Restricting the library search to the system folder, first thing at start.
#include "core/library_search.h"

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Longest path the system hands out (with the \\?\ form).
constexpr DWORD PathCapacity = 32768;

// Static, not on the stack: this runs on the entry point's stack before the
// runtime has set anything up, and 64 KiB frames would need stack probes.
wchar_t programPath[PathCapacity + 8];
wchar_t libraryPath[MAX_PATH + 32];

HMODULE Kernel32() {
  // Mapped into every process before its first instruction runs.
  return GetModuleHandleW(L"kernel32.dll");
}

int Length(const wchar_t* text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace

// Loaded later by this program's own code, by the system's libraries on its
// behalf (the dialogs and their themes, the shell and COM while shortcuts are
// made, the registry and security calls, starting processes), on Windows 2000,
// XP, Vista and 7, and not protected there as known libraries. Each is loaded
// from the system folder only where it exists; a missing one is skipped.
const wchar_t* const PreloadedSystemLibraries[] = {
    L"uxtheme.dll",    // themes of the dialogs (XP on)
    L"dwmapi.dll",     // window composition, asked by the themes (Vista on)
    L"version.dll",    // file versions, asked by the shell and the themes
    L"userenv.dll",    // profile folders behind the special-folder queries
    L"profapi.dll",    // the same on Windows 7
    L"cryptbase.dll",  // security and random numbers of advapi32 (7)
    L"cryptsp.dll",    // the same
    L"sspicli.dll",    // the same
    L"rsaenh.dll",     // the same
    L"ntmarta.dll",    // security descriptors of registry keys and files
    L"propsys.dll",    // shell items and shortcut properties (Vista on)
    L"linkinfo.dll",   // shortcut targets (XP)
    L"ntshrui.dll",    // shell folder details (XP)
    L"sfc.dll",        // the shell's protected-file check (2000, XP)
    L"sfc_os.dll",     // the same
    L"apphelp.dll",    // compatibility checks when a process is started
    L"setupapi.dll",   // device and class lookups of the shell (2000, XP)
    L"clbcatq.dll",    // the COM class catalogue (XP)
    L"comres.dll",     // its resources (XP)
    L"oleacc.dll",     // accessibility of the common controls
    L"imm32.dll",      // input methods of the edit controls (2000, XP)
    L"msctf.dll",      // text services of the same (XP)
    L"lpk.dll",        // complex-script text output (2000, XP)
    L"usp10.dll",      // the same
    nullptr,
};

int ProgramHasLocalRedirection() {
  const DWORD length = GetModuleFileNameW(nullptr, programPath, PathCapacity);
  // A cut path cannot be checked: assume the worst.
  if (length == 0 || length >= PathCapacity) return 1;
  const wchar_t suffix[] = L".local";
  for (int i = 0; i < 7; ++i) programPath[length + i] = suffix[i];
  if (GetFileAttributesW(programPath) != INVALID_FILE_ATTRIBUTES) return 1;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : 1;
}

void ProtectLibrarySearchWithoutRestriction() {
  // Windows XP SP1 on: takes the current folder out of the search. The
  // program's own folder stays first, hence the preloading below.
  auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
      reinterpret_cast<void*>(GetProcAddress(Kernel32(), "SetDllDirectoryW")));
  if (setDllDirectory != nullptr) setDllDirectory(L"");

  const UINT folderLength = GetSystemDirectoryW(libraryPath, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) return;
  libraryPath[folderLength] = L'\\';
  for (int i = 0; PreloadedSystemLibraries[i] != nullptr; ++i) {
    const wchar_t* name = PreloadedSystemLibraries[i];
    const int n = Length(name);
    for (int k = 0; k <= n; ++k) libraryPath[folderLength + 1 + k] = name[k];
    // By full path, and its own dependencies from its folder first. A library
    // already loaded under a name is what a later load by that name gets.
    // Kept loaded for the life of the process on purpose.
    LoadLibraryExW(libraryPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

int ProtectLibrarySearch() {
  if (ProgramHasLocalRedirection()) return 0;
  auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(Kernel32(), "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return 1;
  }
  ProtectLibrarySearchWithoutRestriction();
  return 1;
}
