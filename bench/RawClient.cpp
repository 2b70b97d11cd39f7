#include "bench/RawClient.h"

#include <algorithm>

namespace bench {

namespace {
// Long passwords, long column flags, the 4.1 layouts, transactions and the
// 4.1 authentication: what both clients under test ask for, without
// compression or the newer end-of-data form.
constexpr std::uint32_t kCapabilities = 0x1 | 0x4 | 0x200 | 0x2000 | 0x8000;
constexpr std::uint32_t kMaxPacket = 1 << 24;
constexpr std::uint8_t kUtf8Charset = 33;
constexpr std::size_t kAuthFiller = 23;
constexpr std::uint8_t kComQuery = 3;
constexpr std::uint8_t kComQuit = 1;
constexpr std::uint8_t kComPing = 14;
}  // namespace

bool RawClient::Fail(std::string why) {
  error_ = std::move(why);
  socket_.Close();
  return false;
}

bool RawClient::ReadPacket(Bytes& payload) {
  std::uint8_t header[kPacketHeader];
  if (!socket_.ReadExactly(header)) return false;
  payload.resize(Get3(header));
  return socket_.ReadExactly(payload);
}

bool RawClient::Connect(const std::string& host, std::uint16_t port, std::string_view user) {
  if (!socket_.Connect(host, port))
    return Fail("cannot connect to " + host + ":" + std::to_string(port));
  Bytes packet;
  if (!ReadPacket(packet) || packet.empty()) return Fail("no greeting");
  // Protocol version byte, then the server version up to its NUL.
  const auto versionEnd = std::find(packet.begin() + 1, packet.end(), std::uint8_t{0});
  serverVersion_.assign(packet.begin() + 1, versionEnd);
  Bytes login;
  AppendInt(login, kCapabilities, 4);
  AppendInt(login, kMaxPacket, 4);
  login.push_back(kUtf8Charset);
  login.resize(login.size() + kAuthFiller);
  AppendText(login, user);
  login.push_back(0);
  login.push_back(0);  // no password: an empty scramble
  Bytes out;
  AppendPacket(out, 1, login);
  if (!socket_.WriteAll(out) || !ReadPacket(packet)) return Fail("no answer to the login");
  if (packet.empty() || packet[0] != 0)
    return Fail("login refused: " + std::string(packet.begin(), packet.end()));
  return true;
}

bool RawClient::SendQuery(std::string_view statement, bool withPing) {
  Bytes command{kComQuery};
  AppendText(command, statement);
  Bytes out;
  if (withPing) AppendPacket(out, 0, Bytes{kComPing});
  AppendPacket(out, 0, command);
  return socket_.WriteAll(out) || Fail("cannot send the statement");
}

void RawClient::Quit() {
  const std::uint8_t command[] = {kComQuit};
  Bytes out;
  AppendPacket(out, 0, command);
  static_cast<void>(socket_.WriteAll(out));
  socket_.Close();
}

}  // namespace bench
