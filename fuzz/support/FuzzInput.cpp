#include "support/FuzzInput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::vector<TFuzzBytes> SplitParts(TFuzzBytes input) {
  const auto marker =
      std::span(reinterpret_cast<const std::uint8_t*>(kPartMarker.data()), kPartMarker.size());
  std::vector<TFuzzBytes> parts;
  auto rest = input;
  for (;;) {
    const auto found = std::search(rest.begin(), rest.end(), marker.begin(), marker.end());
    parts.push_back(rest.first(static_cast<std::size_t>(found - rest.begin())));
    if (found == rest.end()) return parts;
    rest = rest.subspan(static_cast<std::size_t>(found - rest.begin()) + marker.size());
  }
}

std::vector<std::uint8_t> JoinParts(const std::vector<std::vector<std::uint8_t>>& parts) {
  std::vector<std::uint8_t> joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined.insert(joined.end(), kPartMarker.begin(), kPartMarker.end());
    joined.insert(joined.end(), parts[i].begin(), parts[i].end());
  }
  return joined;
}

void FuzzCheck(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
