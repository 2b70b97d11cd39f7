#ifndef _WIN32

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/LocalFile.h"

namespace platform {

std::unique_ptr<TLocalFile> TLocalFile::OpenForReading(const std::string& path,
                                                       std::uint32_t& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  return std::unique_ptr<TLocalFile>(new TLocalFile(fd));
}

TLocalFile::~TLocalFile() {
  close(static_cast<int>(handle_));
}

int TLocalFile::Read(std::uint8_t* buffer, int size, std::uint32_t& error) {
  for (;;) {
    const ssize_t count = read(static_cast<int>(handle_), buffer, static_cast<std::size_t>(size));
    if (count >= 0) return static_cast<int>(count);
    if (errno != EINTR) {
      error = static_cast<std::uint32_t>(errno);
      return -1;
    }
  }
}

}  // namespace platform

#endif
