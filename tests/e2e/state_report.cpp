// Reports, as plain text, what an installation left on the system it runs on,
// so that a script can compare it with what the package must leave.
//   state_report COMMAND... where each command is one of
//     key ROOT\PATH          the key, its values and its sub-keys, recursively
//     value ROOT\PATH NAME   one value of a key
//     pending                the file operations waiting for the next restart
//     link FILE              a shell shortcut: target, description, icon
//     files FOLDER           the files and folders below a folder, with sizes
// ROOT is HKLM or HKCU; the 64-bit registry view is read. Names are sorted,
// so the report does not depend on the order the system keeps. Something
// absent is reported as "(absent)". Output is UTF-8 with LF line ends.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void Print(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size,
                      nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
}

// Control characters and backslash-escapes made visible, so a value's exact
// text survives the comparison.
std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\r') {
      out += L"\\r";
    } else if (c == L'\n') {
      out += L"\\n";
    } else if (c < 0x20 || c == 0xFEFF) {
      wchar_t code[8];
      swprintf(code, 8, L"\\u%04X", static_cast<unsigned>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring Hex(const BYTE* data, DWORD size) {
  std::wstring out;
  for (DWORD i = 0; i < size; ++i) {
    wchar_t byte[4];
    swprintf(byte, 4, L"%02x", data[i]);
    if (i != 0) out += L' ';
    out += byte;
  }
  return out;
}

// A text value's data as stored; "(no terminator)" marks data that does not
// end with a NUL, which readers of the record would shorten.
std::wstring Text(const BYTE* data, DWORD size) {
  std::wstring text(reinterpret_cast<const wchar_t*>(data), size / 2);
  if (text.empty() || text.back() != 0) return Escaped(text) + L" (no terminator)";
  text.pop_back();
  return Escaped(text);
}

// The items of a REG_MULTI_SZ, empty items inside the list included (a
// deletion's target is one); the empty items that end the list are dropped.
std::vector<std::wstring> MultiText(const BYTE* data, DWORD size) {
  std::vector<std::wstring> items;
  const wchar_t* p = reinterpret_cast<const wchar_t*>(data);
  const wchar_t* end = p + size / 2;
  while (p < end) {
    const wchar_t* start = p;
    while (p < end && *p != 0) ++p;
    items.emplace_back(start, p);
    ++p;
  }
  while (!items.empty() && items.back().empty()) items.pop_back();
  return items;
}

std::wstring ValueLine(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
  const BYTE* bytes = data.empty() ? nullptr : data.data();
  const DWORD size = static_cast<DWORD>(data.size());
  std::wstring shown = name.empty() ? L"(default)" : name;
  switch (type) {
    case REG_SZ:
      return shown + L" REG_SZ " + Text(bytes, size);
    case REG_EXPAND_SZ:
      return shown + L" REG_EXPAND_SZ " + Text(bytes, size);
    case REG_DWORD:
      if (size == 4) {
        DWORD v;
        memcpy(&v, bytes, 4);
        return shown + L" REG_DWORD " + std::to_wstring(v);
      }
      return shown + L" REG_DWORD (size " + std::to_wstring(size) + L") " + Hex(bytes, size);
    case REG_BINARY:
      return shown + L" REG_BINARY [" + std::to_wstring(size) + L"] " + Hex(bytes, size);
    case REG_MULTI_SZ: {
      std::wstring line = shown + L" REG_MULTI_SZ";
      for (const std::wstring& item : MultiText(bytes, size))
        line += L" \"" + Escaped(item) + L"\"";
      return line;
    }
    default:
      return shown + L" type " + std::to_wstring(type) + L" " + Hex(bytes, size);
  }
}

struct Key {
  HKEY handle = nullptr;
  ~Key() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

bool OpenKey(const std::wstring& path, Key& key) {
  const size_t slash = path.find(L'\\');
  const std::wstring root = path.substr(0, slash);
  const std::wstring rest = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
  HKEY base = root == L"HKLM" ? HKEY_LOCAL_MACHINE : root == L"HKCU" ? HKEY_CURRENT_USER : nullptr;
  if (base == nullptr) return false;
  return RegOpenKeyExW(base, rest.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key.handle) ==
         ERROR_SUCCESS;
}

bool ReadValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  data.resize(size);
  return RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(),
                          &size) == ERROR_SUCCESS;
}

void ReportKey(const std::wstring& path) {
  Key key;
  if (!OpenKey(path, key)) {
    Print(L"key " + path + L" (absent)");
    return;
  }
  Print(L"key " + path);
  std::vector<std::wstring> names;
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = 16384;
    if (RegEnumValueW(key.handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  std::sort(names.begin(), names.end());
  for (const std::wstring& n : names) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (ReadValue(key.handle, n, type, data)) Print(L"  " + ValueLine(n, type, data));
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key.handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name, length);
  }
  std::sort(subkeys.begin(), subkeys.end());
  for (const std::wstring& s : subkeys) ReportKey(path + L"\\" + s);
}

void ReportValue(const std::wstring& path, const std::wstring& name) {
  Key key;
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!OpenKey(path, key) || !ReadValue(key.handle, name, type, data)) {
    Print(L"value " + path + L" : " + name + L" (absent)");
    return;
  }
  Print(L"value " + path + L" : " + ValueLine(name, type, data));
}

// The pairs of the pending list: source, then target ("(delete)" when empty;
// a leading '!' means the target is replaced).
void ReportPending() {
  Key key;
  DWORD type = 0;
  std::vector<BYTE> data;
  const wchar_t* path = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  if (!OpenKey(path, key) || !ReadValue(key.handle, L"PendingFileRenameOperations", type, data)) {
    Print(L"pending (none)");
    return;
  }
  if (type != REG_MULTI_SZ) {
    Print(L"pending (type " + std::to_wstring(type) + L")");
    return;
  }
  std::vector<std::wstring> items = MultiText(data.data(), static_cast<DWORD>(data.size()));
  // A deletion's empty target at the end of the list looks like its end.
  if (items.size() % 2 != 0) items.emplace_back();
  Print(L"pending");
  for (size_t i = 0; i < items.size(); i += 2) {
    const std::wstring& target = items[i + 1];
    Print(L"  " + Escaped(items[i]) + L" -> " + (target.empty() ? L"(delete)" : Escaped(target)));
  }
}

void ReportLink(const std::wstring& file) {
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Print(L"link " + file + L" (absent)");
    return;
  }
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    Print(L"link " + file + L" (no shell link class)");
    return;
  }
  std::wstring line = L"link " + file;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
    wchar_t text[1024] = {};
    link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    Print(line);
    Print(L"  target " + Escaped(text));
    text[0] = 0;
    link->GetDescription(text, 1024);
    Print(L"  description " + Escaped(text));
    text[0] = 0;
    int index = 0;
    link->GetIconLocation(text, 1024, &index);
    Print(L"  icon " +
          (text[0] == 0 ? std::wstring(L"(none)") : Escaped(text) + L"," + std::to_wstring(index)));
  } else {
    Print(line + L" (unreadable)");
  }
  if (persist != nullptr) persist->Release();
  link->Release();
}

void ReportFiles(const std::wstring& folder, const std::wstring& shown) {
  std::vector<std::pair<std::wstring, WIN32_FIND_DATAW>> entries;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
      Print(L"files " + shown + L" (absent)");
    } else {
      Print(L"files " + shown);
    }
    return;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") entries.emplace_back(name, data);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  Print(L"files " + shown);
  for (const auto& [name, entry] : entries) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Print(L"  " + name + L"\\");
    } else {
      const unsigned long long size =
          (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
      Print(L"  " + name + L" " + std::to_wstring(size));
    }
  }
  for (const auto& [name, entry] : entries) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ReportFiles(folder + L"\\" + name, shown + L"\\" + name);
    }
  }
}

int Usage() {
  std::fputs(
      "state_report: usage: state_report (key PATH | value PATH NAME | pending | link FILE | "
      "files FOLDER)...\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  _setmode(_fileno(stdout), _O_BINARY);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (int i = 1; i < argc; ++i) {
    const std::wstring command = argv[i];
    const int left = argc - i - 1;
    if (command == L"key" && left >= 1) {
      ReportKey(argv[++i]);
    } else if (command == L"value" && left >= 2) {
      ReportValue(argv[i + 1], argv[i + 2]);
      i += 2;
    } else if (command == L"pending") {
      ReportPending();
    } else if (command == L"link" && left >= 1) {
      ReportLink(argv[++i]);
    } else if (command == L"files" && left >= 1) {
      ++i;
      ReportFiles(argv[i], argv[i]);
    } else {
      return Usage();
    }
  }
  std::fflush(stdout);
  CoUninitialize();
  return 0;
}
