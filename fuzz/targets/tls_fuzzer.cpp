// The SSL request path: a greeting that may offer TLS, the SSL request, and
// whatever the server sends where its side of the TLS handshake belongs
// (records cut short, out of order, a server that breaks off), in Preferred
// and Required mode, plain and compressed.
//
// Input parts: options (first byte: bit 0 Required, bit 1 compression), the
// greeting's payload, then the server's raw bytes, one read per part.
// Checked: the connect always ends and answers truthfully, a failure names
// its cause, and under Required the login never goes out unencrypted.

#include <algorithm>
#include <memory>
#include <tuple>

#include "mysql/uMysqlClient.h"
#include "support/FuzzInput.h"
#include "support/FuzzScripts.h"
#include "support/ScriptedStream.h"
#include "support/Wire.h"

using namespace mysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = SplitParts({data, size});
  if (parts.size() < 2 || parts[0].empty()) return 0;
  const std::uint8_t options = parts[0][0];
  const bool required = (options & kTlsRequired) != 0;

  std::unique_ptr<ScriptedStream> stream;
  std::shared_ptr<ScriptedPeer> peer;
  std::tie(stream, peer) = ScriptedStream::Make();
  peer->Reply(Packet(0, Bytes(parts[1].begin(), parts[1].end())));
  for (std::size_t i = 2; i < parts.size(); ++i)
    peer->Reply(Bytes(parts[i].begin(), parts[i].end()));

  TMysqlClient client;
  // One connection only: Preferred's second attempt finds the server refusing.
  client.SetConnector(
      [&stream]() -> std::unique_ptr<platform::TByteStream> { return std::move(stream); });
  client.SetHost("fuzz");
  client.SetUser("fuzzuser");
  client.SetPassword("secret");
  client.SetCompress((options & kTlsCompress) != 0);
  client.SetShouldReconnect(false);
  client.SetConnectTimeout(1);
  client.SetSslMode(required ? TSslMode::Required : TSslMode::Preferred);

  const bool connected = client.Connect();
  FuzzCheck(connected == client.Connected(), "Connect answers whether the session is open");
  FuzzCheck(connected || client.LastErrorNo() != 0, "a failed connect names its cause");
  if (required) {
    const Bytes& written = peer->Written();
    const std::string_view user = "fuzzuser";
    FuzzCheck(
        std::search(written.begin(), written.end(), user.begin(), user.end()) == written.end(),
        "under Required the login never goes out unencrypted");
    FuzzCheck(!connected || !client.SslCipher().empty(), "Required connects only with TLS");
  }
  return 0;
}
