// The packet layer reading what the server sends: plain packets and
// compressed blocks (stored or zlib-deflated, several packets to a block, a
// packet across blocks). The first part of the input holds the options (bit 0
// of its first byte: compression on) and then the steps to take; each later
// part is what one read of the transport returns at most, so the parts
// decide where the stream is split.

#include <array>

#include "mysql/uMysqlNet.h"
#include "support/FuzzInput.h"
#include "support/ScriptedStream.h"

using namespace mysql;

namespace {

constexpr int kDefaultReads = 64;

// A successful read: the payload lies in the buffer, is as long as the read
// said, and has the terminating 0 right after it.
void CheckPacket(const TMysqlNet& net, int length) {
  FuzzCheck(length > 0, "a successful read has a payload");
  const auto payload = net.Payload();
  FuzzCheck(payload.size() == static_cast<std::size_t>(length), "payload as long as the read");
  FuzzCheck(payload.data() + payload.size() < net.ReadPos() + net.Capacity(),
            "payload and terminator inside the buffer");
  FuzzCheck(net.ReadPos()[length] == 0, "payload followed by a 0 byte");
  volatile std::size_t sum = 0;
  for (const std::uint8_t byte : payload) sum = sum + byte;
}

// Reads one packet; false once the connection is gone.
bool ReadStep(TMysqlNet& net, std::uint32_t flags) {
  const int length = net.SafeRead(flags);
  if (length >= 0) {
    CheckPacket(net, length);
    return true;
  }
  FuzzCheck(net.LastErrorNo() != 0 || net.IsOpen(), "a lost connection records its cause");
  return net.IsOpen();
}

// Writing uses the same buffer as reading: a command between reads must not
// disturb packets still held from a compressed block.
bool WriteStep(TMysqlNet& net) {
  static constexpr std::array<std::uint8_t, 3> kArgument{'a', 'b', 'c'};
  net.Clear();
  return net.WriteCommand(3, kArgument) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = SplitParts({data, size});
  if (parts.size() < 2 || parts[0].empty()) return 0;
  const TFuzzBytes control = parts[0];

  auto [stream, peer] = ScriptedStream::Make();
  for (std::size_t i = 1; i < parts.size(); ++i)
    peer->Reply(Bytes(parts[i].begin(), parts[i].end()));
  TMysqlNet net;
  if (net.OpenStream(std::move(stream), VioTcpIp) != 0) return 0;
  net.SetCompress((control[0] & 1) != 0);

  if (control.size() == 1) {
    for (int i = 0; i < kDefaultReads && ReadStep(net, CLIENT_RESERVED); ++i) {
    }
    return 0;
  }
  for (const std::uint8_t step : control.subspan(1)) {
    bool open = true;
    switch (step % 4) {
      case 0:
        open = ReadStep(net, CLIENT_RESERVED);
        break;
      case 1:
        open = ReadStep(net, 0);
        break;
      case 2:
        FuzzCheck(net.ShrinkBuffer(), "giving the buffer back succeeds");
        break;
      default:
        open = WriteStep(net);
        break;
    }
    if (!open) break;
  }
  return 0;
}
