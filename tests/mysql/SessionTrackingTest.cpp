// What the session knows of the server's session, on scripted connections:
// from a server that reports session changes (the current database,
// variables set by a procedure, state changed without the text saying how)
// and from one that does not (the statements' text alone), and what a new
// connection is given or refused because of it.

#include <gtest/gtest.h>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

struct Tracked {
  explicit Tracked(bool compress = false) : script(compress), compressed(compress) {
    first = Add();
    server.AttachTo(client, compress);
  }
  std::shared_ptr<ScriptedPeer> Add() {
    auto peer = server.Add();
    peer->Reply(script.LoginReportingChanges());
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

TEST(SessionTracking, WhatTheServerReportsIsGivenToTheNextConnection) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compressed" : "plain");
    Tracked s(compress);
    s.client.SetShouldReconnect(false);
    // A procedure changes the database and a variable: the server says so.
    s.first->Reply(
        s.script.Reply({TrackedOkPayload(0, 0, 2,
                                         {SchemaChange("shop"), VariableChange("sql_mode", "ANSI"),
                                          VariableChange("wait_timeout", "100"), StateChange()})}));
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    // Asked for with the first statement, not at the cost of a round trip.
    EXPECT_FALSE(s.client.SessionTracked());
    ASSERT_TRUE(s.client.Query("call setup()", true).Ok) << s.client.LastError();
    EXPECT_TRUE(s.client.SessionTracked());
    EXPECT_EQ(s.Commands(*s.first), (std::vector<Bytes>{QueryCommand(kTrackSessionStatement),
                                                        QueryCommand("call setup()")}));

    // The connection ends; the next statement's connection is given the same
    // session before the statement, and selects the database in its login.
    s.first->Reply({});
    auto second = s.Add();
    second->Reply(s.script.Ok());  // the restored variables
    second->Reply(s.script.Ok());
    second->Reply(s.script.Ok());  // the ping
    second->Reply(s.script.Ok(2, 1));
    s.client.SetShouldReconnect(true);
    EXPECT_TRUE(s.client.Query("insert into t values (1)", true).Ok) << s.client.LastError();
    EXPECT_EQ(s.Commands(*second),
              (std::vector<Bytes>{QueryCommand(kTrackSessionStatement),
                                  QueryCommand("SET SESSION `sql_mode` = X'414E5349'"),
                                  QueryCommand("SET SESSION `wait_timeout` = 100"), kPingCommand,
                                  QueryCommand("insert into t values (1)")}));
    const auto login = SplitPackets(second->Written()).front();
    EXPECT_NE(std::search(login.begin(), login.end(), std::begin("shop"), std::end("shop") - 1),
              login.end())
        << "the login names the database the procedure chose";
    EXPECT_TRUE(login[2] & (CLIENT_SESSION_TRACK >> 16));
    EXPECT_EQ(s.client.ClientFlag() & CLIENT_SESSION_TRACK, 0u) << "the packet only";
  }
}

TEST(SessionTracking, AChangeTheTextDoesNotExplainCannotBeGivenBack) {
  Tracked s;
  s.client.SetShouldReconnect(false);
  s.first->Reply(s.script.Reply({TrackedOkPayload(0, 0, 2, {StateChange()})}));
  ASSERT_TRUE(s.client.Connect());
  ASSERT_TRUE(s.client.Query("call make_temporary_tables()", true).Ok);
  s.first->Reply({});
  s.Add();
  s.client.SetShouldReconnect(true);
  EXPECT_FALSE(s.client.Query("select 1", true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrSessionStateLost);
  EXPECT_EQ(s.client.LastError(), FormatClientError(ErrSessionStateLost, {"other session state"}));
  EXPECT_EQ(s.server.Opened(), 1) << "no new connection";
}

TEST(SessionTracking, MalformedReportsAreMalformedPackets) {
  const Bytes cut = Concat({{0, 0, 0, 0x02, 0x40, 0, 0, 0}, {20, 0, 5}});
  const Bytes badEntry = Concat({{0, 0, 0, 0x02, 0x40, 0, 0, 0, 4}, {0, 9, 1, 'x'}});
  for (const Bytes& reply : {cut, badEntry}) {
    Tracked s;
    s.client.SetShouldReconnect(false);
    s.first->Reply(s.script.Reply({reply}));
    ASSERT_TRUE(s.client.Connect());
    EXPECT_FALSE(s.client.Query("call p()", true).Ok);
    EXPECT_EQ(s.client.LastErrorNo(), ErrMalformedPacket);
    EXPECT_FALSE(s.client.Connected());
  }
}

TEST(SessionTracking, AServerThatRefusesTheVariablesLeavesItToTheText) {
  ServerScript script(false);
  ScriptedConnections server;
  auto peer = server.Add();
  peer->Reply(Concat({Packet(0, PluginGreetingPayload("5.7.44", "mysql_native_password", kServer41,
                                                      CLIENT_SESSION_TRACK)),
                      Packet(2, OkPayload()),
                      script.Reply({ErrorPayload(1193, "HY000", "Unknown system variable")}),
                      script.Ok(2, 1)}));
  TMysqlClient client;
  server.AttachTo(client);
  client.SetShouldReconnect(false);
  ASSERT_TRUE(client.Connect()) << client.LastError();
  EXPECT_TRUE(client.Query("insert into t values (1)", true).Ok) << client.LastError();
  EXPECT_EQ(client.AffectedRows(), 1u);
  EXPECT_FALSE(client.SessionTracked());
  EXPECT_EQ(client.LastErrorNo(), 0);
}

// A 5.5-style server reports nothing: what the script's statements say
// decides, for settings and holdings alike.
TEST(SessionTracking, WithoutReportsTheStatementsTextDecides) {
  ServerScript script(false);
  ScriptedConnections server;
  auto first = server.Add();
  first->Reply(script.Login());
  for (int i = 0; i < 3; ++i) first->Reply(script.Ok());
  TMysqlClient client;
  server.AttachTo(client);
  client.SetShouldReconnect(false);
  ASSERT_TRUE(client.Connect());
  EXPECT_FALSE(client.SessionTracked());
  for (const char* statement : {"use shop", "set sql_mode = 'ANSI'", "set names cp1251"})
    ASSERT_TRUE(client.Query(statement, true).Ok) << statement;
  first->Reply({});
  auto second = server.Add();
  second->Reply(script.Login());
  for (int i = 0; i < 4; ++i) second->Reply(script.Ok());
  client.SetShouldReconnect(true);
  ASSERT_TRUE(client.Query("create temporary table t (a int)", true).Ok) << client.LastError();
  EXPECT_EQ(
      CommandsWritten(second->Written(), false),
      (std::vector<Bytes>{QueryCommand("set sql_mode = 'ANSI'"), QueryCommand("set names cp1251"),
                          kPingCommand, QueryCommand("create temporary table t (a int)")}));
  // Now the session holds a temporary table: the next loss refuses.
  second->Reply({});
  auto third = server.Add();
  third->Reply(script.Login());
  EXPECT_FALSE(client.Query("select * from t", true).Ok);
  EXPECT_EQ(client.LastErrorNo(), ErrSessionStateLost);
  EXPECT_EQ(server.Opened(), 2);
  // The script's own reconnect goes on, with the settings.
  for (int i = 0; i < 2; ++i) third->Reply(script.Ok());
  EXPECT_TRUE(client.Reconnect()) << client.LastError();
  EXPECT_EQ(CommandsWritten(third->Written(), false).size(), 2u);
}

}  // namespace
