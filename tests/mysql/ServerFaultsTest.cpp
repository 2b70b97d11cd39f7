// Connection faults against the real server: sessions killed from another
// session or cut off by a server restart inside a transaction, during a
// buffered read, a row-by-row walk and a local-file upload; the character set
// after a reconnect; oversized statements and the largest values, plain and
// compressed.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ServerHelpers.h"

using namespace mysql;

namespace {

using namespace std::chrono_literals;

// Rows that the server produces slowly, 20 a second for 10 seconds, each
// large enough to be sent on its own.
constexpr const char* kSlowRows = "SELECT SLEEP(0.05), seq, REPEAT('r', 20000) FROM seq_1_to_200";

class ServerFaults : public ServerTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::unique_ptr<TMysqlClient> Session() { return NativeSession(GetParam()); }
  std::string Table(const char* base) const {
    return std::string(base) + (GetParam() ? "_compressed" : "_plain");
  }
};

TEST_P(ServerFaults, KilledInsideATransactionNothingIsReportedAsDone) {
  for (const char* opening : {"START TRANSACTION", "SET autocommit = 0"}) {
    SCOPED_TRACE(opening);
    auto client = Session();
    const std::string table = Table("fault_tx");
    ASSERT_TRUE(
        client->Query("CREATE OR REPLACE TABLE " + table + " (id INT) ENGINE=InnoDB", true).Ok);
    ASSERT_TRUE(client->Query(opening, true).Ok);
    ASSERT_TRUE(client->Query("INSERT INTO " + table + " VALUES (1)", true).Ok);
    ASSERT_TRUE(client->Query("INSERT INTO " + table + " VALUES (2)", true).Ok);
    Killer(server_, client->ThreadId()).Now();

    EXPECT_FALSE(client->Query("INSERT INTO " + table + " VALUES (3)", true).Ok);
    EXPECT_EQ(client->LastErrorNo(), ErrTransactionLost) << client->LastError();
    EXPECT_FALSE(client->Query("COMMIT", true).Ok);
    EXPECT_EQ(client->LastErrorNo(), ErrTransactionLost);
    ASSERT_TRUE(client->Reconnect()) << client->LastError();
    EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM " + table), "0")
        << "rows 1 and 2 went with the transaction, row 3 was never sent";
  }
}

TEST_P(ServerFaults, ChosenCharacterSetSurvivesAReconnect) {
  auto client = Session();
  const std::string table = Table("fault_charset");
  ASSERT_TRUE(
      client
          ->Query("CREATE OR REPLACE TABLE " + table + " (name VARCHAR(20)) CHARACTER SET utf8mb4",
                  true)
          .Ok);
  ASSERT_TRUE(client->Query("SET NAMES cp1251", true).Ok);
  Killer(server_, client->ThreadId()).Now();
  const std::string tea = "\xD7\xE0\xE9";  // "Чай" in Windows-1251
  EXPECT_TRUE(client->Query("INSERT INTO " + table + " VALUES ('" + tea + "')", true).Ok)
      << client->LastError();
  EXPECT_EQ(QueryValue(*client, "SELECT @@character_set_client"), "cp1251");
  EXPECT_EQ(QueryValue(*client, "SELECT name FROM " + table), tea);
  EXPECT_EQ(QueryValue(*client, "SELECT HEX(CONVERT(name USING utf8mb4)) FROM " + table),
            "D0A7D0B0D0B9")
      << "stored as Cyrillic, not as question marks";
}

TEST_P(ServerFaults, KilledDuringABufferedRead) {
  auto client = Session();
  Killer killer(server_, client->ThreadId());
  killer.After(300ms);
  const TQueryResult query = client->Query(kSlowRows, true);
  EXPECT_FALSE(query.Ok);
  EXPECT_FALSE(query.Result);
  EXPECT_NE(client->LastErrorNo(), 0);
  EXPECT_FALSE(client->Connected());
  EXPECT_TRUE(client->Ping()) << "outside a transaction the session reconnects";
}

TEST_P(ServerFaults, KilledDuringARowByRowWalk) {
  auto client = Session();
  TQueryResult query = client->Query(kSlowRows, false);
  ASSERT_TRUE(query.Ok) << client->LastError();
  Killer killer(server_, client->ThreadId());
  killer.After(300ms);
  while (!query.Result->Eof()) query.Result->Next();
  EXPECT_EQ(query.Result->ReadStatus(), -1) << "the walk did not reach the end";
  EXPECT_LT(query.Result->RowCount(), 200u);
  EXPECT_NE(client->LastErrorNo(), 0) << "and says why";
  query.Result.reset();
  EXPECT_TRUE(client->Ping());
}

// A statement beyond the server's max_allowed_packet (64 MB for the test
// server): the server's refusal is reported, never success, and the
// transaction it ended is not quietly replaced by a new connection.
TEST_P(ServerFaults, StatementBeyondTheServersLimitInsideATransaction) {
  auto client = Session();
  const std::string table = Table("fault_beyond");
  ASSERT_TRUE(
      client->Query("CREATE OR REPLACE TABLE " + table + " (v LONGBLOB) ENGINE=InnoDB", true).Ok);
  ASSERT_TRUE(client->Query("START TRANSACTION", true).Ok);
  ASSERT_TRUE(client->Query("INSERT INTO " + table + " VALUES ('kept?')", true).Ok);
  EXPECT_FALSE(
      client
          ->Query("INSERT INTO " + table + " VALUES ('" + std::string(70'000'000, 'v') + "')", true)
          .Ok);
  EXPECT_NE(client->LastErrorNo(), 0) << "the server's refusal (or the lost connection) says why";
  EXPECT_FALSE(client->Query("COMMIT", true).Ok) << "the transaction is gone";
  EXPECT_EQ(client->LastErrorNo(), ErrTransactionLost);
  ASSERT_TRUE(client->Reconnect()) << client->LastError();
  EXPECT_EQ(QueryValue(*client, "SELECT COUNT(*) FROM " + table), "0");
}

TEST_P(ServerFaults, TheReadTimeoutBoundsSilenceNotSlowRows) {
  auto client = Session();
  client->SetReadTimeout(1);
  // Rows 300 ms apart, each large enough for the server to send it at once:
  // three seconds in all, never a second of silence.
  const auto slow =
      client->Query("SELECT SLEEP(0.3), seq, REPEAT('r', 20000) FROM seq_1_to_10", true);
  ASSERT_TRUE(slow.Ok) << client->LastError();
  EXPECT_EQ(slow.Result->RowCount(), 10u);

  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(client->Query("SELECT SLEEP(5)", true).Ok);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
  EXPECT_EQ(client->LastErrorNo(), ErrServerLost);
  EXPECT_FALSE(client->Connected());
  EXPECT_EQ(QueryValue(*client, "SELECT 1"), "1")
      << "outside a transaction the next one reconnects";
}

INSTANTIATE_TEST_SUITE_P(Server, ServerFaults, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Compressed" : "Plain"; });

// A server restart ends every connection; inside a transaction the session
// waits for the script, outside it reconnects as soon as the server is back.
// The same when the server crashes during a local-file upload. (Neither a KILL
// nor a shutdown makes a good test there: the server may stop reading the
// upload for minutes before it closes the connection.)
class ServerRestart : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(own_.Server()) << "could not start a private server"; }
  void Connect(TMysqlClient& client, bool compress) {
    Configure(client, *own_.Server(), own_.Server()->Native, Transport::Tcp, compress);
    ASSERT_TRUE(client.Connect()) << client.LastError();
  }
  // One server per test: CTest runs the tests of this suite side by side.
  PrivateMariaDb own_{std::string("restart-") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(ServerRestart, InsideAndOutsideATransaction) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    TMysqlClient client;
    Connect(client, compress);
    ASSERT_TRUE(client.Query("CREATE OR REPLACE TABLE restart_tx (id INT) ENGINE=InnoDB", true).Ok);
    ASSERT_TRUE(client.Query("START TRANSACTION", true).Ok);
    ASSERT_TRUE(client.Query("INSERT INTO restart_tx VALUES (1)", true).Ok);
    ASSERT_TRUE(own_.Restart());
    EXPECT_FALSE(client.Query("INSERT INTO restart_tx VALUES (2)", true).Ok);
    EXPECT_EQ(client.LastErrorNo(), ErrTransactionLost) << client.LastError();
    EXPECT_FALSE(client.Query("COMMIT", true).Ok);
    ASSERT_TRUE(client.Reconnect()) << client.LastError();
    EXPECT_EQ(QueryValue(client, "SELECT COUNT(*) FROM restart_tx"), "0");

    ASSERT_TRUE(own_.Restart());
    EXPECT_TRUE(client.Query("INSERT INTO restart_tx VALUES (3)", true).Ok) << client.LastError();
    EXPECT_EQ(QueryValue(client, "SELECT COUNT(*) FROM restart_tx"), "1");
  }
}

TEST_F(ServerRestart, SettingsComeBackAndHoldingsRefuse) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    TMysqlClient client;
    Connect(client, compress);
    ASSERT_TRUE(client.Query("SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'", true).Ok);
    ASSERT_TRUE(client.Query("SET NAMES cp1251", true).Ok);
    ASSERT_TRUE(own_.Restart());
    EXPECT_EQ(QueryValue(client, "SELECT CONCAT(@@sql_mode, ' ', @@character_set_client)"),
              "NO_BACKSLASH_ESCAPES cp1251")
        << client.LastError();

    ASSERT_TRUE(client.Query("CREATE TEMPORARY TABLE restart_tmp (a INT)", true).Ok);
    ASSERT_TRUE(own_.Restart());
    EXPECT_FALSE(client.Query("SELECT * FROM restart_tmp", true).Ok);
    EXPECT_EQ(client.LastErrorNo(), ErrSessionStateLost) << client.LastError();
    ASSERT_TRUE(client.Reconnect()) << client.LastError();
    EXPECT_EQ(QueryValue(client, "SELECT @@character_set_client"), "cp1251");
  }
}

TEST_F(ServerRestart, CrashDuringALocalFileUpload) {
  const auto path = std::filesystem::temp_directory_path() / "orbelin-restart-upload.csv";
  {
    std::ofstream file(path);
    for (int i = 0; i < 3'000'000; ++i) file << i << ",some text to load\n";
  }
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    TMysqlClient client;
    Connect(client, compress);
    ASSERT_TRUE(
        client.Query("CREATE OR REPLACE TABLE restart_upload (id INT, s VARCHAR(40))", true).Ok);
    std::thread restart([this] {
      std::this_thread::sleep_for(300ms);
      EXPECT_TRUE(own_.Restart(true));
    });
    const auto load = client.Query("LOAD DATA LOCAL INFILE '" + path.string() +
                                       "' INTO TABLE restart_upload FIELDS TERMINATED BY ','",
                                   true);
    restart.join();
    EXPECT_FALSE(load.Ok);
    EXPECT_NE(client.LastErrorNo(), 0);
    EXPECT_TRUE(client.Ping()) << "outside a transaction the session reconnects";
  }
  std::filesystem::remove(path);
}

}  // namespace
