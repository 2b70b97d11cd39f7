// The connection's character set (Charset) and Escape on scripted
// connections: the handshake's byte or SET NAMES, a name the server refuses,
// every new connection and a change of user, and what Escape learns of the
// session (its SQL mode, its character set).

#include <gtest/gtest.h>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"

using namespace mysql;

namespace {

constexpr std::size_t kCharsetByte = 8;  // of the 4.1 authentication packet

// A greeting of `version` (character set 8, latin1) and the OK to the login.
Bytes LoginOf(std::string_view version) {
  return Concat({Packet(0, GreetingPayload(10, version, kServer41)), Packet(2, OkPayload())});
}

struct Session {
  explicit Session(std::string_view version = "5.0.96") {
    peer = server.Add();
    peer->Reply(LoginOf(version));
    server.AttachTo(client);
    client.SetShouldReconnect(false);
  }
  std::vector<Bytes> Commands(const ScriptedPeer& of) const {
    return CommandsWritten(of.Written(), false);
  }
  std::uint8_t LoginCharset(const ScriptedPeer& of) const {
    return SplitPackets(of.Written()).front().at(kCharsetByte);
  }

  ScriptedConnections server;
  ServerScript script{false};
  std::shared_ptr<ScriptedPeer> peer;
  TMysqlClient client;
};

TEST(CharsetFake, TheHandshakeCarriesANameWithANumber) {
  Session s;
  ASSERT_TRUE(s.client.SetCharset("CP1251"));
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  EXPECT_EQ(s.LoginCharset(*s.peer), 51);
  EXPECT_TRUE(s.Commands(*s.peer).empty()) << "no statement needed";
  EXPECT_EQ(s.client.Charset(), "CP1251");
  EXPECT_EQ(s.client.ServerLanguage(), 8u) << "still the greeting's";
}

TEST(CharsetFake, OtherNamesAreSetByStatementAndAnUnknownOneFailsTheConnect) {
  {
    SCOPED_TRACE("a server too old for the number");
    Session s("5.1.73");
    ASSERT_TRUE(s.client.SetCharset("utf8mb4"));
    s.peer->Reply(s.script.Ok());
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    EXPECT_EQ(s.LoginCharset(*s.peer), 8) << "the greeting's own";
    EXPECT_EQ(s.Commands(*s.peer), std::vector<Bytes>{QueryCommand("SET NAMES utf8mb4")});
  }
  {
    SCOPED_TRACE("a name the server does not know");
    Session s;
    ASSERT_TRUE(s.client.SetCharset("klingon"));
    s.peer->Reply(
        s.script.Reply({ErrorPayload(1115, "42000", "Unknown character set: 'klingon'")}));
    EXPECT_FALSE(s.client.Connect());
    EXPECT_EQ(s.client.LastErrorNo(), 1115);
    EXPECT_EQ(s.client.LastError(), "Unknown character set: 'klingon'");
    EXPECT_FALSE(s.client.Connected());
  }
}

TEST(CharsetFake, EveryNewConnectionHasItBeforeTheScriptsOwnSettings) {
  Session s;
  s.client.SetShouldReconnect(true);
  s.peer->Reply(s.script.Ok());  // ping
  s.peer->Reply(s.script.Ok());  // set names latin1
  s.peer->Reply(s.script.Ok());  // ping
  s.peer->Reply(s.script.Ok());  // set sql_mode
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  ASSERT_TRUE(s.client.Query("set names latin1", true).Ok) << s.client.LastError();
  ASSERT_TRUE(s.client.Query("set sql_mode = 'ANSI'", true).Ok) << s.client.LastError();
  // Chosen later, the property wins over the earlier statement: it goes at
  // once, and the statement is no longer repeated.
  s.peer->Reply(s.script.Ok());
  ASSERT_TRUE(s.client.SetCharset("cp1251"));
  EXPECT_EQ(s.Commands(*s.peer).back(), QueryCommand("SET NAMES cp1251"));

  s.peer->Reply({});
  auto second = s.server.Add();
  second->Reply(LoginOf("5.0.96"));
  second->Reply(s.script.Ok());  // the restored sql_mode
  second->Reply(s.script.Ok());  // the ping
  EXPECT_TRUE(s.client.Ping()) << s.client.LastError();
  EXPECT_EQ(s.LoginCharset(*second), 51);
  EXPECT_EQ(s.Commands(*second),
            (std::vector<Bytes>{QueryCommand("set sql_mode = 'ANSI'"), kPingCommand}));
}

TEST(CharsetFake, AChangeOfUserKeepsIt) {
  Session s;
  ASSERT_TRUE(s.client.SetCharset("cp1251"));
  s.peer->Reply(s.script.Ok());  // change user
  s.peer->Reply(s.script.Ok());  // set names
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  ASSERT_TRUE(s.client.ChangeUser("other", "pw", "")) << s.client.LastError();
  const auto commands = s.Commands(*s.peer);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].at(0), COM_CHANGE_USER);
  EXPECT_EQ(commands[1], QueryCommand("SET NAMES cp1251"));
}

TEST(CharsetFake, EscapeFollowsTheSessionsSqlMode) {
  Session s;
  constexpr std::uint16_t kNoBackslashEscapes = 2 | SERVER_STATUS_NO_BACKSLASH_ESCAPES;
  s.peer->Reply(s.script.Ok(kNoBackslashEscapes, 0));
  ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
  EXPECT_EQ(s.client.Escape("it's C:\\"), "it\\'s C:\\\\");
  ASSERT_TRUE(s.client.Query("set sql_mode = 'NO_BACKSLASH_ESCAPES'", true).Ok);
  EXPECT_EQ(s.client.Escape("it's C:\\"), "it''s C:\\");
  // The connection is lost: the next one is given the same mode back, so
  // text escaped meanwhile must follow it.
  s.peer->Reply({});
  EXPECT_FALSE(s.client.Ping());
  EXPECT_FALSE(s.client.Connected());
  EXPECT_EQ(s.client.Escape("it's C:\\"), "it''s C:\\");
  s.client.Close();
  EXPECT_EQ(s.client.Escape("it's C:\\"), "it\\'s C:\\\\") << "a closed session starts afresh";
}

TEST(CharsetFake, EscapeFollowsTheSessionsCharacterSet) {
  const std::string lead = "\xBF'";  // not a gbk character: the quote must not join it
  {
    SCOPED_TRACE("chosen by Charset");
    Session s;
    ASSERT_TRUE(s.client.SetCharset("gbk"));
    ASSERT_TRUE(s.client.Connect()) << s.client.LastError();
    EXPECT_EQ(s.client.Escape(lead), "\\\xBF\\'");
  }
  {
    SCOPED_TRACE("changed by a statement the server reports");
    ScriptedConnections server;
    ServerScript script(false);
    auto peer = server.Add();
    peer->Reply(script.LoginReportingChanges());
    peer->Reply(
        script.Reply({TrackedOkPayload(0, 0, 2, {VariableChange("character_set_client", "gbk")})}));
    TMysqlClient client;
    server.AttachTo(client);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    EXPECT_EQ(client.Escape(lead), "\xBF\\'");
    ASSERT_TRUE(client.Query("set names gbk", true).Ok) << client.LastError();
    EXPECT_EQ(client.Escape(lead), "\\\xBF\\'");
  }
}

}  // namespace
