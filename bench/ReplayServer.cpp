#include "bench/ReplayServer.h"

#include <string_view>

namespace bench {

namespace {

constexpr std::uint32_t kCompress = 0x20;
constexpr std::uint32_t kProtocol41 = 0x200;
// Every capability of a 4.1+ server except encryption and the newer
// end-of-data form (the recorded replies carry end-of-data packets).
constexpr std::uint32_t kServerCapabilities = 0xFF7FF;
constexpr std::uint16_t kStatusAutocommit = 0x0002;
constexpr std::uint8_t kUtf8Charset = 33;
constexpr std::uint8_t kComQuit = 1;
constexpr std::uint8_t kComInitDb = 2;
constexpr std::uint8_t kComQuery = 3;
constexpr std::uint8_t kComPing = 14;
constexpr std::uint16_t kErrUnknownStatement = 1064;

Bytes Greeting() {
  Bytes payload{10};
  AppendText(payload, "10.11.0-replay");
  payload.push_back(0);
  AppendInt(payload, 1, 4);  // thread id
  AppendText(payload, "8bytesee");
  payload.push_back(0);
  AppendInt(payload, kServerCapabilities & 0xFFFF, 2);
  payload.push_back(kUtf8Charset);
  AppendInt(payload, kStatusAutocommit, 2);
  AppendInt(payload, kServerCapabilities >> 16, 2);
  payload.push_back(21);  // seed length, both parts and the NUL
  payload.resize(payload.size() + 10);
  AppendText(payload, "twelvebytes!");
  payload.push_back(0);
  AppendText(payload, "mysql_native_password");
  payload.push_back(0);
  Bytes packet;
  AppendPacket(packet, 0, payload);
  return packet;
}

Bytes OkPayload() {
  Bytes payload{0, 0, 0};
  AppendInt(payload, kStatusAutocommit, 2);
  AppendInt(payload, 0, 2);
  return payload;
}

Bytes ErrorPayload(std::string_view text) {
  Bytes payload{0xFF};
  AppendInt(payload, kErrUnknownStatement, 2);
  AppendText(payload, "#42000");
  AppendText(payload, text);
  return payload;
}

// One connection after the greeting: reads commands and writes replies in
// the framing the client chose at login.
class Session {
 public:
  Session(Socket& socket, bool compressed) : socket_(socket), compressed_(compressed) {}

  // The command's packet payload; empty when the client has gone.
  Bytes ReadCommand() {
    std::uint8_t header[kBlockHeader];
    const std::size_t headerSize = compressed_ ? kBlockHeader : kPacketHeader;
    if (!socket_.ReadExactly(std::span(header, headerSize))) return {};
    Bytes body(Get3(header));
    if (!socket_.ReadExactly(body)) return {};
    if (!compressed_) return body;
    // Commands are small: one packet in one block.
    const Bytes inner = InflateBlock(body, Get3(header + 4));
    if (inner.size() < kPacketHeader) return {};
    return Bytes(inner.begin() + kPacketHeader, inner.end());
  }

  bool Reply(const Recording& recording) {
    return socket_.WriteAll(compressed_ ? recording.Compressed : recording.Plain);
  }

  bool ReplyPacket(const Bytes& payload) {
    Bytes packet;
    AppendPacket(packet, 1, payload);
    return socket_.WriteAll(compressed_ ? CompressStream(packet, 1) : packet);
  }

 private:
  Socket& socket_;
  bool compressed_;
};

}  // namespace

ReplayServer::ReplayServer(const std::map<std::string, Bytes>& replies) {
  for (const auto& [statement, plain] : replies)
    replies_.emplace(statement, Recording{plain, CompressStream(plain, 1)});
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ReplayServer::~ReplayServer() {
  stopping_ = true;
  listener_.Close();
  acceptor_.join();
  for (std::thread& connection : connections_) connection.join();
}

std::size_t ReplayServer::CompressedSize(const std::string& statement) const {
  const auto found = replies_.find(statement);
  return found == replies_.end() ? 0 : found->second.Compressed.size();
}

void ReplayServer::AcceptLoop() {
  while (!stopping_) {
    Socket client = listener_.Accept();
    if (!client.IsOpen()) continue;
    const std::lock_guard lock(mutex_);
    connections_.emplace_back(
        [this, socket = std::move(client)]() mutable { Serve(std::move(socket)); });
  }
}

void ReplayServer::Serve(Socket client) const {
  Bytes login(kPacketHeader);
  if (!client.WriteAll(Greeting()) || !client.ReadExactly(login)) return;
  login.resize(Get3(login.data()));
  if (!client.ReadExactly(login) || login.size() < 4) return;
  std::uint32_t flags = login[0] | login[1] << 8;
  if (flags & kProtocol41) flags |= static_cast<std::uint32_t>(login[2] | login[3] << 8) << 16;
  Bytes ok;
  AppendPacket(ok, 2, OkPayload());
  if (!client.WriteAll(ok)) return;

  Session session(client, (flags & kCompress) != 0);
  for (;;) {
    const Bytes command = session.ReadCommand();
    if (command.empty() || command[0] == kComQuit) return;
    bool sent = false;
    if (command[0] == kComQuery) {
      const std::string statement(command.begin() + 1, command.end());
      const auto found = replies_.find(statement);
      sent = found != replies_.end()
                 ? session.Reply(found->second)
                 : session.ReplyPacket(ErrorPayload("no recorded reply for: " + statement));
    } else if (command[0] == kComPing || command[0] == kComInitDb) {
      sent = session.ReplyPacket(OkPayload());
    } else {
      sent = session.ReplyPacket(ErrorPayload("command not served by the replay server"));
    }
    if (!sent) return;
  }
}

}  // namespace bench
