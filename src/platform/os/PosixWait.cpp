#ifndef _WIN32

#include "platform/os/PosixWait.h"

#include <poll.h>

#include <cerrno>
#include <climits>

namespace platform {

int PollLimit(std::int64_t milliseconds) {
  return milliseconds < 0 ? -1 : milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
}

bool WaitForRoom(int fd, std::int64_t milliseconds) {
  pollfd entry{fd, POLLOUT, 0};
  int result = 0;
  do {
    result = poll(&entry, 1, PollLimit(milliseconds));
  } while (result < 0 && errno == EINTR);
  return result != 0;
}

}  // namespace platform

#endif
