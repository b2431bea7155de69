// The install locations and the texts composed from them.
#include "core/install.h"

#include <shellapi.h>
#include <shlobj.h>

#include "text/format.h"

int CInstall::GetSpecialFolder(int folderId, GString& target) {
  target.SetLength(0);
  char16_t* buffer = target.WideAppendBuffer(MAX_PATH + 1);
  if (buffer == nullptr) return 0;
  if (!SHGetSpecialFolderPathW(OwnerWindow(), WinText(buffer), folderId, FALSE)) {
    target.SetLength(0);
    return 0;
  }
  target.SetLength(-1);
  return 1;
}

int CInstall::BuildPaths() {
  GString programFiles, programsMenu, desktop;
  GetSpecialFolder(CSIDL_PROGRAM_FILES, programFiles);
  GetSpecialFolder(CSIDL_COMMON_PROGRAMS, programsMenu);
  GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktop);

  GString textName, pageName, pageFile, componentName, sharedName, fileExt, linkExt, textExt,
      pointerExt, linkFormat, linkArgument, vendor, product;
  LoadText(71, textName);
  LoadText(70, pageName);
  LoadText(80, pageFile);
  LoadText(30, sharedName);
  LoadText(42, fileExt);
  LoadText(43, linkExt);
  LoadText(44, textExt);
  LoadText(46, pointerExt);
  LoadText(48, linkFormat);
  LoadText(81, linkArgument);
  LoadText(9, vendor);
  LoadText(10, product);
  // The component's name: string 22, then " (", string 23, ")".
  GString part;
  LoadText(22, componentName);
  LoadText(23, part);
  componentName.AppendWide(u" (", 2);
  componentName.Append(part);
  componentName.AppendWide(u")", 1);

  // base \ name + extension. Without its base (a special folder Windows could
  // not give) the path stays empty rather than relative to the current folder,
  // and whatever would be written there fails instead.
  auto compose = [](GString& out, const GString& base, const GString& name, const GString* ext) {
    if (base.Length() == 0) {
      out.SetLength(0);
      return;
    }
    out.Assign(base);
    out.ToWide(-1);
    out.AppendPath(name);
    if (ext != nullptr) out.Append(*ext);
  };
  compose(Paths[VendorDir], programFiles, vendor, nullptr);
  compose(Paths[InstallDir], Paths[VendorDir], product, nullptr);
  compose(Paths[MenuVendorDir], programsMenu, vendor, nullptr);
  compose(Paths[MenuDir], Paths[MenuVendorDir], product, nullptr);
  compose(Paths[ComponentFile], Paths[InstallDir], componentName, &fileExt);
  compose(Paths[ComponentMenuLink], Paths[MenuDir], componentName, &linkExt);
  compose(Paths[ComponentDesktopLink], desktop, componentName, &linkExt);
  compose(Paths[SharedFile], Paths[InstallDir], sharedName, &fileExt);
  compose(Paths[SharedMenuLink], Paths[MenuDir], sharedName, &linkExt);
  compose(Paths[SharedDesktopLink], desktop, sharedName, &linkExt);
  compose(Paths[TextFile], Paths[InstallDir], textName, &textExt);
  compose(Paths[TextMenuLink], Paths[MenuDir], textName, &linkExt);
  compose(Paths[TextDesktopLink], desktop, textName, &linkExt);
  compose(Paths[PageMenuPointer], Paths[MenuDir], pageName, &pointerExt);
  compose(Paths[PageDesktopPointer], desktop, pageName, &pointerExt);
  compose(Paths[PageFile], Paths[InstallDir], pageFile, nullptr);

  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return 0;
  if (count < 1) {
    LocalFree(arguments);
    return 0;
  }
  Paths[SetupSelf].AssignWide(reinterpret_cast<const char16_t*>(arguments[0]));
  LocalFree(arguments);

  GString fileName;
  FileNamePart(Paths[SetupSelf], fileName);
  compose(Paths[SetupCopy], Paths[InstallDir], fileName, nullptr);

  Format(Paths[SetupLinkName], linkFormat.WideText(0), linkArgument.WideText(0));
  compose(Paths[SetupMenuLink], Paths[MenuDir], Paths[SetupLinkName], &linkExt);
  return 1;
}

int CInstall::FileNamePart(GString& path, GString& name) {
  // Windows takes a slash for a backslash, and a drive letter's colon ends
  // the folder part too: a program started as "dir/setup.exe" or "D:setup.exe"
  // must still copy itself to "setup.exe", not into a folder that is not there.
  int start = 0;
  for (char16_t separator : {u'\\', u'/', u':'}) {
    const int found = path.FindLast(separator, 0);
    if (found + 1 > start) start = found + 1;
  }
  return name.AssignWide(path.WideText(start));
}
