// The session's TLS against an in-memory TLS server (TlsPeer) and scripted
// plain peers: the SSL request and the login over TLS byte for byte, what
// each mode does with a server that offers TLS or not, the second attempt of
// Preferred, the local pipe, compression and full authentication over TLS,
// and a handshake stalled on a real socket ending at ConnectTimeout.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"
#include "support/TestCertificates.h"
#include "support/TlsPeer.h"

using namespace mysql;

namespace {

constexpr std::uint16_t kServerWithTls = kServer41 | CLIENT_SSL;
// The SSL request packet: header and 32 bytes.
constexpr std::size_t kSslRequestPacket = 4 + 32;

std::shared_ptr<TlsPeer> TlsServer(const Bytes& greeting = GreetingPayload(10, "8.0.40",
                                                                           kServerWithTls)) {
  auto peer = std::make_shared<TlsPeer>(Certificates().Server, Certificates().ServerKey);
  peer->PlainReply(Packet(0, greeting));
  peer->StartTlsAfter(kSslRequestPacket);
  return peer;
}

std::uint32_t FlagOf(const Bytes& payload) {
  std::uint32_t flag = 0;
  for (int i = 3; i >= 0; --i) flag = flag << 8 | payload[static_cast<std::size_t>(i)];
  return flag;
}

// A session whose connects take the given streams in turn.
struct Session {
  explicit Session(TSslMode mode, TVioKind kind = VioTcpIp) {
    client.SetHost("localhost");
    client.SetUser("tester");
    client.SetPassword("pw");
    client.SetCompress(false);
    client.SetConnectTimeout(5);
    client.SetSslMode(mode);
    client.SetConnector(
        [this]() -> std::unique_ptr<platform::TByteStream> {
          if (streams.empty()) return nullptr;
          ++opened;
          auto stream = std::move(streams.front());
          streams.pop_front();
          return stream;
        },
        kind);
  }
  void Add(std::unique_ptr<platform::TByteStream> stream) { streams.push_back(std::move(stream)); }
  std::shared_ptr<ScriptedPeer> AddPlain(const Bytes& replies) {
    auto [stream, peer] = ScriptedStream::Make();
    peer->Reply(replies);
    streams.push_back(std::move(stream));
    return peer;
  }

  std::deque<std::unique_ptr<platform::TByteStream>> streams;
  int opened = 0;
  TMysqlClient client;
};

TEST(TlsFake, TheSslRequestThenTheLoginOverTls) {
  Session s(TSslMode::Required);
  s.client.SetClientFlag(0xE285 | CLIENT_SSL);  // the script's bit asks for nothing
  auto server = TlsServer();
  server->Reply(Packet(3, OkPayload()));
  server->Reply(Packet(1, OkPayload()));
  s.Add(server->Stream());
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  ASSERT_TRUE(s.client.Ping()) << s.client.LastError();

  const auto plain = SplitPackets(server->PlainReceived());
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(server->PlainReceived()[3], 1) << "the SSL request is packet 1";
  // Flags: the script's, CLIENT_SSL, and CLIENT_MULTI_RESULTS (0x20000).
  const Bytes header = Concat({{0x85, 0xEA, 2, 0, 0, 0, 0, 1, 8}, Bytes(23, 0)});
  EXPECT_EQ(plain[0], header) << "the 4.1 header alone, with CLIENT_SSL";
  ASSERT_GE(server->Received().size(), 4u);
  EXPECT_EQ(server->Received()[3], 2) << "the login is packet 2, over TLS";
  const auto overTls = SplitPackets(server->Received());
  ASSERT_EQ(overTls.size(), 2u);
  EXPECT_EQ(Slice(overTls[0], 0, 32), header) << "the same header starts the login";
  EXPECT_EQ(overTls[1], Bytes{COM_PING});
  EXPECT_EQ(s.client.ClientFlag(), 0xE285u | CLIENT_SSL) << "as the script set it";
  EXPECT_EQ(s.client.SslCipher().rfind("TLSv1.", 0), 0u) << s.client.SslCipher();
  s.client.Close();
  EXPECT_EQ(s.client.SslCipher(), "");
  EXPECT_TRUE(server->GotCloseNotify());
}

TEST(TlsFake, ModesAgainstServersWithAndWithoutTls) {
  struct Case {
    const char* name;
    TSslMode mode;
    bool serverOffers;
    bool encrypted;  // else plain, or refused when `refused`
    bool refused;
  } const cases[] = {
      {"disabled, offered", TSslMode::Disabled, true, false, false},
      {"preferred, offered", TSslMode::Preferred, true, true, false},
      {"preferred, not offered", TSslMode::Preferred, false, false, false},
      {"required, not offered", TSslMode::Required, false, false, true},
      {"verify identity, not offered", TSslMode::VerifyIdentity, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session s(c.mode);
    s.client.SetClientFlag(0xE285 | CLIENT_SSL);
    const Bytes greeting =
        GreetingPayload(10, "8.0.40", c.serverOffers ? kServerWithTls : kServer41);
    std::shared_ptr<TlsPeer> tls;
    std::shared_ptr<ScriptedPeer> plain;
    if (c.encrypted) {
      tls = TlsServer(greeting);
      tls->Reply(Packet(3, OkPayload()));
      s.Add(tls->Stream());
    } else {
      plain = s.AddPlain(Concat({Packet(0, greeting), Packet(2, OkPayload())}));
    }
    const bool connected = s.client.Connect();
    EXPECT_EQ(connected, !c.refused) << s.client.LastError();
    EXPECT_EQ(s.client.SslCipher().empty(), !c.encrypted);
    if (c.refused) {
      EXPECT_EQ(s.client.LastErrorNo(), ErrSslConnection);
      EXPECT_EQ(s.client.LastError(), "SSL connection error: the server does not offer TLS");
      EXPECT_TRUE(plain->Written().empty()) << "nothing at all was sent";
      EXPECT_TRUE(plain->Closed());
    } else if (plain) {
      const auto written = SplitPackets(plain->Written());
      ASSERT_EQ(written.size(), 1u);
      EXPECT_EQ(FlagOf(written[0]) & CLIENT_SSL, 0u) << "no TLS, no bit";
    }
  }
}

TEST(TlsFake, CertificateRefusalsSendNothingOfThePassword) {
  for (const char* host : {"127.0.0.2", "wrong.invalid"}) {
    SCOPED_TRACE(host);
    Session s(TSslMode::VerifyIdentity);
    s.client.SetHost(host);
    s.client.SetSslCa(Certificates().Ca);
    auto server = TlsServer();
    server->Reply(Packet(3, OkPayload()));
    s.Add(server->Stream());
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.LastErrorNo(), ErrSslConnection);
    EXPECT_EQ(
        s.client.LastError(),
        std::string("SSL connection error: the server's certificate is not for '") + host + "'");
    EXPECT_EQ(server->PlainReceived().size(), kSslRequestPacket);
    EXPECT_TRUE(server->Received().empty());
    EXPECT_FALSE(s.client.Connected());
    EXPECT_EQ(s.opened, 1) << "a certificate refused is not retried";
  }
}

TEST(TlsFake, PreferredConnectsAgainWithoutTlsWhenTheHandshakeFails) {
  for (const TSslMode mode : {TSslMode::Preferred, TSslMode::Required}) {
    SCOPED_TRACE(mode == TSslMode::Preferred ? "preferred" : "required");
    Session s(mode);
    // A server whose TLS the client cannot speak: it ends the connection
    // after the greeting.
    auto broken = TlsServer();
    broken->InjectFault(TlsPeer::Fault::Close, 4 + GreetingPayload(10, "8.0.40", 0).size());
    s.Add(broken->Stream());
    auto plain = s.AddPlain(
        Concat({Packet(0, GreetingPayload(10, "8.0.40", kServerWithTls)), Packet(2, OkPayload())}));
    const bool connected = s.client.Connect();
    if (mode == TSslMode::Preferred) {
      ASSERT_TRUE(connected) << s.client.LastError();
      EXPECT_EQ(s.opened, 2);
      EXPECT_EQ(s.client.SslCipher(), "");
      const auto written = SplitPackets(plain->Written());
      ASSERT_EQ(written.size(), 1u);
      EXPECT_EQ(FlagOf(written[0]) & CLIENT_SSL, 0u);
      EXPECT_EQ(plain->Written()[3], 1) << "the login is packet 1 again";
    } else {
      EXPECT_FALSE(connected);
      EXPECT_EQ(s.opened, 1);
      EXPECT_EQ(s.client.LastErrorNo(), ErrSslConnection);
      EXPECT_EQ(s.client.LastError(),
                "SSL connection error: the server closed the connection during the TLS handshake");
    }
    EXPECT_EQ(broken->PlainReceived().size(), kSslRequestPacket) << "no password to the first";
  }
}

TEST(TlsFake, TheLocalPipeNeverGetsTls) {
  Session s(TSslMode::Required, VioNamedPipe);
  auto plain = s.AddPlain(
      Concat({Packet(0, GreetingPayload(10, "8.0.40", kServerWithTls)), Packet(2, OkPayload())}));
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  EXPECT_EQ(s.client.SslCipher(), "");
  EXPECT_EQ(FlagOf(SplitPackets(plain->Written()).at(0)) & CLIENT_SSL, 0u);
}

TEST(TlsFake, CompressionOverTls) {
  Session s(TSslMode::Required);
  s.client.SetCompress(true);
  auto server = TlsServer(GreetingPayload(10, "8.0.40", kServerWithTls | CLIENT_COMPRESS));
  server->Reply(Packet(3, OkPayload()));
  const std::string statistics(3000, 'r');
  server->Reply(ServerScript(true).Reply({Text(statistics)}));
  s.Add(server->Stream());
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  EXPECT_NE(s.client.ClientFlag() & CLIENT_COMPRESS, 0u);
  EXPECT_EQ(s.client.Stat(), statistics);
  // After the login the client's bytes are a compressed block, inside TLS.
  const Bytes& received = server->Received();
  const std::size_t login = 4 + received[0] + std::size_t{received[1]} * 256;
  ASSERT_GT(received.size(), login + 7);
  EXPECT_EQ(Slice(received, login, login + 7), (Bytes{5, 0, 0, 0, 0, 0, 0}))
      << "one uncompressed block of the 5-byte COM_STATISTICS packet";
}

TEST(TlsFake, FullAuthenticationOverTlsSendsThePasswordAsTheServerExpects) {
  Session s(TSslMode::Required);
  s.client.SetPassword("Secret-1");
  auto server = TlsServer(PluginGreetingPayload("8.4.3", "caching_sha2_password", kServerWithTls));
  server->Reply(Packet(3, {1, 4}));
  server->Reply(Packet(5, OkPayload()));
  s.Add(server->Stream());
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  const auto overTls = SplitPackets(server->Received());
  ASSERT_EQ(overTls.size(), 2u);
  EXPECT_EQ(overTls[1], Concat({Text("Secret-1"), {0}}));
  EXPECT_EQ(server->Received()[4 + overTls[0].size() + 3], 4) << "packet 4";
}

// A real socket: the server greets with TLS, takes the SSL request and then
// says nothing. The connect gives up at ConnectTimeout with 2026.
TEST(TlsFake, AStalledHandshakeEndsAtConnectTimeout) {
  FakeServer server;
  server.Send(Packet(0, GreetingPayload(10, "8.0.40", kServerWithTls)))
      .Receive(kSslRequestPacket)
      .StaySilent();
  server.Start();
  TMysqlClient client;
  PointAt(client, server);
  client.SetSslMode(TSslMode::Required);
  client.SetConnectTimeout(1);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Connect());
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(client.LastErrorNo(), ErrSslConnection);
  EXPECT_EQ(client.LastError(), "SSL connection error: the TLS handshake timed out");
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(5));
  server.Stop();
  server.Wait();
}

}  // namespace
