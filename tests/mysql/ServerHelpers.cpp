#include "ServerHelpers.h"

using namespace mysql;

void Configure(TMysqlClient& client, const MariaDbServer& server, const MariaDbAccount& account,
               Transport transport, bool compress) {
  client.SetHost(server.Host);
  client.SetPort(static_cast<std::uint32_t>(server.Port));
  client.SetUser(account.User);
  client.SetPassword(account.Password);
  client.SetDb(server.Database);
  client.SetCompress(compress);
  client.SetUseNamedPipe(transport == Transport::LocalEndpoint);
  client.SetConnectTimeout(10);
}

std::optional<std::string> QueryValue(TMysqlClient& client, std::string_view statement) {
  const auto query = client.Query(statement, true);
  if (!query.Ok || !query.Result) return std::nullopt;
  const auto value = query.Result->Value(0);
  if (!value) return std::nullopt;
  return std::string(*value);
}

void ServerTest::SetUp() {
  const auto server = SharedMariaDb();
  ASSERT_TRUE(server) << "the MariaDB fixture is not running (CTest starts it: fixture 'mariadb')";
  server_ = *server;
}

std::unique_ptr<TMysqlClient> ServerTest::NativeSession(bool compress) {
  auto client = std::make_unique<TMysqlClient>();
  Configure(*client, server_, server_.Native, Transport::Tcp, compress);
  EXPECT_TRUE(client->Connect()) << client->LastError();
  return client;
}
