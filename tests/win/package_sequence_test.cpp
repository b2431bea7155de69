// The installation and removal sequences from start to end, with the package's
// own texts, on a machine of the test's own: what the registry, the files,
// the shortcuts and the pending moves hold afterwards.
#include <shlobj.h>

#include <string>
#include <vector>

#include "change_budget.h"
#include "engine/layout_patch.h"
#include "package_expectations.h"

namespace {

class PackageSequences : public PackageExpectations {
 protected:
  // The moves and the switching of the redirection around them, in order.
  static std::vector<std::string> Moves() {
    std::vector<std::string> moves;
    for (const std::string& call : changebudget::Calls()) {
      if (call == "MoveFileExW") moves.push_back("move");
      if (call == "Wow64DisableWow64FsRedirection") moves.push_back("off");
      if (call == "Wow64RevertWow64FsRedirection") moves.push_back("on");
    }
    return moves;
  }
};

TEST_F(PackageSequences, FirstInstallation) {
  const Tree before = Registry();
  CInstall install;
  Start(install);
  ASSERT_EQ(install.InstallState, 0);
  Choose(install);
  changebudget::ArmUnlimited();
  const int installed = install.Install();
  changebudget::Disarm();
  ASSERT_EQ(installed, 1);
  EXPECT_EQ(install.Installed, 1);

  EXPECT_TRUE(Same(Registry(), Installed(before, {})));
  // Each build's move is registered with the thread's redirection off, so
  // that the system folder names the native one.
  EXPECT_EQ(Moves(), (std::vector<std::string>{"off", "move", "on", "off", "move", "on"}));
  EXPECT_TRUE(Same(AllFiles(), InstalledFiles({})));
  EXPECT_EQ(NewPendingItems(), StagedMoves());
  // The input language is registered as the layout's default.
  EXPECT_EQ(testfiles::ReadAll(settingsCopy), SettingsFile());
}

TEST_F(PackageSequences, InstallingTwiceChangesNoCounter) {
  const Tree before = Registry();
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    CInstall install;
    Start(install);
    EXPECT_EQ(install.InstallState, run == 1 ? 0 : InstallStamp);
    Choose(install);
    ASSERT_EQ(install.Install(), 1);
    EXPECT_TRUE(Same(Registry(), Installed(before, {})));
    EXPECT_TRUE(Same(AllFiles(), InstalledFiles({})));
  }
  // Each run registers the staged builds' replacement again.
  std::vector<std::wstring> twice = StagedMoves();
  for (const std::wstring& item : StagedMoves()) twice.push_back(item);
  EXPECT_EQ(NewPendingItems(), twice);
}

TEST_F(PackageSequences, EarlierComponentElsewhereMovesToTheNewPlace) {
  const Tree before = Registry();
  {
    CInstall first;
    Start(first);
    Choose(first);
    ASSERT_EQ(first.Install(), 1);
  }
  // As an earlier release recorded it: the component and its shortcuts in
  // another folder, a desktop shortcut among them.
  const std::wstring old = root + L"\\Old";
  ASSERT_TRUE(CreateDirectoryW(old.c_str(), nullptr));
  const std::wstring component = L"SOFTWARE\\Tundra Type\\PhonoRus\\Components\\Russian";
  for (const wchar_t* name : {L"File", L"MenuLink", L"DesktopLink"}) {
    const std::wstring path = old + L"\\" + name;
    testfiles::WriteAll(path, "old");
    SetText(HKEY_LOCAL_MACHINE, component, name, path);
  }
  DeleteFileW(ComponentDesktopLink().c_str());

  CInstall again;
  Start(again);
  Choose(again);
  again.OptShortcuts = 0;  // the desktop shortcut that was there moves anyway
  ASSERT_EQ(again.Install(), 1);
  for (const wchar_t* name : {L"File", L"MenuLink", L"DesktopLink"}) {
    EXPECT_FALSE(testfiles::FileExists(old + L"\\" + name)) << name;
  }
  Files files = InstalledFiles({});
  files[L"Old\\"] = "";
  EXPECT_TRUE(Same(AllFiles(), files));
  EXPECT_TRUE(Same(Registry(), Installed(before, {})));
}

TEST_F(PackageSequences, LegacyRegistrationIsTakenOver) {
  // An older release registered the layout and left its files in the user's
  // folders; it kept no records of ours.
  const std::wstring layouts = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000419";
  SetText(HKEY_LOCAL_MACHINE, layouts, L"Layout Text", L"PhonoRus Russian Phonetic");
  SetText(HKEY_LOCAL_MACHINE, layouts, L"Layout Id", L"0f31");
  SetText(HKEY_LOCAL_MACHINE, layouts, L"Layout File", L"kbdphrus.dll");
  const std::wstring oldFiles[] = {
      documents + L"\\PhonoRus Guide.pdf", userDesktop + L"\\PhonoRus Guide.lnk",
      documents + L"\\PhonoRus ReadMe.txt", userDesktop + L"\\PhonoRus ReadMe.lnk"};
  for (const std::wstring& f : oldFiles) testfiles::WriteAll(f, "old");
  testfiles::WriteAll(documents + L"\\PhonoRus ReadMe.pdf", "not the old release's");
  Tree before = Registry();
  for (const wchar_t* name : {L"Layout Text", L"Layout Id", L"Layout File"}) {
    before.erase(L"HKLM\\" + layouts + L"\\" + name);
  }
  before.erase(L"HKLM\\" + layouts + L"\\");

  CInstall install;
  Start(install);
  ASSERT_EQ(install.InstallState, LegacyInstallState);
  Choose(install);
  ASSERT_EQ(install.Install(), 1);
  for (const std::wstring& f : oldFiles) EXPECT_FALSE(testfiles::FileExists(f));
  Files files = InstalledFiles({});
  files[L"Documents\\PhonoRus ReadMe.pdf"] = Digest("not the old release's");
  EXPECT_TRUE(Same(AllFiles(), files));
  // Counted as a new package, and the layout key rewritten whole.
  EXPECT_TRUE(Same(Registry(), Installed(before, {})));
}

TEST_F(PackageSequences, ModifyModeRewritesOnlyTheOptionsAndTheLayout) {
  {
    CInstall first;
    Start(first);
    Choose(first);
    ASSERT_EQ(first.Install(), 1);
  }
  const Tree installed = Registry();
  Files files = AllFiles();
  ForgetPendingMoves();

  CInstall modify;
  Start(modify);
  ASSERT_EQ(modify.InstallState, InstallStamp);
  // Read back: the options of the installation.
  EXPECT_EQ(modify.LayoutVariant, 1);
  EXPECT_EQ(modify.DecimalKeyChoice, 0);
  EXPECT_EQ(modify.FindWorkingKey(0x002A)->VirtualKey, 0x00A2);
  modify.SetModifyMode(1);
  Choice changed;
  changed.variant = 2;
  changed.decimal = 1;
  changed.keys = {{0x0010, 0x0051 + 1}};
  Choose(modify, changed);
  ASSERT_EQ(modify.Install(), 1);
  EXPECT_EQ(modify.Installed, 0);

  Tree expected = installed;
  const std::wstring package = L"HKLM\\SOFTWARE\\Tundra Type\\PhonoRus\\Packages\\2.0\\";
  expected[package + L"LayoutVariant"] = Dword(2);
  expected[package + L"DecimalKey"] = Dword(1);
  expected[package + L"KeyMap"] = Binary(std::string{0x10, 0, 0x52, 0});
  EXPECT_TRUE(Same(Registry(), expected));
  files[L"Program Files\\Tundra Type\\PhonoRus\\kbdphrus.dll"] = Digest(StagedLayout(modify, 8));
  files[L"Program Files\\Tundra Type\\PhonoRus\\kbdphrus.dll64"] = Digest(StagedLayout(modify, 10));
  EXPECT_TRUE(Same(AllFiles(), files));
  EXPECT_EQ(NewPendingItems(), StagedMoves());
}

// Removal with this package alone, and with another one under the same
// shared key.
class Removal : public PackageSequences, public ::testing::WithParamInterface<DWORD> {};

TEST_P(Removal, CountsThePackageOut) {
  const DWORD packages = GetParam();  // this one included
  const bool sharedStays = packages > 1;
  const Tree before = Registry();
  {
    CInstall install;
    Start(install);
    Choose(install);
    ASSERT_EQ(install.Install(), 1);
  }
  SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tundra Type\\PhonoRus", L"InstallCount", packages);
  const Tree installed = Registry();
  const Files installedFiles = AllFiles();
  // The restart has moved the staged builds over the system's.
  DeleteFileW((InstallDir() + L"\\kbdphrus.dll").c_str());
  DeleteFileW((InstallDir() + L"\\kbdphrus.dll64").c_str());
  ForgetPendingMoves();
  DeleteFileW(settingsCopy.c_str());

  CInstall remove;
  Start(remove);
  ASSERT_EQ(remove.InstallState, InstallStamp);
  changebudget::ArmUnlimited();
  const int removed = remove.Remove();
  changebudget::Disarm();
  ASSERT_EQ(removed, 1);
  EXPECT_EQ(remove.Removed, 1);
  EXPECT_EQ(Moves(), (std::vector<std::string>{"off", "move", "move", "on"}));

  // Both layout files go at the next restart.
  EXPECT_EQ(NewPendingItems(),
            (std::vector<std::wstring>{L"\\??\\" + SystemWow64Folder() + L"\\kbdphrus.dll", L"",
                                       L"\\??\\" + SystemFolder() + L"\\kbdphrus.dll", L""}));
  // The scancode map and the toggle values stay as the installation left them.
  Tree expected = before;
  for (const auto& entry : installed) {
    if (entry.first.rfind(L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout\\", 0) == 0 ||
        entry.first.rfind(L"HKCU\\", 0) == 0) {
      expected[entry.first] = entry.second;
    }
  }
  Files files = EmptyFolders();
  if (sharedStays) {
    // The shared items stay with the other package, and so does the
    // registration of the input language; this package's key, the component
    // (no other user) and the setup copy go.
    for (const auto& entry : installed) {
      if (entry.first.rfind(L"HKLM\\SOFTWARE\\Tundra Type\\", 0) == 0 &&
          entry.first.find(L"\\Components\\") == std::wstring::npos &&
          entry.first.find(L"\\Packages\\") == std::wstring::npos) {
        expected[entry.first] = entry.second;
      }
    }
    expected[L"HKLM\\SOFTWARE\\Tundra Type\\PhonoRus\\InstallCount"] = Dword(packages - 1);
    for (const auto& entry : installedFiles) {
      const std::wstring& path = entry.first;
      const bool component = path.find(L"PhonoRus Layout Guide (Russian)") != std::wstring::npos;
      const bool setup = path.find(L"Change or remove") != std::wstring::npos ||
                         path.find(SetupName()) != std::wstring::npos;
      const bool layout = path.find(L"kbdphrus") != std::wstring::npos;
      if (!component && !setup && !layout) files[path] = entry.second;
    }
    EXPECT_FALSE(testfiles::FileExists(settingsCopy));
  } else {
    EXPECT_EQ(testfiles::ReadAll(settingsCopy), RemovalSettingsFile());
  }
  EXPECT_TRUE(Same(Registry(), expected));
  EXPECT_TRUE(Same(AllFiles(), files));
}

INSTANTIATE_TEST_SUITE_P(Packages, Removal, ::testing::Values(DWORD(1), DWORD(2)));

// Each failing step stops the installation where the sequence says, and
// nothing done before it is undone.
enum FailingStep { FilesStep, RecordsStep, LayoutKeyStep, ToggleStep };

class Failure : public PackageSequences, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(Failure, StopsTheInstallation) {
  const FailingStep step = GetParam();
  const Tree before = Registry();
  switch (step) {
    case FilesStep:  // the component file's place is taken by a folder
      ASSERT_TRUE(CreateDirectoryW((programFiles + L"\\Tundra Type").c_str(), nullptr));
      ASSERT_TRUE(CreateDirectoryW(InstallDir().c_str(), nullptr));
      ASSERT_TRUE(CreateDirectoryW(ComponentFile().c_str(), nullptr));
      break;
    case RecordsStep: {
      // A key that lives only until the next start can hold no lasting
      // records below it.
      HKEY vendor = nullptr;
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tundra Type", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vendor, nullptr),
                ERROR_SUCCESS);
      RegCloseKey(vendor);
      break;
    }
    case LayoutKeyStep:
      ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE,
                              L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts"),
                ERROR_SUCCESS);
      break;
    case ToggleStep:
      ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Keyboard Layout\\Toggle"), ERROR_SUCCESS);
      break;
  }
  const Tree broken = Registry();

  CInstall install;
  Start(install);
  Choose(install);
  EXPECT_EQ(install.Install(), 0);
  EXPECT_EQ(install.Installed, 0);

  // What the steps before the failing one wrote, and nothing after it.
  Tree expected = broken;
  const Tree full = Installed(before, {});
  for (const auto& entry : full) {
    const bool records = entry.first.rfind(L"HKLM\\SOFTWARE\\Tundra Type\\", 0) == 0;
    const bool system = entry.first.rfind(L"HKLM\\SYSTEM\\", 0) == 0 && !before.count(entry.first);
    if ((records && step > RecordsStep) || (system && step == ToggleStep)) {
      expected[entry.first] = entry.second;
    }
  }
  EXPECT_TRUE(Same(Registry(), expected));
  Files files = InstalledFiles({});
  if (step == FilesStep) {
    // Nothing after the component file: no shortcut of it, no layout build.
    EXPECT_TRUE(NewPendingItems().empty());
    EXPECT_FALSE(testfiles::FileExists(InstallDir() + L"\\kbdphrus.dll"));
    EXPECT_FALSE(testfiles::FileExists(MenuDir() + L"\\PhonoRus Layout Guide (Russian).lnk"));
  } else {
    EXPECT_EQ(NewPendingItems(), StagedMoves());
    EXPECT_TRUE(Same(AllFiles(), files));
  }
  // Only an installation that got past the layout key registers the input
  // language.
  EXPECT_EQ(testfiles::FileExists(settingsCopy), step == ToggleStep);
}

INSTANTIATE_TEST_SUITE_P(Steps, Failure,
                         ::testing::Values(FilesStep, RecordsStep, LayoutKeyStep, ToggleStep));

}  // namespace
