#pragma once
// The server's greeting (the first packet of a connection) and the capability
// word the client answers it with.

#include <cstdint>
#include <optional>
#include <string>

#include "mysql/uMysqlCodec.h"

namespace mysql {

// Capability bits of the client/server protocol.
enum TClientCapability : std::uint32_t {
  CLIENT_LONG_PASSWORD = 0x1,
  CLIENT_FOUND_ROWS = 0x2,
  CLIENT_LONG_FLAG = 0x4,
  CLIENT_CONNECT_WITH_DB = 0x8,
  CLIENT_NO_SCHEMA = 0x10,
  CLIENT_COMPRESS = 0x20,
  CLIENT_ODBC = 0x40,
  CLIENT_LOCAL_FILES = 0x80,
  CLIENT_IGNORE_SPACE = 0x100,
  CLIENT_PROTOCOL_41 = 0x200,
  CLIENT_INTERACTIVE = 0x400,
  CLIENT_SSL = 0x800,
  CLIENT_IGNORE_SIGPIPE = 0x1000,
  CLIENT_TRANSACTIONS = 0x2000,
  CLIENT_RESERVED = 0x4000,
  CLIENT_SECURE_CONNECTION = 0x8000,
  CLIENT_MULTI_STATEMENTS = 0x10000,
  CLIENT_MULTI_RESULTS = 0x20000,
  // Authentication methods are named (greeting, authentication packet, the
  // server's requests to switch methods).
  CLIENT_PLUGIN_AUTH = 0x80000,
  // OK packets report what changed in the session (the current database,
  // session variables, other state).
  CLIENT_SESSION_TRACK = 0x800000,
};

// The bits this client always asks for (the default ClientFlag 0xE285).
inline constexpr std::uint32_t kAlwaysSentCapabilities =
    CLIENT_SECURE_CONNECTION | CLIENT_RESERVED | CLIENT_TRANSACTIONS | CLIENT_PROTOCOL_41 |
    CLIENT_LOCAL_FILES | CLIENT_LONG_FLAG | CLIENT_LONG_PASSWORD;

enum TServerStatusBit : std::uint32_t {
  SERVER_STATUS_IN_TRANS = 0x1,
  SERVER_STATUS_AUTOCOMMIT = 0x2,
  // The session's sql_mode has NO_BACKSLASH_ESCAPES: a backslash in a quoted
  // string is an ordinary character.
  SERVER_STATUS_NO_BACKSLASH_ESCAPES = 0x200,
  // The OK packet carries session changes (or, at the end of rows, the
  // statement changed the session).
  SERVER_SESSION_STATE_CHANGED = 0x4000,
};

struct TGreeting {
  std::uint8_t ProtocolVersion = 0;
  std::string ServerVersion;
  std::uint32_t ThreadId = 0;
  std::string ScrambleSeed;  // 8 characters, plus 12 when the second part came
  std::optional<std::uint32_t> Capabilities;
  // Present only in greetings long enough to carry them.
  std::optional<std::uint32_t> Language;
  std::optional<std::uint32_t> Status;
  bool HasSecondSeedPart = false;
  // Present when the server offers plugin authentication: the method it
  // named (empty when it named none).
  std::optional<std::string> AuthMethod;
  // The upper 16 bits of the server's capability word (0 when absent).
  std::uint32_t UpperCapabilities = 0;
};

// Decodes a greeting of protocol 9 or 10. Fails when the packet ends before
// the first part of the scramble seed. Capabilities holds the low 16 bits of
// the server's word; the high ones are in UpperCapabilities.
[[nodiscard]] std::optional<TGreeting> ParseGreeting(TBytes packet);

// True for the 4.1.0 servers that authenticate in two steps.
bool UsesTwoStepAuthentication(std::string_view serverVersion);

// The capability word the client sends, derived from its configured word.
std::uint32_t DeriveClientFlag(std::uint32_t clientFlag, bool withDb, std::uint32_t serverCaps,
                               bool compress);

}  // namespace mysql
