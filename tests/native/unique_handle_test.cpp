#include "core/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> closed;

struct CountingTraits {
  using Handle = int;
  static int Invalid() { return -1; }
  static void Close(int h) { closed.push_back(h); }
};
using Counted = UniqueHandle<CountingTraits>;

TEST(UniqueHandle, ClosesEachHandleExactlyOnce) {
  closed.clear();
  {
    Counted a(1);
    Counted b(std::move(a));  // moved: only b closes 1
    EXPECT_FALSE(a.Valid());
    Counted c(2);
    c = std::move(b);  // c closes 2 and takes 1
    c = std::move(c);  // self-move keeps it
    Counted none;
    EXPECT_FALSE(none);
    *none.Receive() = 3;  // filled through a pointer, as an out-parameter
    EXPECT_EQ(none.Get(), 3);
    Counted given(4);
    EXPECT_EQ(given.Release(), 4);  // released: never closed by us
  }
  EXPECT_EQ(closed, (std::vector<int>{2, 3, 1}));
}

TEST(UniqueHandle, ResetAndReceiveCloseWhatWasHeld) {
  closed.clear();
  Counted h(5);
  h.Reset(6);
  h.Receive();
  EXPECT_FALSE(h.Valid());
  h.Reset();
  EXPECT_EQ(closed, (std::vector<int>{5, 6}));
}

}  // namespace
