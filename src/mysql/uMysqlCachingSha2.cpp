#include "mysql/uMysqlCachingSha2.h"

#include "platform/os/LocalFile.h"

namespace mysql {

namespace {

constexpr std::uint8_t kFastAuthOk = 3;
constexpr std::uint8_t kPerformFullAuth = 4;
// Far more than any PEM public key.
constexpr std::size_t kMaxKeyFile = 65536;

}  // namespace

std::optional<platform::TSha256Digest> ScrambleCachingSha2(std::string_view nonce,
                                                           std::string_view password) {
  const auto stage1 = platform::Sha256({AsBytes(UpToNul(password))});
  if (!stage1) return std::nullopt;
  const auto stage2 = platform::Sha256({*stage1});
  if (!stage2) return std::nullopt;
  auto scramble = platform::Sha256({*stage2, AsBytes(nonce)});
  if (!scramble) return std::nullopt;
  for (std::size_t i = 0; i < scramble->size(); ++i) (*scramble)[i] ^= (*stage1)[i];
  return scramble;
}

TCachingSha2Reply ReadCachingSha2Reply(TBytes packet) {
  if (packet.size() != 2 || packet[0] != kAuthMoreData) return TCachingSha2Reply::Unknown;
  if (packet[1] == kFastAuthOk) return TCachingSha2Reply::FastAuthOk;
  if (packet[1] == kPerformFullAuth) return TCachingSha2Reply::FullAuthRequired;
  return TCachingSha2Reply::Unknown;
}

std::optional<std::string_view> ReadPublicKey(TBytes packet) {
  if (packet.size() < 2 || packet[0] != kAuthMoreData) return std::nullopt;
  return AsText(packet.subspan(1));
}

std::optional<std::string> ReadPublicKeyFile(const std::string& path) {
  return platform::ReadSmallFile(path, kMaxKeyFile);
}

std::vector<std::uint8_t> ClearPasswordAnswer(std::string_view password) {
  std::vector<std::uint8_t> answer;
  AppendText(answer, UpToNul(password));
  answer.push_back(0);
  return answer;
}

std::optional<std::vector<std::uint8_t>> EncryptedPasswordAnswer(std::string_view publicKeyPem,
                                                                 std::string_view nonce,
                                                                 std::string_view password) {
  if (nonce.empty()) return std::nullopt;
  std::vector<std::uint8_t> masked = ClearPasswordAnswer(password);
  for (std::size_t i = 0; i < masked.size(); ++i)
    masked[i] ^= static_cast<std::uint8_t>(nonce[i % nonce.size()]);
  return platform::RsaOaepEncrypt(publicKeyPem, masked);
}

}  // namespace mysql
