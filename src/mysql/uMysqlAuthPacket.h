#pragma once
// The authentication packet sent after the greeting, and the argument of the
// change-user command, which carries the same user and password parts.

#include <cstdint>
#include <string_view>
#include <vector>

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

struct TAuthPacketInput {
  std::uint32_t ClientFlag = 0;  // the final, derived word
  std::uint8_t ServerLanguage = 0;
  std::string_view User;
  std::string_view Db;
  TPasswordContext Password;
};

// The 4.1 layout (32-byte header) when ClientFlag has CLIENT_RESERVED, the old
// one (5-byte header) otherwise. Db travels only to servers with
// CLIENT_CONNECT_WITH_DB.
std::vector<std::uint8_t> BuildAuthPacket(const TAuthPacketInput& input);

// The COM_CHANGE_USER argument: user, password part, database (up to 64
// bytes) and a final NUL.
std::vector<std::uint8_t> BuildChangeUserArgument(std::string_view user, std::string_view db,
                                                  const TPasswordContext& password);
