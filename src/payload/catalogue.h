// The items embedded in the image, found by their role.
#pragma once

#include <cstdint>

// An item's stored bytes in the image and their size. A payload entry's size
// is a multiple of 8; the key blob is a raw item of its own size.
struct PayloadEntry {
  const uint8_t* Data = nullptr;
  uint32_t Size = 0;
};

PayloadEntry KeyBlobItem();
PayloadEntry CommonStringsEntry();
PayloadEntry ExtraStringsEntry();
PayloadEntry LanguageStringsEntry(int language);
