#pragma once
// IPv4 TCP stream sockets: BSD sockets on Linux, Windows Sockets 1.1 on
// Windows. Every failing call keeps the OS error code (errno or
// WSAGetLastError()) on the socket, for messages and for the retry rules.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/ByteStream.h"

namespace platform {

// Initialises socket use once per process (WSAStartup 1.1 on Windows, cleaned
// up when the module unloads). False when start-up fails.
[[nodiscard]] bool StartSockets();

// The OS error code of the calling thread's last socket call.
[[nodiscard]] int LastSocketError();
// The OS error code of a connection attempt that timed out (ETIMEDOUT,
// WSAETIMEDOUT), for messages.
[[nodiscard]] int TimedOutError();

// Resolves a dotted address first and only then a host name (first address of
// the answer), into network byte order. False with `error` set on failure.
[[nodiscard]] bool ResolveIPv4(const std::string& host, std::uint32_t& address, int& error);

// Dead-peer detection of connected sockets: the first probe after this much
// idle time, then one every KeepAliveInterval, given up after kKeepAliveProbes
// unanswered ones.
inline constexpr int kKeepAliveIdleSeconds = 60;
inline constexpr int kKeepAliveIntervalSeconds = 10;
inline constexpr int kKeepAliveProbes = 6;

// Close drains at most this many reads of this size, one per millisecond.
inline constexpr int kDrainChunk = 65536;
inline constexpr int kMaxDrainRounds = 1000;

class TTcpSocket final : public TByteStream {
 public:
  // A new IPv4 stream socket, or nullptr with `error` set.
  static std::unique_ptr<TTcpSocket> Create(int& error);
  ~TTcpSocket() override;
  TTcpSocket(const TTcpSocket&) = delete;
  TTcpSocket& operator=(const TTcpSocket&) = delete;

  enum class TConnectResult { Connected, InProgress, Failed };
  // Starts a connect; on a non-blocking socket usually InProgress.
  [[nodiscard]] TConnectResult Connect(std::uint32_t address, std::uint16_t port);
  // The failure of a finished non-blocking connect, 0 when it succeeded.
  [[nodiscard]] int PendingError();
  // Asks for the IP type of service and, only when that is refused, sets
  // TCP_NODELAY: 0, or -1 when that fails.
  int SetFastSend();
  // setsockopt(SO_KEEPALIVE) result. Switched on, the probes are tuned so a
  // peer that is gone (host down, network cut) is noticed within about two
  // minutes instead of the system's default two hours; a live server answers
  // the probes even while it runs a long query.
  int SetKeepAlive(bool on);

  int Read(std::uint8_t* buffer, int size) override;
  // With a write time-out: waits for room at most that long, then sends what
  // fits without blocking.
  int Write(const std::uint8_t* data, int size) override;
  void SetWriteTimeout(std::int64_t milliseconds) override { writeTimeout_ = milliseconds; }
  int SetNonBlocking(bool on) override;
  bool WaitReadable(std::int64_t milliseconds) override;
  TIoError LastIoError() const override { return lastIoError_; }
  // Stops sending, drains what the peer still sends, then closes.
  void Close() override;

  // OS code of this socket's last failed call.
  [[nodiscard]] int LastErrorCode() const { return lastError_; }

 private:
  explicit TTcpSocket(intptr_t handle) : handle_(handle) {}
  void NoteResult(int result);

  // The write waited the whole time-out without room.
  int TimeOutWrite();

  intptr_t handle_;
  int lastError_ = 0;
  TIoError lastIoError_ = TIoError::None;
  std::int64_t writeTimeout_ = 0;
  bool nonBlocking_ = false;
};

}  // namespace platform
