// The ping before a statement (ShouldReconnect) travels in the same write as
// the statement when the connection answered a moment ago and shows no sign
// of having been closed: one round trip per statement, the same bytes in the
// same order. A loss after an answer began fails the statement, which is never
// sent again; a connection closed before it answered anything is replaced as
// by an awaited ping; one already closed is found by the ping first.

#include <gtest/gtest.h>

#include "FakeReplies.h"
#include "ScriptedSession.h"

using namespace mysql;

namespace {

struct Answering {
  explicit Answering(bool compress = false) : script(compress), compressed(compress) {
    first = Connection();
    server.AttachTo(client, compress);
  }
  // A connection whose server answers only what it was asked.
  std::shared_ptr<ScriptedPeer> Connection() {
    auto peer = server.Add();
    const std::uint16_t caps = compressed ? (kServer41 | 0x20) : kServer41;
    peer->Reply(Packet(0, GreetingPayload(10, "5.0.96", caps)));
    peer->Answer(Packet(2, OkPayload()));
    return peer;
  }
  std::vector<Bytes> Commands(const ScriptedPeer& peer) const {
    return CommandsWritten(peer.Written(), compressed);
  }

  ScriptedConnections server;
  ServerScript script;
  bool compressed;
  std::shared_ptr<ScriptedPeer> first;
  TMysqlClient client;
};

TEST(PingAlongside, OneWriteCarriesThePingAndTheStatement) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    Answering s(compress);
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    const int login = s.first->Writes();
    for (int statement = 1; statement <= 3; ++statement) {
      s.first->Answer(Concat({s.script.Ok(), s.script.Ok(2, 1)}));
      ASSERT_TRUE(s.client.Query("insert into t values (1)", true).Ok) << s.client.LastError();
      EXPECT_EQ(s.client.AffectedRows(), 1u);
      EXPECT_EQ(s.first->Writes(), login + statement) << "one write per statement";
    }
    EXPECT_EQ(s.Commands(*s.first),
              (std::vector<Bytes>{kPingCommand, QueryCommand("insert into t values (1)"),
                                  kPingCommand, QueryCommand("insert into t values (1)"),
                                  kPingCommand, QueryCommand("insert into t values (1)")}));
  }
}

TEST(PingAlongside, AStatementOfSeveralPacketsIsAnsweredInItsOwnSequence) {
  Answering s;
  ASSERT_TRUE(s.client.Connect());
  // Two packets (0xFFFFFF bytes and the rest): the answer is numbered 2.
  const std::string statement = "insert into t values ('" + std::string(0xFFFFFF, 'v') + "')";
  s.first->Answer(Concat({s.script.Ok(), s.script.ReplyFrom({OkPayload(1)}, 2, 2)}));
  EXPECT_TRUE(s.client.Query(statement, true).Ok) << s.client.LastError();
  EXPECT_EQ(s.client.AffectedRows(), 1u);
}

TEST(PingAlongside, ALossAfterAnAnswerBeganIsReportedAndTheStatementNeverSentAgain) {
  Answering s;
  ASSERT_TRUE(s.client.Connect());
  // The server began answering, so it may have gone on to run the statement.
  s.first->Answer(Slice(s.script.Ok(), 0, 3));
  s.first->Reply({});
  auto second = s.Connection();
  EXPECT_FALSE(s.client.Query("insert into t values (1)", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
  EXPECT_EQ(s.server.Opened(), 1) << "the statement may have run: not sent on a new connection";
  // Outside a transaction the next statement goes on a new connection.
  second->Answer(Concat({s.script.Ok(), s.script.Ok(2, 1)}));
  EXPECT_TRUE(s.client.Query("insert into t values (2)", true).Ok) << s.client.LastError();
  EXPECT_EQ(s.Commands(*second),
            (std::vector<Bytes>{kPingCommand, QueryCommand("insert into t values (2)")}));
}

TEST(PingAlongside, AConnectionClosedBeforeAnsweringAnythingIsReplacedAsByAnAwaitedPing) {
  // Killed a moment before, its close not yet arrived: nothing sent has run.
  Answering s;
  ASSERT_TRUE(s.client.Connect());
  s.first->Answer({});
  auto second = s.Connection();
  second->Answer(s.script.Ok());
  second->Answer(s.script.Ok(2, 1));
  EXPECT_TRUE(s.client.Query("insert into t values (1)", true).Ok) << s.client.LastError();
  EXPECT_EQ(s.client.AffectedRows(), 1u);
  EXPECT_EQ(s.Commands(*second),
            (std::vector<Bytes>{kPingCommand, QueryCommand("insert into t values (1)")}));

  // Inside a transaction the same close loses the transaction, as ever.
  Answering t;
  ASSERT_TRUE(t.client.Connect());
  t.first->Answer(Concat({t.script.Ok(), t.script.Ok(std::uint16_t{3}, 0)}));
  ASSERT_TRUE(t.client.Query("start transaction", true).Ok) << t.client.LastError();
  t.first->Answer({});
  t.Connection();
  EXPECT_FALSE(t.client.Query("insert into t values (1)", true).Ok);
  EXPECT_EQ(t.client.LastErrorNo(), ErrTransactionLost);
  EXPECT_EQ(t.server.Opened(), 1) << "no new connection inside a transaction";
}

TEST(PingAlongside, AConnectionTheServerClosedIsFoundByThePingFirst) {
  Answering s;
  ASSERT_TRUE(s.client.Connect());
  s.first->Reply({});  // the server closed the idle connection: readable at once
  auto second = s.Connection();
  second->Answer(s.script.Ok());
  second->Answer(s.script.Ok(2, 1));
  EXPECT_TRUE(s.client.Query("insert into t values (1)", true).Ok) << s.client.LastError();
  EXPECT_EQ(s.client.AffectedRows(), 1u);
  EXPECT_EQ(s.Commands(*s.first), std::vector<Bytes>{kPingCommand})
      << "the ping alone, not the statement";
  EXPECT_EQ(s.Commands(*second),
            (std::vector<Bytes>{kPingCommand, QueryCommand("insert into t values (1)")}))
      << "the ping's retry reconnects and pings, then the statement";
}

}  // namespace
