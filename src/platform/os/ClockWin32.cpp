#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>

#include "platform/os/Clock.h"

namespace platform {

namespace {

// The last 64-bit reading of the process. Every connection reads the clock
// at least once a day while it waits (see the packet layer), so no wrap of
// the 32-bit tick goes unseen.
std::atomic<std::uint64_t> lastReading{0};

}  // namespace

TMonotonicClock::time_point TMonotonicClock::now() noexcept {
  const std::uint32_t tick = GetTickCount();
  std::uint64_t last = lastReading.load();
  std::uint64_t extended = ExtendTick(last, tick);
  // Objects on other threads may read the clock at the same time: the
  // latest reading wins, and none goes back.
  while (extended > last && !lastReading.compare_exchange_weak(last, extended))
    extended = ExtendTick(last, tick);
  return time_point(duration(static_cast<std::int64_t>(extended)));
}

}  // namespace platform

#endif
