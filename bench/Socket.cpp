#include "bench/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <utility>

namespace bench {

namespace {

void Configure(int fd) {
  const timeval timeout{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

sockaddr_in Loopback(const std::string& host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  return address;
}

}  // namespace

Socket::Socket(int fd) : fd_(fd) {
  if (fd_ >= 0) Configure(fd_);
}

Socket::~Socket() {
  Close();
}

Socket::Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool Socket::Connect(const std::string& host, std::uint16_t port) {
  Close();
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  if (fd_ < 0) return false;
  Configure(fd_);
  const sockaddr_in address = Loopback(host, port);
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
  Close();
  return false;
}

bool Socket::WriteAll(std::span<const std::uint8_t> data) {
  while (!data.empty()) {
    const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data = data.subspan(static_cast<std::size_t>(sent));
  }
  return true;
}

long Socket::ReadSome(std::span<std::uint8_t> data) {
  for (;;) {
    const ssize_t count = recv(fd_, data.data(), data.size(), 0);
    if (count < 0 && errno == EINTR) continue;
    return static_cast<long>(count);
  }
}

bool Socket::ReadExactly(std::span<std::uint8_t> data) {
  while (!data.empty()) {
    const long count = ReadSome(data);
    if (count <= 0) return false;
    data = data.subspan(static_cast<std::size_t>(count));
  }
  return true;
}

void Socket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

Listener::Listener() {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback("127.0.0.1", 0);
  socklen_t size = sizeof address;
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd_, 16) != 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  port_ = ntohs(address.sin_port);
}

Listener::~Listener() {
  Close();
}

Socket Listener::Accept() {
  for (;;) {
    const int fd = accept(fd_, nullptr, nullptr);
    if (fd >= 0 || errno != EINTR) return Socket(fd);
  }
}

void Listener::Close() {
  if (fd_ < 0) return;
  // Wakes a thread blocked in accept.
  shutdown(fd_, SHUT_RDWR);
  close(fd_);
  fd_ = -1;
}

}  // namespace bench
