#include "ScriptedSession.h"

#include <zlib.h>

#include "FakeReplies.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

std::shared_ptr<ScriptedPeer> ScriptedConnections::Add() {
  auto [stream, peer] = ScriptedStream::Make();
  pending_.push_back(std::move(stream));
  return peer;
}

void ScriptedConnections::AttachTo(TMysqlClient& client, bool compress, TVioKind kind) {
  client.SetHost("scripted");
  client.SetUser("tester");
  client.SetPassword("pw");
  client.SetCompress(compress);
  client.SetConnectTimeout(5);
  client.SetConnector(
      [this]() -> std::unique_ptr<platform::TByteStream> {
        if (pending_.empty()) return nullptr;
        ++opened_;
        auto stream = std::move(pending_.front());
        pending_.pop_front();
        return stream;
      },
      kind);
}

Bytes ServerScript::Login() const {
  const std::uint16_t status = 2;  // a new connection has no transaction
  const std::uint16_t caps = compress_ ? (kServer41 | 0x20) : kServer41;
  Bytes greeting = GreetingPayload(10, "5.0.96", caps);
  // The status word of the greeting (after version, thread id, seed, filler,
  // capabilities and language).
  const std::size_t statusAt = 1 + 7 + 4 + 8 + 1 + 2 + 1;
  greeting[statusAt] = static_cast<std::uint8_t>(status);
  greeting[statusAt + 1] = static_cast<std::uint8_t>(status >> 8);
  return Concat({Packet(0, greeting), Packet(2, OkPayload(0, 0, status))});
}

Bytes ServerScript::LoginReportingChanges() const {
  const std::uint16_t caps = compress_ ? (kServer41 | 0x20) : kServer41;
  return Concat(
      {Packet(0, PluginGreetingPayload("10.11.9-MariaDB", "mysql_native_password", caps,
                                       CLIENT_SESSION_TRACK)),
       Packet(2, OkPayload()),
       Reply({TrackedOkPayload(0, 0, status_, {VariableChange("session_track_schema", "ON")})})});
}

namespace {

// The server's public key in answer to the client's request.
Bytes KeyPayload() {
  return Concat({{1}, Text(kServerPublicKeyPem)});
}

}  // namespace

Bytes ServerScript::LoginWithFullAuthentication() const {
  const std::uint16_t caps = compress_ ? (kServer41 | 0x20) : kServer41;
  return Concat({Packet(0, PluginGreetingPayload("8.4.3", "caching_sha2_password", caps)),
                 Packet(2, {1, 4}), Packet(4, KeyPayload()), Packet(6, OkPayload())});
}

Bytes ServerScript::ChangeUserWithFullAuthentication() const {
  const Bytes request =
      Concat({{254}, Text("caching_sha2_password"), {0}, Text("ABCDEFGHIJKLMNOPQRST"), {0}});
  return Concat({Reply({request}), ReplyFrom({{1, 4}}, 3, 3), ReplyFrom({KeyPayload()}, 5, 5),
                 ReplyFrom({OkPayload()}, 7, 7)});
}

Bytes ServerScript::Reply(const std::vector<Bytes>& payloads) const {
  return ReplyFrom(payloads, 1, 1);
}

Bytes ServerScript::ReplyFrom(const std::vector<Bytes>& payloads, std::uint8_t firstPacket,
                              std::uint8_t block) const {
  Bytes packets;
  std::uint8_t sequence = firstPacket;
  for (const Bytes& payload : payloads) {
    const Bytes packet = Packet(sequence++, payload);
    packets.insert(packets.end(), packet.begin(), packet.end());
  }
  return compress_ ? CompressedBlock(block, packets, packets.size() >= 50) : packets;
}

Bytes ServerScript::ResultSet(const std::vector<std::optional<std::string>>& rows) const {
  std::vector<Bytes> payloads{{1}, Field41Payload("v", 253, 20), EofPayload(0, status_)};
  for (const auto& row : rows) payloads.push_back(RowPayload({row}));
  payloads.push_back(EofPayload(0, status_));
  return Reply(payloads);
}

Bytes ServerScript::CallWithTwoResults(
    const std::vector<std::optional<std::string>>& first,
    const std::vector<std::optional<std::string>>& second) const {
  const auto more = static_cast<std::uint16_t>(status_ | SERVER_MORE_RESULTS_EXISTS);
  std::vector<Bytes> payloads;
  for (const auto* rows : {&first, &second}) {
    payloads.insert(payloads.end(), {{1}, Field41Payload("v", 253, 20), EofPayload(0, more)});
    for (const auto& row : *rows) payloads.push_back(RowPayload({row}));
    payloads.push_back(EofPayload(0, more));
  }
  payloads.push_back(OkPayload(4, 0, status_));
  return Reply(payloads);
}

Bytes ServerScript::Ok(std::uint64_t affected) const {
  return Ok(status_, affected);
}

Bytes ServerScript::Ok(std::uint16_t status, std::uint64_t affected) const {
  return Reply({OkPayload(affected, 0, status)});
}

namespace {

std::uint32_t Get3(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Length3(&bytes[at]));
}

// The packet stream inside compressed blocks.
Bytes Decompress(const Bytes& blocks) {
  Bytes stream;
  std::size_t pos = 0;
  while (pos + 7 <= blocks.size()) {
    const std::size_t length = Get3(blocks, pos);
    const std::size_t inflated = Get3(blocks, pos + 4);
    const Bytes payload(blocks.begin() + static_cast<std::ptrdiff_t>(pos + 7),
                        blocks.begin() + static_cast<std::ptrdiff_t>(pos + 7 + length));
    if (inflated == 0) {
      stream = Concat({stream, payload});
    } else {
      Bytes out(inflated);
      uLongf outLength = static_cast<uLongf>(inflated);
      uncompress(out.data(), &outLength, payload.data(), static_cast<uLong>(payload.size()));
      out.resize(outLength);
      stream = Concat({stream, out});
    }
    pos += 7 + length;
  }
  return stream;
}

}  // namespace

Bytes QueryCommand(std::string_view statement) {
  return Concat({{COM_QUERY}, Text(statement)});
}

std::vector<Bytes> CommandsWritten(const Bytes& written, bool compress) {
  // The login packet always travels plain.
  const std::size_t login = 4 + Get3(written, 0);
  const Bytes rest(written.begin() + static_cast<std::ptrdiff_t>(login), written.end());
  return SplitPackets(compress ? Decompress(rest) : rest);
}
