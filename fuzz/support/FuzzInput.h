#pragma once
// Shared by the fuzz targets and the seed generator: how one fuzz input is
// cut into parts (packets, or the bytes of one connection each), and what a
// target does when a property it checks does not hold.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

using TFuzzBytes = std::span<const std::uint8_t>;

// Separates the parts of one input. Rare in protocol data, and listed in the
// dictionaries (fuzz/dictionaries) so mutations can insert it.
inline constexpr std::string_view kPartMarker = "-||-";

// The parts between markers, in order; an input without a marker is one part.
std::vector<TFuzzBytes> SplitParts(TFuzzBytes input);

// The parts joined with markers: the inverse of SplitParts, for seeds.
std::vector<std::uint8_t> JoinParts(const std::vector<std::vector<std::uint8_t>>& parts);

// A property the code under test promises did not hold: abort, so libFuzzer
// records the input as a crash.
void FuzzCheck(bool holds, const char* what);
