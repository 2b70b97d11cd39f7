// What a session does when its connection fails: no silent reconnect after a
// transaction was lost, the chosen character set on every new connection,
// oversized statements refused before sending, bounded waits, and column
// counts no server sends. Scripted in-memory connections.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

constexpr std::uint16_t kInTransaction = SERVER_STATUS_IN_TRANS | SERVER_STATUS_AUTOCOMMIT;
constexpr std::uint16_t kAutocommitOff = 0;

// A session whose first connection is scripted by the test; further
// connections are added as the test needs them.
struct Session {
  explicit Session(bool compressed = false) : script(compressed), compress(compressed) {
    first = server.Add();
    first->Reply(script.Login());
    server.AttachTo(client, compress);
  }

  std::shared_ptr<ScriptedPeer> AddConnection() {
    auto peer = server.Add();
    peer->Reply(script.Login());
    return peer;
  }

  std::vector<Bytes> Commands(const ScriptedPeer& peer) const {
    return CommandsWritten(peer.Written(), compress);
  }

  ScriptedConnections server;
  ServerScript script;
  bool compress;
  std::shared_ptr<ScriptedPeer> first;
  TMysqlClient client;
};

struct TransactionCase {
  const char* name;
  const char* opening;   // the statement that starts the transaction
  std::uint16_t status;  // what the server reports inside it
};

const TransactionCase kTransactions[] = {
    {"start transaction", "start transaction", kInTransaction},
    {"autocommit off", "set autocommit=0", kAutocommitOff},
};

// Opens a transaction on the first connection (without pings), which then
// dies; a second connection is ready for whoever reconnects.
std::shared_ptr<ScriptedPeer> OpenTransactionThenLoseIt(Session& s, const TransactionCase& c) {
  s.client.SetShouldReconnect(false);
  s.first->Reply(s.script.Ok(c.status, 0));
  s.first->Reply(s.script.Ok(c.status | SERVER_STATUS_IN_TRANS, 1));
  auto second = s.AddConnection();
  EXPECT_TRUE(s.client.Connect());
  EXPECT_TRUE(s.client.Query(c.opening, true).Ok);
  EXPECT_TRUE(s.client.Query("insert into t values (1)", true).Ok);
  s.client.SetShouldReconnect(true);
  return second;
}

TEST(SessionFaults, LostTransactionIsNeverReconnectedSilently) {
  for (const bool compress : {false, true}) {
    for (const auto& c : kTransactions) {
      SCOPED_TRACE(std::string(c.name) + (compress ? ", compressed" : ""));
      Session s(compress);
      auto second = OpenTransactionThenLoseIt(s, c);
      for (const char* statement : {"insert into t values (3)", "commit"}) {
        SCOPED_TRACE(statement);
        EXPECT_FALSE(s.client.Query(statement, true).Ok);
        EXPECT_EQ(s.client.LastErrorNo(), ErrTransactionLost);
        EXPECT_EQ(s.client.LastError(), FormatClientError(ErrTransactionLost));
        EXPECT_TRUE(s.client.TransactionLost());
      }
      EXPECT_FALSE(s.client.Ping());
      EXPECT_EQ(s.client.LastErrorNo(), ErrTransactionLost);
      EXPECT_EQ(s.server.Opened(), 1) << "no new connection was made";

      // The script reconnects explicitly and goes on. A session setting (the
      // autocommit the script chose) is given to the new connection first.
      const bool setting = c.status == kAutocommitOff;
      if (setting) second->Reply(s.script.Ok(kAutocommitOff, 1));
      second->Reply(s.script.Ok());
      ASSERT_TRUE(s.client.Reconnect()) << s.client.LastError();
      EXPECT_FALSE(s.client.TransactionLost());
      EXPECT_TRUE(s.client.Ping());
      std::vector<Bytes> expected{kPingCommand};
      if (setting) expected.insert(expected.begin(), QueryCommand(c.opening));
      EXPECT_EQ(s.Commands(*second), expected) << "the lost statements were never sent again";
    }
  }
}

TEST(SessionFaults, TransactionLostWhileTheStatementRan) {
  for (const auto& c : kTransactions) {
    SCOPED_TRACE(c.name);
    Session s;
    s.client.SetShouldReconnect(false);
    s.first->Reply(s.script.Ok(c.status, 0));
    s.first->Reply(s.script.Ok(c.status, 0));  // the ping before the insert
    // The insert's answer never comes: the connection ends.
    s.AddConnection();
    ASSERT_TRUE(s.client.Connect());
    ASSERT_TRUE(s.client.Query(c.opening, true).Ok);
    s.client.SetShouldReconnect(true);
    EXPECT_FALSE(s.client.Query("insert into t values (2)", true).Ok);
    EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
    EXPECT_FALSE(s.client.Query("commit", true).Ok) << "a commit never reports a lost transaction";
    EXPECT_EQ(s.client.LastErrorNo(), ErrTransactionLost);
    EXPECT_EQ(s.server.Opened(), 1);
  }
}

TEST(SessionFaults, ExplicitActsEndTheRefusal) {
  struct Act {
    const char* name;
    void (*act)(TMysqlClient&);
  } const acts[] = {
      {"Connect", [](TMysqlClient& c) { EXPECT_TRUE(c.Connect()); }},
      {"Reconnect", [](TMysqlClient& c) { EXPECT_TRUE(c.Reconnect()); }},
      {"Close", [](TMysqlClient& c) { c.Close(); }},
  };
  for (const auto& a : acts) {
    SCOPED_TRACE(a.name);
    Session s;
    auto second = OpenTransactionThenLoseIt(s, kTransactions[0]);
    EXPECT_FALSE(s.client.Query("commit", true).Ok);
    ASSERT_TRUE(s.client.TransactionLost());
    a.act(s.client);
    EXPECT_FALSE(s.client.TransactionLost());
    second->Reply(s.script.Ok());  // the ping
    second->Reply(s.script.Ok(2, 1));
    EXPECT_TRUE(s.client.Query("insert into t values (3)", true).Ok) << s.client.LastError();
    EXPECT_EQ(s.client.AffectedRows(), 1u);
    EXPECT_EQ(s.server.Opened(), 2);
  }
}

TEST(SessionFaults, ASettingChangeInsideATransactionLosesIt) {
  Session s;
  s.client.SetShouldReconnect(false);
  s.first->Reply(s.script.Ok(kInTransaction, 0));
  s.AddConnection();
  ASSERT_TRUE(s.client.Connect());
  ASSERT_TRUE(s.client.Query("start transaction", true).Ok);
  s.client.SetShouldReconnect(true);
  // The change closes the transport and with it the transaction.
  s.client.SetPort(3307);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(s.client.Query("commit", true).Ok);
    EXPECT_EQ(s.client.LastErrorNo(), ErrTransactionLost);
  }
  EXPECT_TRUE(s.client.TransactionLost());
  EXPECT_EQ(s.server.Opened(), 1) << "no new connection was made";
}

TEST(SessionFaults, WithoutShouldReconnectTheLossIsReportedAsBefore) {
  Session s;
  auto second = OpenTransactionThenLoseIt(s, kTransactions[0]);
  s.client.SetShouldReconnect(false);
  EXPECT_FALSE(s.client.Query("commit", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
  EXPECT_FALSE(s.client.Query("commit", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost) << "closed and not reconnecting: no new error";
  // Allowing reconnection later does not bring the transaction back.
  s.client.SetShouldReconnect(true);
  EXPECT_FALSE(s.client.Query("commit", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrTransactionLost);
  EXPECT_EQ(s.server.Opened(), 1);
}

TEST(SessionFaults, OutsideATransactionTheNextStatementReconnects) {
  Session s;
  s.first->Reply(s.script.Ok());  // the first ping; then the connection ends
  auto second = s.AddConnection();
  second->Reply(s.script.Ok());  // the ping of the retry
  second->Reply(s.script.Ok());  // ping before the statement
  second->Reply(s.script.Ok(2, 1));
  ASSERT_TRUE(s.client.Connect());
  EXPECT_TRUE(s.client.Ping());
  EXPECT_TRUE(s.client.Query("insert into t values (1)", true).Ok) << s.client.LastError();
  EXPECT_EQ(s.server.Opened(), 2);
}

// The session's own transaction (a batch of rows) lost with its connection:
// the rest of the batch never runs on a new connection, and once the batch
// has ended the script's next statement reconnects, since the script had no
// transaction open. Lost while the batch ran, and while it committed.
TEST(SessionFaults, OwnTransactionLostTakesOnlyItsBatch) {
  for (const bool duringCommit : {false, true}) {
    SCOPED_TRACE(duringCommit ? "during COMMIT" : "during the batch");
    Session s;
    s.client.SetShouldReconnect(false);              // no pings while the batch runs
    s.first->Reply(s.script.Ok(kInTransaction, 0));  // START TRANSACTION
    s.first->Reply(s.script.Ok(kInTransaction, 1));  // the batch's first statement
    // Then the connection ends.
    auto second = s.AddConnection();
    second->Reply(s.script.Ok());  // the ping before the script's next statement
    second->Reply(s.script.Ok(2, 1));
    ASSERT_TRUE(s.client.Connect());
    ASSERT_TRUE(s.client.BeginOwnTransaction());
    EXPECT_TRUE(s.client.Query("insert into t values (1)", true).Ok);
    if (duringCommit) {
      EXPECT_FALSE(s.client.EndOwnTransaction(true)) << "a lost COMMIT never reports success";
    } else {
      EXPECT_FALSE(s.client.Query("insert into t values (2)", true).Ok);
      EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
      s.client.SetShouldReconnect(true);
      EXPECT_FALSE(s.client.Query("insert into t values (3)", true).Ok)
          << "nothing of the batch runs outside its transaction";
      EXPECT_EQ(s.server.Opened(), 1);
      EXPECT_FALSE(s.client.EndOwnTransaction(false));
    }
    s.client.SetShouldReconnect(true);
    EXPECT_EQ(s.server.Opened(), 1);
    EXPECT_FALSE(s.client.TransactionLost());
    EXPECT_TRUE(s.client.Query("insert into t values (4)", true).Ok) << s.client.LastError();
    EXPECT_EQ(s.server.Opened(), 2);
    EXPECT_EQ(s.Commands(*second),
              (std::vector<Bytes>{kPingCommand, QueryCommand("insert into t values (4)")}));
  }
}

TEST(SessionFaults, ChosenCharacterSetComesBackOnEveryNewConnection) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    Session s(compress);
    s.client.SetShouldReconnect(false);
    s.first->Reply(s.script.Ok());
    auto second = s.AddConnection();
    second->Reply(s.script.Ok());  // SET NAMES again
    second->Reply(s.script.Ok());  // the ping
    second->Reply(s.script.Ok());  // the statement
    ASSERT_TRUE(s.client.Connect());
    ASSERT_TRUE(s.client.Query("  /* hello */ SET NAMES cp1251", true).Ok);
    s.client.SetShouldReconnect(true);
    EXPECT_TRUE(s.client.Query("insert into t values ('Чай')", true).Ok) << s.client.LastError();
    EXPECT_EQ(s.Commands(*second),
              (std::vector<Bytes>{QueryCommand("  /* hello */ SET NAMES cp1251"), kPingCommand,
                                  QueryCommand("insert into t values ('Чай')")}));
  }
}

TEST(SessionFaults, StatementIsNotRunWhenTheCharacterSetCannotBeRestored) {
  Session s;
  s.client.SetShouldReconnect(false);
  s.first->Reply(s.script.Ok());
  auto second = s.AddConnection();
  second->Reply(s.script.Reply({ErrorPayload(1115, "42000", "Unknown character set: 'cp1251'")}));
  ASSERT_TRUE(s.client.Connect());
  ASSERT_TRUE(s.client.Query("set character set cp1251", true).Ok);
  s.client.SetShouldReconnect(true);
  EXPECT_FALSE(s.client.Query("insert into t values ('Чай')", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), 1115);
  EXPECT_FALSE(s.client.Connected()) << "a connection in the wrong character set is not kept";
  EXPECT_EQ(s.Commands(*second), std::vector<Bytes>{QueryCommand("set character set cp1251")});
}

TEST(SessionFaults, CloseForgetsTheCharacterSet) {
  Session s;
  s.client.SetShouldReconnect(false);
  s.first->Reply(s.script.Ok());
  auto second = s.AddConnection();
  second->Reply(s.script.Ok());
  ASSERT_TRUE(s.client.Connect());
  ASSERT_TRUE(s.client.Query("SET NAMES utf8", true).Ok);
  s.client.Close();
  ASSERT_TRUE(s.client.Connect());
  EXPECT_TRUE(s.client.Ping());
  EXPECT_EQ(s.Commands(*second), std::vector<Bytes>{kPingCommand});
}

TEST(SessionFaults, OversizedStatementIsRefusedAndTheConnectionStays) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    const ServerScript script(compress);
    ScriptedConnections server;
    auto peer = server.Add();
    peer->Reply(script.Login());
    peer->Reply(script.Ok());  // start transaction
    peer->Reply(script.Ok());  // ping after the refusal
    // A session that takes statements of 1,000 bytes at most (real ones: 1 GiB).
    TMysqlClient client(1000);
    server.AttachTo(client, compress);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Query("start transaction", true).Ok);
    const std::size_t written = peer->Written().size();
    client.SetShouldReconnect(true);
    EXPECT_FALSE(client.Query(std::string(1000, 'x'), true).Ok);
    EXPECT_EQ(client.LastErrorNo(), ErrStatementTooLarge);
    EXPECT_EQ(client.LastError(),
              "The statement of 1000 bytes is longer than the 999 bytes this client sends; nothing "
              "was sent");
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(peer->Written().size(), written) << "nothing went out";
    EXPECT_TRUE(client.Ping());
  }
}

TEST(SessionFaults, HandshakeIsBoundedByTheConnectTimeout) {
  const ServerScript script(false);
  const Bytes login = script.Login();
  const Bytes greeting(login.begin(), login.begin() + 4 + 40);  // a greeting cut short
  const Bytes wholeGreeting(login.begin(), login.end() - 11);   // no answer to the login
  for (const Bytes& sent : {Bytes{}, greeting, wholeGreeting}) {
    SCOPED_TRACE(sent.size());
    ScriptedConnections server;
    auto peer = server.Add();
    if (!sent.empty()) peer->Reply(sent);
    peer->Stall();
    TMysqlClient client;
    server.AttachTo(client);
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.LastErrorNo(), ErrConnect);
    EXPECT_EQ(client.LastError(), FormatClientError(ErrConnect, {"scripted", 110}));
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(peer->Closed());
  }
}

TEST(SessionFaults, ServerThatStopsAnsweringFailsThePingInsteadOfHanging) {
  Session s;
  s.first->Stall();
  s.client.SetShouldReconnect(false);
  ASSERT_TRUE(s.client.Connect());
  EXPECT_FALSE(s.client.Ping());
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
  EXPECT_FALSE(s.client.Connected());
  EXPECT_TRUE(s.first->Closed());
}

TEST(SessionFaults, UnreadRowsOfAStalledServerAreNotDrainedForever) {
  Session s;
  s.client.SetShouldReconnect(false);
  const Bytes rows = s.script.ResultSet({"a", "b", "c"});
  s.first->Reply(Bytes(rows.begin(), rows.end() - 9));  // the last row and the end never come
  s.first->Stall();
  ASSERT_TRUE(s.client.Connect());
  auto query = s.client.Query("select v from t", false);
  ASSERT_TRUE(query.Ok);
  query.Result.reset();
  EXPECT_EQ(s.client.Status(), TMysqlStatus::Ready);
  EXPECT_FALSE(s.client.Connected()) << "closed instead of drained";
}

// A server that sends its rows slowly, one every two milliseconds, then the
// end of data: live all along, but slower in all than the drain's bound.
class SlowRows final : public platform::TByteStream {
 public:
  SlowRows(Bytes start, int rows) : pending_(std::move(start)), rowsLeft_(rows) {}
  int Read(std::uint8_t* buffer, int size) override {
    if (pending_.empty()) {
      pending_ = rowsLeft_-- > 0 ? Packet(sequence_++, RowPayload({std::string(100, 'r')}))
                                 : Packet(sequence_++, EofPayload());
    }
    const int count = std::min(size, static_cast<int>(pending_.size()));
    std::copy_n(pending_.begin(), count, buffer);
    pending_.erase(pending_.begin(), pending_.begin() + count);
    return count;
  }
  int Write(const std::uint8_t*, int size) override { return size; }
  int SetNonBlocking(bool) override { return 0; }
  bool WaitReadable(std::int64_t milliseconds) override {
    longestWait_ = std::max(longestWait_, milliseconds);
    if (pending_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
  }
  platform::TIoError LastIoError() const override { return platform::TIoError::None; }
  void Close() override {}

  std::int64_t longestWait_ = 0;

 private:
  Bytes pending_;
  int rowsLeft_;
  std::uint8_t sequence_ = 4;
};

TEST(SessionFaults, ASlowServerIsDrainedToTheEndAndOnlySilenceIsBounded) {
  const ServerScript script(false);
  const Bytes header = script.Reply({{1}, Field41Payload("v", 253, 100), EofPayload()});
  TMysqlClient client;
  ScriptedConnections unused;
  unused.AttachTo(client);
  SlowRows* stream = nullptr;
  client.SetConnector([&] {
    auto slow = std::make_unique<SlowRows>(Concat({script.Login(), header}), 1000);
    stream = slow.get();
    return slow;
  });
  client.SetConnectTimeout(1);
  client.SetShouldReconnect(false);
  ASSERT_TRUE(client.Connect());
  auto query = client.Query("select v from slow", false);
  ASSERT_TRUE(query.Ok);
  query.Result->Next();
  // About two seconds of rows against a bound of one second of silence.
  query.Result.reset();
  EXPECT_EQ(client.Status(), TMysqlStatus::Ready);
  EXPECT_TRUE(client.Connected()) << client.LastError();
  EXPECT_EQ(client.LastErrorNo(), 0);
  EXPECT_EQ(stream->longestWait_, 1000) << "each wait bounded by the silence allowed";
}

TEST(SessionFaults, ColumnCountsAreBoundedByWhatArrives) {
  // More columns than a table may have: a result may have them.
  constexpr int kColumns = 5000;
  Bytes fields = {0xFC, static_cast<std::uint8_t>(kColumns & 0xFF),
                  static_cast<std::uint8_t>(kColumns >> 8)};
  std::vector<Bytes> reply{fields};
  std::vector<std::optional<std::string>> row;
  for (int i = 0; i < kColumns; ++i) {
    reply.push_back(Field41Payload("c" + std::to_string(i), 253, 10));
    row.push_back(std::to_string(i));
  }
  reply.push_back(EofPayload());
  reply.push_back(RowPayload(row));
  reply.push_back(EofPayload());
  for (const bool buffered : {true, false}) {
    SCOPED_TRACE(buffered ? "buffered" : "row by row");
    Session s;
    s.client.SetShouldReconnect(false);
    s.first->Reply(s.script.Reply(reply));
    ASSERT_TRUE(s.client.Connect());
    auto query = s.client.Query("select c0, ..., c4999", buffered);
    ASSERT_TRUE(query.Ok) << s.client.LastError();
    ASSERT_EQ(query.Result->FieldCount(), kColumns);
    EXPECT_EQ(query.Result->Value(kColumns - 1), "4999");
  }

  // A count no server sends, with the descriptions that really came: the
  // stream is out of step, and nothing was sized by the announced count.
  Session s;
  s.client.SetShouldReconnect(false);
  s.first->Reply(s.script.Reply(
      {{254, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, Field41Payload("v", 253, 10), EofPayload()}));
  ASSERT_TRUE(s.client.Connect());
  EXPECT_FALSE(s.client.Query("select *", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrMalformedPacket);
  EXPECT_FALSE(s.client.Connected()) << "the stream is out of step";
}

}  // namespace

namespace {

// A row-by-row row is read where it lies in the packet buffer; whatever the
// buffer does next (refills that move what it holds, a larger packet, the
// next command, closing) the row the result shows stays whole.
TEST(SessionRows, TheCurrentRowOutlivesItsPacket) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    const ServerScript script(compress);
    ScriptedConnections server;
    auto peer = server.Add();
    peer->Reply(script.Login());
    const std::string big(20000, 'b');
    const std::vector<std::optional<std::string>> rows = {"first", big, "third"};
    const Bytes reply = script.ResultSet(rows);
    // One byte at a time: every packet needs reads that refill the buffer.
    for (const std::uint8_t byte : reply) peer->Reply({byte});
    peer->Reply(script.Ok());  // the ping afterwards
    TMysqlClient client;
    server.AttachTo(client, compress);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect());
    TQueryResult query = client.Query("select v from t", false);
    ASSERT_TRUE(query.Ok);
    EXPECT_EQ(query.Result->Value(0), "first");
    query.Result->Next();
    EXPECT_TRUE(query.Result->Value(0) == big) << "the large row";
    query.Result->Next();
    EXPECT_EQ(query.Result->Value(0), "third");
    query.Result->Next();
    ASSERT_TRUE(query.Result->Eof());
    EXPECT_EQ(query.Result->Value(0), "third") << "the last row stays after the end of data";
    EXPECT_TRUE(client.Ping());
    EXPECT_EQ(query.Result->Value(0), "third") << "and after the next command";
    client.Close();
    EXPECT_EQ(query.Result->Value(0), "third") << "and after closing";
  }
}

TEST(SessionRows, ClosingUnderAnUnfinishedResultKeepsItsRow) {
  const ServerScript script(false);
  ScriptedConnections server;
  auto peer = server.Add();
  peer->Reply(script.Login());
  const Bytes reply = script.ResultSet({"one", "two"});
  peer->Reply(Bytes(reply.begin(), reply.end() - 9));  // "two" and the end never come
  TMysqlClient client;
  server.AttachTo(client);
  client.SetShouldReconnect(false);
  ASSERT_TRUE(client.Connect());
  TQueryResult query = client.Query("select v from t", false);
  ASSERT_TRUE(query.Ok);
  client.Close();
  EXPECT_EQ(query.Result->Value(0), "one");
  query.Result->Next();
  EXPECT_TRUE(query.Result->Eof());
  EXPECT_EQ(query.Result->Value(0), "one");
}

}  // namespace
