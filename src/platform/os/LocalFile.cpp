#include "platform/os/LocalFile.h"

namespace platform {

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
  std::uint32_t error = 0;
  const auto file = TLocalFile::OpenForReading(path, error);
  if (!file) return std::nullopt;
  std::string text;
  std::uint8_t piece[4096];
  for (;;) {
    const int count = file->Read(piece, sizeof piece, error);
    if (count < 0) return std::nullopt;
    if (count == 0) return text;
    text.append(reinterpret_cast<const char*>(piece), static_cast<std::size_t>(count));
    if (text.size() > limit) return std::nullopt;
  }
}

}  // namespace platform
