#pragma once
// Hashing and public-key encryption from the system: OpenSSL's libcrypto on
// Linux, CryptoAPI on Windows (advapi32 and crypt32; SHA-256 there needs the
// AES provider that Windows XP SP3 and every later Windows have).

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::size_t kSha256Size = 32;
using TSha256Digest = std::array<std::uint8_t, kSha256Size>;

// SHA-256 of the parts one after another; none when the system cannot
// compute it.
[[nodiscard]] std::optional<TSha256Digest> Sha256(
    std::initializer_list<std::span<const std::uint8_t>> parts);

// `message` encrypted under the RSA public key given in PEM form ("BEGIN
// PUBLIC KEY", an X.509 SubjectPublicKeyInfo) with OAEP padding (SHA-1,
// MGF1 with SHA-1, no label): as many bytes as the key's modulus, most
// significant first. None when the key cannot be read or the message is too
// long for it.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> RsaOaepEncrypt(
    std::string_view pemPublicKey, std::span<const std::uint8_t> message);

}  // namespace platform
