// Stands in for a system program the setup starts (the end-to-end test puts
// it in the prefix's system folder under the program's name): it records its
// command line and keeps a copy of the file a /f:"FILE" argument names, which
// the setup deletes as soon as the program has had it.
//   C:\e2e\commands.txt   one line per start: the command line (UTF-8)
//   C:\e2e\file-N.txt     the named file's bytes, N the start's line number
#include <windows.h>

#include <string>

namespace {

void Append(const wchar_t* path, const std::string& text) {
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

int CountLines(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  int lines = 0;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read != 0) {
    for (DWORD i = 0; i < read; ++i) lines += buffer[i] == '\n';
  }
  CloseHandle(file);
  return lines;
}

}  // namespace

int wmain() {
  CreateDirectoryW(L"C:\\e2e", nullptr);
  const wchar_t* log = L"C:\\e2e\\commands.txt";
  const std::wstring line = GetCommandLineW();
  const int number = CountLines(log) + 1;
  Append(log, Utf8(line) + "\n");
  const size_t start = line.find(L"/f:\"");
  if (start == std::wstring::npos) return 0;
  const size_t end = line.find(L'"', start + 4);
  if (end == std::wstring::npos) return 0;
  const std::wstring named = line.substr(start + 4, end - start - 4);
  const std::wstring copy = L"C:\\e2e\\file-" + std::to_wstring(number) + L".txt";
  CopyFileW(named.c_str(), copy.c_str(), FALSE);
  return 0;
}
