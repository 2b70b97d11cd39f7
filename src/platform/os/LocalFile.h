#pragma once
// A local file opened for reading only: the upload source of LOAD DATA LOCAL
// INFILE, and the certificate and key files of TLS. Errors are the system's
// own codes (errno on Linux, GetLastError() on Windows), so messages can show
// them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class TLocalFile {
 public:
  // Opens `path` exactly as given; nullptr with `error` set on failure.
  static std::unique_ptr<TLocalFile> OpenForReading(const std::string& path, std::uint32_t& error);
  ~TLocalFile();
  TLocalFile(const TLocalFile&) = delete;
  TLocalFile& operator=(const TLocalFile&) = delete;

  // Up to `size` bytes: the count read, 0 at end of file, -1 with `error` set.
  [[nodiscard]] int Read(std::uint8_t* buffer, int size, std::uint32_t& error);

 private:
  explicit TLocalFile(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// The whole of a small file (certificates, keys): none when it cannot be
// read or is longer than `limit` bytes.
[[nodiscard]] std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit);

}  // namespace platform
