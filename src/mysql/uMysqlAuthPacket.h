#pragma once
// The authentication packet sent after the greeting, and the argument of the
// change-user command, which carries the same user and password parts.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace mysql {

// What the password part of both packets depends on.
struct TPasswordContext {
  std::uint32_t ServerCapabilities = 0;
  bool UseNewPassword = false;
  std::string_view ScrambleSeed;
  std::string_view Password;
};

inline constexpr std::size_t kMaxUserBytes = 32;
inline constexpr std::size_t kMaxDbBytes = 64;

// Empty password: one NUL. 4.1 scramble: the length 20 and the 20 bytes; the
// 4.1.0 two-step scheme: eight "x" and a NUL; old scramble: 8 characters and a NUL.
std::vector<std::uint8_t> BuildPasswordPart(const TPasswordContext& context);

// Plugin authentication (4.1 layout only): the method named in the packet and
// its answer, which is sent after its length in place of the password part.
// No method: the classic packet.
struct TNamedAuth {
  std::string_view Method;
  std::span<const std::uint8_t> Answer;
};

struct TAuthPacketInput {
  std::uint32_t ClientFlag = 0;  // the word sent
  std::uint8_t ServerLanguage = 0;
  std::string_view User;
  std::string_view Db;
  TPasswordContext Password;
  TNamedAuth Named = {};
};

// The 4.1 layout (32-byte header) when ClientFlag has CLIENT_RESERVED, the old
// one (5-byte header) otherwise. Db travels only to servers with
// CLIENT_CONNECT_WITH_DB. A named method follows the database field, which is
// then NUL-terminated whenever ClientFlag has CLIENT_CONNECT_WITH_DB.
std::vector<std::uint8_t> BuildAuthPacket(const TAuthPacketInput& input);

// The SSL request: the 32-byte header of the 4.1 layout alone, its word with
// CLIENT_SSL. The TLS handshake follows it, then the whole packet over TLS.
inline constexpr std::size_t kSslRequestSize = 32;
std::vector<std::uint8_t> BuildSslRequest(std::uint32_t clientFlag, std::uint8_t serverLanguage);

// The COM_CHANGE_USER argument: user, password part, database (up to 64
// bytes) and a NUL; with a named method then the character set to begin
// with (2 bytes) and the method's name with a NUL.
std::vector<std::uint8_t> BuildChangeUserArgument(std::string_view user, std::string_view db,
                                                  const TPasswordContext& password,
                                                  const TNamedAuth& named = {},
                                                  std::uint16_t charset = 0);

}  // namespace mysql
