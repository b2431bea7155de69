// Files, folders and shell shortcuts the installation makes and removes.
#include <shlobj.h>

#include "core/install.h"
#include "text/format.h"

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

namespace {

bool SameText(const GString& a, const GString& b) {
  if (a.Length() != b.Length()) return false;
  for (int i = 0; i < a.Length(); ++i) {
    if (a.WideText(0)[i] != b.WideText(0)[i]) return false;
  }
  return true;
}

void DeleteIfRecorded(const GString& path) {
  if (path.Length() != 0) DeleteFileW(WinText(path));
}

}  // namespace

// Everything but the layout file, in a fixed order; the first failure ends it
// and what was made so far stays (the caller then writes no records).
int CInstall::InstallFiles() {
  GString icon, componentText, sharedText, textText;
  LoadText(52, icon);
  LoadText(121, componentText);
  LoadText(35, sharedText);
  LoadText(122, textText);

  for (int folder : {VendorDir, InstallDir, MenuVendorDir, MenuDir}) {
    if (!EnsureFolder(Paths[folder])) return 0;
  }

  // The setup copy and its shortcut are always replaced.
  DeleteIfRecorded(Paths[OldSetupCopy]);
  DeleteIfRecorded(Paths[OldSetupMenuLink]);

  // This installation's earlier reference to the component is taken back here
  // and counted again below, so a re-installation leaves the count as it was.
  int wantDesktop = OptShortcuts;
  if (Paths[OldComponentFile].Length() != 0) {
    if (ComponentRefCount > 0) --ComponentRefCount;
    if (!SameText(Paths[OldComponentFile], Paths[ComponentFile])) {
      DeleteFileW(WinText(Paths[OldComponentFile]));
    }
  }
  if (Paths[OldComponentMenuLink].Length() != 0 &&
      !SameText(Paths[OldComponentMenuLink], Paths[ComponentMenuLink])) {
    DeleteFileW(WinText(Paths[OldComponentMenuLink]));
  }
  if (Paths[OldComponentDesktopLink].Length() != 0 &&
      !SameText(Paths[OldComponentDesktopLink], Paths[ComponentDesktopLink])) {
    DeleteFileW(WinText(Paths[OldComponentDesktopLink]));
    // A desktop shortcut the user had moves along, even with shortcuts off.
    wantDesktop = 1;
  }
  if (!WritePayloadFile(Paths[ComponentFile], ComponentPayload)) return 0;
  if (!CreateShortcut(Paths[ComponentFile], Paths[ComponentMenuLink], componentText, nullptr, 0)) {
    return 0;
  }
  if (wantDesktop) {
    if (!CreateShortcut(Paths[ComponentFile], Paths[ComponentDesktopLink], componentText, nullptr,
                        0)) {
      return 0;
    }
    ComponentDesktopLinkMade = 1;
  }
  ++ComponentRefCount;

  // The shared file is installed once for all packages of this release.
  if (SharedStamp < InstallStamp) {
    DeleteIfRecorded(Paths[OldSharedFile]);
    DeleteIfRecorded(Paths[OldSharedMenuLink]);
    DeleteIfRecorded(Paths[OldSharedDesktopLink]);
    if (!WritePayloadFile(Paths[SharedFile], SharedPayload)) return 0;
    if (!CreateShortcut(Paths[SharedFile], Paths[SharedMenuLink], sharedText, nullptr, 0)) return 0;
    if (OptShortcuts) {
      if (!CreateShortcut(Paths[SharedFile], Paths[SharedDesktopLink], sharedText, nullptr, 0)) {
        return 0;
      }
      SharedDesktopLinkMade = 1;
    }
  }

  if (Paths[OldTextMenuLink].Length() == 0) {
    if (!WriteTextFile(Paths[TextFile])) return 0;
    if (!CreateShortcut(Paths[TextFile], Paths[TextMenuLink], textText, &icon, 0)) return 0;
  }
  if (OptShortcuts && Paths[OldTextDesktopLink].Length() == 0) {
    const GString& target = Paths[OldTextFile].Length() != 0 ? Paths[OldTextFile] : Paths[TextFile];
    if (target.Length() != 0) {
      if (!CreateShortcut(target, Paths[TextDesktopLink], textText, &icon, 0)) return 0;
      TextDesktopLinkMade = 1;
    }
  }

  // The page file and its two pointers are a convenience: nothing here fails
  // the installation.
  if (Paths[OldPageMenuPointer].Length() == 0) {
    GString format, pageName, pointer;
    LoadText(69, format);
    LoadText(80, pageName);
    if (format.Length() != 0) {
      Format(pointer, format.WideText(0), Paths[InstallDir].WideText(0), pageName.WideText(0));
    }
    pointer.ToNarrow(0);
    WritePayloadFile(Paths[PageFile], PagePayload);
    for (int path : {PageMenuPointer, PageDesktopPointer}) {
      FileHandle file = CreateFileForWrite(Paths[path]);
      if (file) WriteText(file.Get(), pointer);
    }
  }

  if (!CopyFileW(WinText(Paths[SetupSelf]), WinText(Paths[SetupCopy]), FALSE)) return 0;
  return CreateShortcut(Paths[SetupCopy], Paths[SetupMenuLink], Paths[SetupLinkName],
                        &Paths[SetupCopy], 0);
}
