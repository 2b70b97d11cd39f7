#include "mysql/uMysqlNewPassword.h"

#include <cmath>
#include <cstring>

#include "mysql/uMysqlCodec.h"

namespace mysql {

namespace {

constexpr std::size_t kOldScrambleLength = 8;

TSha1Digest Xor(const TSha1Digest& a, const std::uint8_t* b) {
  TSha1Digest out;
  XorBytes(a.data(), b, out.size(), out.data());
  return out;
}

}  // namespace

std::array<std::uint32_t, 2> HashPassword(std::string_view password) {
  std::uint32_t nr = 0x50305735, add = 7, nr2 = 0x12345671;
  for (const char ch : UpToNul(password)) {
    if (ch == ' ' || ch == '\t') continue;
    const std::uint32_t c = static_cast<std::uint8_t>(ch);
    nr ^= (((nr & 63) + add) * c) + (nr << 8);
    nr2 += (nr2 << 8) ^ nr;
    add += c;
  }
  return {nr & 0x7FFFFFFF, nr2 & 0x7FFFFFFF};
}

void RandInit(TRandStruct& rand, std::uint32_t seed1, std::uint32_t seed2) {
  rand.MaxValue = 0x3FFFFFFF;
  rand.MaxValueDbl = static_cast<double>(rand.MaxValue);
  rand.Seed1 = seed1 % rand.MaxValue;
  rand.Seed2 = seed2 % rand.MaxValue;
}

double RandNext(TRandStruct& rand) {
  rand.Seed1 = (rand.Seed1 * 3 + rand.Seed2) % rand.MaxValue;
  rand.Seed2 = (rand.Seed1 + rand.Seed2 + 33) % rand.MaxValue;
  return static_cast<double>(rand.Seed1) / rand.MaxValueDbl;
}

std::string ScrambleOld(std::string_view message, std::string_view password) {
  message = UpToNul(message).substr(0, kOldScrambleLength);
  password = UpToNul(password);
  if (password.empty() || message.empty()) return {};
  const auto p = HashPassword(password);
  const auto m = HashPassword(message);
  TRandStruct rand;
  RandInit(rand, p[0] ^ m[0], p[1] ^ m[1]);
  std::string out(message.size(), '\0');
  for (char& c : out) c = static_cast<char>(std::floor(RandNext(rand) * 31) + 64);
  const auto extra = static_cast<char>(std::floor(RandNext(rand) * 31));
  for (char& c : out) c = static_cast<char>(c ^ extra);
  return out;
}

TSha1Digest Scramble41(std::span<const std::uint8_t> seed, std::string_view password) {
  std::uint8_t seed20[kSha1DigestSize] = {};
  std::memcpy(seed20, seed.data(), std::min(seed.size(), sizeof seed20));
  const TSha1Digest s1 = Sha1({AsBytes(UpToNul(password))});
  const TSha1Digest s2 = Sha1({s1});
  const TSha1Digest r = Sha1({seed20, s2});
  return Xor(r, s1.data());
}

TSha1Digest HashPasswordSha1(std::string_view password) {
  std::string kept;
  for (const char c : UpToNul(password))
    if (c != ' ' && c != '\t') kept += c;
  return Sha1({AsBytes(kept)});
}

TSha1Digest HashOldPasswordSha1(std::string_view password) {
  const auto h = HashPassword(password);
  std::uint8_t bytes[8];
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<std::uint8_t>(h[0] >> (24 - 8 * i));
    bytes[4 + i] = static_cast<std::uint8_t>(h[1] >> (24 - 8 * i));
  }
  return Sha1({bytes});
}

void XorBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = a[i] ^ b[i];
}

TSha1Digest SecondStepSha1(std::string_view password,
                           std::span<const std::uint8_t, kSecondStepReplySize> reply) {
  const TSha1Digest b = HashPasswordSha1(password);
  const TSha1Digest d = Sha1({reply.first<4>(), b});
  const TSha1Digest x = Xor(d, reply.data() + 4);
  return Xor(b, x.data());
}

TSha1Digest SecondStepOldHash(std::string_view password,
                              std::span<const std::uint8_t, kSecondStepReplySize> reply) {
  const TSha1Digest x = Xor(HashOldPasswordSha1(password), reply.data() + 4);
  const std::string scrambled = ScrambleOld(
      std::string_view(reinterpret_cast<const char*>(x.data()), kOldScrambleLength), password);
  TSha1Digest out{};  // the scramble and its 0 byte, then zeros
  std::memcpy(out.data(), scrambled.data(), scrambled.size());
  return out;
}

}  // namespace mysql
