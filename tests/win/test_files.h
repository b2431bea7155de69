// Files for the Windows tests: a throw-away folder under the temporary folder,
// reading files and shortcuts back, and the prefix's list of moves pending for
// the next restart.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace testfiles {

inline std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
inline std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

inline std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void WriteAll(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

// Removes a folder with everything in it; read-only files too.
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// Every file and folder below `folder`, as relative paths ("a\b", folders
// with a trailing backslash) mapped to their bytes.
inline void ListTree(const std::wstring& folder, const std::wstring& relative,
                     std::vector<std::pair<std::wstring, std::string>>& out) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.emplace_back(relative + name + L"\\", std::string());
      ListTree(folder + L"\\" + name, relative + name + L"\\", out);
    } else {
      out.emplace_back(relative + name, ReadAll(folder + L"\\" + name));
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// A new, empty folder of the test's own under the temporary folder, named
// uniquely, and removed with everything in it at the end.
class TestFolder {
 public:
  explicit TestFolder(const std::wstring& prefix) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TestFolder() { RemoveTree(path_); }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  bool Made() const { return FileExists(path_); }

 private:
  std::wstring path_;
};

struct Shortcut {
  std::wstring target;
  std::wstring description;
  std::wstring icon;  // empty: none set
  int iconIndex = 0;
  bool operator==(const Shortcut& o) const {
    return target == o.target && description == o.description && icon == o.icon &&
           iconIndex == o.iconIndex;
  }
};

// A saved shell shortcut as the shell reads it back; all empty when it
// cannot be loaded. COM must be initialised on the thread.
inline Shortcut ReadShortcut(const std::wstring& path) {
  Shortcut result;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return result;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      wchar_t target[MAX_PATH] = {};
      wchar_t description[MAX_PATH] = {};
      wchar_t icon[MAX_PATH] = {};
      int index = 0;
      link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetDescription(description, MAX_PATH);
      link->GetIconLocation(icon, MAX_PATH, &index);
      result = {target, description, icon, index};
    }
    file->Release();
  }
  link->Release();
  return result;
}

// The raw list of moves pending for the next restart; restoring it undoes
// whatever a test registered. Registering a move rewrites the whole list, so
// the tests that do so run one at a time.
class PendingMoves {
 public:
  static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager";
  static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";

  // The items of the list in order: source, target, source, target ... (a
  // deletion's target is empty).
  static std::vector<std::wstring> Items() {
    std::wstring data;
    Read(data);
    return Parse(data);
  }

  static std::vector<std::wstring> Parse(const std::wstring& data) {
    std::vector<std::wstring> items;
    size_t at = 0;
    while (at < data.size()) {
      size_t end = data.find(L'\0', at);
      if (end == std::wstring::npos) end = data.size();
      items.push_back(data.substr(at, end - at));
      at = end + 1;
    }
    // The list ends with an empty item, but a deletion's target is empty too:
    // drop only an unpaired trailing one.
    if (items.size() % 2 == 1 && items.back().empty()) items.pop_back();
    return items;
  }

  // The raw value, or false when there is none (or it is not a list).
  static bool Read(std::wstring& data) {
    data.clear();
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return false;
    }
    const bool found = Read(key, data);
    RegCloseKey(key);
    return found;
  }
  // The same through a key opened on the session manager's key (one opened
  // before the machine root was redirected stays on the real one).
  static bool Read(HKEY sessionManager, std::wstring& data) {
    data.clear();
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(sessionManager, kValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
      return false;
    }
    data.assign(size / 2 + 1, L'\0');
    const bool found = RegQueryValueExW(sessionManager, kValue, nullptr, &type,
                                        reinterpret_cast<BYTE*>(&data[0]), &size) == ERROR_SUCCESS;
    data.resize(found ? size / 2 : 0);
    return found;
  }

  static void Write(bool present, const std::wstring& data) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    Write(key, present, data);
    RegCloseKey(key);
  }
  static void Write(HKEY sessionManager, bool present, const std::wstring& data) {
    if (!present) {
      RegDeleteValueW(sessionManager, kValue);
    } else {
      RegSetValueExW(sessionManager, kValue, 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(data.data()), DWORD(2 * data.size()));
    }
  }
};

}  // namespace testfiles
