// The licence texts shown by the licence page.
#include "core/install.h"

#include <memory>

PayloadEntry CInstall::LicenceEntry(int language) const { return ::LicenceEntry(language); }

int CInstall::AssignLicence(const uint8_t* data, uint32_t size, GString& out) {
  static const uint8_t ByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
  if (data == nullptr) return 0;
  if (size >= 3 && data[0] == ByteOrderMark[0] && data[1] == ByteOrderMark[1] &&
      data[2] == ByteOrderMark[2]) {
    data += 3;
    size -= 3;
  }
  out.AssignWide(u"", 0);
  return out.AssignNarrow(reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
}

int CInstall::LicenceText(const uint8_t* entry, uint32_t storedSize, GString& out) {
  if (entry == nullptr || storedSize == 0) return 0;
  uint32_t size = storedSize;
  uint32_t extra = 0;
  std::unique_ptr<uint8_t[]> plain(Guard.Extract(entry, &size, &extra));
  if (!plain) return 0;
  return AssignLicence(plain.get(), size, out);
}
