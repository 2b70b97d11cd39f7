// TLS against the real server: every mode, the certificate checks (wrong CA,
// expired, another host's), accounts that REQUIRE SSL and X509, a server that
// requires secure transport, compression and 20 MB values over TLS, a killed
// connection reconnecting with TLS, and a change of user on it.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ServerHelpers.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

struct TlsSetup {
  TlsSetup(TSslMode mode = TSslMode::Preferred, std::string ca = {}, std::string host = {},
           bool compress = false)
      : Mode(mode), Ca(std::move(ca)), Host(std::move(host)), Compress(compress) {}
  TSslMode Mode;
  std::string Ca;
  std::string Host;  // empty: the server's
  bool Compress;
};

void ConfigureTls(TMysqlClient& client, const MariaDbServer& server, const MariaDbAccount& account,
                  const TlsSetup& tls) {
  Configure(client, server, account, Transport::Tcp, tls.Compress);
  if (!tls.Host.empty()) client.SetHost(tls.Host);
  client.SetSslMode(tls.Mode);
  client.SetSslCa(tls.Ca);
}

// What the server says of the connection's encryption: "Ssl_cipher" or
// "Ssl_version".
std::string ServerSide(TMysqlClient& client, const std::string& what) {
  const auto query = client.Query("SHOW SESSION STATUS LIKE '" + what + "'", true);
  if (!query.Ok || !query.Result) return "?";
  const auto value = query.Result->Value(1);
  return value ? std::string(*value) : "";
}

bool IsTlsDescription(const std::string& text) {
  return text.rfind("TLSv1.", 0) == 0 && text.find(' ') != std::string::npos;
}

class ServerTls : public ServerTest {
 protected:
  // Connects `account` with `tls`; the outcome is the test's to check.
  std::unique_ptr<TMysqlClient> Session(const MariaDbAccount& account, const TlsSetup& tls,
                                        const MariaDbServer* server = nullptr) {
    auto client = std::make_unique<TMysqlClient>();
    ConfigureTls(*client, server != nullptr ? *server : server_, account, tls);
    connected_ = client->Connect();
    return client;
  }
  bool connected_ = false;
};

TEST_F(ServerTls, EveryModeAgainstAServerWithTls) {
  const std::string ca = server_.Cert("ca.pem");
  struct Case {
    const char* name;
    TlsSetup tls;
    bool encrypted;
  };
  const Case cases[] = {
      {"disabled", {TSslMode::Disabled}, false},
      {"preferred (the default)", {}, true},
      {"required", {TSslMode::Required}, true},
      {"verify CA", {TSslMode::VerifyCa, ca}, true},
      {"verify identity by address", {TSslMode::VerifyIdentity, ca, "127.0.0.1"}, true},
      {"verify identity by name", {TSslMode::VerifyIdentity, ca, "localhost"}, true},
      {"compressed, verify identity", {TSslMode::VerifyIdentity, ca, "", true}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto client = Session(server_.Native, c.tls);
    ASSERT_TRUE(connected_) << client->LastErrorNo() << " " << client->LastError();
    const std::string version = ServerSide(*client, "Ssl_version");
    if (c.encrypted) {
      EXPECT_TRUE(IsTlsDescription(client->SslCipher())) << client->SslCipher();
      EXPECT_FALSE(version.empty());
      EXPECT_EQ(client->SslCipher().rfind(version + " ", 0), 0u)
          << "the server speaks " << version << ", the client " << client->SslCipher();
    } else {
      EXPECT_EQ(client->SslCipher(), "");
      EXPECT_EQ(version, "");
    }
    EXPECT_EQ(client->ClientFlag() & CLIENT_SSL, 0u) << "the TLS bit travels in the packet only";
    if (c.tls.Compress) {
      EXPECT_EQ(QueryValue(*client,
                           "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                           "WHERE VARIABLE_NAME = 'COMPRESSION'"),
                "ON");
    }
    client->Close();
    EXPECT_EQ(client->SslCipher(), "");
  }
}

TEST_F(ServerTls, CertificateChecksRefuseWithTheReasonAndSendNoPassword) {
  struct Case {
    const char* name;
    TlsSetup tls;
    const char* reason;
  };
  const Case cases[] = {
      {"a CA that signed nothing here",
       {TSslMode::VerifyCa, server_.Cert("other-ca.pem")},
       "not trusted"},
      {"the system's trust, which knows no test CA", {TSslMode::VerifyCa}, "not trusted"},
      {"a CA file that is not there",
       {TSslMode::VerifyCa, server_.Certs + "/missing.pem"},
       "cannot be read"},
      {"a name the certificate does not list",
       {TSslMode::VerifyIdentity, server_.Cert("ca.pem"), "127.1"},
       "is not for '127.1'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto client = Session(server_.Native, c.tls);
    EXPECT_FALSE(connected_);
    EXPECT_EQ(client->LastErrorNo(), ErrSslConnection);
    EXPECT_NE(client->LastError().find("SSL connection error: "), std::string::npos);
    EXPECT_NE(client->LastError().find(c.reason), std::string::npos) << client->LastError();
    EXPECT_FALSE(client->Connected());
    // Without the check the same server is fine.
    client->SetSslMode(TSslMode::Required);
    EXPECT_TRUE(client->Connect()) << client->LastError();
    EXPECT_TRUE(IsTlsDescription(client->SslCipher()));
  }
}

TEST_F(ServerTls, AccountsThatRequireSslAndX509) {
  {
    SCOPED_TRACE("REQUIRE SSL without TLS is refused by the server");
    auto client = Session(server_.Ssl, {TSslMode::Disabled});
    EXPECT_FALSE(connected_);
    EXPECT_EQ(client->LastErrorNo(), 1045) << client->LastError();
  }
  {
    SCOPED_TRACE("REQUIRE SSL with the default mode");
    auto client = Session(server_.Ssl, {});
    EXPECT_TRUE(connected_) << client->LastError();
  }
  {
    SCOPED_TRACE("REQUIRE X509 without a client certificate");
    auto client = Session(server_.X509, {TSslMode::VerifyIdentity, server_.Cert("ca.pem")});
    EXPECT_FALSE(connected_);
    EXPECT_EQ(client->LastErrorNo(), 1045) << client->LastError();
  }
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "REQUIRE X509 with one, compressed" : "REQUIRE X509 with one");
    auto client = std::make_unique<TMysqlClient>();
    ConfigureTls(*client, server_, server_.X509,
                 {TSslMode::VerifyIdentity, server_.Cert("ca.pem"), "", compress});
    client->SetSslCert(server_.Cert("client.pem"));
    client->SetSslKey(server_.Cert("client-key.pem"));
    ASSERT_TRUE(client->Connect()) << client->LastError();
    EXPECT_EQ(QueryValue(*client, "SELECT CURRENT_USER()"), server_.X509.User + "@%");
  }
  {
    SCOPED_TRACE("a key that does not belong to the certificate");
    auto client = Session(server_.X509, {TSslMode::Required});
    client->SetSslCert(server_.Cert("client.pem"));
    client->SetSslKey(server_.Cert("server-key.pem"));
    EXPECT_FALSE(client->Connect());
    EXPECT_EQ(client->LastErrorNo(), ErrSslConnection) << client->LastError();
  }
}

TEST_F(ServerTls, ChangeUserKeepsTheEncryptedConnection) {
  auto client = Session(server_.Native, {TSslMode::Required});
  ASSERT_TRUE(connected_) << client->LastError();
  const std::string cipher = client->SslCipher();
  const std::uint32_t thread = client->ThreadId();
  ASSERT_TRUE(client->ChangeUser(server_.Ssl.User, server_.Ssl.Password, server_.Database))
      << client->LastError();
  EXPECT_EQ(QueryValue(*client, "SELECT CURRENT_USER()"), server_.Ssl.User + "@%");
  EXPECT_EQ(client->ThreadId(), thread);
  EXPECT_EQ(client->SslCipher(), cipher);
  EXPECT_FALSE(ServerSide(*client, "Ssl_cipher").empty());
}

TEST_F(ServerTls, AKilledConnectionReconnectsWithTls) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    auto client = Session(server_.Ssl, {TSslMode::VerifyCa, server_.Cert("ca.pem"), "", compress});
    ASSERT_TRUE(connected_) << client->LastError();
    const std::uint32_t first = client->ThreadId();
    TMysqlClient killer;
    Configure(killer, server_, server_.Native);
    ASSERT_TRUE(killer.Connect()) << killer.LastError();
    ASSERT_TRUE(killer.Kill(first)) << killer.LastError();
    for (int i = 0; i < 100 && QueryValue(killer,
                                          "SELECT COUNT(*) FROM "
                                          "information_schema.PROCESSLIST WHERE ID = " +
                                              std::to_string(first)) != "0";
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The next statement finds the connection gone and makes a new one.
    EXPECT_EQ(QueryValue(*client, "SELECT 7"), "7") << client->LastError();
    EXPECT_NE(client->ThreadId(), first);
    EXPECT_TRUE(IsTlsDescription(client->SslCipher()));
    EXPECT_FALSE(ServerSide(*client, "Ssl_cipher").empty());
  }
}

// 20 MB each way: a statement carrying the value and a result bringing it
// back, in many TLS records and (compressed) many blocks.
TEST_F(ServerTls, TwentyMegabytesEachWay) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    auto client = Session(server_.Native, {TSslMode::Required, "", "", compress});
    ASSERT_TRUE(connected_) << client->LastError();
    const std::string table = compress ? "tls_large_compressed" : "tls_large_plain";
    ASSERT_TRUE(client->Query("CREATE OR REPLACE TABLE " + table + " (v LONGBLOB)", true).Ok)
        << client->LastError();
    std::string value(20'000'000, '\0');
    for (std::size_t i = 0; i < value.size(); ++i)
      value[i] = static_cast<char>('a' + (i * 7919 % 26));
    ASSERT_TRUE(client->Query("INSERT INTO " + table + " VALUES ('" + value + "')", true).Ok)
        << client->LastError();
    const auto back = QueryValue(*client, "SELECT v FROM " + table);
    ASSERT_TRUE(back) << client->LastError();
    EXPECT_EQ(back->size(), value.size());
    EXPECT_TRUE(*back == value) << "the value came back changed";
    EXPECT_EQ(QueryValue(*client, "SELECT LENGTH(v) FROM " + table), "20000000");
    EXPECT_TRUE(client->Query("DROP TABLE " + table, true).Ok);
  }
}

class ServerTlsPrivate : public ServerTls {};

TEST_F(ServerTlsPrivate, AServerThatRequiresSecureTransport) {
  PrivateMariaDb secure("tls-required", "--require-secure-transport=ON");
  ASSERT_TRUE(secure.Server());
  const MariaDbServer& server = *secure.Server();
  {
    auto client = Session(server.Native, {TSslMode::Disabled}, &server);
    EXPECT_FALSE(connected_);
    EXPECT_NE(client->LastErrorNo(), 0);
    EXPECT_LT(client->LastErrorNo(), 2000) << "the server's refusal: " << client->LastError();
  }
  for (const TSslMode mode : {TSslMode::Preferred, TSslMode::VerifyIdentity}) {
    auto client = Session(server.Native, {mode, server.Cert("ca.pem")}, &server);
    EXPECT_TRUE(connected_) << client->LastError();
    EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1");
  }
}

TEST_F(ServerTlsPrivate, ExpiredAndForeignCertificates) {
  struct Case {
    const char* name;
    const char* stem;
    TSslMode refused;
    const char* reason;
  };
  const Case cases[] = {
      {"expired", "expired", TSslMode::VerifyCa, "has expired"},
      {"another host's", "wrong-host", TSslMode::VerifyIdentity, "is not for '127.0.0.1'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrivateMariaDb server(std::string("tls-") + c.stem, std::string("--ssl-cert={certs}/") +
                                                            c.stem + ".pem --ssl-key={certs}/" +
                                                            c.stem + "-key.pem");
    ASSERT_TRUE(server.Server());
    const MariaDbServer& s = *server.Server();
    auto client = Session(s.Native, {c.refused, s.Cert("ca.pem")}, &s);
    EXPECT_FALSE(connected_);
    EXPECT_EQ(client->LastErrorNo(), ErrSslConnection);
    EXPECT_NE(client->LastError().find(c.reason), std::string::npos) << client->LastError();
    // Preferred does not check the certificate, and does not fall back over it.
    auto preferred = Session(s.Native, {TSslMode::Preferred}, &s);
    EXPECT_TRUE(connected_) << preferred->LastError();
    EXPECT_TRUE(IsTlsDescription(preferred->SslCipher()));
  }
}

}  // namespace
