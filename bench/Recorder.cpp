#include "bench/Recorder.h"

#include <algorithm>
#include <stdexcept>

#include "bench/RawClient.h"

namespace bench {

std::map<std::string, Bytes> RecordReplies(const ServerAddress& server,
                                           const std::vector<std::string>& statements,
                                           std::string& serverVersion) {
  RawClient client;
  if (!client.Connect(server.Host, server.Port, server.User))
    throw std::runtime_error("recording: " + client.Error());
  serverVersion = client.ServerVersion();
  std::map<std::string, Bytes> replies;
  for (const std::string& statement : statements) {
    Bytes& reply = replies[statement];
    if (!client.SendQuery(statement) || client.ReadReply([&](std::span<const std::uint8_t> piece) {
          reply.insert(reply.end(), piece.begin(), piece.end());
        }) < 0)
      throw std::runtime_error("recording: " + client.Error());
    // An error reply would be served to every client and measured as nothing.
    if (reply.size() > kPacketHeader && reply[kPacketHeader] == 0xFF)
      throw std::runtime_error(
          "recording: the server refused " + statement + ": " +
          std::string(reply.begin() + std::min<std::ptrdiff_t>(13, std::ssize(reply)),
                      reply.end()));
  }
  client.Quit();
  return replies;
}

}  // namespace bench
