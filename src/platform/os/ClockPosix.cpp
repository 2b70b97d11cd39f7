#ifndef _WIN32

#include <time.h>

#include "platform/os/Clock.h"

namespace platform {

TMonotonicClock::time_point TMonotonicClock::now() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return time_point(duration(static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000));
}

}  // namespace platform

#endif
