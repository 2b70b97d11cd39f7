// Plugin authentication against scripted MySQL 8.4 / 9.x peers, byte for
// byte: the named method in the authentication packet and in a change of
// user, caching_sha2_password's fast path and full authentication over TCP
// (refused by default without TLS; with the server's key asked for when
// allowed, or taken from a file) and over the local socket, switch requests,
// and replies that must fail.
// Expected scrambles come from auth_vectors.py (hashlib); that the server can
// decrypt what the client encrypts is shown against the scripted server of
// the connection scripts (fake_mysql_server.py).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "AuthVectors.h"
#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

constexpr std::uint32_t kSentFlag = 0xE285 | CLIENT_PLUGIN_AUTH;
const Bytes kFastAuthOk = {1, 3};
const Bytes kFullAuthRequired = {1, 4};

// The 4.1 authentication packet naming `method` (no database).
Bytes NamedAuthPacket(std::string_view user, const Bytes& answer, std::string_view method) {
  // 0xE285, named methods (0x80000), multiple results (0x20000).
  Bytes header = {0x85, 0xE2, 0x0A, 0, 0, 0, 0, 1, 8};
  header.resize(32, 0);
  return Concat({header,
                 Text(user),
                 {0},
                 {static_cast<std::uint8_t>(answer.size())},
                 answer,
                 Text(method),
                 {0}});
}

Bytes SwitchRequest(std::string_view method, std::string_view nonce) {
  return Concat({{254}, Text(method), {0}, Text(nonce), {0}});
}

Bytes KeyReply() {
  return Concat({{1}, Text(kServerPublicKeyPem)});
}

bool Contains(const Bytes& haystack, std::string_view needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

// One scripted connection to a server greeting with `method`.
struct PluginSession {
  explicit PluginSession(std::string_view method = "caching_sha2_password",
                         TVioKind kind = VioTcpIp) {
    peer->Reply(Packet(0, PluginGreetingPayload("8.4.3", method)));
    connections.AttachTo(client, false, kind);
  }
  void Replies(const std::vector<Bytes>& packets) {
    for (const Bytes& packet : packets) peer->Reply(packet);
  }
  [[nodiscard]] std::vector<Bytes> Written() const { return SplitPackets(peer->Written()); }

  ScriptedConnections connections;
  std::shared_ptr<ScriptedPeer> peer = connections.Add();
  TMysqlClient client;
};

TEST(PluginAuthFake, FastPathNamesTheMethodAndKeepsClientFlag) {
  PluginSession s;
  s.Replies({Packet(2, kFastAuthOk), Packet(3, OkPayload())});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  EXPECT_EQ(s.client.ClientFlag(), 0xE285u) << "the method bit travels, scripts do not see it";
  EXPECT_EQ(s.Written(), std::vector<Bytes>{
                             NamedAuthPacket("tester", kSha2GreetingPw, "caching_sha2_password")});
}

TEST(PluginAuthFake, FullAuthenticationOverTcpSendsOnlyTheEncryptedPassword) {
  PluginSession s;
  s.client.SetAllowPublicKeyRetrieval(true);
  s.client.SetPassword("Secret-1");
  s.Replies({Packet(2, kFullAuthRequired), Packet(4, KeyReply()), Packet(6, OkPayload())});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  const auto written = s.Written();
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[1], Bytes{2}) << "asks for the public key";
  EXPECT_EQ(written[2].size(), 256u) << "one RSA block of the 2048-bit key";
  EXPECT_FALSE(Contains(s.peer->Written(), "Secret-1"));
}

// Without TLS a key the server sends could be anyone's: it is asked for only
// when allowed, a key file is used without asking, and with neither nothing
// of the password goes out.
TEST(PluginAuthFake, FullAuthenticationWithoutTlsNeedsAKeyTheScriptTrusts) {
  const auto keyFile = std::filesystem::temp_directory_path() / "orbelin-server-key.pem";
  std::ofstream(keyFile) << kServerPublicKeyPem;
  const std::string missing =
      (std::filesystem::temp_directory_path() / "orbelin-none.pem").string();
  {
    SCOPED_TRACE("neither: refused before anything of the password is sent");
    PluginSession s;
    s.client.SetPassword("Secret-1");
    s.Replies({Packet(2, kFullAuthRequired), Packet(4, KeyReply()), Packet(6, OkPayload())});
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.LastErrorNo(), ErrAuthMethodFailed);
    EXPECT_EQ(s.client.LastError(),
              "The authentication method 'caching_sha2_password' failed: the password needs TLS "
              "(SslMode), the server's key file (ServerPublicKey) or AllowPublicKeyRetrieval = 1");
    EXPECT_EQ(s.Written().size(), 1u) << "only the authentication packet";
    EXPECT_TRUE(s.peer->Closed());
  }
  {
    SCOPED_TRACE("the key file: no request, one RSA block");
    PluginSession s;
    s.client.SetPassword("Secret-1");
    s.client.SetServerPublicKey(keyFile.string());
    s.Replies({Packet(2, kFullAuthRequired), Packet(4, OkPayload())});
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    const auto written = s.Written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1].size(), 256u);
    EXPECT_FALSE(Contains(s.peer->Written(), "Secret-1"));
  }
  {
    SCOPED_TRACE("a key file that is not there, even with retrieval allowed");
    PluginSession s;
    s.client.SetServerPublicKey(missing);
    s.client.SetAllowPublicKeyRetrieval(true);
    s.Replies({Packet(2, kFullAuthRequired), Packet(4, KeyReply())});
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.LastErrorNo(), ErrAuthMethodFailed);
    EXPECT_NE(s.client.LastError().find("the server's key file '" + missing + "'"),
              std::string::npos)
        << s.client.LastError();
    EXPECT_EQ(s.Written().size(), 1u);
  }
  std::filesystem::remove(keyFile);
}

TEST(PluginAuthFake, FullAuthenticationOverTheLocalSocketSendsThePassword) {
  PluginSession s("caching_sha2_password", VioNamedPipe);
  s.Replies({Packet(2, kFullAuthRequired), Packet(4, OkPayload())});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  const auto written = s.Written();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1], Concat({Text("pw"), {0}}));
}

TEST(PluginAuthFake, RefusalsAndRepliesThatMustFail) {
  const std::string badKey = "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n";
  struct {
    const char* name;
    std::vector<Bytes> replies;
    std::int32_t error;
    std::size_t written;  // packets the client sent
  } const cases[] = {
      {"wrong password",
       {Packet(2, kFullAuthRequired), Packet(4, KeyReply()),
        Packet(6, ErrorPayload(1045, "28000", "Denied"))},
       1045,
       3},
      {"unknown word after the scramble", {Packet(2, {1, 9})}, ErrMalformedPacket, 1},
      {"no key in the answer to its request",
       {Packet(2, kFullAuthRequired), Packet(4, OkPayload())},
       ErrMalformedPacket,
       2},
      {"a key that cannot be used",
       {Packet(2, kFullAuthRequired), Packet(4, Concat({{1}, Text(badKey)}))},
       ErrAuthMethodFailed,
       2},
      {"a second switch request",
       {Packet(2, SwitchRequest("mysql_native_password", "ABCDEFGHIJKLMNOPQRST")),
        Packet(4, SwitchRequest("caching_sha2_password", "ABCDEFGHIJKLMNOPQRST"))},
       ErrMalformedPacket,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PluginSession s;
    s.client.SetAllowPublicKeyRetrieval(true);
    s.Replies(c.replies);
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.LastErrorNo(), c.error) << s.client.LastError();
    EXPECT_FALSE(s.client.Connected());
    EXPECT_EQ(s.Written().size(), c.written);
  }
}

TEST(PluginAuthFake, SwitchRequests) {
  struct {
    const char* name;
    std::string method;
    std::string password;
    Bytes answer;
    std::vector<Bytes> rest;  // what the server says after the answer
  } const cases[] = {
      {"to mysql_native_password",
       "mysql_native_password",
       "pw",
       kNativeSwitchPw,
       {Packet(4, OkPayload())}},
      {"to caching_sha2_password",
       "caching_sha2_password",
       "new-pw",
       kSha2SwitchNewPw,
       {Packet(4, kFastAuthOk), Packet(5, OkPayload())}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PluginSession s("mysql_native_password");
    s.client.SetPassword(c.password);
    s.Replies({Packet(2, SwitchRequest(c.method, "ABCDEFGHIJKLMNOPQRST"))});
    s.Replies(c.rest);
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    EXPECT_TRUE(s.peer->AllRepliesRead());
    const auto written = s.Written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], c.answer);
  }
}

TEST(PluginAuthFake, MethodsTheClientCannotDoGetNothing) {
  for (const char* method : {"client_ed25519", "mysql_clear_password", "dialog"}) {
    SCOPED_TRACE(method);
    PluginSession s;
    s.Replies({Packet(2, SwitchRequest(method, "0123456789"))});
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.LastErrorNo(), ErrAuthMethodUnsupported);
    EXPECT_EQ(s.client.LastError(), "The server asked for the authentication method '" +
                                        std::string(method) +
                                        "', which this client does not support");
    EXPECT_EQ(s.Written().size(), 1u) << "only the authentication packet";
    EXPECT_TRUE(s.peer->Closed());
  }
}

TEST(PluginAuthFake, GreetingsNamingOtherMethodsGetTheNativeScramble) {
  for (const char* method : {"mysql_native_password", "sha256_password", ""}) {
    SCOPED_TRACE(method);
    PluginSession s(method);
    s.Replies({Packet(2, OkPayload())});
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    EXPECT_EQ(s.Written().at(0),
              NamedAuthPacket("tester", kNativeGreetingPw, "mysql_native_password"));
  }
}

TEST(PluginAuthFake, ChangeUserNamesTheConnectionsMethod) {
  PluginSession s;
  s.client.SetAllowPublicKeyRetrieval(true);
  s.Replies({Packet(2, kFastAuthOk), Packet(3, OkPayload()), Packet(1, kFullAuthRequired),
             Packet(3, KeyReply()), Packet(5, OkPayload())});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  s.client.SetShouldReconnect(false);
  ASSERT_TRUE(s.client.ChangeUser("other", "new-pw", "shop")) << s.client.LastError();
  EXPECT_EQ(s.client.User(), "other");
  const auto written = s.Written();
  ASSERT_EQ(written.size(), 4u);
  // User, scramble of the connection's nonce, database, the character set of
  // the greeting (8), the method.
  EXPECT_EQ(written[1], Concat({{COM_CHANGE_USER},
                                Text("other"),
                                {0},
                                {32},
                                kSha2GreetingNewPw,
                                Text("shop"),
                                {0},
                                {8, 0},
                                Text("caching_sha2_password"),
                                {0}}));
  EXPECT_EQ(written[2], Bytes{2});
  EXPECT_EQ(written[3].size(), 256u);
}

}  // namespace
