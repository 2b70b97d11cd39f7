#include "ServerHelpers.h"

using namespace mysql;
using namespace std::chrono_literals;

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

Killer::Killer(const MariaDbServer& server, std::uint32_t victim) : victim_(victim) {
  Configure(session_, server, server.Native);
  EXPECT_TRUE(session_.Connect()) << session_.LastError();
}

Killer::~Killer() {
  if (thread_.joinable()) thread_.join();
}

void Killer::Now() {
  EXPECT_TRUE(session_.Kill(victim_)) << session_.LastError();
  for (int i = 0; i < 100; ++i) {
    if (QueryValue(session_, "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                                 std::to_string(victim_)) == "0")
      return;
    std::this_thread::sleep_for(20ms);
  }
  ADD_FAILURE() << "the killed connection stayed";
}

void Killer::After(std::chrono::milliseconds delay) {
  thread_ = std::thread([this, delay] {
    std::this_thread::sleep_for(delay);
    static_cast<void>(session_.Kill(victim_));
  });
}
