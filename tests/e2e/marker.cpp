// A marker: built as a library and as a program, copied under the names of
// libraries and programs the setup program must never take from its own or
// its working folder. Whenever it is loaded or started, it appends its own
// path to "<its file name>.fired" in the folder named by MARKER_DIR (or in
// its own folder), so a test sees what was loaded from where.
//
// Built without the C runtime (nothing but kernel32), so that a copy posing
// as any library loads on its own.
#include <windows.h>

namespace {

wchar_t self[MAX_PATH];
wchar_t marker[MAX_PATH * 2];

void Fire(HMODULE module) {
  const DWORD length = GetModuleFileNameW(module, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  int name = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (self[i] == L'\\' || self[i] == L'/') name = int(i) + 1;
  }
  const DWORD folder = GetEnvironmentVariableW(L"MARKER_DIR", marker, MAX_PATH);
  if (folder == 0 || folder >= MAX_PATH) {
    lstrcpynW(marker, self, name + 1);
  } else {
    lstrcatW(marker, L"\\");
  }
  lstrcatW(marker, self + name);
  lstrcatW(marker, L".fired");
  HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[MAX_PATH * 3];
  int n =
      WideCharToMultiByte(CP_UTF8, 0, self, int(length), line, sizeof line - 2, nullptr, nullptr);
  line[n++] = '\r';
  line[n++] = '\n';
  DWORD written = 0;
  WriteFile(file, line, DWORD(n), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

#ifdef MARKER_LIBRARY
extern "C" BOOL WINAPI MarkerEntry(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) Fire(instance);
  return TRUE;
}
#else
extern "C" void MarkerEntry() {
  Fire(nullptr);
  ExitProcess(0);
}
#endif
