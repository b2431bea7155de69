// The installation and removal sequences: which steps run, in which order,
// and how the two package counters move.
#include <shlobj.h>

#include "core/install.h"
#include "ui/wizard.h"

int CInstall::Install() {
  if (Wizard) Wizard->DisableAllControls();
  // A damaged image is refused before the first change to the system.
  if (!CheckInstallPayload()) return 0;

  if (ModifyMode) {
    // Only the options and chosen keys change; the layout is patched again
    // only once they are recorded, so the two never disagree. The keys made
    // to send another key take effect through the machine's map alone, so it
    // is written again too; as in a full installation its result is ignored.
    if (!SaveInstallInfo() || !InstallLayoutFiles()) return 0;
    WriteScancodeMap();
    return 1;
  }

  if (InstallState == LegacyInstallState) RemoveOldVersionFiles(0);
  if (!InstallFiles()) return 0;
  if (!InstallLayoutFiles()) return 0;
  // Not yet recorded under the shared key: this package counts from now on.
  if (InstallState <= LegacyInstallState) ++SharedInstallCount;
  if (!SaveInstallInfo()) return 0;
  if (!RegisterLayoutKey()) return 0;
  WriteScancodeMap();
  RegisterInputLanguage(LayoutLangId, OptDefaultLayout);
  if (OptUserToggleValues && !WriteToggleValues()) return 0;
  Installed = 1;
  return 1;
}

int CInstall::Remove() {
  if (InstallState == LegacyInstallState) {
    // An earlier release registered only the layout: no counters, no package
    // records of ours.
    RemoveOldVersionFiles(1);
    UnregisterLayoutKey();
    UnregisterInputLanguage();
    Removed = 1;
    return 1;
  }

  if (SharedInstallCount != 0) --SharedInstallCount;
  if (ComponentRefCount != 0) --ComponentRefCount;
  if (!ScheduleLayoutDeletion()) return 0;

  auto deleteAll = [this](std::initializer_list<PathIndex> paths) {
    for (PathIndex i : paths) {
      if (Paths[i].Length() != 0) DeleteFileOrLater(Paths[i]);
    }
  };
  if (ComponentRefCount == 0) {
    deleteAll({OldComponentFile, OldComponentMenuLink, OldComponentDesktopLink});
  }
  if (SharedInstallCount == 0) {
    deleteAll({OldTextFile, OldTextMenuLink, OldTextDesktopLink, OldPageMenuPointer,
               OldPageDesktopPointer, OldSharedFile, OldSharedMenuLink, OldSharedDesktopLink,
               OldPageFile});
    UnregisterInputLanguage();
  }
  // The running program may be this copy: it then goes at the next restart.
  deleteAll({OldSetupCopy, OldSetupMenuLink});
  // Folders still holding something stay. When the running copy waits for
  // the restart, its folders are left to the restart too: they go after it if
  // nothing else is in them by then, instead of staying behind empty.
  const bool copyWaits = Paths[OldSetupCopy].Length() != 0 &&
                         GetFileAttributesW(WinText(Paths[OldSetupCopy])) != INVALID_FILE_ATTRIBUTES;
  for (PathIndex i : {InstallDir, VendorDir, MenuDir, MenuVendorDir}) {
    if (Paths[i].Length() == 0 || RemoveFolder(Paths[i])) continue;
    if (copyWaits && (i == InstallDir || i == VendorDir)) {
      MoveFileExW(WinText(Paths[i]), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  UnregisterLayoutKey();
  RemoveInstallInfo();
  Removed = 1;
  return 1;
}

int CInstall::ScheduleLayoutDeletion() {
  GString final32, final64;
  if (!BuildLayoutPaths(final32, final64, nullptr, nullptr)) return 0;
  // A deletion the system refuses leaves an unused file behind; the removal
  // goes on regardless.
  MoveAtRestart({{&final32, nullptr}, {&final64, nullptr}}, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 1;
}

int CInstall::RemoveOldVersionFiles(int scheduleLayoutFiles) {
  GString documents, desktop;
  GetSpecialFolder(CSIDL_PERSONAL, documents);
  GetSpecialFolder(CSIDL_DESKTOP, desktop);
  struct OldFile {
    const GString* folder;
    uint32_t nameId;
    uint32_t extensionId;
  };
  const OldFile files[] = {
      {&documents, 77, 42}, {&desktop, 77, 43}, {&documents, 78, 44}, {&desktop, 78, 43}};
  for (const OldFile& f : files) {
    GString name, extension, path;
    // Without its folder or name the path would be relative: nothing to delete.
    if (f.folder->Length() == 0 || !LoadText(f.nameId, name) || name.Length() == 0) continue;
    LoadText(f.extensionId, extension);
    path.Assign(*f.folder);
    path.AppendPath(name);
    path.Append(extension);
    DeleteFileOrLater(path);
  }
  if (scheduleLayoutFiles && !ScheduleLayoutDeletion()) return 0;
  return 1;
}
