#pragma once
// SHA-1 (FIPS 180-1) with the context rules the password scrambles rely on:
// input after the result corrupts the context, a corrupted context yields no
// digest, a repeated result repeats the digest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace mysql {

inline constexpr std::size_t kSha1DigestSize = 20;
using TSha1Digest = std::array<std::uint8_t, kSha1DigestSize>;

struct TSha1Context {
  std::uint32_t Intermediate[5];
  std::uint64_t LengthBits;
  std::uint8_t Block[64];
  int BlockIndex;
  bool Computed;
  bool Corrupted;
};

void sha1Reset(TSha1Context& context);
// No data (null) with a count of 0 adds nothing; with a count above 0 it
// corrupts the context, as its digest could no longer be the message's.
void sha1Input(TSha1Context& context, const std::uint8_t* data, std::size_t count);
// Writes the 20-byte digest to `digest`: true. False, writing nothing, when
// the context is corrupted, and when `digest` is null (the context is then
// left as it was).
bool sha1Result(TSha1Context& context, std::uint8_t* digest);

// One-shot digest of the concatenation of `parts`.
TSha1Digest Sha1(std::initializer_list<std::span<const std::uint8_t>> parts);

}  // namespace mysql
