// Statements with several results (a CALL of a procedure) on scripted
// connections: moving through them buffered and row by row, the final status
// counting as none, results read and dropped before the next command, an
// error in a later result reported and never lost, and what the later
// results report of the session.

#include <gtest/gtest.h>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

using Rows = std::vector<std::optional<std::string>>;

constexpr std::uint16_t kMore = SERVER_MORE_RESULTS_EXISTS;

// The packets of one result set of column "v"; both its end-of-data packets
// carry `status` (a server marks the field list's end as well).
std::vector<Bytes> ResultPackets(const Rows& rows, std::uint16_t status) {
  std::vector<Bytes> packets{{1}, Field41Payload("v", 253, 20), EofPayload(0, status)};
  for (const auto& row : rows) packets.push_back(RowPayload({row}));
  packets.push_back(EofPayload(0, status));
  return packets;
}

std::vector<Bytes> Join(std::initializer_list<std::vector<Bytes>> parts) {
  std::vector<Bytes> joined;
  for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

std::vector<std::string> Values(TMysqlResult& result) {
  std::vector<std::string> values;
  for (result.First(); !result.Eof(); result.Next())
    values.emplace_back(result.Value(0).value_or("NULL"));
  return values;
}

struct Session {
  explicit Session(bool compress = false, bool reportingChanges = false)
      : script(compress), compressed(compress) {
    peer = server.Add();
    peer->Reply(reportingChanges ? script.LoginReportingChanges() : script.Login());
    server.AttachTo(client, compress);
    client.SetShouldReconnect(false);
  }
  // The reply of a CALL: its results, then the procedure's status.
  void Call(std::initializer_list<std::vector<Bytes>> results) {
    peer->Reply(script.Reply(Join(results)));
  }
  std::vector<Bytes> Commands() const { return CommandsWritten(peer->Written(), compressed); }

  ScriptedConnections server;
  ServerScript script;
  bool compressed;
  std::shared_ptr<ScriptedPeer> peer;
  TMysqlClient client;
};

class MultiResultsFake : public ::testing::TestWithParam<bool> {};

TEST_P(MultiResultsFake, BufferedResultsOneAfterAnother) {
  Session s(GetParam());
  s.Call({ResultPackets({"a", "b"}, 2 | kMore),
          ResultPackets({"c"}, 2 | kMore),
          {OkPayload(7, 0, 2)}});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  const auto login = SplitPackets(s.peer->Written()).front();
  EXPECT_TRUE(login[2] & (CLIENT_MULTI_RESULTS >> 16)) << "the login asks for multiple results";
  EXPECT_EQ(s.client.ClientFlag() & CLIENT_MULTI_RESULTS, 0u) << "in the packet only";

  auto first = s.client.Query("call p()", true);
  ASSERT_TRUE(first.Ok) << s.client.LastError();
  ASSERT_TRUE(first.Result);
  EXPECT_EQ(Values(*first.Result), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(s.client.HasPendingResults());
  EXPECT_EQ(s.client.Status(), TMysqlStatus::Ready);

  auto second = s.client.NextResult(true);
  ASSERT_TRUE(second.Ok) << s.client.LastError();
  ASSERT_TRUE(second.Result);
  EXPECT_TRUE(second.Result->Buffered());
  EXPECT_EQ(Values(*second.Result), std::vector<std::string>{"c"});
  EXPECT_EQ(Values(*first.Result), (std::vector<std::string>{"a", "b"})) << "independent of it";

  // The procedure's final status: no further result, no error, its count.
  const auto last = s.client.NextResult(true);
  EXPECT_FALSE(last.Ok);
  EXPECT_FALSE(last.Result);
  EXPECT_EQ(s.client.LastErrorNo(), 0);
  EXPECT_EQ(s.client.AffectedRows(), 7u);
  EXPECT_FALSE(s.client.HasPendingResults());
  EXPECT_FALSE(s.client.NextResult(true).Ok);
  EXPECT_TRUE(s.peer->NothingUnread());

  s.peer->Reply(s.script.Ok());
  EXPECT_TRUE(s.client.Ping()) << "in step";
  EXPECT_EQ(s.Commands(), (std::vector<Bytes>{QueryCommand("call p()"), kPingCommand}));
}

TEST_P(MultiResultsFake, RowByRowResultsOneAfterAnother) {
  Session s(GetParam());
  s.Call({ResultPackets({"a", "b"}, 2 | kMore),
          {OkPayload(0, 0, 2 | kMore)},
          ResultPackets({"c", "d"}, 2 | kMore),
          {OkPayload(1, 0, 2)}});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  auto first = s.client.Query("call p()", false);
  ASSERT_TRUE(first.Ok && first.Result) << s.client.LastError();
  EXPECT_EQ(first.Result->Value(0), "a");
  EXPECT_FALSE(s.client.HasPendingResults()) << "its rows say so only at their end";
  EXPECT_FALSE(s.client.NextResult(false).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrCommandsOutOfSync);
  first.Result.reset();  // the rest of its rows are read and dropped
  EXPECT_TRUE(s.client.HasPendingResults());

  // A result without rows in between: there, but none to walk.
  const auto empty = s.client.NextResult(false);
  EXPECT_TRUE(empty.Ok);
  EXPECT_FALSE(empty.Result);

  auto third = s.client.NextResult(false);
  ASSERT_TRUE(third.Ok && third.Result) << s.client.LastError();
  EXPECT_FALSE(third.Result->Buffered());
  EXPECT_EQ(third.Result->Value(0), "c");
  third.Result->Next();
  third.Result->Next();
  EXPECT_TRUE(third.Result->LastRowRead());
  EXPECT_EQ(s.client.AffectedRows(), 2u);
  EXPECT_FALSE(s.client.NextResult(false).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), 0);
  EXPECT_EQ(s.client.AffectedRows(), 1u);
  EXPECT_TRUE(s.peer->NothingUnread());
}

TEST_P(MultiResultsFake, PendingResultsAreReadBeforeTheNextCommand) {
  Session s(GetParam());
  s.Call({ResultPackets({"a"}, 2 | kMore),
          ResultPackets(Rows(50, "x"), 2 | kMore),
          {OkPayload(0, 0, 2)}});
  s.peer->Reply(s.script.Ok());
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  ASSERT_TRUE(s.client.Query("call p()", true).Ok) << s.client.LastError();
  EXPECT_TRUE(s.client.Ping()) << s.client.LastError();
  EXPECT_EQ(s.Commands(), (std::vector<Bytes>{QueryCommand("call p()"), kPingCommand}));
  EXPECT_TRUE(s.peer->NothingUnread());
}

TEST_P(MultiResultsFake, AnErrorInALaterResultIsReportedNeverDropped) {
  const std::vector<Bytes> failing =
      Join({ResultPackets({"a"}, 2 | kMore), {ErrorPayload(1644, "45000", "second failed")}});
  {
    SCOPED_TRACE("read with NextResult");
    Session s(GetParam());
    s.peer->Reply(s.script.Reply(failing));
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    ASSERT_TRUE(s.client.Query("call p()", true).Ok);
    EXPECT_FALSE(s.client.NextResult(true).Ok);
    EXPECT_EQ(s.client.LastErrorNo(), 1644);
    EXPECT_EQ(s.client.LastError(), "second failed");
    EXPECT_FALSE(s.client.HasPendingResults());
  }
  {
    SCOPED_TRACE("left for the next command");
    Session s(GetParam());
    s.peer->Reply(s.script.Reply(failing));
    s.peer->Reply(s.script.Ok());
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    ASSERT_TRUE(s.client.Query("call p()", false).Ok);
    EXPECT_FALSE(s.client.Ping()) << "the command fails with the procedure's error";
    EXPECT_EQ(s.client.LastErrorNo(), 1644);
    EXPECT_EQ(s.Commands(), std::vector<Bytes>{QueryCommand("call p()")}) << "and is not sent";
    EXPECT_TRUE(s.client.Connected());
    EXPECT_TRUE(s.client.Ping()) << "the next one goes";
  }
  {
    SCOPED_TRACE("left for Close");
    Session s(GetParam());
    s.peer->Reply(s.script.Reply(failing));
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    ASSERT_TRUE(s.client.Query("call p()", true).Ok);
    s.client.Close();
    EXPECT_EQ(s.client.LastErrorNo(), 1644) << "still readable after the close";
    EXPECT_TRUE(s.peer->NothingUnread());
    EXPECT_EQ(s.Commands().back(), Bytes{COM_QUIT});
  }
}

TEST_P(MultiResultsFake, ALostConnectionAmongPendingResultsLosesTheTransaction) {
  Session s(GetParam());
  constexpr std::uint16_t kInTransaction = SERVER_STATUS_IN_TRANS | SERVER_STATUS_AUTOCOMMIT;
  s.peer->Reply(s.script.Reply(ResultPackets({"a"}, kInTransaction | kMore)));
  s.peer->Reply({});
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  ASSERT_TRUE(s.client.Query("call p()", true).Ok);
  s.client.SetShouldReconnect(true);
  EXPECT_FALSE(s.client.Ping());
  EXPECT_EQ(s.client.LastErrorNo(), ErrTransactionLost);
  EXPECT_TRUE(s.client.TransactionLost());
  EXPECT_EQ(s.server.Opened(), 1) << "no new connection inside the transaction";
}

// The procedure's final status reports a setting it changed: a later
// connection is given it back, as for a statement with one result.
TEST_P(MultiResultsFake, WhatTheFinalStatusReportsIsKept) {
  Session s(GetParam(), true);
  s.Call({ResultPackets({"a"}, 2 | kMore),
          {TrackedOkPayload(0, 0, 2, {VariableChange("sql_mode", "ANSI")})}});
  s.peer->Reply(s.script.Ok());
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  ASSERT_TRUE(s.client.Query("call p()", true).Ok);
  ASSERT_TRUE(s.client.Ping()) << s.client.LastError();

  s.peer->Reply({});
  auto second = s.server.Add();
  second->Reply(s.script.LoginReportingChanges());
  second->Reply(s.script.Ok());  // the restored variable
  second->Reply(s.script.Ok());  // the ping
  s.client.SetShouldReconnect(true);
  EXPECT_TRUE(s.client.Ping()) << s.client.LastError();
  EXPECT_EQ(
      CommandsWritten(second->Written(), s.compressed),
      (std::vector<Bytes>{QueryCommand(kTrackSessionStatement),
                          QueryCommand("SET SESSION `sql_mode` = X'414E5349'"), kPingCommand}));
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, MultiResultsFake, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Compressed" : "Plain"; });

}  // namespace
