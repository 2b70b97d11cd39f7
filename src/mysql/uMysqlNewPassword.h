#pragma once
// Password scrambles: the pre-4.1 hash and scramble, the 4.1 SHA-1 scramble
// and the answers to the second step of 4.1.0 servers. A password is taken up
// to its first 0 byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mysql/umysqlsha1.h"

namespace mysql {

struct TRandStruct {
  std::uint32_t Seed1 = 0;
  std::uint32_t Seed2 = 0;
  std::uint32_t MaxValue = 0;
  double MaxValueDbl = 0;
};

// Old password hash: two words, each below 2^31. Spaces and tabs are skipped.
std::array<std::uint32_t, 2> HashPassword(std::string_view password);
void RandInit(TRandStruct& rand, std::uint32_t seed1, std::uint32_t seed2);
// A double in [0, 1).
double RandNext(TRandStruct& rand);

// Old scramble of `message` (its first 8 bytes, up to a 0 byte) with
// `password`: one character per message byte. The wire form is these
// characters followed by a 0 byte, which the caller appends. Empty when the
// password or the message is empty.
std::string ScrambleOld(std::string_view message, std::string_view password);

// 4.1 scramble: SHA1(seed + SHA1(SHA1(password))) XOR SHA1(password). Only
// the first 20 seed bytes are used; a shorter seed is padded with 0 bytes.
TSha1Digest Scramble41(std::span<const std::uint8_t> seed, std::string_view password);

// SHA-1 of the password without spaces and tabs.
TSha1Digest HashPasswordSha1(std::string_view password);
// SHA-1 of the old hash's two words, big-endian.
TSha1Digest HashOldPasswordSha1(std::string_view password);

// out[i] = a[i] XOR b[i] for `count` bytes; `out` may be `a` or `b`.
void XorBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count, std::uint8_t* out);

// Answers to the 24-byte second-step packet of a 4.1.0 server.
inline constexpr std::size_t kSecondStepReplySize = 24;
TSha1Digest SecondStepSha1(std::string_view password,
                           std::span<const std::uint8_t, kSecondStepReplySize> reply);
// The old scramble with its 0 byte at the start of 20 zero bytes.
TSha1Digest SecondStepOldHash(std::string_view password,
                              std::span<const std::uint8_t, kSecondStepReplySize> reply);

}  // namespace mysql
