#pragma once
// Loopback TCP for the benchmark's own peers: a connected socket that reads
// and writes whole buffers, and a listener on 127.0.0.1. Every read gives up
// after 30 seconds, so a peer that goes quiet ends a run instead of hanging it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bench {

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd);
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Connects to host:port (numeric IPv4); false when that fails.
  [[nodiscard]] bool Connect(const std::string& host, std::uint16_t port);
  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
  [[nodiscard]] int Fd() const { return fd_; }
  [[nodiscard]] bool WriteAll(std::span<const std::uint8_t> data);
  // Exactly data.size() bytes; false at end of stream or on failure.
  [[nodiscard]] bool ReadExactly(std::span<std::uint8_t> data);
  // Whatever is there, at most data.size() bytes: the count, 0 at end of
  // stream, -1 on failure.
  [[nodiscard]] long ReadSome(std::span<std::uint8_t> data);
  void Close();

 private:
  int fd_ = -1;
};

class Listener {
 public:
  // Listens on 127.0.0.1 at a port the system picks; throws when it cannot.
  Listener();
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return port_; }
  // The next client; a closed socket once Close() has been called.
  Socket Accept();
  void Close();

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace bench
