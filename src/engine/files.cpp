// Files, folders and shell shortcuts the installation makes and removes.
#include <shlobj.h>

#include "core/install.h"

FileHandle CInstall::CreateFileForWrite(const GString& path) {
  FileHandle file;
  if (path.Length() == 0) return file;
  file.Reset(CreateFileW(WinText(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  return file;
}

int CInstall::WriteBytes(HANDLE file, const uint8_t* data, uint32_t size) {
  if (file == nullptr || file == INVALID_HANDLE_VALUE || data == nullptr || size == 0) return 0;
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

int CInstall::WriteText(HANDLE file, GString& text) {
  if (text.Length() == 0 || text.ToNarrow(0) == nullptr) return 0;
  return WriteBytes(file, reinterpret_cast<const uint8_t*>(text.NarrowText(0)),
                    uint32_t(text.Length()));
}

int CInstall::WritePayloadFile(const GString& path, const PayloadEntry& entry) {
  uint32_t size = entry.Size;
  std::unique_ptr<uint8_t[]> data(Guard.Extract(entry.Data, &size, nullptr));
  if (!data) return 0;
  FileHandle file = CreateFileForWrite(path);
  return WriteBytes(file.Get(), data.get(), size);
}

int CInstall::WriteTextFile(const GString& path) {
  FileHandle file = CreateFileForWrite(path);
  if (!file) return 0;
  GString text;
  LoadText(OsVersionCode < 51 ? 68 : 67, text);
  return WriteText(file.Get(), text);
}

int CInstall::CreateShortcut(const GString& target, const GString& path, const GString& description,
                             const GString* iconLocation, int iconIndex) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Receive())))) {
    link.Release();
    return 0;
  }
  link.Get()->SetPath(WinText(target));
  link.Get()->SetDescription(WinText(description));
  if (iconLocation != nullptr) link.Get()->SetIconLocation(WinText(*iconLocation), iconIndex);
  ComPtr<IPersistFile> file;
  if (FAILED(
          link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive())))) {
    file.Release();
    return 0;
  }
  file.Get()->Save(WinText(path), TRUE);
  return 1;
}

int CInstall::EnsureFolder(const GString& path) {
  if (path.Length() == 0) return 0;
  return CreateDirectoryW(WinText(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

int CInstall::DeleteFileOrLater(const GString& path) {
  if (path.Length() == 0) return 0;
  if (DeleteFileW(WinText(path))) return 1;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 1;
  // In use: the system deletes it at the next restart.
  return MoveFileExW(WinText(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

int CInstall::RemoveFolder(const GString& path) {
  if (path.Length() == 0) return 0;
  return RemoveDirectoryW(WinText(path)) != 0;
}
