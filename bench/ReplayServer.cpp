#include "bench/ReplayServer.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "bench/TlsServer.h"

namespace bench {

namespace {

constexpr std::uint32_t kCompress = 0x20;
constexpr std::uint32_t kProtocol41 = 0x200;
constexpr std::uint32_t kSsl = 0x800;
// Every capability of a 4.1+ server (reports of session changes included,
// as MariaDB offers them) except encryption and the newer end-of-data form
// (the recorded replies carry end-of-data packets).
constexpr std::uint32_t kServerCapabilities = 0x8FF7FF;
// The client's request to start TLS: its capabilities, packet limit and
// character set, without the rest of a login.
constexpr std::size_t kSslRequestSize = 32;
constexpr std::uint16_t kStatusAutocommit = 0x0002;
constexpr std::uint8_t kUtf8Charset = 33;
constexpr std::uint8_t kComQuit = 1;
constexpr std::uint8_t kComInitDb = 2;
constexpr std::uint8_t kComQuery = 3;
constexpr std::uint8_t kComPing = 14;
constexpr std::uint16_t kErrUnknownStatement = 1064;

Bytes Greeting(bool tls) {
  Bytes payload{10};
  AppendText(payload, "10.11.0-replay");
  payload.push_back(0);
  AppendInt(payload, 1, 4);  // thread id
  AppendText(payload, "8bytesee");
  payload.push_back(0);
  const std::uint32_t capabilities = kServerCapabilities | (tls ? kSsl : 0);
  AppendInt(payload, capabilities & 0xFFFF, 2);
  payload.push_back(kUtf8Charset);
  AppendInt(payload, kStatusAutocommit, 2);
  AppendInt(payload, capabilities >> 16, 2);
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

Bytes OkPayload(std::uint8_t affectedRows = 0) {
  Bytes payload{0, affectedRows, 0};
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

// Statements answered with an OK without a recording: single-row changes
// (INSERT, one row affected) and the settings a client asks for (SET, DO).
std::optional<Bytes> OkFor(std::string_view statement) {
  const auto startsWith = [&](std::string_view word) {
    if (statement.size() <= word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(statement[i])) != word[i]) return false;
    return statement[word.size()] == ' ';
  };
  if (startsWith("INSERT")) return OkPayload(1);
  if (startsWith("SET") || startsWith("DO")) return OkPayload();
  return std::nullopt;
}

// Reads one packet and keeps its payload in `packet`; false when the client
// went away.
template <typename Stream>
bool ReadPacketBody(Stream& stream, Bytes& packet) {
  packet.resize(kPacketHeader);
  if (!stream.ReadExactly(packet)) return false;
  packet.resize(Get3(packet.data()));
  return stream.ReadExactly(packet);
}

std::uint32_t ClientFlags(const Bytes& login) {
  if (login.size() < 4) return 0;
  std::uint32_t flags = login[0] | login[1] << 8;
  if (flags & kProtocol41) flags |= static_cast<std::uint32_t>(login[2] | login[3] << 8) << 16;
  return flags;
}

// One connection after the greeting: reads commands and writes replies in
// the framing the client chose at login, over a plain or a TLS stream.
template <typename Stream>
class Session {
 public:
  Session(Stream& socket, bool compressed) : socket_(socket), compressed_(compressed) {}

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
  Stream& socket_;
  bool compressed_;
};

}  // namespace

std::shared_ptr<const Recordings> PrepareRecordings(const std::map<std::string, Bytes>& replies) {
  auto recordings = std::make_shared<Recordings>();
  for (const auto& [statement, plain] : replies)
    recordings->emplace(statement, Recording{plain, CompressStream(plain, 1)});
  return recordings;
}

ReplayServer::ReplayServer(std::shared_ptr<const Recordings> replies, bool tls)
    : recordings_(std::move(replies)),
      replies_(*recordings_),
      tls_(tls ? std::make_unique<TlsContext>() : nullptr) {
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
  Bytes login;
  if (!client.WriteAll(Greeting(tls_ != nullptr)) || !ReadPacketBody(client, login)) return;
  std::uint32_t flags = ClientFlags(login);
  if (tls_ && (flags & kSsl) && login.size() == kSslRequestSize) {
    TlsSocket secure(*tls_, client);
    if (!secure.IsOpen() || !ReadPacketBody(secure, login)) return;
    flags = ClientFlags(login);
    Bytes ok;
    AppendPacket(ok, 3, OkPayload());
    if (secure.WriteAll(ok)) ServeCommands(secure, (flags & kCompress) != 0);
    return;
  }
  Bytes ok;
  AppendPacket(ok, 2, OkPayload());
  if (client.WriteAll(ok)) ServeCommands(client, (flags & kCompress) != 0);
}

template <typename Stream>
void ReplayServer::ServeCommands(Stream& stream, bool compressed) const {
  Session<Stream> session(stream, compressed);
  for (;;) {
    const Bytes command = session.ReadCommand();
    if (command.empty() || command[0] == kComQuit) return;
    bool sent = false;
    if (command[0] == kComQuery) {
      const std::string statement(command.begin() + 1, command.end());
      const auto found = replies_.find(statement);
      if (found != replies_.end())
        sent = session.Reply(found->second);
      else if (const auto ok = OkFor(statement))
        sent = session.ReplyPacket(*ok);
      else
        sent = session.ReplyPacket(ErrorPayload("no recorded reply for: " + statement));
    } else if (command[0] == kComPing || command[0] == kComInitDb) {
      sent = session.ReplyPacket(OkPayload());
    } else {
      sent = session.ReplyPacket(ErrorPayload("command not served by the replay server"));
    }
    if (!sent) return;
  }
}

}  // namespace bench
