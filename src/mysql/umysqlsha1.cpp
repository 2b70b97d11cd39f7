#include "mysql/umysqlsha1.h"

namespace mysql {

namespace {

constexpr std::uint32_t kInitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                            0xC3D2E1F0};

std::uint32_t RotateLeft(std::uint32_t value, int bits) {
  return value << bits | value >> (32 - bits);
}

void ProcessBlock(TSha1Context& context) {
  std::uint32_t w[80];
  for (int t = 0; t < 16; ++t) {
    w[t] = static_cast<std::uint32_t>(context.Block[t * 4]) << 24 |
           static_cast<std::uint32_t>(context.Block[t * 4 + 1]) << 16 |
           static_cast<std::uint32_t>(context.Block[t * 4 + 2]) << 8 |
           static_cast<std::uint32_t>(context.Block[t * 4 + 3]);
  }
  for (int t = 16; t < 80; ++t) w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  std::uint32_t a = context.Intermediate[0], b = context.Intermediate[1],
                c = context.Intermediate[2], d = context.Intermediate[3],
                e = context.Intermediate[4];
  for (int t = 0; t < 80; ++t) {
    std::uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const std::uint32_t temp = RotateLeft(a, 5) + f + e + w[t] + k;
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = temp;
  }
  context.Intermediate[0] += a;
  context.Intermediate[1] += b;
  context.Intermediate[2] += c;
  context.Intermediate[3] += d;
  context.Intermediate[4] += e;
  context.BlockIndex = 0;
}

void PadMessage(TSha1Context& context) {
  context.Block[context.BlockIndex++] = 0x80;
  if (context.BlockIndex > 56) {
    while (context.BlockIndex < 64) context.Block[context.BlockIndex++] = 0;
    ProcessBlock(context);
  }
  while (context.BlockIndex < 56) context.Block[context.BlockIndex++] = 0;
  for (int i = 0; i < 8; ++i)
    context.Block[56 + i] = static_cast<std::uint8_t>(context.LengthBits >> (56 - 8 * i));
  ProcessBlock(context);
}

}  // namespace

void sha1Reset(TSha1Context& context) {
  for (int i = 0; i < 5; ++i) context.Intermediate[i] = kInitialState[i];
  context.LengthBits = 0;
  context.BlockIndex = 0;
  context.Computed = false;
  context.Corrupted = false;
}

void sha1Input(TSha1Context& context, const std::uint8_t* data, std::size_t count) {
  // Bytes announced but not there: no digest may come out of this context.
  // (Nothing may end the host's process over a caller's slip.)
  if (data == nullptr && count > 0) context.Corrupted = true;
  if (context.Computed) context.Corrupted = true;
  if (context.Corrupted) return;
  for (std::size_t i = 0; i < count; ++i) {
    context.Block[context.BlockIndex++] = data[i];
    context.LengthBits += 8;
    if (context.BlockIndex == 64) ProcessBlock(context);
  }
}

bool sha1Result(TSha1Context& context, std::uint8_t* digest) {
  if (digest == nullptr || context.Corrupted) return false;
  if (!context.Computed) {
    PadMessage(context);
    // The message block may hold the padding; nothing of the input stays.
    for (std::uint8_t& byte : context.Block) byte = 0;
    context.LengthBits = 0;
    context.Computed = true;
  }
  for (int i = 0; i < 20; ++i)
    digest[i] = static_cast<std::uint8_t>(context.Intermediate[i / 4] >> (24 - 8 * (i % 4)));
  return true;
}

TSha1Digest Sha1(std::initializer_list<std::span<const std::uint8_t>> parts) {
  TSha1Context context;
  sha1Reset(context);
  for (const auto part : parts) {
    if (!part.empty()) sha1Input(context, part.data(), part.size());
  }
  TSha1Digest digest{};
  sha1Result(context, digest.data());
  return digest;
}

}  // namespace mysql
