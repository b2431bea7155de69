#include "payload/catalogue.h"

#include <cstring>

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

int ParseCatalogue(const uint8_t* image, size_t size, PayloadEntry items[CatalogueItems]) {
  for (int i = 0; i < CatalogueItems; ++i) items[i] = PayloadEntry{};
  if (image == nullptr) return 0;
  size_t at = 0;
  for (int record = 0; record < CatalogueRecords; ++record) {
    if (size - at < 8) break;
    const uint32_t sizeA = ReadLe32(image + at);
    const uint32_t sizeB = ReadLe32(image + at + 4);
    at += 8;
    if (size - at < sizeA) break;
    items[2 * record] = PayloadEntry{sizeA ? image + at : nullptr, sizeA};
    at += sizeA;
    if (size - at < sizeB) break;
    items[2 * record + 1] = PayloadEntry{sizeB ? image + at : nullptr, sizeB};
    at += sizeB;
    if (record == CatalogueRecords - 1) return 1;
  }
  for (int i = 0; i < CatalogueItems; ++i) items[i] = PayloadEntry{};
  return 0;
}
