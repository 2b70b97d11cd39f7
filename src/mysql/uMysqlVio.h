#pragma once
// TMysqlVio: the byte-stream transport under the packet layer, and the holder
// of the connection's last error.
//
// Connect opens a TCP socket or the local server pipe through the platform
// layer. Tests that want a scripted peer without a socket hand a
// platform::TByteStream to AttachStream (see tests/support/ScriptedStream.h);
// tests that need a real socket use the loopback fake server
// (tests/support/FakeServer.h).

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mysql/uMysqlErrors.h"
#include "platform/os/ByteStream.h"
#include "platform/os/Tls.h"

namespace mysql {

enum TVioKind : std::uint8_t {
  VioClosed = 0,
  VioTcpIp = 1,
  VioSocket = 2,  // never opened on this platform
  VioNamedPipe = 3,
  VioSsl = 4,  // refused: TLS starts over an open TCP transport (StartTls)
};

// The server's port when none is given.
inline constexpr std::uint32_t kDefaultPort = 3306;

// Longest message kept in the last-error slot.
inline constexpr std::size_t kMaxErrorMessage = 200;

class TMysqlVio {
 public:
  TMysqlVio();
  ~TMysqlVio();
  TMysqlVio(const TMysqlVio&) = delete;
  TMysqlVio& operator=(const TMysqlVio&) = delete;

  // 0 on success; negative on failure with the error fields set:
  // -20 already open, -2 SSL, -1 socket start-up, -9 pipe, -8 socket
  // creation (2004), -7 unknown host (2005) or no data in time (2003),
  // -6 connect refused (2003).
  [[nodiscard]] int Connect(TVioKind kind, const std::string& host, const std::string& pipeName,
                            std::int32_t port, std::uint32_t timeoutSeconds, bool allowTcp);

  // Makes the transport open as `kind` over `stream` (a scripted peer in tests).
  // Refused (-20) when already open.
  [[nodiscard]] int AttachStream(std::unique_ptr<platform::TByteStream> stream, TVioKind kind);

  // Runs a TLS handshake on the open stream, waiting for the peer at most
  // until `deadline`; everything after it travels encrypted. On failure the
  // transport is closed and `error` says why (nothing is recorded here).
  [[nodiscard]] bool StartTls(const platform::TTlsSettings& settings,
                              std::optional<platform::TMonotonicClock::time_point> deadline,
                              platform::TTlsError& error);
  // Protocol and cipher of the TLS session; empty when not encrypted.
  [[nodiscard]] const std::string& TlsDescription() const { return tlsDescription_; }

  // Bytes read (> 0), 0 at end of stream, -1 on failure or when closed.
  [[nodiscard]] int Read(std::uint8_t* buffer, int size);
  // Bytes written, or -1 on failure or when closed.
  [[nodiscard]] int Write(const std::uint8_t* data, int size);
  // Orderly close (a socket is drained first); always leaves VioClosed. Error
  // fields stay.
  int Close();

  // -1 when closed; 0 for a pipe or when the mode is already right; the OS
  // call's result otherwise.
  int SetBlocking(bool on);
  [[nodiscard]] bool IsBlocking() const { return (modeFlags_ & 1) == 0; }
  [[nodiscard]] bool WaitReadable(std::uint32_t seconds);
  // True when data (or the end of the stream) can be read within
  // `milliseconds`, for a socket and a pipe alike; false when closed.
  [[nodiscard]] bool WaitForData(std::int64_t milliseconds);
  // After a failed Read/Write on this thread: interrupted, would block or in
  // progress (and still open).
  [[nodiscard]] bool ShouldRetry() const;
  // The last failed Write took nothing for the whole write time-out.
  [[nodiscard]] bool WriteTimedOut() const;
  // Writes that make no progress for `milliseconds` fail (0: no limit).
  void SetWriteTimeout(std::int64_t milliseconds);
  [[nodiscard]] bool WasInterrupted() const;

  [[nodiscard]] TVioKind Kind() const { return kind_; }
  [[nodiscard]] std::uint32_t Timeout() const { return timeout_; }

  // The connection's last error.
  [[nodiscard]] std::int32_t ErrorNumber() const { return errorNumber_; }
  [[nodiscard]] const std::string& ErrorMessage() const { return errorMessage_; }
  // Records a number and its message, of which the first 200 characters are
  // kept. The number is recorded even when the message does not fit in memory
  // (std::bad_alloc).
  void SetError(std::int32_t number, std::string_view text);
  // Records a client error: the number and its formatted catalogue message.
  void SetClientError(std::int32_t number, std::initializer_list<TErrorArg> args = {});

 private:
  int ConnectPipe(bool allowTcp, bool& fallBackToTcp);
  int ConnectTcp(std::string host, std::int32_t port);

  std::unique_ptr<platform::TByteStream> stream_;
  std::uint32_t modeFlags_ = 0;  // bit 0: non-blocking
  TVioKind kind_ = VioClosed;
  std::int32_t errorNumber_ = 0;
  std::string errorMessage_;
  std::uint32_t timeout_ = 0;
  std::string tlsDescription_;
};

}  // namespace mysql
