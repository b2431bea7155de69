// System libraries and programs by their full path in the system folder.
#include "core/system_library.h"

#include <shlwapi.h>

#include "core/win_handles.h"
#include "text/gstring.h"

namespace {

// A file name with a folder or drive in it, as opposed to a plain name.
bool HasFolder(const char16_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    if (p[i] == u'\\' || p[i] == u'/' || p[i] == u':') return true;
  }
  return false;
}

}  // namespace

int SystemFolderPath(const char16_t* name, int length, GString& out) {
  out.SetLength(0);
  if (name == nullptr || length <= 0 || HasFolder(name, length)) return 0;
  wchar_t folder[MAX_PATH];
  const UINT folderLength = GetSystemDirectoryW(folder, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) return 0;
  if (!out.AssignWide(reinterpret_cast<const char16_t*>(folder), int(folderLength)) ||
      !out.AppendPath(name, length)) {
    out.SetLength(0);
    return 0;
  }
  return 1;
}

HMODULE LoadSystemLibrary(const char16_t* name, int length) {
  GString path;
  if (!SystemFolderPath(name, length, path)) return nullptr;
  return LoadLibraryExW(WinText(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

int SystemProgramPath(const GString& commandLine, GString& out) {
  out.SetLength(0);
  const char16_t* text = commandLine.WideText(0);
  const int length = commandLine.Length();
  int first = 0;
  int end = 0;
  if (length > 0 && text[0] == u'"') {
    first = 1;
    end = 1;
    while (end < length && text[end] != u'"') ++end;
  } else {
    while (end < length && text[end] != u' ' && text[end] != u'\t') ++end;
  }
  const int n = end - first;
  if (n <= 0 || HasFolder(text + first, n)) return 1;
  if (!SystemFolderPath(text + first, n, out)) return 0;
  // The search would have added the extension; an explicit path gets none.
  bool hasExtension = false;
  for (int i = first; i < end; ++i) hasExtension = hasExtension || text[i] == u'.';
  if (!hasExtension && !out.AppendWide(u".exe", 4)) return 0;
  return 1;
}

int LoadCommonControls() {
  static const char16_t kCommonControls[] = u"comctl32.dll";
  constexpr int kLength = int(sizeof kCommonControls / 2 - 1);
  HMODULE module = nullptr;
  // Only a name the activation context redirects may be loaded by name: the
  // redirection is applied before any folder is searched. Without it (no
  // manifest support) a bare name would search the program's folder first.
  using FindSectionFn =
      BOOL(WINAPI*)(DWORD, const GUID*, ULONG, LPCWSTR, PACTCTX_SECTION_KEYED_DATA);
  auto findSection = reinterpret_cast<FindSectionFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "FindActCtxSectionStringW")));
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof data;
  if (findSection != nullptr && findSection(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                            WinText(kCommonControls), &data)) {
    module = LoadLibraryW(WinText(kCommonControls));
  } else {
    module = LoadSystemLibrary(kCommonControls, kLength);
  }
  if (module == nullptr) return 0;
  using InitFn = void(WINAPI*)();
  auto init = reinterpret_cast<InitFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControls")));
  if (init == nullptr) return 0;
  init();
  return 1;
}

HRESULT QueryAssociatedExecutable(const wchar_t* association, wchar_t* out, DWORD* length) {
  static const char16_t kShellHelpers[] = u"shlwapi.dll";
  Module shell(LoadSystemLibrary(kShellHelpers, int(sizeof kShellHelpers / 2 - 1)));
  using AssocQueryFn = HRESULT(WINAPI*)(ASSOCF, ASSOCSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD*);
  auto query = reinterpret_cast<AssocQueryFn>(
      reinterpret_cast<void*>(GetProcAddress(shell.Get(), "AssocQueryStringW")));
  if (query == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return query(0, ASSOCSTR_EXECUTABLE, association, nullptr, out, length);
}
