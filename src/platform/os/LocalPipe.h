#pragma once
// The local server endpoint behind `\\.\pipe\<name>`.
//
// Windows: the named pipe itself. Linux has no named pipes in that sense; the
// same name maps to the Unix domain stream socket
// kLocalPipeDirectory + "/" + <name>, that is /tmp/orbelin-pipe/MySQL for the
// server pipe. Tests make that path a symbolic link to their own server's
// socket (tests/support/README.md).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/ByteStream.h"

namespace platform {

inline constexpr const char* kLocalPipeDirectory = "/tmp/orbelin-pipe";

// `\\<host>\pipe\<name>` on Windows; the mapped socket path on Linux.
std::string LocalPipePath(const std::string& host, const std::string& name);

// True where the endpoint is a Unix domain socket, which never leaves the
// machine; false where it is a named pipe, which may lead to another host.
bool LocalPipeIsUnixSocket();

class TLocalPipe final : public TByteStream {
 public:
  enum class TOpenResult { Opened, Busy, Failed };
  // Opens the endpoint; on Busy or Failed returns nullptr and sets `error`
  // (GetLastError() on Windows, errno on Linux: 2 when it does not exist).
  static std::unique_ptr<TLocalPipe> Open(const std::string& path, TOpenResult& result,
                                          std::uint32_t& error);
  // Waits up to `milliseconds` for a busy endpoint; false with `error` set.
  [[nodiscard]] static bool WaitBusy(const std::string& path, std::uint32_t milliseconds,
                                     std::uint32_t& error);
  ~TLocalPipe() override;
  TLocalPipe(const TLocalPipe&) = delete;
  TLocalPipe& operator=(const TLocalPipe&) = delete;

  // Byte read mode with blocking waits; false with `error` set.
  [[nodiscard]] bool SetByteMode(std::uint32_t& error);

  int Read(std::uint8_t* buffer, int size) override;
  int Write(const std::uint8_t* data, int size) override;
  void SetWriteTimeout(std::int64_t milliseconds) override { writeTimeout_ = milliseconds; }
  // A pipe has no non-blocking mode here: 0 and nothing else.
  int SetNonBlocking(bool) override { return 0; }
  // True when data (or the end of the stream) arrives within `milliseconds`
  // (negative: no limit).
  bool WaitReadable(std::int64_t milliseconds) override;
  TIoError LastIoError() const override { return lastIoError_; }
  void Close() override;

 private:
  explicit TLocalPipe(intptr_t handle) : handle_(handle) {}
#ifdef _WIN32
  // One read or write on the pipe (opened for overlapped I/O), waiting at
  // most `milliseconds` (negative: no limit) for it to finish.
  int Transfer(bool write, void* data, int size, std::int64_t milliseconds);
  // The result of a read or write the system refused.
  int Failed(bool write);
#endif

  intptr_t handle_;
  TIoError lastIoError_ = TIoError::None;
  std::int64_t writeTimeout_ = 0;
#ifdef _WIN32
  // Signalled when an overlapped read or write finishes.
  intptr_t event_ = 0;
#endif
};

}  // namespace platform
