#include "FakeReplies.h"

#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

void AppendLcInt(Bytes& out, std::uint64_t value) {
  if (value < 251) {
    out.push_back(static_cast<std::uint8_t>(value));
    return;
  }
  out.push_back(254);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendLc(Bytes& out, std::string_view text) {
  AppendLcInt(out, text.size());
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

Bytes GreetingPayload(std::uint8_t protocol, std::string_view version, std::uint16_t caps,
                      GreetingLength length) {
  Bytes out = Concat({{protocol}, Text(version), {0}, {7, 0, 0, 0}, Text(kSeedPart1), {0}});
  if (length == GreetingLength::SeedOnly) return out;
  out = Concat({out,
                {static_cast<std::uint8_t>(caps), static_cast<std::uint8_t>(caps >> 8)},
                {8, 2, 0},
                Bytes(13, 0)});
  if (length == GreetingLength::NoSecondSeed) return out;
  return Concat({out, Text(kSeedPart2), {0}});
}

Bytes PluginGreetingPayload(std::string_view version, std::string_view method, std::uint16_t caps,
                            std::uint32_t upperCaps) {
  Bytes out = GreetingPayload(10, version, caps);
  // After protocol, version, thread id, seed, filler, capabilities, language
  // and status: the upper capability word and the length of the seed data.
  const std::size_t upperAt = 1 + version.size() + 1 + 4 + 8 + 1 + 2 + 1 + 2;
  const std::uint32_t upper = (CLIENT_PLUGIN_AUTH | upperCaps) >> 16;
  out[upperAt] = static_cast<std::uint8_t>(upper);
  out[upperAt + 1] = static_cast<std::uint8_t>(upper >> 8);
  out[upperAt + 2] = 21;
  return Concat({out, Text(method), {0}});
}

Bytes OkPayload(std::uint64_t affected, std::uint64_t insertId, std::uint16_t status,
                std::uint16_t warnings, std::string_view info) {
  Bytes out{0};
  AppendLcInt(out, affected);
  AppendLcInt(out, insertId);
  out.insert(out.end(),
             {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(status >> 8),
              static_cast<std::uint8_t>(warnings), static_cast<std::uint8_t>(warnings >> 8)});
  if (!info.empty()) AppendLc(out, info);
  return out;
}

Bytes TrackedOkPayload(std::uint64_t affected, std::uint64_t insertId, std::uint16_t status,
                       const std::vector<Bytes>& changes) {
  Bytes out{0};
  AppendLcInt(out, affected);
  AppendLcInt(out, insertId);
  if (!changes.empty()) status |= 0x4000;
  out.insert(out.end(),
             {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(status >> 8), 0, 0});
  AppendLc(out, "");
  if (changes.empty()) return out;
  Bytes block;
  for (const Bytes& change : changes) block.insert(block.end(), change.begin(), change.end());
  AppendLc(out, std::string_view(reinterpret_cast<const char*>(block.data()), block.size()));
  return out;
}

namespace {

Bytes Entry(std::uint8_t kind, const Bytes& data) {
  Bytes out{kind};
  AppendLc(out, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  return out;
}

}  // namespace

Bytes SchemaChange(std::string_view database) {
  Bytes data;
  AppendLc(data, database);
  return Entry(1, data);
}

Bytes VariableChange(std::string_view name, std::string_view value) {
  Bytes data;
  AppendLc(data, name);
  AppendLc(data, value);
  return Entry(0, data);
}

Bytes StateChange() {
  return Entry(2, Text("1"));
}

Bytes EofPayload(std::uint16_t warnings, std::uint16_t status) {
  return {254, static_cast<std::uint8_t>(warnings), static_cast<std::uint8_t>(warnings >> 8),
          static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(status >> 8)};
}

Bytes Field41Payload(std::string_view name, std::uint8_t type, std::uint32_t length) {
  Bytes out;
  for (std::string_view part : {std::string_view("def"), std::string_view("db"),
                                std::string_view("t"), std::string_view("t"), name, name})
    AppendLc(out, part);
  out.insert(out.end(), {12, 8, 0, static_cast<std::uint8_t>(length),
                         static_cast<std::uint8_t>(length >> 8), 0, 0, type, 0, 0, 0, 0, 0});
  return out;
}

Bytes RowPayload(const std::vector<std::optional<std::string>>& values) {
  Bytes out;
  for (const auto& value : values) {
    if (value)
      AppendLc(out, *value);
    else
      out.push_back(251);
  }
  return out;
}

std::vector<Bytes> SplitPackets(const Bytes& stream) {
  std::vector<Bytes> packets;
  std::size_t pos = 0;
  while (pos + 4 <= stream.size()) {
    const std::size_t length = Length3(&stream[pos]);
    if (pos + 4 + length > stream.size()) break;
    packets.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                         stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + length));
    pos += 4 + length;
  }
  return packets;
}

void ScriptLogin(FakeServer& server, const Bytes& greeting) {
  server.Send(Packet(0, greeting)).ReceivePacket().Send(Packet(2, OkPayload()));
}

void PointAt(TMysqlClient& client, const FakeServer& server) {
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetUser("tester");
  client.SetPassword("pw");
  client.SetCompress(false);
  client.SetConnectTimeout(5);
}

void ScriptResultSet(FakeServer& server, const std::vector<std::optional<std::string>>& rows,
                     std::uint8_t seq) {
  server.Send(Packet(seq++, {1}));
  server.Send(Packet(seq++, Field41Payload("v", 253, 20)));
  server.Send(Packet(seq++, EofPayload()));
  for (const auto& row : rows) server.Send(Packet(seq++, RowPayload({row})));
  server.Send(Packet(seq, EofPayload()));
}
