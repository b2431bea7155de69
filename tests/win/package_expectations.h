// What an installation of the package must leave on the test's machine,
// composed from the package's texts the way the sequences describe it: the
// registry records, the files and shortcuts, the staged layout builds and
// their moves at the next restart.
#pragma once

#include <cwctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/layout_patch.h"
#include "package_fixture.h"
#include "payload/catalogue.h"

// What the user chose on the setup and key pages. Keys and targets are
// listed in the order of the key table.
struct Choice {
  int variant = 1;
  int decimal = 0;  // the keypad's decimal key types a comma
  std::vector<std::pair<uint16_t, uint16_t>> keys = {{0x002A, 0x00A2}, {0xE01D, 0x015D}};
  std::vector<std::pair<uint16_t, uint16_t>> targets = {{0x003A, 0x001D}, {0xE05B, 255}};
};

class PackageExpectations : public PackageFixture {
 protected:
  void SetUp() override {
    PackageFixture::SetUp();
    ASSERT_EQ(texts_.LoadPayload(), 1);
  }

  static void Choose(CInstall& install, const Choice& choice = Choice()) {
    install.SetLayoutVariant(choice.variant);
    install.SetDecimalKeyChoice(choice.decimal);
    for (int i = 0; i < install.KeyMapCount; ++i) {
      install.KeyMap[i].VirtualKey = 0;
      install.KeyMap[i].TargetScancode = 0;
    }
    for (auto [scancode, vk] : choice.keys) install.FindWorkingKey(scancode)->VirtualKey = vk;
    for (auto [scancode, target] : choice.targets) {
      install.FindWorkingKey(scancode)->TargetScancode = target;
    }
  }

  std::wstring Text(uint32_t id) const {
    GString text;
    texts_.LoadText(id, text);
    return text.Length() == 0 ? std::wstring()
                              : std::wstring(text.WideText(0), text.WideText(0) + text.Length());
  }

  // The package's places on the test's machine.
  std::wstring InstallDir() const { return programFiles + L"\\Tundra Type\\PhonoRus"; }
  std::wstring MenuDir() const { return programs + L"\\Tundra Type\\PhonoRus"; }
  std::wstring ComponentFile() const {
    return InstallDir() + L"\\PhonoRus Layout Guide (Russian).pdf";
  }
  std::wstring ComponentDesktopLink() const {
    return desktop + L"\\PhonoRus Layout Guide (Russian).lnk";
  }
  static std::wstring SetupName() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path = self;
    return path.substr(path.find_last_of(L"\\/") + 1);
  }
  static std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
  }
  static std::wstring SystemWow64Folder() {
    wchar_t folder[MAX_PATH];
    GetSystemWow64DirectoryW(folder, MAX_PATH);
    return folder;
  }

  // The registry after a complete installation over `before`.
  Tree Installed(const Tree& before, const Choice& choice) const {
    Tree tree = before;
    const std::wstring shared = L"HKLM\\SOFTWARE\\Tundra Type\\PhonoRus\\";
    const std::wstring component = shared + L"Components\\Russian\\";
    const std::wstring package = shared + L"Packages\\2.0\\";
    const std::wstring layout =
        L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000419\\";
    for (const std::wstring& key :
         {std::wstring(L"HKLM\\SOFTWARE\\Tundra Type\\"), shared, shared + L"Components\\",
          component, shared + L"Packages\\", package, layout}) {
      tree[key] = Key();
    }
    // The user's language and layout before the package came.
    wchar_t prior[64], layoutName[KL_NAMELENGTH] = {};
    GetKeyboardLayoutNameW(layoutName);
    swprintf(prior, 64, L"%04X:%ls", unsigned(GetUserDefaultLangID()), layoutName);
    tree[shared + L"PriorLayout"] = Sz(prior);
    tree[shared + L"InstallCount"] = Dword(1);
    tree[shared + L"TextFile"] = Sz(InstallDir() + L"\\PhonoRus.txt");
    tree[shared + L"TextMenuLink"] = Sz(MenuDir() + L"\\PhonoRus.lnk");
    tree[shared + L"TextDesktopLink"] = Sz(desktop + L"\\PhonoRus.lnk");
    tree[shared + L"PageMenuPointer"] = Sz(MenuDir() + L"\\PhonoRus Key Chart.url");
    tree[shared + L"PageDesktopPointer"] = Sz(desktop + L"\\PhonoRus Key Chart.url");
    tree[shared + L"PageFile"] = Sz(InstallDir() + L"\\keychart.htm");
    tree[shared + L"SharedFile"] = Sz(InstallDir() + L"\\Cyrillic Typing Basics.pdf");
    tree[shared + L"SharedMenuLink"] = Sz(MenuDir() + L"\\Cyrillic Typing Basics.lnk");
    tree[shared + L"SharedDesktopLink"] = Sz(desktop + L"\\Cyrillic Typing Basics.lnk");
    tree[shared + L"SharedStamp"] = Dword(190);
    tree[component + L"File"] = Sz(ComponentFile());
    tree[component + L"MenuLink"] = Sz(MenuDir() + L"\\PhonoRus Layout Guide (Russian).lnk");
    tree[component + L"DesktopLink"] = Sz(ComponentDesktopLink());
    tree[component + L"Stamp"] = Dword(190);
    tree[component + L"RefCount"] = Dword(1);
    tree[package + L"SetupCopy"] = Sz(InstallDir() + L"\\" + SetupName());
    tree[package + L"SetupMenuLink"] =
        Sz(MenuDir() + L"\\Change or remove PhonoRus Russian Phonetic.lnk");
    tree[package + L"State"] = Dword(190);
    tree[package + L"LayoutVariant"] = Dword(uint32_t(choice.variant));
    tree[package + L"DecimalKey"] = Dword(uint32_t(choice.decimal));
    tree[package + L"LayoutGroup"] = Dword(0);
    tree[package + L"SavedLayoutGroup"] = Dword(0);
    std::string keys;
    for (auto [scancode, vk] : choice.keys) keys += Pair(scancode, vk);
    tree[package + L"KeyMap"] = Binary(keys);
    tree[layout + L"Layout Text"] = Sz(L"PhonoRus Russian Phonetic");
    tree[layout + L"Layout Display Name"] = Sz(L"@%SystemRoot%\\system32\\kbdphrus.dll,-1000");
    tree[layout + L"Layout Id"] = Sz(L"0f31");
    tree[layout + L"Layout File"] = Sz(L"kbdphrus.dll");
    // Version 0, flags 0, the count with the terminator, the mappings (sent,
    // physical; a disabled key sends 0), the terminator.
    std::string map = Pair(0, 0) + Pair(0, 0) + Pair(uint16_t(choice.targets.size() + 1), 0);
    for (auto [scancode, target] : choice.targets) {
      map += Pair(target == 255 ? 0 : target, scancode);
    }
    map += Pair(0, 0);
    tree[L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout\\Scancode Map"] = Binary(map);
    for (const wchar_t* name : {L"Hotkey", L"Language Hotkey", L"Layout Hotkey"}) {
      tree[std::wstring(L"HKCU\\Keyboard Layout\\Toggle\\") + name] = Sz(L"3");
    }
    return tree;
  }

  // The test's folders before anything was installed.
  static Files EmptyFolders() {
    return {{L"Desktop\\", ""},
            {L"Documents\\", ""},
            {L"Program Files\\", ""},
            {L"Programs\\", ""},
            {L"User Desktop\\", ""}};
  }

  // The files and shortcuts after a complete installation.
  Files InstalledFiles(const Choice& choice) const {
    Files files = EmptyFolders();
    const std::wstring pf = L"Program Files\\Tundra Type\\";
    const std::wstring menu = L"Programs\\Tundra Type\\";
    for (const std::wstring& folder : {pf, pf + L"PhonoRus\\", menu, menu + L"PhonoRus\\"}) {
      files[folder] = "";
    }
    const std::wstring dir = pf + L"PhonoRus\\";
    files[dir + L"PhonoRus Layout Guide (Russian).pdf"] = Digest(Payload(ComponentFileEntry()));
    files[dir + L"Cyrillic Typing Basics.pdf"] = Digest(Payload(SharedFileEntry()));
    files[dir + L"keychart.htm"] = Digest(Payload(PageFileEntry()));
    files[dir + L"PhonoRus.txt"] = Digest(Narrow(Text(67)));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    files[dir + SetupName()] = Digest(testfiles::ReadAll(self));
    CInstall patched;
    EXPECT_EQ(patched.LoadPayload(), 1);
    Choose(patched, choice);
    files[dir + L"kbdphrus.dll"] = Digest(StagedLayout(patched, 8));
    files[dir + L"kbdphrus.dll64"] = Digest(StagedLayout(patched, 10));

    const std::string pointer = Narrow(Fill(Text(69), {InstallDir(), L"keychart.htm"}));
    const std::wstring icon = Text(52);
    const std::wstring component = ComponentFile();
    const std::wstring shared = InstallDir() + L"\\Cyrillic Typing Basics.pdf";
    const std::wstring text = InstallDir() + L"\\PhonoRus.txt";
    const std::wstring setup = InstallDir() + L"\\" + SetupName();
    const std::wstring setupLink = L"Change or remove PhonoRus Russian Phonetic";
    for (const std::wstring& where : {menu + L"PhonoRus\\", std::wstring(L"Desktop\\")}) {
      files[where + L"PhonoRus Layout Guide (Russian).lnk"] = Link({component, Text(121), L"", 0});
      files[where + L"Cyrillic Typing Basics.lnk"] = Link({shared, Text(35), L"", 0});
      files[where + L"PhonoRus.lnk"] = Link({text, Text(122), icon, 0});
      files[where + L"PhonoRus Key Chart.url"] = Digest(pointer);
    }
    files[menu + L"PhonoRus\\" + setupLink + L".lnk"] = Link({setup, setupLink, setup, 0});
    return files;
  }
  // The build of `slot` with the installer's choices, as it is staged.
  static std::string StagedLayout(CInstall& install, int slot) {
    const PayloadEntry build = {LayoutPointers[0][install.LayoutVariant][slot],
                                LayoutSizes[0][install.LayoutVariant][slot]};
    std::string image = Payload(build, &install);
    LayoutPatterns patterns;
    auto decode = [&](uint32_t id, std::vector<uint8_t>& bytes) {
      GString text;
      install.LoadText(id, text);
      text.ToNarrow(0);
      EXPECT_TRUE(DecodeHexText(text.NarrowText(0), size_t(text.Length()), bytes)) << id;
    };
    decode(147 + uint32_t(install.LayoutVariant), patterns.Base);
    decode(150, patterns.E0);
    decode(151, patterns.E1);
    if (install.DecimalKeyChoice == 0) decode(146, patterns.Decimal);
    EXPECT_EQ(PatchLayoutImage(reinterpret_cast<uint8_t*>(&image[0]), image.size(),
                               install.KeyMap.get(), install.KeyMapCount, patterns),
              PatchResult::Patched);
    return image;
  }

  // The staged builds' replacement of the system's layout files at the next
  // restart: the 32-bit build into the 32-bit system folder, then the 64-bit
  // build into the native one.
  std::vector<std::wstring> StagedMoves() const {
    return {L"\\??\\" + InstallDir() + L"\\kbdphrus.dll",
            L"!\\??\\" + SystemWow64Folder() + L"\\kbdphrus.dll",
            L"\\??\\" + InstallDir() + L"\\kbdphrus.dll64",
            L"!\\??\\" + SystemFolder() + L"\\kbdphrus.dll"};
  }

  // The settings files the input-language command is given.
  std::string SettingsFile() const {
    return Narrow(Fill(Text(62), {L"0419", L"a0000419", Text(64)}));
  }
  std::string RemovalSettingsFile() const { return Narrow(Fill(Text(66), {L""})); }

  // Replaces the format's conversions, in order, by the given texts.
  static std::wstring Fill(const std::wstring& format, std::vector<std::wstring> args) {
    std::wstring out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
      if (format[i] != L'%') {
        out += format[i];
        continue;
      }
      size_t j = i + 1;
      while (j < format.size() && !iswalpha(format[j])) ++j;
      out += next < args.size() ? args[next++] : L"?";
      i = j;
    }
    return out;
  }

  static std::string Pair(uint16_t a, uint16_t b) {
    return std::string{char(a & 0xFF), char(a >> 8), char(b & 0xFF), char(b >> 8)};
  }

  // Which entries differ between two maps, for a readable failure.
  template <typename Map>
  static ::testing::AssertionResult Same(const Map& actual, const Map& expected) {
    std::string differences;
    for (const auto& [key, value] : expected) {
      auto found = actual.find(key);
      if (found == actual.end()) {
        differences += "\n  missing: " + Narrow(key);
      } else if (found->second != value) {
        differences += "\n  differs: " + Narrow(key) + ": " + Show(found->second) +
                       "\n      expected " + Show(value);
      }
    }
    for (const auto& [key, value] : actual) {
      if (expected.count(key) == 0) differences += "\n  unexpected: " + Narrow(key);
    }
    if (differences.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences;
  }
  static std::string Show(const std::string& s) { return s; }
  static std::string Show(const std::pair<DWORD, std::string>& v) {
    std::string text = "type " + std::to_string(v.first) + ":";
    char hex[4];
    for (unsigned char c : v.second) {
      snprintf(hex, sizeof hex, " %02x", c);
      text += hex;
    }
    return text;
  }

 private:
  std::string Payload(const PayloadEntry& entry) const {
    return Payload(entry, const_cast<CInstall*>(&texts_));
  }
  static std::string Payload(const PayloadEntry& entry, CInstall* install) {
    uint32_t size = entry.Size;
    std::unique_ptr<uint8_t[]> data(install->Guard.Extract(entry.Data, &size, nullptr));
    EXPECT_TRUE(data) << "the package lacks an entry";
    if (!data) return std::string();
    return std::string(reinterpret_cast<const char*>(data.get()), size);
  }

  CInstall texts_;
};
