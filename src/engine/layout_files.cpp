// The layout library on disk: picking the builds for this system, writing the
// user's key choices into them, staging them in the installation folder and
// asking the system to move them over its own copies at the next restart.
#include <shlobj.h>

#include <memory>

#include "core/install.h"
#include "engine/layout_patch.h"

namespace {

// Buffer the 32-bit system folder is read into, in characters; the size given
// to the system leaves room for the terminator.
constexpr int SystemWow64Buffer = 2309;

constexpr uint32_t DecimalPatternId = 146;
constexpr uint32_t FirstBasePatternId = 147;
constexpr uint32_t E0PatternId = 150;
constexpr uint32_t E1PatternId = 151;

constexpr uint32_t LayoutFileNameId = 83;
constexpr uint32_t RedirectionLibraryId = 144;
constexpr uint32_t RedirectionOffId = 56;
constexpr uint32_t RedirectionRestoreId = 57;
constexpr uint32_t SystemWow64FolderId = 60;

bool ValidVariant(int32_t variant) { return variant >= 0 && variant < LayoutVariants; }

}  // namespace

int CInstall::SelectLayoutBuilds(PayloadEntry& build32, PayloadEntry& build64) {
  build32 = PayloadEntry();
  build64 = PayloadEntry();
  // The variant indexes the table: anything else must not reach it.
  if (!ValidVariant(LayoutVariant)) return 0;
  struct LayoutSlots slots;
  if (!SelectLayoutSlots(OsVersionCode, ProcessorArchitecture, slots) || slots.Slot32 < 0) return 0;
  const int group = (OptLayoutFlag != 0 || SavedLayoutFlag != 0) ? 1 : 0;
  build32 = {LayoutPointers[group][LayoutVariant][slots.Slot32],
             LayoutSizes[group][LayoutVariant][slots.Slot32]};
  if (slots.Slot64 >= 0) {
    build64 = {LayoutPointers[group][LayoutVariant][slots.Slot64],
               LayoutSizes[group][LayoutVariant][slots.Slot64]};
  }
  return 1;
}

int CInstall::DecodeHexPattern(uint32_t id, std::vector<uint8_t>& bytes) {
  bytes.clear();
  GString text;
  if (!LoadText(id, text) || text.Length() == 0 || text.ToNarrow(0) == nullptr) return 0;
  return DecodeHexText(text.NarrowText(0), size_t(text.Length()), bytes) ? 1 : 0;
}

Module CInstall::LoadRedirectionControl(RedirectionOffFunction& off,
                                        RedirectionRestoreFunction& restore) {
  off = nullptr;
  restore = nullptr;
  HMODULE module = LoadLibraryById(RedirectionLibraryId);
  if (module == nullptr) return Module();
  Module library(module);
  auto offAddress =
      reinterpret_cast<void*>(GetProcAddressById(RedirectionOffId, RedirectionLibraryId, module));
  auto restoreAddress = reinterpret_cast<void*>(
      GetProcAddressById(RedirectionRestoreId, RedirectionLibraryId, module));
  if (offAddress == nullptr || restoreAddress == nullptr) return Module();
  off = reinterpret_cast<RedirectionOffFunction>(offAddress);
  restore = reinterpret_cast<RedirectionRestoreFunction>(restoreAddress);
  return library;
}

int CInstall::BuildLayoutPaths(GString& final32, GString& final64, GString* staging32,
                               GString* staging64) {
  final32.SetLength(0);
  final64.SetLength(0);
  GString fileName;
  // Without a file name the "file" would be the system folder itself.
  if (!LoadText(LayoutFileNameId, fileName) || fileName.Length() == 0) return 0;
  const GString& installDir = Paths[InstallDir];
  if (staging32 != nullptr) {
    staging32->SetLength(0);
    if (installDir.Length() != 0) {
      staging32->Assign(installDir);
      staging32->AppendPath(fileName);
    }
  }
  if (staging64 != nullptr) {
    staging64->SetLength(0);
    if (Is64BitWindows && installDir.Length() != 0) {
      staging64->Assign(installDir);
      staging64->AppendPath(fileName);
      staging64->AppendWideText(u"64", 2);
    }
  }

  GString systemFolder;
  // A relative path would name a file wherever the program happens to run.
  if (!GetSpecialFolder(CSIDL_SYSTEM, systemFolder) || systemFolder.Length() == 0) return 0;
  if (!Is64BitWindows) {
    final32.Assign(systemFolder);
    final32.AppendPath(fileName);
    return 1;
  }

  HMODULE module = nullptr;
  using SystemWow64Function = UINT(WINAPI*)(LPWSTR, UINT);
  auto address = reinterpret_cast<void*>(
      GetProcAddressById(SystemWow64FolderId, RedirectionLibraryId, module));
  Module library(module);
  if (address == nullptr) return 0;
  auto systemWow64 = reinterpret_cast<SystemWow64Function>(address);
  final32.SetLength(0);
  char16_t* buffer = final32.WideAppendBuffer(SystemWow64Buffer);
  if (buffer == nullptr) return 0;
  const UINT length = systemWow64(WinText(buffer), SystemWow64Buffer - 1);
  // 0: there is no such folder; more than the buffer: the text did not fit.
  if (length == 0 || length >= UINT(SystemWow64Buffer - 1)) {
    final32.SetLength(0);
    return 0;
  }
  final32.SetLength(int(length));
  final64.Assign(systemFolder);
  final64.AppendPath(fileName);
  final32.AppendPath(fileName);
  return 1;
}

int CInstall::MoveAtRestart(std::initializer_list<std::pair<const GString*, const GString*>> moves,
                            DWORD flags) {
  RedirectionOffFunction off = nullptr;
  RedirectionRestoreFunction restore = nullptr;
  Module library;
  PVOID saved = nullptr;
  bool redirectionOff = false;
  if (Is64BitWindows) {
    library = LoadRedirectionControl(off, restore);
    if (off != nullptr) redirectionOff = off(&saved) != 0;
  }
  int registered = 1;
  for (const auto& [from, to] : moves) {
    if (from == nullptr || from->Length() == 0) continue;
    if (!MoveFileExW(WinText(*from), to != nullptr ? WinText(*to) : nullptr, flags)) registered = 0;
  }
  // Restoring a state the switch never saved would set an arbitrary one.
  if (redirectionOff && restore != nullptr) restore(saved);
  return registered;
}

int CInstall::PatchAndStageLayout(const GString& finalPath, const GString& stagingPath,
                                  const PayloadEntry& build) {
  if (stagingPath.Length() == 0 || build.Data == nullptr || build.Size == 0) return 0;
  if (!ValidVariant(LayoutVariant)) return 0;
  uint32_t size = build.Size;
  std::unique_ptr<uint8_t[]> image(Guard.Extract(build.Data, &size, nullptr));
  if (!image) return 0;

  LayoutPatterns patterns;
  const KeyMapEntry* map = (KeyMap && KeyMapCount > 0) ? KeyMap.get() : nullptr;
  if (map != nullptr) {
    if (!DecodeHexPattern(FirstBasePatternId + uint32_t(LayoutVariant), patterns.Base) ||
        !DecodeHexPattern(E0PatternId, patterns.E0) ||
        !DecodeHexPattern(E1PatternId, patterns.E1)) {
      return 0;
    }
  }
  // Only the comma patch needs the decimal key's pattern.
  if (DecimalKeyChoice == 0 && !DecodeHexPattern(DecimalPatternId, patterns.Decimal)) return 0;
  if (PatchLayoutImage(image.get(), size, map, map != nullptr ? KeyMapCount : 0, patterns) !=
      PatchResult::Patched) {
    return 0;
  }

  {
    FileHandle file = CreateFileForWrite(stagingPath);
    if (!file || !WriteBytes(file.Get(), image.get(), size)) return 0;
  }
  // A move the system did not take would leave the old layout in place after
  // the restart while the records claim the new one: that is a failure.
  if (finalPath.Length() != 0 &&
      !MoveAtRestart({{&stagingPath, &finalPath}},
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
    return 0;
  }
  return 1;
}

int CInstall::InstallLayoutFiles() {
  GString final32, final64, staging32, staging64;
  if (!BuildLayoutPaths(final32, final64, &staging32, &staging64)) return 0;
  PayloadEntry build32, build64;
  if (!SelectLayoutBuilds(build32, build64) || build32.Data == nullptr) return 0;
  if (!PatchAndStageLayout(final32, staging32, build32)) return 0;
  if (Is64BitWindows && !PatchAndStageLayout(final64, staging64, build64)) return 0;
  return 1;
}
