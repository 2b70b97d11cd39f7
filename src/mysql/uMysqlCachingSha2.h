#pragma once
// The caching_sha2_password method: the SHA-256 scramble of the fast path,
// the server's word on it, and the two forms of the password for full
// authentication (with its NUL in clear over a local socket; encrypted with
// the server's RSA public key anywhere else). A password is taken up to its
// first 0 byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/uMysqlCodec.h"
#include "platform/os/Crypto.h"

namespace mysql {

// SHA256(password) XOR SHA256(SHA256(SHA256(password)) + nonce). None when
// this system cannot compute SHA-256.
[[nodiscard]] std::optional<platform::TSha256Digest> ScrambleCachingSha2(std::string_view nonce,
                                                                         std::string_view password);

// What the server says after the scramble, in a packet of its own that
// begins with 1 ("more data"): the cached password matched (an OK packet
// follows), or the client must send the password itself.
enum class TCachingSha2Reply { FastAuthOk, FullAuthRequired, Unknown };
inline constexpr std::uint8_t kAuthMoreData = 1;
[[nodiscard]] TCachingSha2Reply ReadCachingSha2Reply(TBytes packet);

// The client's request for the server's public key, and the key in the
// server's answer (1, then the PEM text); none for any other packet.
inline constexpr std::uint8_t kRequestPublicKey = 2;
[[nodiscard]] std::optional<std::string_view> ReadPublicKey(TBytes packet);

// The PEM text of a key file (at most 64 KiB); none when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadPublicKeyFile(const std::string& path);

// The password and its NUL, for a connection no one else can read.
[[nodiscard]] std::vector<std::uint8_t> ClearPasswordAnswer(std::string_view password);
// (password + NUL) XOR the nonce (repeated as often as needed), encrypted
// with RSA-OAEP under the server's key. None when the key cannot be used or
// the password is too long for it.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> EncryptedPasswordAnswer(
    std::string_view publicKeyPem, std::string_view nonce, std::string_view password);

}  // namespace mysql
