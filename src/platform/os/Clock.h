#pragma once
// The monotonic clock every time-out is measured with: it never jumps when
// the system's date and time are set. Linux: CLOCK_MONOTONIC. Windows: the
// millisecond tick count (GetTickCount, which Windows XP has), whose 32-bit
// wrap every 49.7 days is carried into a 64-bit count.

#include <chrono>
#include <cstdint>

namespace platform {

// A std::chrono clock in milliseconds since an unspecified start. (The
// standard names its members; the house names do not apply to them.)
// NOLINTBEGIN(readability-identifier-naming)
struct TMonotonicClock {
  using rep = std::int64_t;
  using period = std::milli;
  using duration = std::chrono::milliseconds;
  using time_point = std::chrono::time_point<TMonotonicClock>;
  static constexpr bool is_steady = true;

  static time_point now() noexcept;
};
// NOLINTEND(readability-identifier-naming)

// The 64-bit count of a 32-bit millisecond tick, given the count the last
// reading gave. A tick far below the last one's has wrapped; one a little
// below (read on another thread just before the last) holds the count where
// it is, so the clock never goes back. (Exposed for tests: the wrap cannot be
// waited for.)
constexpr std::uint64_t ExtendTick(std::uint64_t last, std::uint32_t tick) {
  constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;
  constexpr std::uint64_t kHalf = kWrap / 2;
  std::uint64_t extended = (last & ~(kWrap - 1)) | tick;
  if (extended + kHalf < last) {
    extended += kWrap;
  } else if (extended > last + kHalf && extended >= kWrap) {
    extended -= kWrap;
  }
  return extended < last ? last : extended;
}

}  // namespace platform
