// The key buffer is wiped before it goes back to the allocator. Watched
// through this program's own allocation functions, which see the bytes of a
// block as it is freed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "payload/guard.h"

namespace {

const void* Watched = nullptr;
size_t WatchedSize = 0;
int WatchedFrees = 0;
bool WatchedWasZero = false;

void* Allocate(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void Release(void* p) {
  if (p != nullptr && p == Watched) {
    ++WatchedFrees;
    WatchedWasZero = true;
    for (size_t i = 0; i < WatchedSize; ++i)
      if (static_cast<const uint8_t*>(p)[i] != 0) WatchedWasZero = false;
    Watched = nullptr;
  }
  std::free(p);
}

}  // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

std::vector<uint8_t> Blob() {
  std::vector<uint8_t> blob(968);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(i | 1);  // no zero byte
  return blob;
}

void Watch(const CGuard& guard) {
  Watched = guard.KeyBuffer;
  WatchedSize = 968;
  WatchedFrees = 0;
  WatchedWasZero = false;
}

TEST(GuardWipe, ClearZeroesTheKeyBeforeFreeingIt) {
  const auto blob = Blob();
  CGuard guard;
  ASSERT_NE(guard.Load(blob.data(), 968), 0);
  Watch(guard);
  guard.Clear();
  EXPECT_EQ(WatchedFrees, 1);
  EXPECT_TRUE(WatchedWasZero);
  EXPECT_EQ(guard.KeyBuffer, nullptr);
}

TEST(GuardWipe, ReloadAndDestructionWipeToo) {
  const auto blob = Blob();
  {
    CGuard guard;
    ASSERT_NE(guard.Load(blob.data(), 968), 0);
    Watch(guard);
    ASSERT_NE(guard.Load(blob.data(), 968), 0);  // replaces the first key
    EXPECT_EQ(WatchedFrees, 1);
    EXPECT_TRUE(WatchedWasZero);
    Watch(guard);
  }
  EXPECT_EQ(WatchedFrees, 1);
  EXPECT_TRUE(WatchedWasZero);
}

}  // namespace
