// The monotonic clock under every time-out, and the carrying of a 32-bit
// millisecond tick into 64 bits (as Windows' GetTickCount needs).
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(MonotonicClock, NeverGoesBack) {
  auto last = TMonotonicClock::now();
  for (int i = 0; i < 100000; ++i) {
    const auto now = TMonotonicClock::now();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(MonotonicClock, TheTickWrapIsCarried) {
  constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;
  EXPECT_EQ(ExtendTick(0, 5), 5u);
  EXPECT_EQ(ExtendTick(0xFFFFFFF0, 0x10), kWrap + 0x10) << "wrapped";
  EXPECT_EQ(ExtendTick(3 * kWrap + 0xFFFFFF00, 0x20), 4 * kWrap + 0x20);
  EXPECT_EQ(ExtendTick(kWrap + 100, 200), kWrap + 200);
  // A reading older than the last (another thread) holds the count.
  EXPECT_EQ(ExtendTick(kWrap + 100, 90), kWrap + 100);
  EXPECT_EQ(ExtendTick(kWrap + 0x10, 0xFFFFFFF0), kWrap + 0x10) << "read just before the wrap";
  // Every tick of a long run: each reading at most one wrap after the last.
  std::uint64_t count = 0;
  std::uint32_t tick = 0;
  for (int step = 0; step < 100; ++step) {
    tick += 0x7FFFFFFF / 3;
    const std::uint64_t next = ExtendTick(count, tick);
    ASSERT_EQ(next - count, 0x7FFFFFFFu / 3) << step;
    count = next;
  }
}

}  // namespace
}  // namespace platform
