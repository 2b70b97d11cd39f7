// Packet layer, receiving side, against the scripted in-memory peer.
#include <gtest/gtest.h>

#include <algorithm>

#include "mysql/uMysqlNet.h"
#include "support/ScriptedStream.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

struct Harness {
  TMysqlNet net;
  std::shared_ptr<ScriptedPeer> peer;
  explicit Harness(bool compress = false) {
    auto [stream, p] = ScriptedStream::Make();
    peer = p;
    EXPECT_EQ(net.OpenStream(std::move(stream), VioTcpIp), 0);
    net.SetCompress(compress);
  }
  Bytes Payload() const { return Bytes(net.Payload().begin(), net.Payload().end()); }
};

void ExpectLost(Harness& h, std::int32_t number, const char* name) {
  EXPECT_EQ(h.net.SafeRead(0), -1) << name;
  EXPECT_FALSE(h.net.IsOpen()) << name;
  EXPECT_EQ(h.net.LastErrorNo(), number) << name;
  EXPECT_EQ(h.net.LastError(), ClientErrorMessage(number)) << name;
}

TEST(NetRead, PacketIsTerminatedAndSequenceAdvances) {
  Harness h;
  h.peer->Reply(Packet(0, Text("hello")));
  ASSERT_EQ(h.net.SafeRead(0), 5);
  EXPECT_EQ(h.Payload(), Text("hello"));
  EXPECT_EQ(h.net.ReadPos()[5], 0);
  EXPECT_EQ(h.net.SequenceNumber(), 1);
}

TEST(NetRead, PacketSplitAcrossReads) {
  const Bytes wire = Packet(0, Text("split me anywhere"));
  for (std::size_t cut = 1; cut < wire.size(); ++cut) {
    Harness h;
    h.peer->Reply(Slice(wire, 0, cut));
    h.peer->Reply(Slice(wire, cut, wire.size()));
    ASSERT_EQ(h.net.SafeRead(0), 17) << cut;
    EXPECT_EQ(h.Payload(), Text("split me anywhere"));
  }
}

TEST(NetRead, TruncatedPacketsLoseTheConnection) {
  const Bytes wire = Packet(0, Text("complete"));
  for (std::size_t length = 0; length < wire.size(); ++length) {
    Harness h;
    h.peer->Reply(Slice(wire, 0, length));
    ExpectLost(h, ErrServerLost, ("prefix of " + std::to_string(length)).c_str());
  }
}

TEST(NetRead, LostConnectionRows) {
  using platform::TIoError;
  struct Case {
    const char* name;
    std::uint8_t expected;
    Bytes wire;
  } cases[] = {
      {"sequence 5 when 4 is expected", 4, Packet(5, Text("x"))},
      {"empty packet", 0, Packet(0, {})},
      {"end of stream", 0, {}},
  };
  for (const auto& c : cases) {
    Harness h;
    h.net.SetSequenceNumber(c.expected);
    if (!c.wire.empty()) h.peer->Reply(c.wire);
    ExpectLost(h, ErrServerLost, c.name);
  }
}

TEST(NetRead, RetryRules) {
  using platform::TIoError;
  struct Case {
    const char* name;
    std::vector<TIoError> failures;
    bool succeeds;
  } cases[] = {
      {"would block twice", {TIoError::WouldBlock, TIoError::WouldBlock}, true},
      {"would block three times",
       {TIoError::WouldBlock, TIoError::WouldBlock, TIoError::WouldBlock},
       false},
      {"interrupted without limit", std::vector<TIoError>(6, TIoError::Interrupted), true},
      {"broken", {TIoError::Other}, false},
  };
  for (const auto& c : cases) {
    Harness h;
    // Two failures before the header, the rest inside the payload: the retry
    // count covers the whole packet.
    const Bytes wire = Packet(0, Text("payload"));
    h.peer->Reply(Slice(wire, 0, 6));
    for (std::size_t i = 0; i < c.failures.size(); ++i) h.peer->FailRead(c.failures[i]);
    h.peer->Reply(Slice(wire, 6, wire.size()));
    if (c.succeeds) {
      EXPECT_EQ(h.net.SafeRead(0), 7) << c.name;
    } else {
      ExpectLost(h, ErrServerLost, c.name);
    }
  }
}

TEST(NetRead, ServerErrorPackets) {
  struct Case {
    const char* name;
    std::uint32_t protocol;
    std::uint32_t flags;
    Bytes payload;
    std::int32_t number;
    std::string message;
  } cases[] = {
      {"4.1 with SQL state", 10, 0x4000, ErrorPayload(1045, "28000", "Access denied"), 1045,
       "Access denied"},
      {"SQL state kept without the flag", 10, 0, ErrorPayload(1045, "28000", "Access denied"), 1045,
       "#28000Access denied"},
      {"no SQL state", 10, 0x4000, ErrorPayload(1064, "", "syntax"), 1064, "syntax"},
      {"three bytes", 10, 0x4000, {0xFF, 0x15, 0x04}, 2000, "Unknown MySQL error"},
      {"one byte", 10, 0, {0xFF}, 2000, "Unknown MySQL error"},
      {"protocol 9 text", 9, 0, Concat({{0xFF}, Text("old server says no")}), 2000,
       "old server says no"},
      {"text cut to 199", 10, 0, ErrorPayload(1105, "", std::string(300, 'e')), 1105,
       std::string(199, 'e')},
      {"text ends at a 0 byte", 10, 0, Concat({ErrorPayload(1105, "", "first"), {0}, Text("x")}),
       1105, "first"},
      {"truncated SQL state", 10, 0x4000, {0xFF, 0x15, 0x04, '#', '2', '8'}, 1045, ""},
      {"number 0", 10, 0, ErrorPayload(0, "", "no number"), 2000, "no number"},
  };
  for (const auto& c : cases) {
    Harness h;
    h.net.SetProtocolVersion(c.protocol);
    h.peer->Reply(Packet(0, c.payload));
    EXPECT_EQ(h.net.SafeRead(c.flags), -1) << c.name;
    EXPECT_EQ(h.net.LastErrorNo(), c.number) << c.name;
    EXPECT_EQ(h.net.LastError(), c.message) << c.name;
    EXPECT_TRUE(h.net.IsOpen()) << c.name << ": an error packet keeps the connection";
  }
}

TEST(NetRead, BufferGrowsInPagesAndShrinksOnlyAfterCompressedResults) {
  for (const bool compress : {false, true}) {
    Harness h(compress);
    const Bytes payload(20000, 'p');
    h.peer->Reply(compress ? CompressedBlock(0, Packet(0, payload), true) : Packet(0, payload));
    ASSERT_EQ(h.net.SafeRead(0), 20000) << compress;
    EXPECT_EQ(h.Payload(), payload);
    EXPECT_EQ(h.net.Capacity(), 20480u);
    ASSERT_TRUE(h.net.ShrinkBuffer());
    EXPECT_EQ(h.net.Capacity(), compress ? 8192u : 20480u);
  }
}

TEST(NetRead, LargestSinglePacketFillsExactlySixteenMebibytes) {
  Harness h;
  const Bytes largest(0xFFFFFE, 'L');
  h.peer->Reply(Packet(0, largest));
  ASSERT_EQ(h.net.SafeRead(0), 0xFFFFFE);
  EXPECT_EQ(h.net.Capacity(), 0x1000000u);
  EXPECT_EQ(h.net.Payload().back(), 'L');
}

// A payload of 0xFFFFFF bytes or more comes as pieces of 0xFFFFFF bytes, a
// shorter piece (empty, when nothing is left) ending it; the reader joins
// them into one payload, in both framings.
TEST(NetRead, PiecesOfLargePayloadsAreJoined) {
  for (const bool compress : {false, true}) {
    for (const std::size_t length :
         {std::size_t{0xFFFFFF}, std::size_t{0xFFFFFF} + 5, std::size_t{2} * 0xFFFFFF + 1}) {
      SCOPED_TRACE(std::to_string(length) + (compress ? " compressed" : " plain"));
      Bytes payload(length);
      for (std::size_t i = 0; i < length; ++i) payload[i] = static_cast<std::uint8_t>('a' + i % 26);
      Bytes stream;
      std::uint8_t sequence = 0;
      for (std::size_t at = 0;; at += 0xFFFFFF) {
        const std::size_t piece = std::min<std::size_t>(0xFFFFFF, length - at);
        stream = Concat({stream, Packet(sequence++, Slice(payload, at, at + piece))});
        if (piece < 0xFFFFFF) break;
      }
      stream = Concat({stream, Packet(sequence, Text("next"))});
      Harness h(compress);
      if (compress) {
        std::uint8_t block = 0;
        for (std::size_t at = 0; at < stream.size(); at += 0xFFFFFF) {
          const std::size_t end = std::min(stream.size(), at + 0xFFFFFF);
          h.peer->Reply(CompressedBlock(block++, Slice(stream, at, end), true));
        }
      } else {
        h.peer->Reply(stream);
      }
      stream.clear();
      ASSERT_EQ(h.net.SafeRead(0), static_cast<int>(length)) << h.net.LastError();
      EXPECT_TRUE(std::equal(payload.begin(), payload.end(), h.net.Payload().begin()));
      EXPECT_EQ(h.net.ReadPos()[length], 0);
      ASSERT_EQ(h.net.SafeRead(0), 4) << "the packet after it";
      EXPECT_EQ(h.Payload(), Text("next"));
    }
  }
}

TEST(NetRead, PayloadBeyondTheLimitIsTooLarge) {
  {
    TMysqlNet net(1000);
    auto [stream, peer] = ScriptedStream::Make();
    ASSERT_EQ(net.OpenStream(std::move(stream), VioTcpIp), 0);
    peer->Reply(Packet(0, Bytes(1001, 'x')));
    EXPECT_EQ(net.SafeRead(0), -1);
    EXPECT_EQ(net.LastErrorNo(), ErrPacketTooLarge);
    EXPECT_EQ(net.LastError(), "Got packet bigger than 'max_allowed_packet'");
    EXPECT_FALSE(net.IsOpen());
  }
  {
    // Pieces add up past the limit: refused at the header that passes it,
    // before its bytes are waited for.
    TMysqlNet net(0xFFFFFF + 10);
    auto [stream, peer] = ScriptedStream::Make();
    ASSERT_EQ(net.OpenStream(std::move(stream), VioTcpIp), 0);
    peer->Reply(Concat({Packet(0, Bytes(0xFFFFFF, 'x')), {20, 0, 0, 1}}));
    EXPECT_EQ(net.SafeRead(0), -1);
    EXPECT_EQ(net.LastErrorNo(), ErrPacketTooLarge);
  }
}

// A stream that keeps a packet growing (in compressed blocks that inflate to
// far more than they take) is refused before the buffer grows past the
// limit and one block.
TEST(NetRead, TheBufferNeverGrowsPastTheLimitAndOneBlock) {
  constexpr std::size_t kLimit = 2 * 0xFFFFFF + 1000;
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    TMysqlNet net(kLimit);
    auto [stream, peer] = ScriptedStream::Make();
    ASSERT_EQ(net.OpenStream(std::move(stream), VioTcpIp), 0);
    net.SetCompress(compress);
    Bytes endless;
    for (std::uint8_t sequence = 0; sequence < 4; ++sequence)
      endless = Concat({endless, Packet(sequence, Bytes(0xFFFFFF, 0))});
    if (compress) {
      std::uint8_t block = 0;
      for (std::size_t at = 0; at < endless.size(); at += 0xFFFFFF)
        peer->Reply(CompressedBlock(
            block++, Slice(endless, at, std::min(endless.size(), at + 0xFFFFFF)), true));
    } else {
      peer->Reply(endless);
    }
    endless.clear();
    EXPECT_EQ(net.SafeRead(0), -1);
    EXPECT_EQ(net.LastErrorNo(), ErrPacketTooLarge);
    EXPECT_LE(net.Capacity(), kLimit + 4 + 0xFFFFFF + 1);
  }
}

// Servers cut the packet stream into blocks of at most 0xFFFFFF bytes, so a
// large packet arrives in pieces; only the packet's own length counts
// against the limit, not what is buffered beside it.
TEST(NetRead, CompressedLargestPacketsReadBack) {
  for (const std::size_t length : {std::size_t{0xFFFFE0}, std::size_t{0xFFFFFE}}) {
    SCOPED_TRACE(length);
    Bytes stream =
        Concat({Packet(0, Text("lead")), Packet(0, Bytes(length, 'v')), Packet(0, Text("after"))});
    Harness h(true);
    std::uint8_t sequence = 0;
    for (std::size_t start = 0; start < stream.size(); start += 0xFFFFFF) {
      const std::size_t end = std::min(stream.size(), start + 0xFFFFFF);
      h.peer->Reply(CompressedBlock(sequence++, Slice(stream, start, end), true));
    }
    stream.clear();
    ASSERT_EQ(h.net.SafeRead(0), 4);
    ASSERT_EQ(h.net.SafeRead(0), static_cast<int>(length)) << h.net.LastError();
    EXPECT_EQ(h.net.Payload().front(), 'v');
    EXPECT_EQ(h.net.Payload().back(), 'v');
    ASSERT_EQ(h.net.SafeRead(0), 5);
    EXPECT_EQ(h.Payload(), Text("after"));
    EXPECT_TRUE(h.net.ShrinkBuffer());
    EXPECT_EQ(h.net.Capacity(), 8192u) << "the large buffer is given back";
  }
}

TEST(NetRead, CompressedPacketsShareBlocks) {
  Harness h(true);
  // The second packet starts right where the first one's terminating 0 goes.
  h.peer->Reply(
      CompressedBlock(0, Concat({Packet(0, Text("one")), Packet(0, Text("two"))}), false));
  ASSERT_EQ(h.net.SafeRead(0), 3);
  EXPECT_EQ(h.Payload(), Text("one"));
  EXPECT_EQ(h.net.ReadPos()[3], 0);
  ASSERT_EQ(h.net.SafeRead(0), 3);
  EXPECT_EQ(h.Payload(), Text("two"));
  EXPECT_EQ(h.net.SequenceNumber(), 1) << "one block read";
}

TEST(NetRead, CompressedPacketSpanningBlocksAtEveryCut) {
  const Bytes first = Packet(0, Bytes(120, 'a'));
  const Bytes second = Packet(0, Text("tail packet"));
  const Bytes data = Concat({first, second});
  // Cuts inside the first header, inside its payload, right after it, and
  // inside the second header.
  for (const std::size_t cut : {1u, 3u, 4u, 60u, 123u, 124u, 126u, 127u}) {
    for (const bool deflate : {false, true}) {
      Harness h(true);
      h.peer->Reply(CompressedBlock(0, Slice(data, 0, cut), deflate));
      const Bytes rest = CompressedBlock(1, Slice(data, cut, data.size()), deflate);
      // The second block also arrives in awkward pieces.
      h.peer->Reply(Slice(rest, 0, 2));
      h.peer->Reply(Slice(rest, 2, rest.size()));
      ASSERT_EQ(h.net.SafeRead(0), 120) << cut << deflate;
      EXPECT_EQ(h.Payload(), Bytes(120, 'a'));
      ASSERT_EQ(h.net.SafeRead(0), 11) << cut << deflate;
      EXPECT_EQ(h.Payload(), Text("tail packet"));
    }
  }
}

TEST(NetRead, CompressedPacketAlmostFillingTheBuffer) {
  // The first block leaves an incomplete packet of 8191 bytes, one short of
  // the buffer: the next block header must not be written past the end.
  const Bytes payload(9000, 'q');
  const Bytes data = Packet(0, payload);
  Harness h(true);
  h.peer->Reply(CompressedBlock(0, Slice(data, 0, 8191), false));
  h.peer->Reply(CompressedBlock(1, Slice(data, 8191, data.size()), false));
  ASSERT_EQ(h.net.SafeRead(0), 9000);
  EXPECT_EQ(h.Payload(), payload);
}

TEST(NetRead, ShrinkKeepsPendingDecompressedPackets) {
  Harness h(true);
  const Bytes big(10000, 'b');
  h.peer->Reply(CompressedBlock(0, Concat({Packet(0, big), Packet(0, Text("next"))}), true));
  ASSERT_EQ(h.net.SafeRead(0), 10000);
  ASSERT_TRUE(h.net.ShrinkBuffer());
  EXPECT_GT(h.net.Capacity(), 8192u);
  ASSERT_EQ(h.net.SafeRead(0), 4);
  EXPECT_EQ(h.Payload(), Text("next"));
  ASSERT_TRUE(h.net.ShrinkBuffer());
  EXPECT_EQ(h.net.Capacity(), 8192u);
}

TEST(NetRead, BrokenCompressedBlocks) {
  struct Case {
    const char* name;
    Bytes wire;
  } cases[] = {
      {"zlib data corrupt", Concat({{5, 0, 0, 0, 20, 0, 0}, Text("junk!")})},
      {"block sequence wrong", CompressedBlock(3, Packet(0, Text("x")), false)},
      {"block ends early", Bytes{9, 0, 0, 0, 0, 0, 0, 1, 0}},
      {"incomplete packet then end", CompressedBlock(0, {5, 0, 0, 0, 'a'}, false)},
  };
  for (const auto& c : cases) {
    Harness h(true);
    h.peer->Reply(c.wire);
    ExpectLost(h, ErrServerLost, c.name);
  }
}

TEST(NetRead, ErrorPacketInsideCompressedBlock) {
  Harness h(true);
  h.peer->Reply(CompressedBlock(0, Packet(0, ErrorPayload(1146, "42S02", "no table")), false));
  EXPECT_EQ(h.net.SafeRead(0x4000), -1);
  EXPECT_EQ(h.net.LastErrorNo(), 1146);
  EXPECT_EQ(h.net.LastError(), "no table");
  EXPECT_TRUE(h.net.IsOpen());
}

TEST(NetRead, ReadAfterCloseWithPacketsStillPendingFailsCleanly) {
  // A session closes its transport (a setting changed) while a row-by-row
  // result still has decompressed rows pending; the result's next read must
  // fail as a lost connection, not touch the freed buffer.
  Harness h(true);
  h.peer->Reply(
      CompressedBlock(0, Concat({Packet(0, Text("one")), Packet(0, Text("two"))}), false));
  ASSERT_EQ(h.net.SafeRead(0), 3);
  h.net.Close();
  EXPECT_EQ(h.net.SafeRead(0), -1);
  EXPECT_EQ(h.net.LastErrorNo(), ErrServerLost);
}

TEST(NetRead, ClearResetsSequenceButKeepsInput) {
  Harness h;
  h.peer->Reply(Concat({Packet(0, Text("a")), Packet(0, Text("b"))}));
  ASSERT_EQ(h.net.SafeRead(0), 1);
  h.net.Clear();
  ASSERT_EQ(h.net.SafeRead(0), 1) << "the second packet is still there, sequence 0 again";
  EXPECT_EQ(h.Payload(), Text("b"));
}

TEST(NetRead, RandomStreamsNeverReadOutsideTheBuffer) {
  // Whatever a peer sends, reads end in a packet or a recorded failure; the
  // sanitizer build checks every access on the way.
  std::uint32_t state = 2463534242u;
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (int round = 0; round < 400; ++round) {
    const bool compress = round % 2 == 1;
    Harness h(compress);
    for (int piece = 0; piece < 6; ++piece) {
      Bytes chunk(next() % 40);
      for (auto& b : chunk) b = static_cast<std::uint8_t>(next());
      // Small, plausible headers make the layer go deeper than pure noise.
      // Keep most length fields below 128 KiB so rounds stay quick.
      if (chunk.size() > 6 && next() % 8 != 0)
        chunk[2] = chunk[6] = static_cast<std::uint8_t>(next() % 2);
      if (!chunk.empty() && next() % 2 == 0) {
        chunk[0] = static_cast<std::uint8_t>(next() % 24);
        if (chunk.size() > 3) chunk[1] = chunk[2] = 0;
        if (chunk.size() > 3) chunk[3] = static_cast<std::uint8_t>(piece);
      }
      h.peer->Reply(chunk);
    }
    for (int read = 0; read < 8 && h.net.IsOpen(); ++read) {
      const int length = h.net.SafeRead(round % 4 < 2 ? 0x4000 : 0);
      if (length > 0) {
        ASSERT_EQ(h.net.Payload().size(), static_cast<std::size_t>(length));
        ASSERT_EQ(h.net.ReadPos()[length], 0);
      }
    }
  }
}

}  // namespace

namespace {

// The stream is read in pieces as large as the buffer takes, not a packet (or
// a header) at a time: a hundred small packets that arrive together cost one
// read of the transport.
TEST(NetRead, PacketsThatArriveTogetherCostOneRead) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    Harness h(compress);
    Bytes packets;
    for (std::uint8_t i = 0; i < 100; ++i) packets = Concat({packets, Packet(i, Text("row"))});
    h.peer->Reply(compress ? CompressedBlock(0, packets, true) : packets);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(h.net.SafeRead(0), 3) << i;
    EXPECT_EQ(h.peer->Reads(), 1);
  }
}

// The login's answer and the first compressed block may arrive in one piece;
// what was read ahead in plain framing is the start of that block.
TEST(NetRead, BytesReadAheadBeforeCompressionAreTheFirstBlock) {
  Harness h;
  h.peer->Reply(
      Concat({Packet(2, Text("ok")), CompressedBlock(0, Packet(0, Text("first")), false)}));
  h.net.SetSequenceNumber(2);
  ASSERT_EQ(h.net.SafeRead(0), 2);
  h.net.SetCompress(true);
  h.net.SetSequenceNumber(0);
  ASSERT_EQ(h.net.SafeRead(0), 5);
  EXPECT_EQ(h.Payload(), Text("first"));
}

}  // namespace

namespace {

// A stream that keeps the buffer full (the rows of a large result) is read
// in larger pieces once that shows; one large packet alone does not do it.
TEST(NetRead, StreamsAreReadInLargerPieces) {
  Harness h;
  Bytes stream;
  for (int i = 0; i < 2000; ++i)
    stream = Concat({stream, Packet(static_cast<std::uint8_t>(i), Bytes(100, 'r'))});
  h.peer->Reply(stream);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(h.net.SafeRead(0), 100) << i;
  EXPECT_EQ(h.net.Capacity(), 65536u);
  EXPECT_LT(h.peer->Reads(), 10) << "208,000 bytes in pieces of 8 KiB would take 26 reads";
}

}  // namespace
