#pragma once
// A connected byte stream under the protocol client's transport.
//
// TMysqlVio (mysql/uMysqlVio.h) talks to the server only through this
// interface. The operating-system endpoints (TCP socket, local pipe) live in
// platform/os/Socket.h and platform/os/LocalPipe.h; tests put a scripted in-memory
// peer here (tests/support/ScriptedStream.h) to drive the packet layer
// without any socket.

#include <cstdint>

namespace platform {

// Why the last failed call failed, as far as the retry rules care.
enum class TIoError : std::uint8_t {
  None,         // the last call succeeded or hit end of stream
  Interrupted,  // a signal interrupted the call (EINTR / WSAEINTR)
  WouldBlock,   // non-blocking call with nothing to do yet (EAGAIN / WSAEWOULDBLOCK)
  InProgress,   // operation still in progress (EINPROGRESS / WSAEINPROGRESS)
  TimedOut,     // a write made no progress within the write time-out
  Other,        // anything else: the stream is broken
};

class TByteStream {
 public:
  virtual ~TByteStream() = default;

  // Up to `size` bytes: the count read (> 0), 0 at end of stream, -1 on failure.
  [[nodiscard]] virtual int Read(std::uint8_t* buffer, int size) = 0;
  // Up to `size` bytes: the count written, or -1 on failure.
  [[nodiscard]] virtual int Write(const std::uint8_t* data, int size) = 0;
  // From now on a Write that can make no progress for `milliseconds` fails
  // with TIoError::TimedOut (0: it waits as long as the system lets it). A
  // stream that never blocks (an in-memory peer) has nothing to bound.
  virtual void SetWriteTimeout(std::int64_t /*milliseconds*/) {}
  // Switches non-blocking mode; 0 on success or the OS call's failure result.
  virtual int SetNonBlocking(bool on) = 0;
  // True when data (or end of stream) can be read within `milliseconds`.
  [[nodiscard]] virtual bool WaitReadable(std::int64_t milliseconds) = 0;
  // Classification of the most recent failed Read/Write on this stream; a
  // successful call or end of stream resets it to None, so a stale error never
  // makes the caller retry a closed stream.
  [[nodiscard]] virtual TIoError LastIoError() const = 0;
  // Orderly close; the object is unusable afterwards.
  virtual void Close() = 0;
};

}  // namespace platform
