// The handshake against scripted servers: greetings of every age, both
// authentication layouts, the 4.1.0 two-step scheme, the old-scramble request
// and the database that can only be selected after authentication.

#include <gtest/gtest.h>

#include "FakeReplies.h"
#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNewPassword.h"

using namespace mysql;

namespace {

const Bytes kPing = Packet(0, {COM_PING});

Bytes OldScrambleAnswer(std::string_view password) {
  Bytes answer = Text(ScrambleOld(kSeedPart1, password));
  answer.push_back(0);
  return answer;
}

TEST(HandshakeFake, Protocol9ServerGetsTheOldLayout) {
  FakeServer server;
  ScriptLogin(server, GreetingPayload(9, "3.20.32", 0, GreetingLength::SeedOnly));
  server.Start();
  TMysqlClient client;
  PointAt(client, server);
  ASSERT_TRUE(client.Connect()) << client.LastError();
  EXPECT_EQ(client.ProtocolVersion(), 9);
  EXPECT_EQ(client.ServerCapabilities(), 0u);
  EXPECT_EQ(client.ClientFlag(), 0x2085u);
  client.Close();
  server.Wait();
  EXPECT_TRUE(server.Failures().empty());
  const auto packets = SplitPackets(server.Received());
  ASSERT_EQ(packets.size(), 1u);
  const Bytes expected =
      Concat({{0x85, 0x20, 0, 0, 0}, Text("tester"), {0}, OldScrambleAnswer("pw"), {0}});
  EXPECT_EQ(packets[0], expected);
}

TEST(HandshakeFake, Protocol11IsRefused) {
  FakeServer server;
  server.Send(Packet(0, GreetingPayload(11, "9.9.9", kServer41))).DrainUntilClosed();
  server.Start();
  TMysqlClient client;
  PointAt(client, server);
  EXPECT_FALSE(client.Connect());
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.LastErrorNo(), ErrProtocolMismatch);
  EXPECT_EQ(client.LastError(), "Protocol mismatch. Server Version = 11 Client Version = 10");
  server.Wait();
  EXPECT_TRUE(server.Failures().empty());
}

TEST(HandshakeFake, GreetingErrorPacketIsRecorded) {
  FakeServer server;
  server.Send(Packet(0, ErrorPayload(1130, "", "Host 'x' is not allowed to connect")))
      .DrainUntilClosed();
  server.Start();
  TMysqlClient client;
  PointAt(client, server);
  EXPECT_FALSE(client.Connect());
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.LastErrorNo(), 1130);
  EXPECT_EQ(client.LastError(), "Host 'x' is not allowed to connect");
  server.Wait();
}

TEST(HandshakeFake, TwoStepSchemeOf410Servers) {
  for (const bool oldHashAccount : {true, false}) {
    SCOPED_TRACE(oldHashAccount ? "old-style hash ('*')" : "SHA-1 step");
    Bytes challenge = Concat(
        {{oldHashAccount ? std::uint8_t{'*'} : std::uint8_t{'A'}, 1, 2, 3}, Bytes(20, 0x5A)});
    const std::span<const std::uint8_t, kSecondStepReplySize> step(challenge.data(),
                                                                   kSecondStepReplySize);
    const TSha1Digest answer =
        oldHashAccount ? SecondStepOldHash("pw", step) : SecondStepSha1("pw", step);

    FakeServer server;
    server.Send(Packet(0, GreetingPayload(10, "4.1.0-alpha", kServer41)))
        .ReceivePacket()
        .Send(Packet(2, challenge))
        .Expect(Packet(3, Bytes(answer.begin(), answer.end())))
        .Send(Packet(4, OkPayload()))
        .Expect(kPing)
        .Send(Packet(1, OkPayload()));
    server.Start();
    TMysqlClient client;
    PointAt(client, server);
    client.SetUseNewPassword(false);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_TRUE(client.UseNewPassword());
    EXPECT_TRUE(client.Ping()) << client.LastError();
    client.Close();
    server.Wait();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    const auto auth = SplitPackets(server.Received()).at(0);
    const Bytes passwordPart(auth.begin() + 32 + 7, auth.begin() + 32 + 7 + 9);
    EXPECT_EQ(passwordPart, Text(std::string_view("xxxxxxxx\0", 9)));
  }
}

TEST(HandshakeFake, OtherServersResetUseNewPassword) {
  FakeServer server;
  ScriptLogin(server, GreetingPayload(10, "5.0.96", kServer41));
  server.Start();
  TMysqlClient client;
  PointAt(client, server);
  client.SetUseNewPassword(true);
  ASSERT_TRUE(client.Connect()) << client.LastError();
  EXPECT_FALSE(client.UseNewPassword());
  EXPECT_EQ(client.ScrambleSeed(), "abcdefghijklmnopqrst");
  EXPECT_EQ(client.ThreadId(), 7u);
  EXPECT_EQ(client.ServerLanguage(), 8u);
  client.Close();
  server.Wait();
  const auto auth = SplitPackets(server.Received()).at(0);
  ASSERT_GE(auth.size(), 32u + 7 + 21);
  EXPECT_EQ(auth[32 + 7], 20) << "4.1 scramble follows its length";
  const TSha1Digest scramble = Scramble41(AsBytes("abcdefghijklmnopqrst"), "pw");
  EXPECT_TRUE(std::equal(scramble.begin(), scramble.end(), auth.begin() + 32 + 8));
}

TEST(HandshakeFake, OldScrambleRequest) {
  struct {
    const char* name;
    std::uint16_t caps;
    bool answered;
  } const cases[] = {
      {"server with the 4.1 scramble asks for the old one", kServer41, true},
      {"server without it: the reply is success", kServer41 & ~0x8000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServer server;
    server.Send(Packet(0, GreetingPayload(10, "5.0.96", c.caps)))
        .ReceivePacket()
        .Send(Packet(2, {254}));
    if (c.answered) server.Expect(Packet(3, OldScrambleAnswer("pw"))).Send(Packet(4, OkPayload()));
    server.Expect(kPing).Send(Packet(1, OkPayload()));
    server.Start();
    TMysqlClient client;
    PointAt(client, server);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_TRUE(client.Ping()) << client.LastError();
    client.Close();
    server.Wait();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
  }
}

TEST(HandshakeFake, Pre41ServerUsesOldLayoutAndScramble) {
  FakeServer server;
  ScriptLogin(server, GreetingPayload(10, "4.0.27", kServer40, GreetingLength::NoSecondSeed));
  server.Start();
  TMysqlClient client;
  PointAt(client, server);
  ASSERT_TRUE(client.Connect()) << client.LastError();
  EXPECT_EQ(client.ServerCapabilities() & 0x8000, 0u) << "no second seed: no 4.1 scramble";
  EXPECT_EQ(client.ClientFlag(), 0x2085u);
  client.Close();
  server.Wait();
  const auto auth = SplitPackets(server.Received()).at(0);
  const Bytes expected =
      Concat({{0x85, 0x20, 0, 0, 0}, Text("tester"), {0}, OldScrambleAnswer("pw"), {0}});
  EXPECT_EQ(auth, expected);
}

TEST(HandshakeFake, DatabaseSelectedAfterAuthentication) {
  for (const bool accepted : {true, false}) {
    SCOPED_TRACE(accepted ? "accepted" : "refused");
    FakeServer server;
    ScriptLogin(server, GreetingPayload(10, "5.0.96", kServer41 & ~CLIENT_CONNECT_WITH_DB));
    server.Expect(Packet(0, Concat({{COM_INIT_DB}, Text("shop")})));
    if (accepted)
      server.Send(Packet(1, OkPayload()));
    else
      server.Send(Packet(1, ErrorPayload(1049, "42000", "Unknown database 'shop'")))
          .DrainUntilClosed();
    server.Start();
    TMysqlClient client;
    PointAt(client, server);
    client.SetDb("shop");
    EXPECT_EQ(client.Connect(), accepted);
    EXPECT_EQ(client.Connected(), accepted);
    EXPECT_EQ(client.ClientFlag() & CLIENT_CONNECT_WITH_DB, CLIENT_CONNECT_WITH_DB);
    if (!accepted) {
      EXPECT_EQ(client.LastErrorNo(), 1049);
      EXPECT_EQ(client.LastError(), "Unknown database 'shop'");
    }
    client.Close();
    server.Wait();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    // Header, "tester" and NUL, the 4.1 scramble, the final NUL: no database.
    EXPECT_EQ(SplitPackets(server.Received()).at(0).size(), 32u + 7 + 21 + 1);
  }
}

TEST(HandshakeFake, SessionStateAfterCloseAndTheNoHostRule) {
  TMysqlClient client;
  EXPECT_FALSE(client.Connect()) << "no host at all";
  EXPECT_EQ(client.LastErrorNo(), 0);
  EXPECT_EQ(client.ProtocolVersion(), 0);
  EXPECT_EQ(client.ClientFlag(), 0xE285u);
  EXPECT_EQ(client.ServerStatus(), 2u);

  FakeServer server;
  ScriptLogin(server, GreetingPayload(10, "5.0.96", kServer41));
  server.Expect(Packet(0, {COM_QUIT}));
  server.Start();
  PointAt(client, server);
  ASSERT_TRUE(client.Connect());
  EXPECT_TRUE(client.Connect()) << "already open: true, nothing sent";
  EXPECT_EQ(client.ServerVersion(), "5.0.96");
  client.Close();
  EXPECT_EQ(client.ServerVersion(), "");
  EXPECT_EQ(client.ThreadId(), 0u);
  EXPECT_EQ(client.ScrambleSeed(), "");
  EXPECT_EQ(client.ProtocolVersion(), 10) << "Close keeps the protocol version";
  EXPECT_EQ(client.Host(), "127.0.0.1") << "settings survive Close";
  server.Wait();
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

}  // namespace

namespace {

// A 4.0 server's result set: old field packets (5 columns), 1-byte
// end-of-data packets, a status word in the OK packet.
TEST(HandshakeFake, Pre41ResultSetWithAndWithoutLongFlags) {
  for (const bool longFlags : {true, false}) {
    SCOPED_TRACE(longFlags ? "long flags" : "short flags");
    const std::uint16_t caps = longFlags ? kServer40 : (kServer40 & ~CLIENT_LONG_FLAG);
    const Bytes flagsColumn = longFlags ? Bytes{3, 0x23, 0x00, 0x02} : Bytes{2, 0x23, 0x02};
    const Bytes numberField = Concat({{1, 't', 1, 'n'}, {3, 11, 0, 0}, {1, 3}, flagsColumn});
    const Bytes textField = Concat({{1, 't', 1, 's'}, {3, 8, 0, 0}, {1, 254}, flagsColumn});
    FakeServer server;
    ScriptLogin(server, GreetingPayload(10, "4.0.27", caps, GreetingLength::NoSecondSeed));
    server.Expect(Packet(0, Concat({{COM_QUERY}, Text("SELECT n, s")})))
        .Send(Packet(1, {2}))
        .Send(Packet(2, numberField))
        .Send(Packet(3, textField))
        .Send(Packet(4, {254}))
        .Send(Packet(5, Concat({{2, '4', '2'}, {251}})))
        .Send(Packet(6, {254}));
    server.Expect(Packet(0, Concat({{COM_QUERY}, Text("SET x=1")})))
        .Send(Packet(1, {0, 1, 0, 0x03, 0x00}));
    server.Start();
    TMysqlClient client;
    PointAt(client, server);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    const auto query = client.Query("SELECT n, s", true);
    ASSERT_TRUE(query.Ok) << client.LastError();
    ASSERT_TRUE(query.Result);
    const TMysqlResult& result = *query.Result;
    ASSERT_EQ(result.FieldCount(), 2);
    EXPECT_EQ(result.Field(0)->Flags, 0x23u | NUM_FLAG);
    EXPECT_EQ(result.Field(0)->Decimals, 2u);
    EXPECT_EQ(result.Field(0)->Length, 11u);
    EXPECT_EQ(result.Field(1)->Flags, 0x23u);
    EXPECT_EQ(result.Field(1)->Decimals, 2u);
    EXPECT_EQ(result.Field(1)->Table, "t");
    EXPECT_EQ(result.Value(0), "42");
    EXPECT_EQ(result.Value(1), std::nullopt);
    EXPECT_TRUE(client.Query("SET x=1", true).Ok);
    EXPECT_EQ(client.ServerStatus(), 3u) << "old OK packet with a status word";
    EXPECT_EQ(client.WarningCount(), 0u);
    client.Close();
    server.Wait();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
  }
}

}  // namespace
