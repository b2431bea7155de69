// The settings-file commands and the process layer under them, with harmless
// system commands standing in for the real one.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/install.h"
#include "support/table_builder.h"
#include "test_files.h"

namespace {

using testfiles::FileExists;
using testfiles::ReadAll;
using testfiles::U16;

class InputLanguage : public ::testing::Test {
 protected:
  InputLanguage() : owned(L"setup-input-language-test"), folder(owned.Path()) {}

  void SetUp() override {
    ASSERT_TRUE(owned.Made());
    copy = folder + L"\\settings.txt";
    // The command copies the settings file where the test can read it.
    strings.Wide(47, u"kls")
        .Wide(49, u"cmd.exe /c copy /y \"%s\" \"" + U16(copy) + u"\"")
        .Wide(62, u"62 %04x %s [%s]")
        .Wide(63, u"63 %s %04x %s [%s] %d %x")
        .Wide(64, u"default")
        .Wide(65, u"65 [%s][%s]")
        .Wide(66, u"66 [%s]")
        .Wide(85, u"a0010419")
        .Wide(2, u"\"%s\" %s");
    Attach();
  }
  // The test's folder goes with everything in it.
  void TearDown() override { SetCurrentDirectoryW(L"C:\\"); }
  void Attach() { ASSERT_EQ(install.CommonStrings.Attach(strings.Build(), strings.Rows()), 1); }

  testfiles::TestFolder owned;
  std::wstring folder;
  std::wstring copy;
  TableBuilder strings;
  CInstall install;
};

TEST_F(InputLanguage, RegistrationFillsTheTemplateForTheSystem) {
  struct Case {
    int os;
    const char16_t* locale;  // string 90
    int makeDefault;
    const char* expected;  // null: nothing is run
  };
  const Case cases[] = {
      {52, u"ru-RU", 1, nullptr},  // before Vista the registry does it all
      {60, u"ru-RU", 1, "62 0419 a0010419 [default]"},
      {61, u"", 0, "62 0419 a0010419 []"},  // the default text is empty, not absent
      {62, u"", 1, "62 0419 a0010419 [default]"},
      {62, u"ru-RU", 0, "63 ru-RU 0419 a0010419 [] 1049 419"},
  };
  for (const Case& c : cases) {
    DeleteFileW(copy.c_str());
    strings.Wide(90, c.locale);
    Attach();
    install.OsVersionCode = c.os;
    EXPECT_EQ(install.RegisterInputLanguage(0x0419, c.makeDefault), 1) << c.os;
    if (c.expected == nullptr) {
      EXPECT_FALSE(FileExists(copy)) << c.os;
    } else {
      EXPECT_EQ(ReadAll(copy), c.expected) << c.os;
    }
  }
}

TEST_F(InputLanguage, RemovalOnlyForTheLastPackage) {
  struct Case {
    int os;
    int32_t packages;
    const char* expected;
  };
  const Case cases[] = {
      {61, 2, nullptr},  // others still use the registration
      {61, 1, "66 []"},
      {61, 0, "66 []"},
      {52, 1, "65 [][]"},
  };
  for (const Case& c : cases) {
    DeleteFileW(copy.c_str());
    install.OsVersionCode = c.os;
    install.SharedInstallCount = c.packages;
    EXPECT_EQ(install.UnregisterInputLanguage(), 1) << c.os << " " << c.packages;
    if (c.expected == nullptr) {
      EXPECT_FALSE(FileExists(copy));
    } else {
      EXPECT_EQ(ReadAll(copy), c.expected) << c.os << " " << c.packages;
    }
  }
}

TEST_F(InputLanguage, SettingsFileIsTemporary) {
  GString path;
  EXPECT_EQ(install.MakeTempFileName(path, 0, nullptr), 0);
  GString target;
  target.AssignWide(U16(folder).c_str());
  ASSERT_EQ(install.MakeTempFileName(path, 47, &target), 1);
  const std::wstring made(path.WideText(0), path.WideText(0) + path.Length());
  EXPECT_EQ(made.rfind(folder + L"\\kls", 0), 0u);
  EXPECT_TRUE(FileExists(made));  // made empty, so the name stays taken

  GString temp;
  ASSERT_EQ(install.GetTempFolder(temp), 1);
  EXPECT_EQ(temp.WideText(0)[temp.Length() - 1], u'\\');

  // After registration the settings file is gone again.
  install.OsVersionCode = 61;
  ASSERT_EQ(install.RegisterInputLanguage(0x0419, 1), 1);
  WIN32_FIND_DATAW found;
  std::wstring tempText(temp.WideText(0), temp.WideText(0) + temp.Length());
  HANDLE search = FindFirstFileW((tempText + L"kls*").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(InputLanguage, BareProgramNamesComeFromTheSystemFolder) {
  // A planted program of the same name in the current folder: were it the one
  // started, it could not run and nothing would be written.
  std::ofstream((folder + L"\\cmd.exe").c_str(), std::ios::binary) << "not a program";
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  const std::wstring ran = folder + L"\\ran.txt";
  strings.Wide(3, u"cmd /c echo ran>\"%s\"").Wide(4, u"cmd.exe /c exit");
  Attach();

  const DWORD started = GetTickCount();
  EXPECT_EQ(install.RunCommand(3, U16(ran).c_str()), 1);
  EXPECT_EQ(ReadAll(ran), "ran\r\n");
  EXPECT_EQ(install.RunCommand(4), 1);
  EXPECT_LT(GetTickCount() - started, 2500u);

  // Nothing to start is not reported; no command at all is.
  strings.Wide(5, u"no-such-program.exe");
  Attach();
  EXPECT_EQ(install.RunCommand(5), 1);
  EXPECT_EQ(install.RunCommand(0), 0);
}

TEST_F(InputLanguage, AssociatedProgramNeedsItsAssociation) {
  GString program;
  EXPECT_EQ(install.FindAssociatedProgram(41, program), 0);  // no string 41
  strings.Wide(41, u".setup-test-no-such-type");
  Attach();
  EXPECT_EQ(install.FindAssociatedProgram(41, program), 0);
  EXPECT_EQ(program.Length(), 0);
  EXPECT_EQ(install.LaunchAssociated(), 0);
}

// The names of settings files left in the temporary folder.
std::vector<std::wstring> LeftSettingsFiles() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::vector<std::wstring> left;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((std::wstring(temp) + L"kls*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do left.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return left;
}

// The settings file is a fresh file of its own, held so that nobody can write,
// replace, rename or delete it until the command has read it, and readable by
// the command meanwhile.
TEST_F(InputLanguage, SettingsFileIsHeldAgainstReplacement) {
  GString text, path;
  text.AssignWide(u"settings");
  FileHandle held;
  ASSERT_EQ(install.WriteSettingsFile(text, path, held), 1);
  ASSERT_TRUE(held);
  const std::wstring made(path.WideText(0), path.WideText(0) + path.Length());
  const std::wstring other = folder + L"\\other.txt";
  std::ofstream(other.c_str(), std::ios::binary) << "evil";

  EXPECT_EQ(CreateFileW(made.c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(made.c_str()));
  EXPECT_FALSE(MoveFileExW(made.c_str(), (folder + L"\\moved.txt").c_str(), 0));
  EXPECT_FALSE(MoveFileExW(other.c_str(), made.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(CopyFileW(other.c_str(), made.c_str(), FALSE));
  EXPECT_EQ(ReadAll(made), "settings");
  DeleteFileW(other.c_str());

  held.Reset();
  EXPECT_TRUE(DeleteFileW(made.c_str()));
}

// The same seen from another process, the command itself: it reads the text
// written, and its attempts to replace or remove the file fail.
TEST_F(InputLanguage, CommandReadsWhatWasWritten) {
  const std::wstring script = folder + L"\\attack.cmd";
  const std::wstring evil = folder + L"\\evil.txt";
  std::ofstream(evil.c_str(), std::ios::binary) << "evil";
  std::ofstream(script.c_str(), std::ios::binary)
      << "@echo off\r\n"
      << "copy /y \"" << std::string(evil.begin(), evil.end()) << "\" %1 >nul 2>nul\r\n"
      << "del /q %1 >nul 2>nul\r\n"
      << "move /y %1 \"" << std::string(folder.begin(), folder.end())
      << "\\moved.txt\" >nul 2>nul\r\n"
      << "copy /y %1 \"" << std::string(copy.begin(), copy.end()) << "\" >nul\r\n";
  strings.Wide(49, u"cmd.exe /c " + U16(script) + u" \"%s\"");
  Attach();
  install.OsVersionCode = 61;
  EXPECT_EQ(install.RegisterInputLanguage(0x0419, 1), 1);
  EXPECT_EQ(ReadAll(copy), "62 0419 a0010419 [default]");
  EXPECT_FALSE(FileExists(folder + L"\\moved.txt"));
  EXPECT_TRUE(LeftSettingsFiles().empty());
  DeleteFileW(script.c_str());
  DeleteFileW(evil.c_str());
}

// Whatever happens to the command, and whether or not the text could be
// written, no settings file stays behind.
TEST_F(InputLanguage, SettingsFileIsDeletedOnEveryPath) {
  struct Case {
    const char* name;
    const char16_t* command;  // string 49; null: absent
    const char16_t* removal;  // string 66: empty makes the write fail
    int registered, unregistered;
  };
  const Case cases[] = {
      {"command runs", u"cmd.exe /c exit", u"66 [%s]", 1, 1},
      {"command cannot start", u"no-such-program.exe \"%s\"", u"66 [%s]", 1, 1},
      {"no command", nullptr, u"66 [%s]", 1, 1},
      {"nothing to write", u"cmd.exe /c exit", u"", 1, 0},
  };
  install.OsVersionCode = 61;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    strings.Wide(49, c.command != nullptr ? c.command : u"").Wide(66, c.removal);
    if (c.removal[0] == 0) strings.Wide(62, u"");
    Attach();
    EXPECT_EQ(install.RegisterInputLanguage(0x0419, 0), c.registered);
    EXPECT_TRUE(LeftSettingsFiles().empty());
    EXPECT_EQ(install.UnregisterInputLanguage(), c.unregistered);
    EXPECT_TRUE(LeftSettingsFiles().empty());
  }
}

}  // namespace
