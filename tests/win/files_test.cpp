#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/install.h"
#include "support/table_builder.h"

namespace {

// A wide GString made in place from a literal.
struct Wide : GString {
  explicit Wide(const std::wstring& text) {
    AssignWide(reinterpret_cast<const char16_t*>(text.c_str()), int(text.size()));
  }
};

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"setup-files-test";
    Clean();
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  }
  void TearDown() override {
    Clean();
    CoUninitialize();
  }
  void Clean() {
    for (const wchar_t* name : {L"\\a.txt", L"\\b.lnk", L"\\busy.bin", L"\\sub\\x"}) {
      DeleteFileW((folder + name).c_str());
    }
    RemoveDirectoryW((folder + L"\\sub").c_str());
    RemoveDirectoryW(folder.c_str());
  }

  std::wstring folder;
  CInstall install;
};

TEST_F(Files, TextIsWrittenAsUtf8) {
  FileHandle file = install.CreateFileForWrite(Wide(folder + L"\\a.txt"));
  ASSERT_TRUE(file);
  Wide text(L"Клавиатура\r\n");
  ASSERT_EQ(install.WriteText(file.Get(), text), 1);
  GString empty;
  EXPECT_EQ(install.WriteText(file.Get(), empty), 0);
  EXPECT_EQ(install.WriteBytes(file.Get(), nullptr, 3), 0);
  file.Reset();
  EXPECT_EQ(ReadAll(folder + L"\\a.txt"),
            "\xD0\x9A\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xB8\xD0\xB0\xD1\x82"
            "\xD1\x83\xD1\x80\xD0\xB0\r\n");
}

TEST_F(Files, TextFileNeedsItsText) {
  TableBuilder common;
  common.Narrow(67, "Read me\r\n");
  ASSERT_EQ(install.CommonStrings.Attach(common.Build(), common.Rows()), 1);
  install.OsVersionCode = 51;
  ASSERT_EQ(install.WriteTextFile(Wide(folder + L"\\a.txt")), 1);
  EXPECT_EQ(ReadAll(folder + L"\\a.txt"), "Read me\r\n");
  install.OsVersionCode = 50;  // string 68 is missing
  EXPECT_EQ(install.WriteTextFile(Wide(folder + L"\\a.txt")), 0);
}

TEST_F(Files, ShortcutPointsAtItsTarget) {
  const std::wstring target = folder + L"\\a.txt";
  ASSERT_EQ(install.CreateShortcut(Wide(target), Wide(folder + L"\\b.lnk"), Wide(L"Description"),
                                   nullptr, 0),
            1);
  IShellLinkW* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkW, reinterpret_cast<void**>(&link))));
  IPersistFile* file = nullptr;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
  ASSERT_TRUE(SUCCEEDED(file->Load((folder + L"\\b.lnk").c_str(), STGM_READ)));
  wchar_t path[MAX_PATH] = {};
  wchar_t description[MAX_PATH] = {};
  link->GetPath(path, MAX_PATH, nullptr, 0);
  link->GetDescription(description, MAX_PATH);
  EXPECT_EQ(std::wstring(path), target);
  EXPECT_EQ(std::wstring(description), L"Description");
  file->Release();
  link->Release();
}

TEST_F(Files, FoldersOneLevelAtATime) {
  EXPECT_EQ(install.EnsureFolder(Wide(folder)), 1);  // exists already
  EXPECT_EQ(install.EnsureFolder(Wide(folder + L"\\sub\\x\\y")), 0);
  EXPECT_EQ(install.EnsureFolder(Wide(folder + L"\\sub")), 1);
  EXPECT_EQ(install.RemoveFolder(Wide(folder + L"\\sub")), 1);
  EXPECT_EQ(install.RemoveFolder(GString()), 0);
}

TEST_F(Files, DeletionFallsBackToTheNextRestart) {
  EXPECT_EQ(install.DeleteFileOrLater(GString()), 0);
  EXPECT_EQ(install.DeleteFileOrLater(Wide(folder + L"\\missing.txt")), 1);
  EXPECT_EQ(install.DeleteFileOrLater(Wide(folder + L"\\missing\\x.txt")), 1);

  const std::wstring busy = folder + L"\\busy.bin";
  HANDLE held = CreateFileW(busy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(install.DeleteFileOrLater(Wide(busy)), 1);
  CloseHandle(held);
  EXPECT_NE(GetFileAttributesW(busy.c_str()), INVALID_FILE_ATTRIBUTES);  // still there until then
}

}  // namespace
