// After a lost connection a statement runs on a new connection only in the
// session the script built: what can be given back (session variables, the
// character set however it was set, the current database) is given back
// first; what cannot (temporary tables, user variables, locks, the last
// insert id) refuses the statement with 2904. Against the real server, with
// the server reporting session changes and without (where only the
// statements' text tells), plain and compressed; connections killed from a
// second session.

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ServerHelpers.h"

using namespace mysql;

namespace {

using namespace std::chrono_literals;

struct Mode {
  bool Compressed;
  bool Tracked;
};

class ServerSessionState : public ServerTest, public ::testing::WithParamInterface<Mode> {
 protected:
  std::unique_ptr<TMysqlClient> Session() {
    auto client = std::make_unique<TMysqlClient>();
    Configure(*client, server_, server_.Native, Transport::Tcp, GetParam().Compressed);
    client->SetSessionTracking(GetParam().Tracked);
    EXPECT_TRUE(client->Connect()) << client->LastError();
    // The request for session reports goes with the first statement.
    EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1");
    EXPECT_EQ(client->SessionTracked(), GetParam().Tracked);
    return client;
  }
  std::string Name(const char* base) const {
    return std::string(base) + (GetParam().Compressed ? "_c" : "_p") +
           (GetParam().Tracked ? "_t" : "_u");
  }
  void Kill(TMysqlClient& client) { Killer(server_, client.ThreadId()).Now(); }
  void Run(TMysqlClient& client, const std::string& statement) {
    ASSERT_TRUE(client.Query(statement, true).Ok) << statement << ": " << client.LastError();
  }
  // The statement is refused with 2904 naming `what`, and so is the next one.
  void ExpectRefused(TMysqlClient& client, const std::string& statement, const char* what) {
    EXPECT_FALSE(client.Query(statement, true).Ok) << statement;
    EXPECT_EQ(client.LastErrorNo(), ErrSessionStateLost) << client.LastError();
    EXPECT_NE(client.LastError().find(what), std::string::npos) << client.LastError();
    EXPECT_FALSE(client.Query("SELECT 1", true).Ok) << "every later statement too";
    EXPECT_EQ(client.LastErrorNo(), ErrSessionStateLost);
  }
};

TEST_P(ServerSessionState, ATemporaryTableHidingARealOneIsNeverReplacedByIt) {
  auto client = Session();
  const std::string table = Name("st_hidden");
  Run(*client, "CREATE OR REPLACE TABLE " + table + " (v VARCHAR(10))");
  Run(*client, "INSERT INTO " + table + " VALUES ('keep'), ('a'), ('b')");
  Run(*client, "CREATE TEMPORARY TABLE " + table + " (v VARCHAR(10))");
  Kill(*client);
  ExpectRefused(*client, "DELETE FROM " + table + " WHERE v <> 'keep'", "temporary tables");
  ASSERT_TRUE(client->Reconnect()) << client->LastError();
  EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM " + table), "3") << "the real table is whole";
}

TEST_P(ServerSessionState, UserVariablesLocksAndPreparedStatementsCannotComeBack) {
  const struct {
    const char* statement;
    const char* lost;
  } cases[] = {
      {"SET @price = 42", "user variables"},
      {"SELECT @n := 5", "user variables"},
      {"SELECT 7 INTO @seven", "user variables"},
      {"DO GET_LOCK('orbelin', 0)", "named locks"},
      {"LOCK TABLES mysql.user READ", "table locks"},
      {"PREPARE s FROM 'SELECT 1'", "prepared statements"},
      {"SET TRANSACTION ISOLATION LEVEL SERIALIZABLE", "the settings of the next transaction"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    auto client = Session();
    Run(*client, c.statement);
    Kill(*client);
    ExpectRefused(*client, "SELECT 1", c.lost);
    ASSERT_TRUE(client->Reconnect()) << client->LastError();
    EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1");
  }
  // Released before the loss: nothing is held any more.
  auto client = Session();
  Run(*client, "LOCK TABLES mysql.user READ");
  Run(*client, "UNLOCK TABLES");
  Kill(*client);
  EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1") << client->LastError();
}

TEST_P(ServerSessionState, SettingsAndTheDatabaseAreGivenBackBeforeTheStatement) {
  auto client = Session();
  const std::string other = Name("st_other");
  const std::string table = Name("st_where");
  Run(*client, "CREATE DATABASE IF NOT EXISTS " + other);
  Run(*client, "CREATE OR REPLACE TABLE " + table + " (v VARCHAR(40)) CHARACTER SET utf8mb4");
  Run(*client,
      "CREATE OR REPLACE TABLE " + other + "." + table + " (v VARCHAR(40)) CHARACTER SET utf8mb4");
  Run(*client, "USE " + other);
  Run(*client, "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'");
  Run(*client, "SET time_zone = '+03:00'");
  Run(*client, "SET sql_mode = 'NO_BACKSLASH_ESCAPES,ANSI_QUOTES', NAMES cp1251");
  Kill(*client);
  const std::string path = "C:\\new\\table \xD7\xE0\xE9";  // and "Чай" in Windows-1251
  Run(*client, "INSERT INTO " + table + " VALUES ('" + path + "')");
  EXPECT_EQ(QueryValue(*client, "SELECT v FROM " + table), path) << "no escapes, Cyrillic kept";
  EXPECT_EQ(QueryValue(*client, "SELECT DATABASE()"), other);
  EXPECT_EQ(QueryValue(*client, "SELECT @@time_zone"), "+03:00");
  EXPECT_EQ(QueryValue(*client, "SELECT @@character_set_client"), "cp1251");
  EXPECT_EQ(QueryValue(*client, "SELECT @@sql_mode"), "ANSI_QUOTES,NO_BACKSLASH_ESCAPES");
  EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM " + server_.Database + "." + table), "0")
      << "nothing went to the Db property's database";
  Run(*client, "DROP DATABASE " + other);
}

TEST_P(ServerSessionState, EveryWayOfChoosingTheCharacterSetIsKept) {
  for (const char* choice :
       {"SET character_set_client = cp1251, character_set_connection = cp1251, "
        "character_set_results = cp1251",
        "SET sql_mode = '', NAMES cp1251", "/*!40101 SET NAMES cp1251 */",
        "SET CHARACTER SET cp1251"}) {
    SCOPED_TRACE(choice);
    auto client = Session();
    Run(*client, choice);
    Kill(*client);
    EXPECT_EQ(QueryValue(*client, "SELECT @@character_set_client"), "cp1251")
        << client->LastError();
    // A change of user starts a new server session; the character set stays.
    ASSERT_TRUE(client->ChangeUser(server_.Native.User, server_.Native.Password, server_.Database))
        << client->LastError();
    EXPECT_EQ(QueryValue(*client, "SELECT @@character_set_client"), "cp1251");
    EXPECT_EQ(QueryValue(*client, "SELECT @@character_set_results"), "cp1251");
  }
}

TEST_P(ServerSessionState, OnlyAStatementThatReadsTheLostInsertIdIsRefused) {
  auto client = Session();
  const std::string orders = Name("st_orders");
  const std::string lines = Name("st_lines");
  Run(*client, "CREATE OR REPLACE TABLE " + orders + " (id INT AUTO_INCREMENT PRIMARY KEY)");
  Run(*client, "CREATE OR REPLACE TABLE " + lines + " (id INT, v INT)");
  Run(*client, "INSERT INTO " + orders + " VALUES ()");
  Kill(*client);
  // This one does not read it: it runs on the new connection.
  Run(*client, "INSERT INTO " + lines + " VALUES (0, 1)");
  ExpectRefused(*client, "INSERT INTO " + lines + " VALUES (LAST_INSERT_ID(), 2)",
                "the last insert id");
  ASSERT_TRUE(client->Reconnect()) << client->LastError();
  // A new insert id is the one later statements read, after a loss too.
  Run(*client, "INSERT INTO " + orders + " VALUES ()");
  Kill(*client);
  ExpectRefused(*client, "SELECT LAST_INSERT_ID()", "the last insert id");
  ASSERT_TRUE(client->Reconnect());
  Run(*client, "INSERT INTO " + orders + " VALUES ()");
  Run(*client, "INSERT INTO " + lines + " VALUES (LAST_INSERT_ID(), 3)");
  EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM " + lines + " WHERE id = 3"), "1");
}

TEST_P(ServerSessionState, ReconnectInsideATransactionGivesItUpAndSaysSo) {
  auto client = Session();
  const std::string table = Name("st_reconnect");
  Run(*client, "CREATE OR REPLACE TABLE " + table + " (id INT) ENGINE=InnoDB");
  Run(*client, "START TRANSACTION");
  Run(*client, "INSERT INTO " + table + " VALUES (1)");
  const std::uint32_t before = client->ThreadId();
  ASSERT_TRUE(client->Reconnect()) << client->LastError();
  EXPECT_NE(client->ThreadId(), before) << "a new connection";
  EXPECT_EQ(client->ServerStatus() & SERVER_STATUS_IN_TRANS, 0u);
  EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM " + table), "0") << "rolled back";
  // A new transaction, killed: nothing is committed silently.
  Run(*client, "START TRANSACTION");
  Run(*client, "INSERT INTO " + table + " VALUES (2)");
  Kill(*client);
  EXPECT_FALSE(client->Query("COMMIT", true).Ok);
  EXPECT_EQ(client->LastErrorNo(), ErrTransactionLost);
}

TEST_P(ServerSessionState, ReconnectUnderAnUnreadRowByRowResultInATransaction) {
  auto client = Session();
  Run(*client, "START TRANSACTION");
  auto query = client->Query("SELECT seq FROM seq_1_to_100000", false);
  ASSERT_TRUE(query.Ok);
  EXPECT_FALSE(client->Query("SELECT 1", true).Ok);
  EXPECT_EQ(client->LastErrorNo(), ErrCommandsOutOfSync);
  ASSERT_TRUE(client->Reconnect()) << client->LastError();
  EXPECT_EQ(client->Status(), TMysqlStatus::Ready);
  EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1");
}

TEST_P(ServerSessionState, ChangeUserEndsTheTransactionAndWhatTheSessionHeld) {
  auto client = Session();
  Run(*client, "START TRANSACTION");
  Run(*client, "CREATE TEMPORARY TABLE st_gone (a INT)");
  ASSERT_TRUE(client->ChangeUser(server_.Native.User, server_.Native.Password, server_.Database));
  EXPECT_EQ(client->ServerStatus() & SERVER_STATUS_IN_TRANS, 0u);
  Kill(*client);
  EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1") << "nothing was open: " << client->LastError();
}

TEST_P(ServerSessionState, ASlowServerIsWaitedForToTheEndOfItsRows) {
  auto client = Session();
  client->SetConnectTimeout(2);
  auto query = client->Query("SELECT seq, SLEEP(0.002) FROM seq_1_to_2000", false);
  ASSERT_TRUE(query.Ok);
  // Some four seconds of rows against two of silence allowed.
  query.Result.reset();
  EXPECT_TRUE(client->Connected()) << client->LastError();
  EXPECT_EQ(client->LastErrorNo(), 0);
  EXPECT_EQ(QueryValue(*client, "SELECT CONNECTION_ID()"), std::to_string(client->ThreadId()));
}

TEST_P(ServerSessionState, AResultMayHaveMoreColumnsThanATable) {
  auto client = Session();
  std::string statement = "SELECT 0";
  for (int i = 1; i < 5000; ++i) statement += "," + std::to_string(i);
  for (const bool buffered : {true, false}) {
    auto query = client->Query(statement, buffered);
    ASSERT_TRUE(query.Ok) << client->LastError();
    EXPECT_EQ(query.Result->FieldCount(), 5000);
    EXPECT_EQ(query.Result->Value(4999), "4999");
  }
}

TEST_P(ServerSessionState, AStatementThatFailsAfterItsFirstRowsReportsTheFailure) {
  auto client = Session();
  Run(*client,
      "CREATE OR REPLACE FUNCTION st_boom(x INT) RETURNS INT BEGIN IF x = 3000 THEN "
      "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'boom'; END IF; RETURN x; END");
  auto query = client->Query("SELECT st_boom(seq) FROM seq_1_to_5000", false);
  ASSERT_TRUE(query.Ok) << "the first row came";
  query.Result.reset();
  EXPECT_EQ(client->LastErrorNo(), 1644) << "the drain met the error and kept it";
  EXPECT_TRUE(client->Connected());
  EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1");
}

INSTANTIATE_TEST_SUITE_P(Server, ServerSessionState,
                         ::testing::Values(Mode{false, true}, Mode{true, true}, Mode{false, false},
                                           Mode{true, false}),
                         [](const auto& test) {
                           return std::string(test.param.Compressed ? "Compressed" : "Plain") +
                                  (test.param.Tracked ? "Tracked" : "Untracked");
                         });

}  // namespace
