#ifndef _WIN32

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>
#include <vector>

#include "platform/os/PosixWait.h"
#include "platform/os/Socket.h"

namespace platform {

namespace {

TIoError Classify(int error) {
  switch (error) {
    case EINTR:
      return TIoError::Interrupted;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return TIoError::WouldBlock;
    case EINPROGRESS:
      return TIoError::InProgress;
    default:
      return TIoError::Other;
  }
}

int Fd(intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

bool StartSockets() {
  return true;
}

int LastSocketError() {
  return errno;
}

int TimedOutError() {
  return ETIMEDOUT;
}

bool ResolveIPv4(const std::string& host, std::uint32_t& address, int& error) {
  address = inet_addr(host.c_str());
  if (address != INADDR_NONE) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  const int result = getaddrinfo(host.c_str(), nullptr, &hints, &answer);
  if (result != 0 || answer == nullptr) {
    error = result != 0 ? result : EAI_NONAME;
    return false;
  }
  address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(answer);
  return true;
}

std::unique_ptr<TTcpSocket> TTcpSocket::Create(int& error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  return std::unique_ptr<TTcpSocket>(new TTcpSocket(fd));
}

TTcpSocket::~TTcpSocket() {
  if (handle_ >= 0) close(Fd(handle_));
}

void TTcpSocket::NoteResult(int result) {
  if (result >= 0) {
    lastIoError_ = TIoError::None;
    return;
  }
  lastError_ = errno;
  lastIoError_ = Classify(lastError_);
}

TTcpSocket::TConnectResult TTcpSocket::Connect(std::uint32_t address, std::uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  const int result = connect(Fd(handle_), reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  if (result == 0) return TConnectResult::Connected;
  lastError_ = errno;
  lastIoError_ = Classify(lastError_);
  return lastError_ == EINPROGRESS ? TConnectResult::InProgress : TConnectResult::Failed;
}

int TTcpSocket::PendingError() {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(Fd(handle_), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  if (error != 0) lastError_ = error;
  return error;
}

int TTcpSocket::SetFastSend() {
  // The type-of-service request carries no value and is normally refused;
  // then the socket gets TCP_NODELAY.
  if (setsockopt(Fd(handle_), IPPROTO_IP, IP_TOS, nullptr, 0) == 0) return 0;
  const int on = 1;
  return setsockopt(Fd(handle_), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : -1;
}

int TTcpSocket::SetKeepAlive(bool on) {
  const int value = on ? 1 : 0;
  const int result = setsockopt(Fd(handle_), SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value);
  if (result != 0 || !on) return result;
  // Best effort: a system that refuses the tuning keeps its own defaults.
  const int fd = Fd(handle_);
  const auto set = [fd](int option, int seconds) {
    static_cast<void>(setsockopt(fd, IPPROTO_TCP, option, &seconds, sizeof seconds));
  };
  set(TCP_KEEPIDLE, kKeepAliveIdleSeconds);
  set(TCP_KEEPINTVL, kKeepAliveIntervalSeconds);
  set(TCP_KEEPCNT, kKeepAliveProbes);
  // No TCP_USER_TIMEOUT: it would also end a connection whose live server
  // stops reading for a while (a long LOAD DATA waiting on a lock).
  return result;
}

int TTcpSocket::Read(std::uint8_t* buffer, int size) {
  const auto result = recv(Fd(handle_), buffer, static_cast<std::size_t>(size), 0);
  NoteResult(static_cast<int>(result));
  return static_cast<int>(result);
}

int TTcpSocket::Write(const std::uint8_t* data, int size) {
  // MSG_NOSIGNAL: a peer that went away is a failed send, not a SIGPIPE.
  const int fd = Fd(handle_);
  const auto length = static_cast<std::size_t>(size);
  if (writeTimeout_ <= 0) {
    const auto result = send(fd, data, length, MSG_NOSIGNAL);
    NoteResult(static_cast<int>(result));
    return static_cast<int>(result);
  }
  // What fits now; the caller comes back for the rest. The wait for room
  // comes only when there is none, so a send that fits is one call.
  auto result = send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    if (!WaitForRoom(fd, writeTimeout_)) return TimeOutWrite();
    result = send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  NoteResult(static_cast<int>(result));
  return static_cast<int>(result);
}

int TTcpSocket::TimeOutWrite() {
  lastError_ = ETIMEDOUT;
  lastIoError_ = TIoError::TimedOut;
  return -1;
}

int TTcpSocket::SetNonBlocking(bool on) {
  int value = on ? 1 : 0;
  const int result = ioctl(Fd(handle_), FIONBIO, &value);
  if (result != 0) lastError_ = errno;
  if (result == 0) nonBlocking_ = on;
  return result;
}

bool TTcpSocket::WaitReadable(std::int64_t milliseconds) {
  // poll rather than select: descriptors above FD_SETSIZE stay safe.
  pollfd entry{Fd(handle_), POLLIN, 0};
  const int result = poll(&entry, 1, PollLimit(milliseconds));
  if (result < 0) lastError_ = errno;
  return result > 0;
}

void TTcpSocket::Close() {
  if (handle_ < 0) return;
  shutdown(Fd(handle_), SHUT_WR);
  SetNonBlocking(true);
  // Drain what the server still sends so the close is orderly, but bounded:
  // a server in the middle of a 16 MiB reply must not hold the close for
  // minutes.
  std::vector<std::uint8_t> scratch(kDrainChunk);
  int rounds = 0;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (recv(Fd(handle_), scratch.data(), scratch.size(), 0) > 0 && ++rounds < kMaxDrainRounds);
  close(Fd(handle_));
  handle_ = -1;
}

}  // namespace platform

#endif
