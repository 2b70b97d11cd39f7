// caching_sha2_password's full authentication against the scripted MySQL 8.4
// server (fake_mysql_server.py), which checks what arrives with Python's
// hashlib, ssl and cryptography: over TLS the password as the server expects
// it there; without TLS refused by default with nothing of the password sent,
// the key asked for with AllowPublicKeyRetrieval, the key file of
// ServerPublicKey used without asking.

#include <gtest/gtest.h>

#include "mysql/uMysqlClient.h"
#include "support/FakeMysqlServer.h"

using namespace mysql;

namespace {

// The account that never has its password cached: always full authentication.
constexpr const char* kUser = "sha2_full";
constexpr const char* kPassword = "Full-Pass2";

void PointAt(TMysqlClient& client, const FakeMysqlServer& server) {
  client.SetHost("127.0.0.1");
  client.SetPort(static_cast<std::uint32_t>(server.Port()));
  client.SetUser(kUser);
  client.SetPassword(kPassword);
  client.SetCompress(false);
  client.SetConnectTimeout(10);
}

std::string CurrentUser(TMysqlClient& client) {
  const auto query = client.Query("select current_user()", true);
  if (!query.Ok || !query.Result) return "?";
  const auto value = query.Result->Value(0);
  return value ? std::string(*value) : "";
}

TEST(FakeMysqlTls, FullAuthenticationOverTlsAndWithTrustedKeysOnly) {
  FakeMysqlServer withTls("8.4.3", "--tls");
  ASSERT_TRUE(withTls.Ok());
  for (const TSslMode mode : {TSslMode::Preferred, TSslMode::Required}) {
    TMysqlClient client;
    PointAt(client, withTls);
    client.SetSslMode(mode);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_FALSE(client.SslCipher().empty());
    EXPECT_EQ(CurrentUser(client), "sha2_full@localhost");
    client.SetCompress(true);  // and again, compressed inside TLS
    EXPECT_EQ(CurrentUser(client), "sha2_full@localhost") << client.LastError();
    EXPECT_FALSE(client.SslCipher().empty());
  }
  EXPECT_TRUE(withTls.Violations().empty()) << withTls.Violations().front();

  FakeMysqlServer plain("9.1.0");
  ASSERT_TRUE(plain.Ok());
  {
    SCOPED_TRACE("without TLS and without a trusted key");
    TMysqlClient client;
    PointAt(client, plain);
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastErrorNo(), ErrAuthMethodFailed);
    client.SetSslMode(TSslMode::Required);
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastError(), "SSL connection error: the server does not offer TLS");
  }
  {
    SCOPED_TRACE("the key asked for");
    TMysqlClient client;
    PointAt(client, plain);
    client.SetAllowPublicKeyRetrieval(true);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_EQ(CurrentUser(client), "sha2_full@localhost");
  }
  {
    SCOPED_TRACE("the key file");
    TMysqlClient client;
    PointAt(client, plain);
    client.SetServerPublicKey(plain.PublicKeyFile());
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_EQ(CurrentUser(client), "sha2_full@localhost");
  }
  {
    SCOPED_TRACE("another server's key file: the server cannot decrypt it");
    TMysqlClient client;
    PointAt(client, plain);
    client.SetServerPublicKey(withTls.PublicKeyFile());
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastErrorNo(), 1045) << client.LastError();
  }
  const auto violations = plain.Violations();
  ASSERT_EQ(violations.size(), 1u) << "only the block under the wrong key";
  EXPECT_NE(violations[0].find("does not decrypt"), std::string::npos) << violations[0];
}

}  // namespace
