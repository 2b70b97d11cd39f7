// Against the real server: procedures with 0, 1 and 2 results, an OUT
// parameter read through a user variable, an error raised in the second
// result, buffered and row by row, plain and compressed, inside a
// transaction, and the next statement in step; Escape round-tripping every
// byte with and without NO_BACKSLASH_ESCAPES (and under gbk, where a
// backslash can hide in a character); Charset from the handshake on, kept
// over a killed connection and a change of user, and an unknown name
// refused by the server (what text it gives a utf8mb4 table is
// tests/connection/scripts/charset.txt's).

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ServerHelpers.h"

using namespace mysql;

namespace {

std::optional<std::string> Text(const TMysqlResult& result, int column = 0) {
  const auto value = result.Value(column);
  if (!value) return std::nullopt;
  return std::string(*value);
}

class ServerMultiResults : public ServerTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    client_ = NativeSession(GetParam());
    // Tests run side by side: each has tables and procedures of its own.
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    suffix_ = "_" + std::to_string(std::hash<std::string>{}(test->name()) % 1000000);
    Run("CREATE OR REPLACE TABLE mr_t" + suffix_ + " (id INT, v VARCHAR(20))");
    Run("INSERT INTO mr_t" + suffix_ + " VALUES (1, 'one'), (2, 'two'), (3, 'three')");
    Procedure("mr_none", "UPDATE mr_t" + suffix_ + " SET v = v WHERE id < 3");
    Procedure("mr_one", "SELECT id, v FROM mr_t" + suffix_ + " ORDER BY id");
    Procedure("mr_two", "BEGIN SELECT id FROM mr_t" + suffix_ +
                            " WHERE id = 1; SELECT v FROM mr_t" + suffix_ +
                            " WHERE id > 1 ORDER BY id; END");
    Procedure("mr_fail", "BEGIN SELECT id FROM mr_t" + suffix_ +
                             " WHERE id = 1; SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'second "
                             "failed'; END");
    Procedure("mr_add", "BEGIN INSERT INTO mr_t" + suffix_ +
                            " VALUES (9, 'nine'); SELECT COUNT(*) FROM mr_t" + suffix_ + "; END");
    Run("CREATE OR REPLACE PROCEDURE mr_out" + suffix_ +
        "(OUT n INT) SELECT COUNT(*) INTO n FROM mr_t" + suffix_);
  }
  void Run(const std::string& statement) {
    ASSERT_TRUE(client_->Query(statement, true).Ok) << statement << ": " << client_->LastError();
  }
  void Procedure(const std::string& name, const std::string& body) {
    Run("CREATE OR REPLACE PROCEDURE " + name + suffix_ + "() " + body);
  }
  std::string Call(const char* name) const { return std::string("CALL ") + name + suffix_ + "()"; }

  std::unique_ptr<TMysqlClient> client_;
  std::string suffix_;
};

TEST_P(ServerMultiResults, ZeroOneAndTwoResultsInBothKinds) {
  TMysqlClient& c = *client_;
  auto none = c.Query(Call("mr_none"), true);
  ASSERT_TRUE(none.Ok) << c.LastError();
  EXPECT_FALSE(none.Result);
  EXPECT_EQ(c.AffectedRows(), 0u) << "no row changed";
  EXPECT_FALSE(c.HasPendingResults());
  EXPECT_FALSE(c.NextResult(true).Ok);
  EXPECT_EQ(c.LastErrorNo(), 0);

  for (const bool buffered : {true, false}) {
    SCOPED_TRACE(buffered ? "buffered" : "row by row");
    auto one = c.Query(Call("mr_one"), buffered);
    ASSERT_TRUE(one.Ok && one.Result) << c.LastError();
    EXPECT_EQ(one.Result->FieldCount(), 2);
    EXPECT_EQ(Text(*one.Result, 1), "one");
    one.Result->Last();
    EXPECT_EQ(one.Result->RowCount(), 3u);
    EXPECT_TRUE(c.HasPendingResults()) << "the procedure's status";
    EXPECT_FALSE(c.NextResult(buffered).Ok);
    EXPECT_EQ(c.LastErrorNo(), 0);

    auto two = c.Query(Call("mr_two"), buffered);
    ASSERT_TRUE(two.Ok && two.Result) << c.LastError();
    EXPECT_EQ(Text(*two.Result), "1");
    two.Result.reset();
    auto second = c.NextResult(buffered);
    ASSERT_TRUE(second.Ok && second.Result) << c.LastError();
    EXPECT_EQ(second.Result->Buffered(), buffered);
    EXPECT_EQ(Text(*second.Result), "two");
    second.Result->Next();
    EXPECT_EQ(Text(*second.Result), "three");
    second.Result.reset();
    EXPECT_FALSE(c.NextResult(buffered).Ok);
    EXPECT_EQ(c.LastErrorNo(), 0);
    EXPECT_EQ(QueryValue(c, "SELECT 'in step'"), "in step");
  }
}

TEST_P(ServerMultiResults, AnOutParameterThroughAUserVariable) {
  TMysqlClient& c = *client_;
  ASSERT_TRUE(c.Query("CALL mr_out" + suffix_ + "(@n)", true).Ok) << c.LastError();
  EXPECT_FALSE(c.HasPendingResults());
  EXPECT_EQ(QueryValue(c, "SELECT @n"), "3");
}

TEST_P(ServerMultiResults, AnErrorInTheSecondResultIsReported) {
  TMysqlClient& c = *client_;
  for (const bool buffered : {true, false}) {
    SCOPED_TRACE(buffered ? "buffered" : "row by row");
    auto first = c.Query(Call("mr_fail"), buffered);
    ASSERT_TRUE(first.Ok && first.Result) << c.LastError();
    EXPECT_EQ(Text(*first.Result), "1");
    first.Result.reset();
    EXPECT_FALSE(c.NextResult(buffered).Ok);
    EXPECT_EQ(c.LastErrorNo(), 1644);
    EXPECT_EQ(c.LastError(), "second failed");
    EXPECT_EQ(QueryValue(c, "SELECT 'in step'"), "in step");
  }
  // Left unread, the error is the next statement's answer; the one after runs.
  ASSERT_TRUE(c.Query(Call("mr_fail"), true).Ok) << c.LastError();
  EXPECT_FALSE(c.Query("SELECT 1", true).Ok);
  EXPECT_EQ(c.LastErrorNo(), 1644);
  EXPECT_EQ(QueryValue(c, "SELECT 'in step'"), "in step");
  // Every result read and dropped, as Execute does.
  ASSERT_TRUE(c.Query(Call("mr_two"), false).Ok) << c.LastError();
  EXPECT_TRUE(c.DropPendingResults()) << "the first result is still reading";
  EXPECT_EQ(QueryValue(c, "SELECT 'in step'"), "in step");
}

TEST_P(ServerMultiResults, InsideATransaction) {
  TMysqlClient& c = *client_;
  Run("START TRANSACTION");
  auto added = c.Query(Call("mr_add"), true);
  ASSERT_TRUE(added.Ok && added.Result) << c.LastError();
  EXPECT_EQ(Text(*added.Result), "4");
  EXPECT_TRUE(c.ServerStatus() & SERVER_STATUS_IN_TRANS);
  EXPECT_FALSE(c.NextResult(true).Ok);
  EXPECT_EQ(c.LastErrorNo(), 0);
  EXPECT_TRUE(c.ServerStatus() & SERVER_STATUS_IN_TRANS) << "the final status says so too";
  Run("ROLLBACK");
  EXPECT_EQ(QueryValue(c, "SELECT COUNT(*) FROM mr_t" + suffix_), "3");
}

INSTANTIATE_TEST_SUITE_P(Server, ServerMultiResults, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Compressed" : "Plain"; });

// Sessions that choose a character set, plain or compressed.
class ServerInCharset : public ServerTest, public ::testing::WithParamInterface<bool> {
 protected:
  // Set up for the all-privileges account over TCP, not yet connected.
  std::unique_ptr<TMysqlClient> SessionIn(const char* charset) {
    auto client = std::make_unique<TMysqlClient>();
    Configure(*client, server_, server_.Native, Transport::Tcp, GetParam());
    EXPECT_TRUE(client->SetCharset(charset));
    return client;
  }
};

class ServerEscape : public ServerInCharset {};

// Every byte value as cp1251 text, inserted through Escape and selected back.
TEST_P(ServerEscape, EveryByteRoundTrips) {
  const auto client = SessionIn("cp1251");
  ASSERT_TRUE(client->Connect()) << client->LastError();
  TMysqlClient& c = *client;
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  const std::string table = GetParam() ? "esc_c" : "esc_p";
  ASSERT_TRUE(
      c.Query("CREATE OR REPLACE TABLE " + table + " (mode INT, v VARBINARY(600))", true).Ok);
  for (const bool noBackslashEscapes : {false, true}) {
    SCOPED_TRACE(noBackslashEscapes ? "NO_BACKSLASH_ESCAPES" : "backslash escapes");
    ASSERT_TRUE(c.Query(noBackslashEscapes ? "SET sql_mode = 'NO_BACKSLASH_ESCAPES'"
                                           : "SET sql_mode = DEFAULT",
                        true)
                    .Ok);
    const std::string mode = noBackslashEscapes ? "1" : "0";
    ASSERT_TRUE(
        c.Query("INSERT INTO " + table + " VALUES (" + mode + ", '" + c.Escape(every) + "')", true)
            .Ok)
        << c.LastError();
    const auto back = c.Query("SELECT v FROM " + table + " WHERE mode = " + mode, true);
    ASSERT_TRUE(back.Ok && back.Result) << c.LastError();
    EXPECT_EQ(Text(*back.Result), every);
    EXPECT_EQ(QueryValue(c, "SELECT COUNT(*) FROM " + table + " WHERE mode = " + mode +
                                " AND v = '" + c.Escape(every) + "'"),
              "1");
    EXPECT_EQ(QueryValue(c, "SELECT COUNT(*) FROM " + table + " WHERE v = '" +
                                c.Escape("x' or '1'='1") + "'"),
              "0")
        << "the injection matches nothing";
  }
}

// Under gbk a lone lead byte before a quote would turn the escaping
// backslash into half of a character and leave the quote bare.
TEST_P(ServerEscape, GbkLeadBytesCannotSwallowTheEscape) {
  const auto client = SessionIn("gbk");
  ASSERT_TRUE(client->Connect()) << client->LastError();
  TMysqlClient& c = *client;
  EXPECT_EQ(QueryValue(c, "SELECT @@character_set_client"), "gbk");
  const std::string table = GetParam() ? "esc_gbk_c" : "esc_gbk_p";
  ASSERT_TRUE(c.Query("CREATE OR REPLACE TABLE " + table +
                          " (v VARCHAR(20) CHARACTER SET gbk) CHARACTER SET gbk",
                      true)
                  .Ok);
  ASSERT_TRUE(c.Query("INSERT INTO " + table + " VALUES ('a'), ('b')", true).Ok);
  const std::string attack = "\xBF' OR 1=1 -- ";
  EXPECT_EQ(
      QueryValue(c, "SELECT COUNT(*) FROM " + table + " WHERE v = '" + c.Escape(attack) + "'"),
      "0");
  // A character whose second byte is a backslash goes whole.
  const std::string withBackslash = "\x95\\x";
  ASSERT_TRUE(
      c.Query("INSERT INTO " + table + " VALUES ('" + c.Escape(withBackslash) + "')", true).Ok)
      << c.LastError();
  EXPECT_EQ(QueryValue(c, "SELECT HEX(v) FROM " + table + " WHERE v NOT IN ('a', 'b')"), "955C78");
}

INSTANTIATE_TEST_SUITE_P(Server, ServerEscape, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Compressed" : "Plain"; });

class ServerCharset : public ServerInCharset {};

TEST_P(ServerCharset, ChosenFromTheHandshakeOnAndKept) {
  for (const char* charset : {"cp1251", "utf8mb4", "koi8u"}) {
    SCOPED_TRACE(charset);
    const auto client = SessionIn(charset);
    TMysqlClient& c = *client;
    ASSERT_TRUE(c.Connect()) << c.LastError();
    const std::string query =
        "SELECT CONCAT_WS(',', @@character_set_client, @@character_set_connection, "
        "@@character_set_results)";
    const std::string all = std::string(charset) + "," + charset + "," + charset;
    EXPECT_EQ(QueryValue(c, query), all);
    Killer(server_, c.ThreadId()).Now();
    EXPECT_EQ(QueryValue(c, query), all) << "after a new connection";
    ASSERT_TRUE(c.ChangeUser(server_.Native.User, server_.Native.Password, server_.Database))
        << c.LastError();
    EXPECT_EQ(QueryValue(c, query), all) << "after a change of user";
  }
}

TEST_P(ServerCharset, AnUnknownNameFailsTheConnect) {
  const auto client = SessionIn("klingon");
  EXPECT_FALSE(client->Connect());
  EXPECT_EQ(client->LastErrorNo(), 1115) << client->LastError();
  EXPECT_FALSE(client->Connected());
}

INSTANTIATE_TEST_SUITE_P(Server, ServerCharset, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Compressed" : "Plain"; });

}  // namespace
