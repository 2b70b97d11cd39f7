#pragma once
// Authentication methods known by name (plugin authentication): the ones this
// client can do, the first answer each gives to the server's nonce, and the
// server's request to switch to another method.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/uMysqlCodec.h"

namespace mysql {

enum class TAuthMethod : std::uint8_t {
  NativePassword,       // the 4.1 SHA-1 scramble
  OldPassword,          // the pre-4.1 scramble
  CachingSha2Password,  // the SHA-256 scramble, then possibly the password itself
};

inline constexpr std::string_view kNativePasswordMethod = "mysql_native_password";
inline constexpr std::string_view kOldPasswordMethod = "mysql_old_password";
inline constexpr std::string_view kCachingSha2PasswordMethod = "caching_sha2_password";

// The method of that name; none for a method this client cannot do.
[[nodiscard]] std::optional<TAuthMethod> AuthMethodNamed(std::string_view name);
[[nodiscard]] std::string_view AuthMethodName(TAuthMethod method);

// The method to answer a greeting with: the one the server named where it
// is caching_sha2_password, else mysql_native_password (a server that wants
// another method for the account then asks to switch).
[[nodiscard]] TAuthMethod GreetingAuthMethod(std::string_view named);

// The method's scramble of the password with the nonce: nothing at all for
// an empty password. None when the scramble cannot be computed here (no
// SHA-256 on this system).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> AuthMethodScramble(
    TAuthMethod method, std::string_view nonce, std::string_view password);

// The server's request to switch methods: 254, the method's name, a NUL and
// the method's data, here a fresh nonce (cut at its NUL).
struct TAuthSwitchRequest {
  std::string Method;
  std::string Nonce;
};
[[nodiscard]] bool IsAuthSwitchRequest(TBytes packet);
// A lone 254: the older request of a 4.1 server to answer with the pre-4.1
// scramble, for an account with an old-style password.
[[nodiscard]] bool IsOldScrambleRequest(TBytes packet);
[[nodiscard]] TAuthSwitchRequest ReadAuthSwitchRequest(TBytes packet);

}  // namespace mysql
