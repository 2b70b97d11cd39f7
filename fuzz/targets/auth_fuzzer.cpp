// The handshake's handling of the server's answers to authentication: the
// old-scramble request, the second step of 4.1.0 servers, the request to
// switch the authentication method, OK and error packets; at connect and
// again for ChangeUser.
//
// Input parts: options (first byte), the greeting's payload, then payloads
// of the server's answers. The harness frames them with the sequence numbers
// a server would use, so the answers themselves are what varies. The
// options are laid out in support/FuzzScripts.h.

#include <memory>
#include <tuple>

#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlGreeting.h"
#include "support/FuzzInput.h"
#include "support/FuzzScripts.h"
#include "support/ScriptedStream.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

Bytes Copy(TFuzzBytes part) {
  return Bytes(part.begin(), part.end());
}

// Between two answers the client writes one packet (or block), so the
// server's sequence numbers go up by two.
void QueueAnswers(ScriptedPeer& peer, std::span<const TFuzzBytes> answers, std::uint8_t first,
                  bool compressed) {
  std::uint8_t sequence = first;
  for (const TFuzzBytes answer : answers) {
    const Bytes packet = Packet(sequence, Copy(answer));
    peer.Reply(compressed ? CompressedBlock(sequence, packet, false) : packet);
    sequence = static_cast<std::uint8_t>(sequence + 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = SplitParts({data, size});
  if (parts.size() < 3 || parts[0].empty()) return 0;
  const std::uint8_t options = parts[0][0];
  const std::size_t connectAnswers =
      std::min<std::size_t>(1 + (options >> 3 & 3), parts.size() - 2);
  const auto answers = std::span(parts).subspan(2);

  std::unique_ptr<ScriptedStream> stream;
  std::shared_ptr<ScriptedPeer> peer;
  std::tie(stream, peer) = ScriptedStream::Make();
  peer->Reply(Packet(0, Copy(parts[1])));
  QueueAnswers(*peer, answers.first(connectAnswers), 2, false);

  TMysqlClient client;
  // One connection only: a reconnect finds the server refusing.
  client.SetConnector(
      [&stream]() -> std::unique_ptr<platform::TByteStream> { return std::move(stream); });
  client.SetHost("fuzz");
  client.SetUser("user");
  client.SetPassword((options & kAuthEmptyPassword) ? "" : "secret");
  client.SetCompress((options & kAuthCompress) != 0);
  client.SetAllowPublicKeyRetrieval((options & kAuthKeyRetrieval) != 0);
  client.SetShouldReconnect(false);
  client.SetConnectTimeout(1);

  const bool connected = client.Connect();
  FuzzCheck(connected == client.Connected(), "Connect answers whether the session is open");
  if (!connected || !(options & kAuthChangeUser)) return 0;

  const bool compressed = (client.ClientFlag() & CLIENT_COMPRESS) != 0;
  QueueAnswers(*peer, answers.subspan(connectAnswers), 1, compressed);
  if (!client.ChangeUser("other", "pass", "")) {
    FuzzCheck(client.User() == "user", "a refused ChangeUser keeps the user");
  } else {
    FuzzCheck(client.User() == "other", "an accepted ChangeUser takes the user");
  }
  return 0;
}
