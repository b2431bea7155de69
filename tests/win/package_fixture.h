// A machine of the test's own for the installation and removal sequences: the
// installer runs with the package's real string tables, but the registry's
// machine and user roots and the special folders it installs into are
// redirected into throw-away places, so nothing it does reaches the records,
// files or shortcuts of the prefix the other tests share. Only the moves it
// registers for the next restart name the system's layout files; the list is
// put back as it was at the end.
//
// The one text replaced is the settings command for the user's input
// languages: it copies the settings file where the test can read it, instead
// of changing the input languages of the prefix.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/install.h"
#include "support/table_builder.h"
#include "test_files.h"

class PackageFixture : public ::testing::Test {
 protected:
  // A registry tree: "HKLM\key\" for a key, "HKLM\key\name" for a value,
  // mapped to the value's type and bytes.
  using Tree = std::map<std::wstring, std::pair<DWORD, std::string>>;
  // Relative path (folders end with a backslash) to bytes.
  using Files = std::map<std::wstring, std::string>;

  PackageFixture() : folder_(L"setup-package-test") {}

  void SetUp() override {
    ASSERT_TRUE(folder_.Made());
    root = folder_.Path();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The list of pending moves lives in the real machine root.
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, testfiles::PendingMoves::kKey, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, &sessionManager_),
              ERROR_SUCCESS);
    hadPending_ = ReadPending(pendingBefore_);

    sandboxPath_ =
        L"Software\\SetupTests\\" + folder_.Path().substr(folder_.Path().find_last_of(L'\\') + 1);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (sandboxPath_ + L"\\Machine").c_str(), 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &machine_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (sandboxPath_ + L"\\User").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &user_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_), ERROR_SUCCESS);
    overridden_ = true;

    // What every Windows installation has, and the special folders.
    for (const wchar_t* key : {L"SOFTWARE", L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts",
                               L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout"}) {
      CreateKey(HKEY_LOCAL_MACHINE, key);
    }
    CreateKey(HKEY_CURRENT_USER, L"Keyboard Layout\\Toggle");
    const wchar_t* shellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    const struct {
      HKEY root;
      const wchar_t* key;
      const wchar_t* name;
      const wchar_t* folder;
    } folders[] = {
        {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
         L"Program Files"},
        {HKEY_LOCAL_MACHINE, shellFolders, L"Common Programs", L"Programs"},
        {HKEY_LOCAL_MACHINE, shellFolders, L"Common Desktop", L"Desktop"},
        {HKEY_CURRENT_USER, shellFolders, L"Personal", L"Documents"},
        {HKEY_CURRENT_USER, shellFolders, L"Desktop", L"User Desktop"},
    };
    for (const auto& f : folders) {
      const std::wstring path = root + L"\\" + f.folder;
      ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
      SetText(f.root, f.key, f.name, path);
    }
    programFiles = root + L"\\Program Files";
    programs = root + L"\\Programs";
    desktop = root + L"\\Desktop";
    documents = root + L"\\Documents";
    userDesktop = root + L"\\User Desktop";
    settingsCopy = root + L"\\settings.xml";
    // Temporary files too: a run that stops half-way leaves its settings file.
    temp_ = root + L"\\Temp";
    ASSERT_TRUE(CreateDirectoryW(temp_.c_str(), nullptr));
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
      wchar_t value[MAX_PATH] = {};
      const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
      savedTemp_.emplace_back(name, length > 0 && length < MAX_PATH ? value : L"");
      SetEnvironmentVariableW(name, temp_.c_str());
    }
  }

  void TearDown() override {
    for (const auto& [name, value] : savedTemp_) {
      SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    if (overridden_) {
      RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
      RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }
    if (machine_ != nullptr) RegCloseKey(machine_);
    if (user_ != nullptr) RegCloseKey(user_);
    if (!sandboxPath_.empty()) {
      RegDeleteTreeW(HKEY_CURRENT_USER, sandboxPath_.c_str());
      // Fails harmlessly while other tests' keys remain below it.
      RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\SetupTests");
    }
    if (sessionManager_ != nullptr) {
      std::wstring now;
      if (ReadPending(now) != hadPending_ || now != pendingBefore_) ForgetPendingMoves();
      RegCloseKey(sessionManager_);
    }
    CoUninitialize();
  }

  // Starts an installer as the setup program starts on 64-bit Windows 7: the
  // package's string tables, the options derived from them, the paths of this
  // release, the machine's scancode map and what an earlier installation
  // recorded.
  void Start(CInstall& install) {
    ASSERT_EQ(install.LoadPayload(), 1);
    ReplaceSettingsCommand(install);
    install.OsVersionCode = 61;
    install.ProcessorArchitecture = 9;
    install.Is64BitWindows = 1;
    install.ReadDefaultLayoutLangId();
    install.GetLayoutVariant();
    install.GetDecimalKeyChoice();
    install.LayoutLangId = 0x0419;
    ASSERT_EQ(install.BuildPaths(), 1);
    // Never the prefix's own folders.
    for (int path : {InstallDir, MenuDir, ComponentDesktopLink}) {
      const GString& p = install.Paths[path];
      ASSERT_TRUE(p.Length() > int(root.size()) &&
                  std::wstring(p.WideText(0), p.WideText(0) + root.size()) == root)
          << path;
    }
    install.LoadScancodeMap();
    install.LoadInstallInfo();
  }

  // The moves registered since the test began, as items (source, target, ...).
  std::vector<std::wstring> NewPendingItems() const {
    std::wstring now;
    ReadPending(now);
    const std::vector<std::wstring> before = testfiles::PendingMoves::Parse(pendingBefore_);
    std::vector<std::wstring> items = testfiles::PendingMoves::Parse(now);
    if (items.size() < before.size() || !std::equal(before.begin(), before.end(), items.begin())) {
      ADD_FAILURE() << "the earlier pending moves changed";
      return items;
    }
    items.erase(items.begin(), items.begin() + std::ptrdiff_t(before.size()));
    return items;
  }
  // Puts the list of pending moves back as it was when the test began.
  void ForgetPendingMoves() const {
    testfiles::PendingMoves::Write(sessionManager_, hadPending_, pendingBefore_);
  }

  // The redirected registry, without what the system keeps under Microsoft.
  Tree Registry() const {
    Tree tree;
    Dump(machine_, L"HKLM\\", tree);
    Dump(user_, L"HKCU\\", tree);
    for (auto it = tree.begin(); it != tree.end();) {
      if (StartsWithNoCase(it->first, L"HKLM\\SOFTWARE\\Microsoft\\") ||
          StartsWithNoCase(it->first, L"HKCU\\Software\\Microsoft\\")) {
        it = tree.erase(it);
      } else {
        ++it;
      }
    }
    return tree;
  }

  // Every file and folder below the test's folder but the settings copy: a
  // file as its size and checksum, a shortcut as what it points at.
  Files AllFiles() const {
    std::vector<std::pair<std::wstring, std::string>> list;
    testfiles::ListTree(root, L"", list);
    Files files;
    for (const auto& [path, bytes] : list) {
      // The settings copy is the test's; temporary files are not the package's.
      if (path == L"settings.xml" || path.rfind(L"Temp\\", 0) == 0) continue;
      const bool link = path.size() > 4 && _wcsicmp(path.c_str() + path.size() - 4, L".lnk") == 0;
      files[path] = link ? Link(testfiles::ReadShortcut(root + L"\\" + path)) : Digest(bytes);
    }
    for (auto& entry : files) {
      if (!entry.first.empty() && entry.first.back() == L'\\') entry.second.clear();
    }
    return files;
  }

  // Puts the redirected registry back as `before` held it, and takes away
  // every file and folder not in `folders`.
  void Restore(const Tree& before, const Files& folders) {
    const Tree now = Registry();
    for (auto it = now.rbegin(); it != now.rend(); ++it) {
      if (before.count(it->first) != 0) continue;
      HKEY hive;
      std::wstring key, name;
      Split(it->first, hive, key, name);
      if (name.empty()) {
        RegDeleteTreeW(hive, key.c_str());
      } else {
        HKEY k = nullptr;
        if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
          RegDeleteValueW(k, name.c_str());
          RegCloseKey(k);
        }
      }
    }
    for (const auto& [path, value] : before) {
      auto found = now.find(path);
      if (found != now.end() && found->second == value) continue;
      HKEY hive;
      std::wstring key, name;
      Split(path, hive, key, name);
      HKEY k = nullptr;
      RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
      if (!name.empty()) {
        RegSetValueExW(k, name.c_str(), 0, value.first,
                       reinterpret_cast<const BYTE*>(value.second.data()),
                       DWORD(value.second.size()));
      }
      RegCloseKey(k);
    }
    for (const auto& entry : AllFiles()) {
      if (folders.count(entry.first) != 0) continue;
      const std::wstring path = root + L"\\" + entry.first;
      if (entry.first.back() == L'\\') {
        testfiles::RemoveTree(path.substr(0, path.size() - 1));
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    }
    DeleteFileW(settingsCopy.c_str());
    testfiles::RemoveTree(temp_);
    CreateDirectoryW(temp_.c_str(), nullptr);
    ForgetPendingMoves();
  }

  // A value's registry number, 0 when it is missing.
  static DWORD Number(const Tree& tree, const std::wstring& path) {
    auto found = tree.find(path);
    if (found == tree.end() || found->second.first != REG_DWORD) return 0;
    DWORD v = 0;
    memcpy(&v, found->second.second.data(), sizeof v);
    return v;
  }

  static std::string Digest(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    char text[64];
    snprintf(text, sizeof text, "%zu bytes, %016llx", bytes.size(),
             static_cast<unsigned long long>(hash));
    return text;
  }
  static std::string Link(const testfiles::Shortcut& s) {
    return Narrow(L"shortcut to " + s.target + L" | " + s.description + L" | icon " + s.icon +
                  L"," + std::to_wstring(s.iconIndex));
  }
  static std::string Narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
  }

  static std::pair<DWORD, std::string> Sz(const std::wstring& text) {
    const char* bytes = reinterpret_cast<const char*>(text.c_str());
    return {REG_SZ, std::string(bytes, bytes + 2 * (text.size() + 1))};
  }
  static std::pair<DWORD, std::string> Dword(uint32_t v) {
    return {REG_DWORD, std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}};
  }
  static std::pair<DWORD, std::string> Binary(const std::string& bytes) {
    return {REG_BINARY, bytes};
  }
  static std::pair<DWORD, std::string> Key() { return {REG_NONE, std::string()}; }

  static void CreateKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS)
        << std::string(path.begin(), path.end());
    RegCloseKey(key);
  }
  static void SetText(HKEY root, const std::wstring& path, const std::wstring& name,
                      const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD(2 * (text.size() + 1)));
    RegCloseKey(key);
  }
  static void SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD v) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(key);
  }

  std::wstring root;
  std::wstring programFiles, programs, desktop, documents, userDesktop;
  std::wstring settingsCopy;
  // Whether the settings command copies its file; without it, none is run.
  bool settingsCommand = true;

 private:
  // The settings command copies the file it is given into the test's folder.
  void ReplaceSettingsCommand(CInstall& install) {
    TableBuilder table;
    const StringTable& language = install.LanguageStrings[install.UiLanguage];
    for (int32_t i = 0; i < language.Count; ++i) {
      const uint8_t* row = language.Index + 8 * i;
      const uint32_t id = U32(row);
      const uint8_t* record = language.Pool + U32(row + 4);
      const uint32_t header = U32(record);
      const uint32_t length = header & 0x1FFFFFFF;
      if (header & 0x80000000u) {
        table.Narrow(id, std::string(reinterpret_cast<const char*>(record + 4), length));
      } else {
        std::u16string text(length, u'\0');
        for (uint32_t k = 0; k < length; ++k) {
          text[k] = char16_t(record[4 + 2 * k] | (record[5 + 2 * k] << 8));
        }
        table.Wide(id, text);
      }
    }
    table.Wide(49, settingsCommand
                       ? u"cmd.exe /c copy /y \"%s\" \"" + testfiles::U16(settingsCopy) + u"\""
                       : u"");
    ASSERT_EQ(install.LanguageStrings[install.UiLanguage].Attach(table.Build(), table.Rows()), 1);
  }
  static uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }

  // "HKLM\a\b\name" into the root, "a\b" and "name" (empty for a key).
  static void Split(const std::wstring& path, HKEY& hive, std::wstring& key, std::wstring& name) {
    hive = path.rfind(L"HKLM\\", 0) == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring rest = path.substr(5);
    const size_t last = rest.find_last_of(L'\\');
    if (last == std::wstring::npos) {
      key = L"";
      name = rest;
    } else {
      key = rest.substr(0, last);
      name = rest.substr(last + 1);
    }
  }

  bool ReadPending(std::wstring& data) const {
    return testfiles::PendingMoves::Read(sessionManager_, data);
  }

  static bool StartsWithNoCase(const std::wstring& text, const std::wstring& start) {
    return text.size() >= start.size() && _wcsnicmp(text.c_str(), start.c_str(), start.size()) == 0;
  }

  static void Dump(HKEY key, const std::wstring& path, Tree& tree) {
    tree[path] = Key();
    for (DWORD i = 0;; ++i) {
      wchar_t name[512];
      DWORD nameLength = 512, type = 0, size = 0;
      if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS) {
        break;
      }
      std::string data(size, '\0');
      nameLength = 512;
      RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                    reinterpret_cast<BYTE*>(data.empty() ? nullptr : &data[0]), &size);
      tree[path + name] = {type, data};
    }
    for (DWORD i = 0;; ++i) {
      wchar_t name[512];
      DWORD nameLength = 512;
      if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      HKEY sub = nullptr;
      if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
        Dump(sub, path + name + L"\\", tree);
        RegCloseKey(sub);
      }
    }
  }

  testfiles::TestFolder folder_;
  HKEY sessionManager_ = nullptr;
  HKEY machine_ = nullptr;
  HKEY user_ = nullptr;
  bool overridden_ = false;
  std::wstring sandboxPath_;
  std::wstring temp_;
  std::vector<std::pair<std::wstring, std::wstring>> savedTemp_;
  bool hadPending_ = false;
  std::wstring pendingBefore_;
};
