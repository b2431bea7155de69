// System libraries and programs by their full path in the system folder.
#include "core/system_library.h"

#include "text/gstring.h"

namespace {

// A file name with a folder or drive in it, as opposed to a plain name.
bool HasFolder(const char16_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    if (p[i] == u'\\' || p[i] == u'/' || p[i] == u':') return true;
  }
  return false;
}

// The system folder followed by `name`.
int SystemFolderPath(const char16_t* name, int length, GString& out) {
  wchar_t folder[MAX_PATH];
  const UINT folderLength = GetSystemDirectoryW(folder, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) return 0;
  return out.AssignWide(reinterpret_cast<const char16_t*>(folder), int(folderLength)) &&
         out.AppendPath(name, length);
}

}  // namespace

HMODULE LoadSystemLibrary(const char16_t* name, int length) {
  if (name == nullptr || length <= 0 || HasFolder(name, length)) return nullptr;
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
