#include "mysql/uMysqlGreeting.h"

namespace mysql {

namespace {
constexpr std::size_t kFirstSeedPart = 8;
constexpr std::size_t kSecondSeedPart = 12;
// Offsets past the version text (V + 1 bytes after the protocol byte).
constexpr std::size_t kCapabilitiesEnd = 16;  // capabilities need V + 16 bytes
constexpr std::size_t kStatusBlockEnd = 33;   // language and status need V + 33
constexpr std::size_t kSecondSeedEnd = 45;    // the second seed part needs V + 45
constexpr std::size_t kSecondSeedAt = 33;
// With plugin authentication the method's name follows the seed data, whose
// second part is at least 13 bytes (12 and a NUL) and longer when the length
// the server gives for all of it says so.
constexpr std::size_t kMinSecondSeedData = 13;

// The first `limit` characters of the NUL-terminated text at `offset`.
std::string SeedPart(TBytes packet, std::size_t offset, std::size_t limit) {
  TPacketReader reader(packet, offset);
  return std::string(reader.ReadNulTerminated().substr(0, limit));
}
}  // namespace

std::optional<TGreeting> ParseGreeting(TBytes packet) {
  TPacketReader reader(packet);
  TGreeting greeting;
  greeting.ProtocolVersion = reader.ReadByte();
  greeting.ServerVersion = std::string(reader.ReadNulTerminated());
  const std::size_t v = greeting.ServerVersion.size();
  greeting.ThreadId = reader.ReadUInt(4);
  reader.Skip(kFirstSeedPart);
  // Without a version terminator the thread id read already ran off the end.
  if (!reader.Ok()) return std::nullopt;
  greeting.ScrambleSeed = SeedPart(packet, v + 6, kFirstSeedPart);

  // The blocks after the first seed part are optional: each is read only
  // when the greeting is long enough to hold it.
  const std::size_t length = packet.size();
  reader.Skip(1);  // the first seed part's NUL
  if (length >= v + kCapabilitiesEnd) {
    // A greeting of exactly V + 16 bytes holds only the low capability byte.
    std::uint32_t caps = reader.ReadByte();
    if (!reader.AtEnd()) caps |= std::uint32_t{reader.ReadByte()} << 8;
    greeting.Capabilities = caps;
  }
  if (length >= v + kStatusBlockEnd) {
    greeting.Language = reader.ReadByte();
    greeting.Status = reader.ReadUInt(2);
  }
  if (length >= v + kSecondSeedEnd) {
    greeting.ScrambleSeed += SeedPart(packet, v + kSecondSeedAt, kSecondSeedPart);
    greeting.HasSecondSeedPart = true;
    const std::uint32_t highCaps = reader.ReadUInt(2) << 16;
    greeting.UpperCapabilities = highCaps;
    if (highCaps & CLIENT_PLUGIN_AUTH) {
      const std::size_t seedData = reader.ReadByte();
      const std::size_t secondPart = seedData > kFirstSeedPart + kMinSecondSeedData
                                         ? seedData - kFirstSeedPart
                                         : kMinSecondSeedData;
      TPacketReader methodReader(packet, v + kSecondSeedAt + secondPart);
      greeting.AuthMethod = std::string(methodReader.ReadNulTerminated());
    }
  }
  return greeting;
}

bool UsesTwoStepAuthentication(std::string_view serverVersion) {
  return serverVersion.starts_with("4.1.0");
}

std::uint32_t DeriveClientFlag(std::uint32_t clientFlag, bool withDb, std::uint32_t serverCaps,
                               bool compress) {
  clientFlag |= kAlwaysSentCapabilities;
  if (withDb) clientFlag |= CLIENT_CONNECT_WITH_DB;
  if ((serverCaps & CLIENT_COMPRESS) && (compress || (clientFlag & CLIENT_COMPRESS)))
    clientFlag |= CLIENT_COMPRESS;
  else
    clientFlag &= ~std::uint32_t{CLIENT_COMPRESS};
  // A server without any 4.1 capability gets the older protocol throughout.
  constexpr std::uint32_t k41Offers =
      CLIENT_RESERVED | CLIENT_SECURE_CONNECTION | CLIENT_MULTI_RESULTS;
  if ((clientFlag & CLIENT_PROTOCOL_41) && !(serverCaps & k41Offers))
    clientFlag &= ~std::uint32_t{CLIENT_PROTOCOL_41 | CLIENT_RESERVED | CLIENT_SECURE_CONNECTION |
                                 CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS};
  return clientFlag;
}

}  // namespace mysql
