#pragma once
// The least a client can do: log in without a password, send a statement,
// and take the reply in large reads while only finding where its packets
// end. The recorder keeps the reply's bytes; the floor case throws them away.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "bench/Socket.h"
#include "bench/Wire.h"

namespace bench {

class RawClient {
 public:
  // Connects and logs in as `user` (an account without a password); false
  // with Error() set when anything fails.
  [[nodiscard]] bool Connect(const std::string& host, std::uint16_t port, std::string_view user);
  // withPing: a ping goes first, in the same write.
  [[nodiscard]] bool SendQuery(std::string_view statement, bool withPing = false);
  // Reads `replies` whole replies (one per command sent); `onBytes` gets
  // every piece as it arrives, packet headers included. Answers the number
  // of rows of the last, or -1 on failure.
  template <typename OnBytes>
  [[nodiscard]] std::int64_t ReadReply(OnBytes onBytes, int replies = 1);
  void Quit();
  [[nodiscard]] const std::string& Error() const { return error_; }
  // As the greeting gave it.
  [[nodiscard]] const std::string& ServerVersion() const { return serverVersion_; }

 private:
  [[nodiscard]] bool ReadPacket(Bytes& payload);
  [[nodiscard]] bool Fail(std::string why);

  Socket socket_;
  Bytes buffer_;
  std::string error_;
  std::string serverVersion_;
};

template <typename OnBytes>
std::int64_t RawClient::ReadReply(OnBytes onBytes, int replies) {
  constexpr std::size_t kReadSize = 1 << 20;
  buffer_.resize(kReadSize);
  PacketScanner scanner;
  ReplyTracker reply;
  const auto next = [&](std::span<const std::uint8_t> payload) {
    if (reply.Done() && --replies > 0) reply = ReplyTracker();
    reply.Feed(payload);
  };
  while (!reply.Done() || replies > 1) {
    const long count = socket_.ReadSome(buffer_);
    if (count <= 0) {
      static_cast<void>(Fail("the connection ended inside a reply"));
      return -1;
    }
    const std::span<const std::uint8_t> piece(buffer_.data(), static_cast<std::size_t>(count));
    onBytes(piece);
    scanner.Feed(piece, next);
  }
  return static_cast<std::int64_t>(reply.Rows());
}

}  // namespace bench
