// The packet layer over a real loopback socket: the failure rows a server can
// provoke, played by the scripted fake server.
#include <gtest/gtest.h>

#include "mysql/uMysqlNet.h"
#include "support/FakeServer.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

TEST(NetOverTcp, FailureRowsAServerCanProvoke) {
  // The largest payload the client takes, small so a test can exceed it.
  constexpr std::size_t kLimit = 1000;
  const Bytes hello = Packet(0, Text("greeting"));
  struct Case {
    const char* name;
    Bytes reply;
    bool closeAfterwards;
    std::int32_t number;
    std::string message;
    bool staysOpen;
  } cases[] = {
      {"closes in the header", Bytes(hello.begin(), hello.begin() + 2), true, 2013,
       "Lost connection to MySQL server during query", false},
      {"closes in the payload", Bytes(hello.begin(), hello.end() - 1), true, 2013,
       "Lost connection to MySQL server during query", false},
      {"wrong sequence number", Packet(1, Text("greeting")), false, 2013,
       "Lost connection to MySQL server during query", false},
      {"empty packet", Packet(0, {}), false, 2013, "Lost connection to MySQL server during query",
       false},
      {"packet beyond the client's limit", Packet(0, Bytes(kLimit + 1, 'x')), false, 2020,
       "Got packet bigger than 'max_allowed_packet'", false},
      {"error packet instead of a greeting", Packet(0, ErrorPayload(1130, "", "Host not allowed")),
       false, 1130, "Host not allowed", true},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.Send(c.reply);
    if (c.closeAfterwards) {
      server.CloseConnection();
    } else {
      server.DrainUntilClosed();
    }
    server.Start();
    TMysqlNet net(kLimit);
    ASSERT_EQ(net.Open(VioTcpIp, "127.0.0.1", "", server.Port(), 5, true), 0) << c.name;
    EXPECT_EQ(net.SafeRead(0x4000), -1) << c.name;
    EXPECT_EQ(net.LastErrorNo(), c.number) << c.name;
    EXPECT_EQ(net.LastError(), c.message) << c.name;
    EXPECT_EQ(net.IsOpen(), c.staysOpen) << c.name;
    net.Close();
    server.Wait();
    EXPECT_TRUE(server.Failures().empty()) << c.name;
  }
}

TEST(NetOverTcp, CompressedConversation) {
  const Bytes query = Text("SELECT '" + std::string(200, 'a') + "'");
  const Bytes twoPackets = Concat({Packet(0, Text("one")), Packet(0, Text("two"))});
  FakeServer server;
  server
      .Send(Packet(0, Text("hello")))
      // The command as one deflated block (same zlib, same level).
      .Expect(CompressedBlock(0, Packet(0, Concat({{0x03}, query})), true))
      // Two packets, the second split across two blocks that arrive apart.
      .Send(CompressedBlock(1, Bytes(twoPackets.begin(), twoPackets.end() - 1), true))
      .Pause(std::chrono::milliseconds(20))
      .Send(CompressedBlock(2, Bytes{twoPackets.back()}, false))
      .DrainUntilClosed();
  server.Start();
  TMysqlNet net;
  ASSERT_EQ(net.Open(VioTcpIp, "127.0.0.1", "", server.Port(), 5, true), 0);
  ASSERT_EQ(net.SafeRead(0), 5);
  net.SetCompress(true);
  net.Clear();
  ASSERT_EQ(net.WriteCommand(3, query), 0);
  ASSERT_EQ(net.SafeRead(0), 3);
  EXPECT_EQ(Bytes(net.Payload().begin(), net.Payload().end()), Text("one"));
  ASSERT_EQ(net.SafeRead(0), 3) << net.LastError();
  EXPECT_EQ(Bytes(net.Payload().begin(), net.Payload().end()), Text("two"));
  net.Close();
  server.Wait();
  EXPECT_TRUE(server.Failures().empty());
}

}  // namespace
