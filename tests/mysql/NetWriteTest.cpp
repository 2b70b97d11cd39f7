// Packet layer, sending side, against the scripted in-memory peer.
#include <gtest/gtest.h>
#include <zlib.h>

#include "mysql/uMysqlNet.h"
#include "support/ScriptedStream.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

struct Harness {
  TMysqlNet net;
  std::shared_ptr<ScriptedPeer> peer;
  Harness() {
    auto [stream, p] = ScriptedStream::Make();
    peer = p;
    EXPECT_EQ(net.OpenStream(std::move(stream), VioTcpIp), 0);
  }
};

Bytes Inflate(const Bytes& data, std::size_t length) {
  Bytes out(length);
  uLongf outLength = static_cast<uLongf>(length);
  EXPECT_EQ(uncompress(out.data(), &outLength, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(outLength);
  return out;
}

const Bytes Query10 = Text("SELECT 1+1");

TEST(NetWrite, CommandPacketBytes) {
  Harness h;
  h.net.Clear();
  ASSERT_EQ(h.net.WriteCommand(3, Query10), 0);
  EXPECT_EQ(h.peer->Written(), Concat({{0x0B, 0x00, 0x00, 0x00, 0x03}, Query10}));
  EXPECT_EQ(h.net.SequenceNumber(), 1);
}

TEST(NetWrite, CompressedCommandIsOneStoredBlock) {
  Harness h;
  h.net.SetCompress(true);
  h.net.Clear();
  ASSERT_EQ(h.net.WriteCommand(3, Query10), 0);
  EXPECT_EQ(h.peer->Written(),
            Concat({{0x0F, 0, 0, 0x00, 0, 0, 0}, {0x0B, 0, 0, 0, 0x03}, Query10}));
  EXPECT_EQ(h.net.SequenceNumber(), 1) << "blocks carry the sequence number";
}

TEST(NetWrite, CompressedLargePayloadIsDeflated) {
  Harness h;
  h.net.SetCompress(true);
  const Bytes payload(5000, 'z');
  ASSERT_EQ(h.net.WritePacket(payload), 0);
  ASSERT_EQ(h.net.Flush(), 0);
  const Bytes& out = h.peer->Written();
  ASSERT_GE(out.size(), 7u);
  const std::size_t length = Length3(out.data());
  const std::size_t uncompressedLength = Length3(out.data() + 4);
  EXPECT_EQ(uncompressedLength, 5004u);
  EXPECT_EQ(length, out.size() - 7) << "one block holding the whole zlib stream";
  EXPECT_LT(length, 200u);
  EXPECT_EQ(Inflate(Bytes(out.begin() + 7, out.end()), 5004), Packet(0, payload));
}

TEST(NetWrite, CompressionOnlyWhenItPays) {
  struct Case {
    const char* name;
    Bytes payload;
  } cases[] = {
      {"under 50 bytes", Bytes(45, 'a')},  // 49 with the inner header
      {"incompressible",
       [] {
         Bytes b(300);
         std::uint32_t x = 12345;
         for (auto& v : b) v = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
         return b;
       }()},
  };
  for (const auto& c : cases) {
    Harness h;
    h.net.SetCompress(true);
    ASSERT_EQ(h.net.WritePacket(c.payload), 0);
    ASSERT_EQ(h.net.Flush(), 0);
    EXPECT_EQ(h.peer->Written(), CompressedBlock(0, Packet(0, c.payload), false)) << c.name;
  }
}

TEST(NetWrite, SequenceNumbersCountAndWrap) {
  Harness h;
  h.net.SetSequenceNumber(254);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(h.net.WritePacket(Text("x")), 0);
  ASSERT_EQ(h.net.Flush(), 0);
  EXPECT_EQ(h.peer->Written(),
            Concat({Packet(254, Text("x")), Packet(255, Text("x")), Packet(0, Text("x"))}));
}

// A payload of 0xFFFFFF bytes or more goes out as pieces of 0xFFFFFF bytes
// with consecutive numbers, a shorter piece (empty when nothing is left)
// ending it; the command byte counts as the payload's first byte.
TEST(NetWrite, LargePayloadsGoOutInPieces) {
  const auto header = [](std::size_t length, std::uint8_t sequence) {
    return Bytes{static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length >> 16), sequence};
  };
  const auto headerAt = [](const Bytes& written, std::size_t at) {
    return Bytes(written.begin() + static_cast<std::ptrdiff_t>(at),
                 written.begin() + static_cast<std::ptrdiff_t>(at + 4));
  };
  {
    Harness h;
    ASSERT_EQ(h.net.WritePacket(Bytes(kMaxPacketLength, 'x')), 0);
    ASSERT_EQ(h.net.Flush(), 0);
    const Bytes& written = h.peer->Written();
    ASSERT_EQ(written.size(), 4 + kMaxPacketLength + 4);
    EXPECT_EQ(headerAt(written, 0), header(kMaxPacketLength, 0));
    EXPECT_EQ(headerAt(written, 4 + kMaxPacketLength), header(0, 1)) << "an empty piece ends it";
  }
  {
    Harness h;
    ASSERT_EQ(h.net.WriteCommand(3, Bytes(kMaxPacketLength + 4, 'y')), 0);
    const Bytes& written = h.peer->Written();
    ASSERT_EQ(written.size(), 4 + kMaxPacketLength + 4 + 5);
    EXPECT_EQ(headerAt(written, 0), header(kMaxPacketLength, 0));
    EXPECT_EQ(written[4], 3) << "the command byte comes first";
    EXPECT_EQ(headerAt(written, 4 + kMaxPacketLength), header(5, 1));
    EXPECT_GT(h.peer->Writes(), 1) << "sent in buffer-sized pieces";
  }
}

TEST(NetWrite, PayloadBeyondTheLimitIsRefused) {
  TMysqlNet net(1000);
  auto [stream, peer] = ScriptedStream::Make();
  ASSERT_EQ(net.OpenStream(std::move(stream), VioTcpIp), 0);
  net.SetError(2013, "earlier");
  EXPECT_EQ(net.WritePacket(Bytes(1001, 'x')), 1);
  EXPECT_EQ(net.LastErrorNo(), kErrNetPacketTooLarge);
  EXPECT_EQ(net.LastError(), "");
  EXPECT_EQ(net.WriteCommand(3, Bytes(1000, 'x')), 1) << "the command byte counts";
  EXPECT_EQ(peer->Writes(), 0) << "nothing is sent";
  ASSERT_EQ(net.WriteCommand(3, Bytes(999, 'x')), 0);
  EXPECT_EQ(peer->Written().size(), 4u + 1000u);
}

TEST(NetWrite, RetryRules) {
  using platform::TIoError;
  struct Case {
    const char* name;
    int failures;
    TIoError error;
    bool succeeds;
    int writes;
  } cases[] = {
      {"would block twice", 2, TIoError::WouldBlock, true, 3},
      {"would block three times", 3, TIoError::WouldBlock, false, 3},
      {"in progress twice", 2, TIoError::InProgress, true, 3},
      {"interrupted without limit", 6, TIoError::Interrupted, true, 7},
      {"broken", 1, TIoError::Other, false, 1},
  };
  for (const auto& c : cases) {
    Harness h;
    h.peer->FailWrites(c.failures, c.error);
    EXPECT_EQ(h.net.WriteCommand(1, {}) == 0, c.succeeds) << c.name;
    EXPECT_EQ(h.peer->Writes(), c.writes) << c.name;
  }
}

TEST(NetWrite, NonBlockingSocketIsSwitchedToBlockingAndBack) {
  Harness h;
  ASSERT_EQ(h.net.Vio().SetBlocking(false), 0);
  h.peer->FailWrites(1, platform::TIoError::WouldBlock);
  ASSERT_EQ(h.net.WriteCommand(1, {}), 0);
  EXPECT_EQ(h.peer->ModeChanges(), (std::vector<bool>{true, false, true}));
  EXPECT_FALSE(h.net.Vio().IsBlocking()) << "the caller's mode is restored";
}

TEST(NetWrite, ShortWritesContinueWhereTheyStopped) {
  Harness h;
  h.peer->LimitWrites(3);
  ASSERT_EQ(h.net.WriteCommand(3, Query10), 0);
  EXPECT_EQ(h.peer->Written(), Concat({{0x0B, 0, 0, 0, 0x03}, Query10}));
}

TEST(NetWrite, FailedFlushEmptiesTheBuffer) {
  Harness h;
  ASSERT_EQ(h.net.WritePacket(Text("lost")), 0);
  h.peer->FailWrites(1, platform::TIoError::Other);
  EXPECT_NE(h.net.Flush(), 0);
  ASSERT_EQ(h.net.Flush(), 0);
  EXPECT_TRUE(h.peer->Written().empty());
  EXPECT_TRUE(h.net.IsOpen()) << "a send failure records nothing and closes nothing";
  EXPECT_EQ(h.net.LastErrorNo(), 0);
}

TEST(NetWrite, ClosedTransportFails) {
  TMysqlNet net;
  EXPECT_EQ(net.WritePacket(Text("x")), 1);
  EXPECT_EQ(net.WriteCommand(1, {}), 1);
  EXPECT_EQ(net.ReadPacket(), -1);
  EXPECT_EQ(net.Close(), 0);
  EXPECT_FALSE(net.IsOpen());
}

}  // namespace
