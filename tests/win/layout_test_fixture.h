// An installer with the real embedded builds and patterns, but with texts of
// the test's own: the layout file name is unique to the test, so that every
// staged file and every move registered for the next restart names a test
// file and never one of the system's. TearDown takes the test's entries out
// of the system's list of pending moves again; the test's folder goes with
// the fixture.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/install.h"
#include "engine/layout_patch.h"
#include "support/table_builder.h"
#include "test_files.h"

class LayoutFixture : public ::testing::Test {
 protected:
  // The texts the layout steps read; everything else (package names, keys)
  // stays absent so that no step touches the system's own records.
  static constexpr uint32_t kLayoutIds[] = {56, 57, 60, 144, 146, 147, 148, 149, 150, 151};

  void SetUp() override {
    ASSERT_EQ(install.LoadPayload(), 1);
    for (uint32_t id : kLayoutIds) {
      GString text;
      ASSERT_EQ(install.LoadText(id, text), 1) << id;
      texts[id] = std::u16string(text.WideText(0), size_t(text.Length()));
    }
    token = u"kbdtest" + Decimal(GetCurrentProcessId()) + u"_" + Decimal(GetTickCount());
    texts[83] = token + u".dll";
    UseTexts();

    ASSERT_TRUE(owned.Made());
    folder = testfiles::U16(owned.Path());
    install.Paths[InstallDir].AssignWide(folder.c_str());

    install.OsVersionCode = 61;
    install.ProcessorArchitecture = 9;
    install.Is64BitWindows = 1;
    install.LayoutVariant = 0;
    install.DecimalKeyChoice = 0;
    for (auto [scancode, vk] : kChanges) {
      KeyMapEntry* row = install.FindWorkingKey(scancode);
      ASSERT_NE(row, nullptr) << scancode;
      row->VirtualKey = vk;
    }
  }

  // The test's folder goes with everything in it.
  void TearDown() override { RemovePendingMoves(); }

  // Replaces every table with one holding exactly `texts`.
  void UseTexts() {
    TableBuilder table;
    for (const auto& [id, text] : texts) table.Wide(id, text);
    ASSERT_EQ(install.CommonStrings.Attach(table.Build(), table.Rows()), 1);
    install.ExtraStrings.Release();
    install.LanguageStrings[0].Release();
    install.LanguageStrings[1].Release();
  }

  // The guide an earlier release left in the user's documents, named from
  // this test's texts (which it extends); an installation taking the earlier
  // release over deletes it.
  std::u16string PlantOldGuide() {
    wchar_t documents[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, TRUE)) return u"";
    texts[77] = token + u" guide";
    texts[42] = u".pdf";
    UseTexts();
    const std::u16string path = Utf16(documents) + u"\\" + texts[77] + u".pdf";
    CloseHandle(CreateFileW(Win(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return path;
  }

  // The plain image of a build and the image the installer should stage.
  std::vector<uint8_t> Plain(const PayloadEntry& build) {
    uint32_t size = build.Size;
    std::unique_ptr<uint8_t[]> data(install.Guard.Extract(build.Data, &size, nullptr));
    if (!data) return {};
    return std::vector<uint8_t>(data.get(), data.get() + size);
  }
  std::vector<uint8_t> Expected(const PayloadEntry& build, int variant, bool keys, bool comma) {
    std::vector<uint8_t> image = Plain(build);
    LayoutPatterns patterns;
    if (keys) {
      patterns.Base = Hex(texts.at(147 + uint32_t(variant)));
      patterns.E0 = Hex(texts.at(150));
      patterns.E1 = Hex(texts.at(151));
    }
    if (comma) patterns.Decimal = Hex(texts.at(146));
    EXPECT_EQ(PatchLayoutImage(image.data(), image.size(), keys ? install.KeyMap.get() : nullptr,
                               keys ? install.KeyMapCount : 0, patterns),
              PatchResult::Patched);
    return image;
  }

  static std::vector<uint8_t> Hex(const std::u16string& text) {
    std::string narrow(text.begin(), text.end());
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(DecodeHexText(narrow.data(), narrow.size(), bytes));
    return bytes;
  }

  static std::vector<uint8_t> ReadFile(const std::u16string& path) {
    std::vector<uint8_t> bytes;
    HANDLE h =
        CreateFileW(Win(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(h, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(h);
    return bytes;
  }
  static bool Exists(const std::u16string& path) {
    return GetFileAttributesW(Win(path)) != INVALID_FILE_ATTRIBUTES;
  }

  // The pending moves as (source, target) pairs; a deletion's target is empty.
  static std::vector<std::pair<std::u16string, std::u16string>> PendingMoves() {
    std::vector<std::u16string> items = ReadPendingValue();
    std::vector<std::pair<std::u16string, std::u16string>> moves;
    for (size_t i = 0; i + 1 < items.size(); i += 2) moves.emplace_back(items[i], items[i + 1]);
    return moves;
  }
  // The pending moves whose source names a test file.
  std::vector<std::pair<std::u16string, std::u16string>> OurMoves() const {
    std::vector<std::pair<std::u16string, std::u16string>> ours;
    for (const auto& move : PendingMoves())
      if (Lower(move.first).find(Lower(token)) != std::u16string::npos) ours.push_back(move);
    return ours;
  }

  void RemovePendingMoves() const {
    std::vector<std::u16string> items = ReadPendingValue();
    std::vector<std::u16string> kept;
    bool changed = false;
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
      if (Lower(items[i]).find(Lower(token)) != std::u16string::npos) {
        changed = true;
        continue;
      }
      kept.push_back(items[i]);
      kept.push_back(items[i + 1]);
    }
    if (!changed) return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != 0) return;
    if (kept.empty()) {
      RegDeleteValueW(key, L"PendingFileRenameOperations");
    } else {
      std::u16string data;
      for (const auto& item : kept) data += item + u'\0';
      data += u'\0';
      RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(data.data()), DWORD(2 * data.size()));
    }
    RegCloseKey(key);
  }

  static std::u16string Lower(std::u16string s) {
    for (char16_t& c : s)
      if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    return s;
  }
  static bool EndsWith(const std::u16string& text, const std::u16string& end) {
    return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == Lower(end);
  }
  static std::u16string Text(const GString& s) {
    return s.Length() == 0 ? u"" : std::u16string(s.WideText(0), size_t(s.Length()));
  }
  static std::u16string Utf16(const wchar_t* p) {
    return std::u16string(reinterpret_cast<const char16_t*>(p));
  }
  static const wchar_t* Win(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
  }
  static std::u16string Decimal(unsigned long v) {
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
  }

  static constexpr const wchar_t* kSessionManager =
      L"System\\CurrentControlSet\\Control\\Session Manager";
  static constexpr std::pair<uint16_t, uint16_t> kChanges[] = {
      {0x002A, 0x00A2}, {0xE01D, 0x015D}, {0xE05B, 0x00FF}};

  CInstall install;
  std::map<uint32_t, std::u16string> texts;
  std::u16string token;
  testfiles::TestFolder owned{L"kbdtest"};
  std::u16string folder;

 private:
  static std::vector<std::u16string> ReadPendingValue() {
    std::vector<std::u16string> items;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != 0)
      return items;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
            0 &&
        type == REG_MULTI_SZ) {
      std::u16string data(size / 2 + 1, u'\0');
      RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                       reinterpret_cast<BYTE*>(&data[0]), &size);
      data.resize(size / 2);
      // Items end with a NUL; the list ends with an empty item.
      size_t at = 0;
      while (at < data.size()) {
        size_t end = data.find(u'\0', at);
        if (end == std::u16string::npos) end = data.size();
        items.push_back(data.substr(at, end - at));
        at = end + 1;
      }
      // The final empty item closes the list, but a deletion's target is an
      // empty item too: drop only an unpaired trailing one.
      if (items.size() % 2 == 1 && items.back().empty()) items.pop_back();
    }
    RegCloseKey(key);
    return items;
  }
};
