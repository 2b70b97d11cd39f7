// The replies every command shares: OK packets in both layouts (and with
// the session changes a server reports when asked), end-of-data packets, and
// server error packets as TMysqlNet::SafeRead decodes them. The input is one
// payload.

#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNet.h"
#include "mysql/uMysqlReplies.h"
#include "support/FuzzInput.h"
#include "support/ScriptedStream.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

void DecodeOk(TBytes payload) {
  for (const bool layout41 : {false, true}) {
    for (const bool serverTransactions : {false, true}) {
      const auto ok = ParseOkPacket(payload, layout41, serverTransactions);
      if (!ok) continue;
      FuzzCheck(ok->Info.size() < payload.size(), "the message comes from the packet");
      FuzzCheck(ok->ServerStatus.has_value() == (layout41 || serverTransactions),
                "status word exactly where the layout has one");
    }
  }
  const auto tracked = ParseOkPacket(payload, true, true, true);
  if (!tracked) return;
  std::size_t reported = tracked->Info.size();
  if (tracked->Changes.Database) reported += tracked->Changes.Database->size();
  for (const auto& [name, value] : tracked->Changes.Variables)
    reported += name.size() + value.size();
  FuzzCheck(reported < payload.size(), "what is reported comes from the packet");
  FuzzCheck(
      tracked->Changes.Empty() || (*tracked->ServerStatus & SERVER_SESSION_STATE_CHANGED) != 0,
      "changes only where the status says there are some");
}

void DecodeEndOfData(TBytes payload) {
  const auto end = ParseEndOfData(payload);
  FuzzCheck(!end || IsEndOfData(payload), "only end-of-data packets decode as such");
}

void DecodeError(TBytes payload) {
  for (const std::uint32_t protocol : {9u, 10u}) {
    for (const std::uint32_t flags : {0u, std::uint32_t{CLIENT_RESERVED}}) {
      auto [stream, peer] = ScriptedStream::Make();
      TMysqlNet net;
      if (net.OpenStream(std::move(stream), VioTcpIp) != 0) return;
      net.SetProtocolVersion(protocol);
      peer->Reply(Packet(0, Bytes(payload.begin(), payload.end())));
      const int length = net.SafeRead(flags);
      if (payload.empty()) {
        FuzzCheck(length == -1 && !net.IsOpen(), "an empty packet loses the connection");
        continue;
      }
      const bool isError = payload[0] == 0xFF;
      FuzzCheck(isError == (length == -1), "error packets, and only they, fail the read");
      FuzzCheck(net.IsOpen(), "a whole packet keeps the connection");
      if (!isError) continue;
      FuzzCheck(net.LastError().size() <= 199, "server messages are cut to 199 characters");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TBytes payload(data, size);
  DecodeOk(payload);
  DecodeEndOfData(payload);
  DecodeError(payload);
  return 0;
}
