// Before an installation changes anything, every payload entry it is going to
// extract is extracted once on trial: a damaged image is refused while the
// system is still as it was, instead of failing half-way through.
#include <memory>

#include "core/install.h"

int CInstall::EntryIsSound(const PayloadEntry& entry) const {
  if (entry.Data == nullptr || entry.Size == 0) return 0;
  uint32_t size = entry.Size;
  // Extraction checks the header, both checksums and the inflation.
  const std::unique_ptr<uint8_t[]> plain(Guard.Extract(entry.Data, &size, nullptr));
  return plain != nullptr;
}

int CInstall::CheckInstallPayload() {
  PayloadEntry build32, build64;
  if (!SelectLayoutBuilds(build32, build64) || !EntryIsSound(build32)) return 0;
  if (Is64BitWindows && !EntryIsSound(build64)) return 0;
  if (ModifyMode) return 1;  // only the layout is written again
  if (!EntryIsSound(ComponentPayload)) return 0;
  if (SharedStamp < InstallStamp && !EntryIsSound(SharedPayload)) return 0;
  // A package may come without the page file (its step never fails), but a
  // page file it carries must be sound.
  if (Paths[OldPageMenuPointer].Length() == 0 && PagePayload.Size != 0 &&
      !EntryIsSound(PagePayload)) {
    return 0;
  }
  return 1;
}
