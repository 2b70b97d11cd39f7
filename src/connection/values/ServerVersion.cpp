#include "connection/values/ServerVersion.h"

#include <cstdint>
#include <vector>

namespace connection {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::vector<std::uint64_t> VersionParts(std::string_view text) {
  std::vector<std::uint64_t> parts;
  std::size_t pos = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    std::uint64_t part = 0;
    // Saturate instead of wrapping on absurdly long digit runs.
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      part =
          part < UINT64_MAX / 10 ? part * 10 + static_cast<std::uint64_t>(text[pos] - '0') : part;
    }
    parts.push_back(part);
    if (pos + 1 < text.size() && text[pos] == '.' && IsDigit(text[pos + 1])) {
      ++pos;
    } else {
      break;
    }
  }
  return parts;
}

}  // namespace

int CompareVersions(std::string_view a, std::string_view b) {
  const auto left = VersionParts(a);
  const auto right = VersionParts(b);
  for (std::size_t i = 0; i < left.size() || i < right.size(); ++i) {
    const std::uint64_t l = i < left.size() ? left[i] : 0;
    const std::uint64_t r = i < right.size() ? right[i] : 0;
    if (l != r) return l < r ? -1 : 1;
  }
  return 0;
}

bool HasVersionNumber(std::string_view version) {
  return !version.empty() && IsDigit(version[0]);
}

}  // namespace connection
