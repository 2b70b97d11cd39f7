// The session against the real MariaDB: every account type over TCP and the
// local endpoint, plain and compressed; reconnecting after a KILL; the
// administrative commands; the 2014 rule.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "ServerHelpers.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

enum class Account { Native, Old, NoPassword };

class ServerConnect : public ServerTest,
                      public ::testing::WithParamInterface<std::tuple<Account, Transport, bool>> {
 protected:
  const MariaDbAccount& AccountOf(Account account) const {
    switch (account) {
      case Account::Native:
        return server_.Native;
      case Account::Old:
        return server_.Old;
      case Account::NoPassword:
        break;
    }
    return server_.NoPass;
  }
};

TEST_P(ServerConnect, AuthenticatesAndQueries) {
  const auto [account, transport, compress] = GetParam();
  std::optional<LocalPipeLink> link;
  if (transport == Transport::LocalEndpoint) {
    link.emplace(server_.Socket);
    ASSERT_TRUE(link->Ok());
  }
  TMysqlClient client;
  Configure(client, server_, AccountOf(account), transport, compress);
  ASSERT_TRUE(client.Connect()) << client.LastErrorNo() << " " << client.LastError();
  EXPECT_EQ(client.ProtocolVersion(), 10);
  EXPECT_NE(client.ThreadId(), 0u);
  EXPECT_EQ((client.ClientFlag() & CLIENT_COMPRESS) != 0, compress);
  if (transport == Transport::LocalEndpoint) {
    EXPECT_EQ(client.Host(), ".");
    EXPECT_EQ(client.UnixSocket(), "MySQL");
  } else {
    EXPECT_EQ(client.UnixSocket(), "");
  }
  EXPECT_EQ(QueryValue(client, "SELECT SUBSTRING_INDEX(CURRENT_USER(), '@', 1)"),
            AccountOf(account).User);
  EXPECT_EQ(QueryValue(client, "SELECT DATABASE()"), server_.Database);
  // A result larger than one compressed block, read both ways.
  for (const bool buffered : {true, false}) {
    auto query = client.Query("SELECT REPEAT('x', 70000) FROM seq_1_to_3", buffered);
    ASSERT_TRUE(query.Ok) << client.LastError();
    int rows = 0;
    for (; !query.Result->Eof(); query.Result->Next(), ++rows)
      EXPECT_EQ(query.Result->Value(0)->size(), 70000u);
    EXPECT_EQ(rows, 3);
  }
  client.Close();
  EXPECT_FALSE(client.Connected());
}

std::string ConnectCaseName(
    const ::testing::TestParamInfo<std::tuple<Account, Transport, bool>>& test) {
  const char* const accounts[] = {"Native", "Old", "NoPassword"};
  return std::string(accounts[static_cast<int>(std::get<0>(test.param))]) +
         (std::get<1>(test.param) == Transport::Tcp ? "Tcp" : "LocalEndpoint") +
         (std::get<2>(test.param) ? "Compressed" : "Plain");
}

INSTANTIATE_TEST_SUITE_P(
    Server, ServerConnect,
    ::testing::Combine(::testing::Values(Account::Native, Account::Old, Account::NoPassword),
                       ::testing::Values(Transport::Tcp, Transport::LocalEndpoint),
                       ::testing::Bool()),
    ConnectCaseName);

using ServerSession = ServerTest;

TEST_F(ServerSession, WrongPasswordIsRefused) {
  TMysqlClient client;
  Configure(client, server_, {server_.Native.User, "wrong"});
  EXPECT_FALSE(client.Connect());
  EXPECT_EQ(client.LastErrorNo(), 1045);
  EXPECT_FALSE(client.Connected());
}

// The server ends a connection killed from another session: the next Ping
// meets the lost connection, closes, reconnects and pings again.
TEST_F(ServerSession, PingReconnectsAfterKillOnlyWithShouldReconnect) {
  for (const bool shouldReconnect : {true, false}) {
    SCOPED_TRACE(shouldReconnect ? "ShouldReconnect on" : "ShouldReconnect off");
    auto victim = NativeSession();
    auto killer = NativeSession();
    victim->SetShouldReconnect(shouldReconnect);
    const std::uint32_t killed = victim->ThreadId();
    ASSERT_TRUE(killer->Kill(killed)) << killer->LastError();
    // Wait until the server has really ended the victim's thread.
    for (int i = 0; i < 100; ++i) {
      const auto left = QueryValue(*killer,
                                   "SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                   "WHERE ID = " +
                                       std::to_string(killed));
      if (left == "0") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(victim->Ping(), shouldReconnect) << victim->LastError();
    if (shouldReconnect) {
      EXPECT_TRUE(victim->Connected());
      EXPECT_NE(victim->ThreadId(), killed);
    } else {
      EXPECT_EQ(victim->LastErrorNo(), ErrServerLost);
      EXPECT_FALSE(victim->Connected());
    }
  }
}

TEST_F(ServerSession, ChangeUserAcceptedAndRefused) {
  auto client = NativeSession();
  ASSERT_TRUE(client->ChangeUser(server_.NoPass.User, "", server_.Database)) << client->LastError();
  EXPECT_EQ(client->User(), server_.NoPass.User);
  EXPECT_EQ(QueryValue(*client, "SELECT SUBSTRING_INDEX(CURRENT_USER(), '@', 1)"),
            server_.NoPass.User);

  ASSERT_TRUE(client->ChangeUser(server_.Old.User, server_.Old.Password, server_.Database))
      << client->LastError();
  EXPECT_EQ(QueryValue(*client, "SELECT SUBSTRING_INDEX(CURRENT_USER(), '@', 1)"),
            server_.Old.User);

  EXPECT_FALSE(client->ChangeUser(server_.Native.User, "wrong", ""));
  EXPECT_EQ(client->LastErrorNo(), 1045);
  EXPECT_EQ(client->User(), server_.Old.User);
  EXPECT_EQ(client->Password(), server_.Old.Password);
  EXPECT_EQ(client->Db(), server_.Database);
}

TEST_F(ServerSession, AdministrativeCommands) {
  auto client = NativeSession();
  const std::string stat = client->Stat();
  EXPECT_TRUE(stat.starts_with("Uptime: ")) << stat;
  EXPECT_TRUE(client->Refresh(1)) << client->LastError();  // grant tables

  auto processes = client->ListProcesses();
  ASSERT_TRUE(processes) << client->LastError();
  EXPECT_TRUE(processes->Buffered());
  EXPECT_EQ(client->Status(), TMysqlStatus::Ready);
  const int id = processes->FieldIndex("id", false);
  ASSERT_GE(id, 0);
  EXPECT_EQ(processes->FieldIndex("id", true), -1);
  EXPECT_GE(processes->FieldIndex("Command", true), 0);
  bool foundSelf = false;
  for (; !processes->Eof(); processes->Next())
    foundSelf |= processes->Value(id) == std::to_string(client->ThreadId());
  EXPECT_TRUE(foundSelf);

  const std::string db = "orbelin_client_" + std::to_string(client->ThreadId());
  ASSERT_TRUE(client->Query("CREATE DATABASE " + db, true).Ok) << client->LastError();
  EXPECT_TRUE(client->SelectDb(db)) << client->LastError();
  EXPECT_EQ(client->Db(), db);
  EXPECT_EQ(QueryValue(*client, "SELECT DATABASE()"), db);
  EXPECT_TRUE(client->Query("DROP DATABASE " + db, true).Ok) << client->LastError();
  client->SetShouldReconnect(false);
  EXPECT_FALSE(client->SelectDb("orbelin_no_such_db"));
  EXPECT_EQ(client->LastErrorNo(), 1049);
  EXPECT_EQ(client->Db(), db) << "a refused SelectDb keeps the setting";
}

TEST_F(ServerSession, StatementsWithoutResultSets) {
  auto client = NativeSession();
  ASSERT_TRUE(
      client->Query("CREATE TEMPORARY TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)", true)
          .Ok);
  const auto insert = client->Query("INSERT INTO t (v) VALUES (1), (2), (3)", true);
  EXPECT_TRUE(insert.Ok);
  EXPECT_FALSE(insert.Result);
  EXPECT_EQ(client->AffectedRows(), 3u);
  EXPECT_EQ(client->LastInsertId(), 1u);
  EXPECT_TRUE(client->Info().starts_with("Records: 3")) << client->Info();
  const auto bad = client->Query("SELEC 1", true);
  EXPECT_FALSE(bad.Ok);
  EXPECT_EQ(client->LastErrorNo(), 1064);
  EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM t"), "3");
}

TEST_F(ServerSession, ASettingChangeInsideATransactionLosesItUntilTheScriptReconnects) {
  auto client = NativeSession();
  ASSERT_TRUE(client->Query("START TRANSACTION", true).Ok);
  EXPECT_NE(client->ServerStatus() & SERVER_STATUS_IN_TRANS, 0u);
  // A changed setting drops the transport, and the transaction with it.
  client->SetCompress(true);
  EXPECT_FALSE(client->Connected());
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(client->Ping());
    EXPECT_EQ(client->LastErrorNo(), ErrTransactionLost);
  }
  EXPECT_TRUE(client->Reconnect()) << client->LastError();
  EXPECT_TRUE(client->Ping()) << client->LastError();
  EXPECT_EQ(client->ServerStatus() & SERVER_STATUS_IN_TRANS, 0u);
}

TEST_F(ServerSession, CommandsOutOfSyncWhileRowsArePending) {
  auto client = NativeSession();
  auto query = client->Query("SELECT seq FROM seq_1_to_5", false);
  ASSERT_TRUE(query.Ok);
  EXPECT_EQ(client->Status(), TMysqlStatus::ReadingRows);
  EXPECT_FALSE(client->SelectDb(server_.Database));
  EXPECT_EQ(client->LastErrorNo(), ErrCommandsOutOfSync);
  EXPECT_FALSE(client->Query("SELECT 1", true).Ok);
  EXPECT_EQ(client->LastErrorNo(), ErrCommandsOutOfSync);
  EXPECT_EQ(client->Stat(), "");
  while (!query.Result->Eof()) query.Result->Next();
  EXPECT_EQ(client->Status(), TMysqlStatus::Ready);
  EXPECT_EQ(client->AffectedRows(), 5u);
  EXPECT_TRUE(client->Ping()) << client->LastError();
}

TEST_F(ServerSession, ShutdownStopsAServerOfItsOwn) {
  PrivateMariaDb own("client-shutdown");
  ASSERT_TRUE(own.Server()) << "could not start a private server";
  TMysqlClient client;
  Configure(client, *own.Server(), own.Server()->Native);
  ASSERT_TRUE(client.Connect()) << client.LastError();
  EXPECT_TRUE(client.Shutdown()) << client.LastError();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.ServerVersion(), "");
  client.SetShouldReconnect(false);
  EXPECT_FALSE(client.Ping());
  // The server goes away: no new connection is accepted for long.
  bool refused = false;
  for (int i = 0; i < 100 && !refused; ++i) {
    refused = !client.Connect();
    if (!refused) client.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(refused);
  EXPECT_EQ(client.LastErrorNo(), ErrConnect);
}

}  // namespace
