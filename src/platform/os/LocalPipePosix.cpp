#ifndef _WIN32

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/os/LocalPipe.h"
#include "platform/os/PosixWait.h"

namespace platform {

std::string LocalPipePath(const std::string& /*host*/, const std::string& name) {
  return std::string(kLocalPipeDirectory) + "/" + name;
}

bool LocalPipeIsUnixSocket() {
  return true;
}

std::unique_ptr<TLocalPipe> TLocalPipe::Open(const std::string& path, TOpenResult& result,
                                             std::uint32_t& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    result = TOpenResult::Failed;
    error = ENAMETOOLONG;
    return nullptr;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    result = TOpenResult::Failed;
    error = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  // A blocking connect waits for room in the listener's backlog itself, so
  // the endpoint is never reported busy here.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    result = TOpenResult::Failed;
    error = static_cast<std::uint32_t>(errno);
    close(fd);
    return nullptr;
  }
  result = TOpenResult::Opened;
  return std::unique_ptr<TLocalPipe>(new TLocalPipe(fd));
}

bool TLocalPipe::WaitBusy(const std::string& /*path*/, std::uint32_t /*milliseconds*/,
                          std::uint32_t& /*error*/) {
  return true;
}

TLocalPipe::~TLocalPipe() {
  Close();
}

bool TLocalPipe::SetByteMode(std::uint32_t& /*error*/) {
  return true;
}

int TLocalPipe::Read(std::uint8_t* buffer, int size) {
  const auto result = recv(static_cast<int>(handle_), buffer, static_cast<std::size_t>(size), 0);
  lastIoError_ = result >= 0      ? TIoError::None
                 : errno == EINTR ? TIoError::Interrupted
                                  : TIoError::Other;
  return result < 0 ? -1 : static_cast<int>(result);
}

int TLocalPipe::Write(const std::uint8_t* data, int size) {
  int flags = MSG_NOSIGNAL;
  if (writeTimeout_ > 0) {
    if (!WaitForRoom(static_cast<int>(handle_), writeTimeout_)) {
      lastIoError_ = TIoError::TimedOut;
      return -1;
    }
    // What fits now; the caller comes back for the rest.
    flags |= MSG_DONTWAIT;
  }
  const auto result = send(static_cast<int>(handle_), data, static_cast<std::size_t>(size), flags);
  lastIoError_ = result >= 0                               ? TIoError::None
                 : errno == EINTR                          ? TIoError::Interrupted
                 : errno == EAGAIN || errno == EWOULDBLOCK ? TIoError::WouldBlock
                                                           : TIoError::Other;
  return result < 0 ? -1 : static_cast<int>(result);
}

bool TLocalPipe::WaitReadable(std::int64_t milliseconds) {
  pollfd entry{static_cast<int>(handle_), POLLIN, 0};
  return poll(&entry, 1, PollLimit(milliseconds)) > 0;
}

void TLocalPipe::Close() {
  if (handle_ < 0) return;
  close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace platform

#endif
