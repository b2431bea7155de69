#include "payload/guard.h"

#include <cstring>

CGuard::~CGuard() { Clear(); }

void CGuard::Clear() {
  if (KeyBuffer == nullptr) return;
  // volatile so the wipe is not dropped as a dead store before the free.
  volatile uint8_t* p = KeyBuffer;
  for (int32_t i = 0; i < BlobSize; ++i) p[i] = 0;
  delete[] KeyBuffer;
  KeyBuffer = nullptr;
}

// Not built yet: the key blob and the cipher arrive with the payload. Until
// then no key is ever accepted, so no entry can be opened.
int CGuard::Load(const uint8_t* /*blob*/, uint32_t /*size*/) {
  Clear();
  return 0;
}

uint8_t* CGuard::Extract(const uint8_t* /*entry*/, uint32_t* /*size*/, uint32_t* /*extra*/) const {
  return nullptr;
}
