#pragma once
// Waits on a POSIX socket descriptor (TCP, or the Unix domain socket of the
// local endpoint), with the time-outs the streams take.
#ifndef _WIN32

#include <cstdint>

namespace platform {

// poll's time-out argument for `milliseconds` (negative: no limit).
int PollLimit(std::int64_t milliseconds);

// True when `fd` takes more bytes (or has failed, which the send then
// reports) within `milliseconds`; false when the time ran out.
bool WaitForRoom(int fd, std::int64_t milliseconds);

}  // namespace platform

#endif
