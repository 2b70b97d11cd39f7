#pragma once
// Server packets for the client's fake-server tests, and a session pointed at
// a FakeServer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/uMysqlClient.h"
#include "support/FakeServer.h"
#include "support/RsaPublicKey.h"
#include "support/Wire.h"

// Capability words of the fake servers: a 4.1 server (no compression), and a
// 4.0 server that still claims the 4.1 scramble.
inline constexpr std::uint16_t kServer41 = 0xE20D;
inline constexpr std::uint16_t kServer40 = 0xA02C & ~0x20;

enum class GreetingLength {
  Full,          // both seed parts (4.1 servers)
  NoSecondSeed,  // up to the status block (4.0 servers)
  SeedOnly,      // no capabilities at all (protocol 9 servers)
};

inline constexpr std::string_view kSeedPart1 = "abcdefgh";
inline constexpr std::string_view kSeedPart2 = "ijklmnopqrst";

Bytes GreetingPayload(std::uint8_t protocol, std::string_view version, std::uint16_t caps,
                      GreetingLength length = GreetingLength::Full);
// The greeting of a server with plugin authentication (MySQL 5.5 and later,
// MariaDB): 4.1 capabilities, CLIENT_PLUGIN_AUTH in the upper word, the seed
// "abcdefghijklmnopqrst" and the name of `method`.
Bytes PluginGreetingPayload(std::string_view version, std::string_view method,
                            std::uint16_t caps = kServer41, std::uint32_t upperCaps = 0);

Bytes OkPayload(std::uint64_t affected = 0, std::uint64_t insertId = 0, std::uint16_t status = 2,
                std::uint16_t warnings = 0, std::string_view info = "");
// An OK packet of a server that reports session changes (the client asked
// for them): the message and the block of changes built from the entries below.
Bytes TrackedOkPayload(std::uint64_t affected, std::uint64_t insertId, std::uint16_t status,
                       const std::vector<Bytes>& changes);
Bytes SchemaChange(std::string_view database);
Bytes VariableChange(std::string_view name, std::string_view value);
Bytes StateChange();
Bytes EofPayload(std::uint16_t warnings = 0, std::uint16_t status = 2);
Bytes Field41Payload(std::string_view name, std::uint8_t type, std::uint32_t length);
Bytes RowPayload(const std::vector<std::optional<std::string>>& values);

// The packets the server received, split into payloads (uncompressed stream).
std::vector<Bytes> SplitPackets(const Bytes& stream);

// Plays greeting, reads the authentication packet, answers OK.
void ScriptLogin(FakeServer& server, const Bytes& greeting);

// A session set up for `server` (no compression, short time-out).
void PointAt(mysql::TMysqlClient& client, const FakeServer& server);

// Scripts a 4.1 result set of one column "v" with these rows, starting at
// sequence `seq` (the first reply to a query is 1).
void ScriptResultSet(FakeServer& server, const std::vector<std::optional<std::string>>& rows,
                     std::uint8_t seq = 1);
