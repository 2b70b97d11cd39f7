// Commands against scripted servers: byte layouts, the ping before a query,
// retries, lost connections, 2014, local-file requests and malformed replies.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FakeReplies.h"
#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNewPassword.h"

using namespace mysql;

namespace {

Bytes Command(std::uint8_t code, const Bytes& argument = {}) {
  return Packet(0, Concat({{code}, argument}));
}

// A connected session on a scripted 4.1 server; steps after the login are
// added by the test before Start().
struct FakeSession {
  FakeSession() { ScriptLogin(server, GreetingPayload(10, "5.0.96", kServer41)); }

  void Connect(bool shouldReconnect = false) {
    server.Start();
    PointAt(client, server);
    client.SetShouldReconnect(shouldReconnect);
    ASSERT_TRUE(client.Connect()) << client.LastError();
  }

  void Finish() {
    client.Close();
    server.Wait();
    for (const auto& failure : server.Failures()) ADD_FAILURE() << "server: " << failure;
  }

  FakeServer server;
  TMysqlClient client;
};

TEST(CommandsFake, ArgumentLayouts) {
  FakeSession s;
  s.server.Expect(Packet(0, {COM_REFRESH, 3, 0, 0, 0})).Send(Packet(1, OkPayload()));
  s.server.Expect(Packet(0, {COM_PROCESS_KILL, 2, 1, 0, 0})).Send(Packet(1, OkPayload()));
  s.server.Expect(Command(COM_INIT_DB, Text("shop")))
      .Send(Packet(1, OkPayload(5, 0, 2, 0, "ignored")));
  s.server.Expect(Command(COM_CREATE_DB, Text("new_db"))).Send(Packet(1, OkPayload(1)));
  s.server.Expect(Command(COM_STATISTICS)).Send(Packet(1, Text("Uptime: 5  Threads: 1")));
  s.Connect();
  EXPECT_TRUE(s.client.Refresh(3));
  EXPECT_TRUE(s.client.Kill(258));
  EXPECT_TRUE(s.client.SelectDb("shop"));
  EXPECT_EQ(s.client.Db(), "shop");
  EXPECT_EQ(s.client.AffectedRows(), 0u) << "only Query reads OK packets";
  EXPECT_EQ(s.client.Info(), "");
  EXPECT_TRUE(s.client.CreateDb("new_db"));
  EXPECT_EQ(s.client.Stat(), "Uptime: 5  Threads: 1");
  EXPECT_FALSE(s.client.SelectDb("")) << "empty names send nothing";
  EXPECT_FALSE(s.client.DropDb(""));
  EXPECT_FALSE(s.client.Query("", true).Ok);
  s.Finish();
}

TEST(CommandsFake, QueryPingsFirstOnlyWithShouldReconnect) {
  FakeSession s;
  s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
  s.server.Expect(Command(COM_QUERY, Text("UPDATE t SET a=1")))
      .Send(Packet(1, OkPayload(3, 42, 0x22, 1, "Rows matched: 3")));
  s.server.Expect(Command(COM_QUERY, Text("DELETE FROM t"))).Send(Packet(1, OkPayload(7)));
  s.Connect(true);
  const auto update = s.client.Query("UPDATE t SET a=1", true);
  EXPECT_TRUE(update.Ok);
  EXPECT_FALSE(update.Result);
  EXPECT_EQ(s.client.AffectedRows(), 3u);
  EXPECT_EQ(s.client.LastInsertId(), 42u);
  EXPECT_EQ(s.client.ServerStatus(), 0x22u);
  EXPECT_EQ(s.client.WarningCount(), 1u);
  EXPECT_EQ(s.client.Info(), "Rows matched: 3");
  s.client.SetShouldReconnect(false);
  EXPECT_TRUE(s.client.Query("DELETE FROM t", false).Ok);
  EXPECT_EQ(s.client.AffectedRows(), 7u);
  s.Finish();
}

TEST(CommandsFake, ServerErrorIsRetriedOnceWithShouldReconnect) {
  for (const bool shouldReconnect : {true, false}) {
    SCOPED_TRACE(shouldReconnect ? "retry" : "no retry");
    FakeSession s;
    s.server.Expect(Command(COM_DROP_DB, Text("nope")))
        .Send(Packet(1, ErrorPayload(1008, "HY000", "first")));
    if (shouldReconnect)
      s.server.Expect(Command(COM_DROP_DB, Text("nope")))
          .Send(Packet(1, ErrorPayload(1008, "HY000", "second")));
    s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
    s.Connect(shouldReconnect);
    EXPECT_FALSE(s.client.DropDb("nope"));
    EXPECT_EQ(s.client.LastErrorNo(), 1008);
    EXPECT_EQ(s.client.LastError(), shouldReconnect ? "second" : "first");
    EXPECT_TRUE(s.client.Ping()) << "the connection stays";
    EXPECT_EQ(s.client.LastErrorNo(), 0) << "a command clears the last error";
    EXPECT_EQ(s.client.LastError(), "");
    s.Finish();
  }
}

TEST(CommandsFake, LostConnectionClosesTheSessionAndTheRetryReconnects) {
  FakeSession s;
  s.server.Expect(Command(COM_PING)).CloseConnection().AcceptNext();
  ScriptLogin(s.server, GreetingPayload(10, "5.0.97", kServer41));
  s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
  s.Connect(true);
  EXPECT_TRUE(s.client.Ping()) << s.client.LastError();
  EXPECT_EQ(s.client.ServerVersion(), "5.0.97") << "connected again";
  EXPECT_EQ(s.server.Connections(), 2);
  s.Finish();
}

TEST(CommandsFake, LostConnectionWithoutShouldReconnect) {
  FakeSession s;
  s.server.Expect(Command(COM_PING)).CloseConnection();
  s.Connect(false);
  EXPECT_FALSE(s.client.Ping());
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
  EXPECT_FALSE(s.client.Connected());
  EXPECT_EQ(s.client.ServerVersion(), "") << "the session was closed";
  // Closed and no reconnection allowed: fails without a new error.
  EXPECT_FALSE(s.client.Ping());
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost);
  EXPECT_EQ(s.client.Stat(), "");
  s.Finish();
}

TEST(CommandsFake, WriteToAClosedPeerIsServerGone) {
  FakeSession s;
  s.server.CloseConnection();
  s.Connect(false);
  // Enough data that the peer's reset arrives while it is still being sent.
  const std::string statement = "SELECT '" + std::string(8 << 20, 'x') + "'";
  EXPECT_FALSE(s.client.Query(statement, true).Ok);
  EXPECT_EQ(s.client.LastErrorNo(), ErrServerGone);
  EXPECT_EQ(s.client.LastError(), "MySQL server has gone away");
  EXPECT_FALSE(s.client.Connected());
  s.Finish();
}

TEST(CommandsFake, StatWithEmptyTextIsWrongHostInfo) {
  FakeSession s;
  s.server.Expect(Command(COM_STATISTICS)).Send(Packet(1, {0, 'x'}));
  s.Connect();
  EXPECT_EQ(s.client.Stat(), "");
  EXPECT_EQ(s.client.LastErrorNo(), ErrWrongHostInfo);
  EXPECT_EQ(s.client.LastError(), "Wrong host info");
  s.Finish();
}

TEST(CommandsFake, ShutdownClosesEvenWhenRefusedAndKeepsTheCause) {
  FakeSession s;
  s.server.Expect(Command(COM_SHUTDOWN))
      .Send(Packet(1, ErrorPayload(1227, "42000", "Access denied")));
  s.Connect();
  EXPECT_FALSE(s.client.Shutdown());
  EXPECT_FALSE(s.client.Connected());
  EXPECT_EQ(s.client.LastErrorNo(), 1227);
  EXPECT_EQ(s.client.LastError(), "Access denied");
  s.Finish();
}

TEST(CommandsFake, CommandsWhileRowsArePendingAreOutOfSync) {
  FakeSession s;
  s.server.Expect(Command(COM_QUERY, Text("SELECT v"))).Send(Packet(1, {1}));
  s.server.Send(Packet(2, Field41Payload("v", 253, 20))).Send(Packet(3, EofPayload()));
  s.server.Send(Packet(4, RowPayload({"a"})))
      .Send(Packet(5, RowPayload({"b"})))
      .Send(Packet(6, EofPayload(0, 0x22)));
  s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
  s.Connect();
  auto query = s.client.Query("SELECT v", false);
  ASSERT_TRUE(query.Ok);
  ASSERT_TRUE(query.Result);
  EXPECT_EQ(s.client.Status(), TMysqlStatus::ReadingRows);
  EXPECT_FALSE(s.client.Ping());
  EXPECT_EQ(s.client.LastErrorNo(), ErrCommandsOutOfSync);
  EXPECT_EQ(s.client.LastError(), "Commands out of sync;  You can't run this command now");
  EXPECT_FALSE(s.client.Query("SELECT 1", true).Ok);
  query.Result.reset();  // drains the second row and the end of data
  EXPECT_EQ(s.client.Status(), TMysqlStatus::Ready);
  EXPECT_EQ(s.client.AffectedRows(), 1u);
  EXPECT_EQ(s.client.ServerStatus(), 0x22u) << "taken from the final end-of-data packet";
  EXPECT_TRUE(s.client.Ping()) << s.client.LastError();
  s.Finish();
}

TEST(CommandsFake, LocalFileRequests) {
  const std::string missing = "/nonexistent-orbelin/data.csv";
  const std::string directory = std::filesystem::temp_directory_path().string();
  struct {
    const char* name;
    std::string statement;
    std::string requested;
    std::int32_t error;
    std::string message;
  } const cases[] = {
      {"a file the statement does not name", "SELECT 1", "/etc/passwd", ErrLocalInfileRejected,
       "The server asked for the local file '/etc/passwd', which the statement does not name; it "
       "was not sent"},
      {"another file than the statement names", "LOAD DATA LOCAL INFILE '/tmp/x.csv' INTO TABLE t",
       "/etc/passwd", ErrLocalInfileRejected,
       "The server asked for the local file '/etc/passwd', which the statement does not name; it "
       "was not sent"},
      {"a missing file", "LOAD DATA LOCAL INFILE '" + missing + "' INTO TABLE t", missing,
       ErrLocalFileNotFound, "File '" + missing + "' not found (Errcode: 2)"},
      {"a file that cannot be read", "LOAD DATA LOCAL INFILE '" + directory + "' INTO TABLE t",
       directory, ErrLocalFileRead, "Error reading file '" + directory + "' (Errcode: 21)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSession s;
    s.server.Expect(Command(COM_QUERY, Text(c.statement)))
        .Send(Packet(1, Concat({{251}, Text(c.requested)})))
        .Expect(Packet(2, {}))  // exactly one empty packet
        .Send(Packet(3, OkPayload()));
    s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
    s.Connect();
    const auto query = s.client.Query(c.statement, true);
    EXPECT_FALSE(query.Ok);
    EXPECT_EQ(s.client.LastErrorNo(), c.error);
    EXPECT_EQ(s.client.LastError(), c.message);
    EXPECT_TRUE(s.client.Ping()) << "the stream stayed in step";
    s.Finish();
  }
}

TEST(CommandsFake, MalformedRepliesFailAndClose) {
  struct {
    const char* name;
    std::vector<Bytes> reply;
  } const cases[] = {
      {"truncated OK packet", {Packet(1, {0, 252, 1})}},
      {"truncated field count", {Packet(1, {253, 1})}},
      {"field packet cut short", {Packet(1, {1}), Packet(2, {3, 'd', 'e', 'f', 2})}},
      {"fewer field packets than announced",
       {Packet(1, {2}), Packet(2, Field41Payload("v", 253, 20)), Packet(3, EofPayload())}},
      {"row shorter than its columns",
       {Packet(1, {1}), Packet(2, Field41Payload("v", 253, 20)), Packet(3, EofPayload()),
        Packet(4, {10, 'a', 'b'})}},
  };
  for (const bool buffered : {true, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (buffered ? ", buffered" : ", row by row"));
      FakeSession s;
      s.server.Expect(Command(COM_QUERY, Text("SELECT v")));
      for (const auto& packet : c.reply) s.server.Send(packet);
      s.server.DrainUntilClosed();
      s.Connect();
      const auto query = s.client.Query("SELECT v", buffered);
      EXPECT_FALSE(query.Ok);
      EXPECT_EQ(s.client.LastErrorNo(), ErrMalformedPacket);
      EXPECT_FALSE(s.client.Connected());
      if (query.Result) {
        EXPECT_TRUE(query.Result->LastRowRead());
      }
      s.Finish();
    }
  }
}

}  // namespace

namespace {

Bytes SwitchRequest(std::string_view method, std::string_view seed) {
  return Concat({{254}, Text(method), {0}, Text(seed), {0}});
}

TEST(CommandsFake, ChangeUserAnswersAnAuthenticationSwitch) {
  const std::string seed = "ABCDEFGHIJKLMNOPQRST";
  const TSha1Digest native = Scramble41(AsBytes(seed), "new-pw");
  Bytes old = Text(ScrambleOld(std::string_view(seed).substr(0, 8), "new-pw"));
  old.push_back(0);
  struct {
    const char* name;
    std::string method;
    Bytes answer;
  } const cases[] = {
      {"4.1 method", "mysql_native_password", Bytes(native.begin(), native.end())},
      {"old method", "mysql_old_password", old},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSession s;
    s.server.ReceivePacket()
        .Send(Packet(1, SwitchRequest(c.method, seed)))
        .Expect(Packet(2, c.answer))
        .Send(Packet(3, ErrorPayload(1045, "28000", "Access denied")));
    s.Connect();
    EXPECT_FALSE(s.client.ChangeUser("other", "new-pw", ""))
        << "the refusal after the switch counts";
    EXPECT_EQ(s.client.LastErrorNo(), 1045);
    EXPECT_EQ(s.client.User(), "tester");
    s.Finish();
  }
}

TEST(CommandsFake, UnknownAuthenticationMethodFailsTheChange) {
  FakeSession s;
  s.server.ReceivePacket()
      .Send(Packet(1, SwitchRequest("client_ed25519", "0123456789")))
      .DrainUntilClosed();
  s.Connect();
  EXPECT_FALSE(s.client.ChangeUser("other", "pw2", "db2"));
  EXPECT_EQ(s.client.LastErrorNo(), ErrAuthMethodUnsupported);
  EXPECT_FALSE(s.client.Connected());
  EXPECT_EQ(s.client.User(), "tester");
  EXPECT_EQ(s.client.Password(), "pw");
  s.Finish();
}

}  // namespace

namespace {

TEST(CommandsFake, LocalFileGoesOutInBlocksOf61440) {
  const auto path = std::filesystem::temp_directory_path() / "orbelin-client-blocks.bin";
  std::filesystem::remove(path);
  {
    std::ofstream file(path, std::ios::binary);
    file << std::string(61440 * 2 + 1, 'z');
  }
  const std::string statement = "LOAD DATA LOCAL INFILE '" + path.string() + "' INTO TABLE t";
  FakeSession s;
  s.server.Expect(Command(COM_QUERY, Text(statement)))
      .Send(Packet(1, Concat({{251}, Text(path.string())})))
      .Receive(4 * 4 + 61440 * 2 + 1)
      .Send(Packet(6, OkPayload(1)));
  s.Connect();
  EXPECT_TRUE(s.client.Query(statement, true).Ok) << s.client.LastError();
  s.Finish();
  std::filesystem::remove(path);
  // After the authentication packet: three data packets and the empty end.
  const auto packets = SplitPackets(s.server.Received());
  ASSERT_EQ(packets.size(), 5u);
  EXPECT_EQ(packets[1].size(), 61440u);
  EXPECT_EQ(packets[2].size(), 61440u);
  EXPECT_EQ(packets[3], Bytes{'z'});
  EXPECT_TRUE(packets[4].empty());
}

// Rows uploaded from memory follow the rule for files: they go out only for
// the name the statement gives, and only when the upload carries that name.
TEST(CommandsFake, MemoryUploadOnlyForTheNameTheStatementGives) {
  const std::string rows(61440 * 2 + 1, 'r');
  const TMemoryUpload upload{"rows-in-memory", AsBytes(rows)};
  const std::string named = "LOAD DATA LOCAL INFILE 'rows-in-memory' INTO TABLE t";
  {
    SCOPED_TRACE("the name the statement gives");
    FakeSession s;
    s.server.Expect(Command(COM_QUERY, Text(named)))
        .Send(Packet(1, Concat({{251}, Text("rows-in-memory")})))
        .Receive(4 * 4 + rows.size())
        .Send(Packet(6, OkPayload(3)));
    s.Connect();
    EXPECT_TRUE(s.client.QueryUploading(named, upload).Ok) << s.client.LastError();
    EXPECT_EQ(s.client.AffectedRows(), 3u);
    s.Finish();
    const auto packets = SplitPackets(s.server.Received());
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_EQ(packets[1].size(), 61440u);
    EXPECT_EQ(packets[2].size(), 61440u);
    EXPECT_EQ(packets[3], Bytes{'r'});
    EXPECT_TRUE(packets[4].empty());
  }
  const struct {
    const char* name;
    std::string statement;
    std::string requested;
  } refused[] = {
      {"another name than the statement gives", named, "/etc/passwd"},
      {"the upload's name, which the statement does not give",
       "LOAD DATA LOCAL INFILE '/tmp/x.csv' INTO TABLE t", "rows-in-memory"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    FakeSession s;
    s.server.Expect(Command(COM_QUERY, Text(c.statement)))
        .Send(Packet(1, Concat({{251}, Text(c.requested)})))
        .Expect(Packet(2, {}))  // nothing but the empty packet
        .Send(Packet(3, OkPayload()));
    s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
    s.Connect();
    EXPECT_FALSE(s.client.QueryUploading(c.statement, upload).Ok);
    EXPECT_EQ(s.client.LastErrorNo(), ErrLocalInfileRejected);
    EXPECT_TRUE(s.client.Ping()) << "the stream stayed in step";
    s.Finish();
  }
}

}  // namespace

namespace {

// A setting change drops the transport under a row-by-row result; the next
// command reconnects. The result must not read the new connection's packets.
TEST(CommandsFake, ReconnectCutsOffARowByRowResult) {
  FakeSession s;
  s.server.Expect(Command(COM_PING)).Send(Packet(1, OkPayload()));
  s.server.Expect(Command(COM_QUERY, Text("SELECT v")));
  s.server.Send(Packet(1, {1}))
      .Send(Packet(2, Field41Payload("v", 253, 20)))
      .Send(Packet(3, EofPayload()));
  s.server.Send(Packet(4, RowPayload({"a"}))).Send(Packet(5, RowPayload({"b"}))).AcceptNext();
  ScriptLogin(s.server, GreetingPayload(10, "5.0.96", kServer41));
  // A packet that a result still reading would take for its next row.
  s.server.Expect(Command(COM_PING))
      .Send(Packet(1, OkPayload()))
      .Send(Packet(2, RowPayload({"stray"})));
  s.Connect(true);
  auto query = s.client.Query("SELECT v", false);
  ASSERT_TRUE(query.Result);
  s.client.SetCompress(true);
  EXPECT_FALSE(s.client.Connected());
  EXPECT_TRUE(s.client.Ping()) << s.client.LastError();
  query.Result->Next();
  EXPECT_TRUE(query.Result->Eof());
  EXPECT_EQ(query.Result->ReadStatus(), -1);
  EXPECT_EQ(query.Result->Value(0), "a");
  query.Result.reset();
  EXPECT_EQ(s.client.Status(), TMysqlStatus::Ready);
  s.Finish();
}

}  // namespace

namespace {

// With compression, several rows arrive in one block and wait decompressed in
// the packet buffer. A setting change frees that buffer with the transport;
// the row-by-row result must then end as a lost connection, both when it is
// moved on and when it is destroyed with rows still unread.
TEST(CommandsFake, SettingChangeUnderACompressedRowByRowResult) {
  for (const bool destroyFirst : {false, true}) {
    SCOPED_TRACE(destroyFirst ? "destroyed" : "moved on");
    FakeServer server;
    ScriptLogin(server, GreetingPayload(10, "5.0.96", kServer41 | CLIENT_COMPRESS));
    const Bytes rows =
        Concat({Packet(0, {1}), Packet(0, Field41Payload("v", 253, 20)), Packet(0, EofPayload()),
                Packet(0, RowPayload({"a"})), Packet(0, RowPayload({"b"})),
                Packet(0, RowPayload({"c"})), Packet(0, EofPayload())});
    server.Expect(CompressedBlock(0, Command(COM_QUERY, Text("SELECT v")), false))
        .Send(CompressedBlock(1, rows, false))
        .DrainUntilClosed();
    server.Start();
    TMysqlClient client;
    PointAt(client, server);
    client.SetCompress(true);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    auto query = client.Query("SELECT v", false);
    ASSERT_TRUE(query.Result) << client.LastError();
    EXPECT_EQ(query.Result->Value(0), "a");
    client.SetPort(client.Port() + 1);
    EXPECT_FALSE(client.Connected());
    if (destroyFirst) {
      query.Result.reset();
    } else {
      query.Result->Next();
      EXPECT_TRUE(query.Result->Eof());
      EXPECT_EQ(query.Result->ReadStatus(), -1);
      EXPECT_EQ(query.Result->Value(0), "a");
    }
    EXPECT_EQ(client.LastErrorNo(), ErrServerLost);
    EXPECT_EQ(client.Status(), TMysqlStatus::Ready);
    client.Close();
    server.Wait();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
  }
}

}  // namespace

namespace {

// More field packets than the header announced: the surplus is read up to the
// end of the field list and dropped, and the rows have the announced columns.
TEST(CommandsFake, SurplusFieldPacketsAreDropped) {
  for (const bool buffered : {true, false}) {
    SCOPED_TRACE(buffered ? "buffered" : "row by row");
    FakeSession s;
    s.server.Expect(Command(COM_QUERY, Text("SELECT v")))
        .Send(Packet(1, {1}))
        .Send(Packet(2, Field41Payload("v", 253, 20)))
        .Send(Packet(3, Field41Payload("extra", 3, 11)))
        .Send(Packet(4, EofPayload()))
        .Send(Packet(5, RowPayload({"a"})))
        .Send(Packet(6, EofPayload()));
    s.Connect();
    const auto query = s.client.Query("SELECT v", buffered);
    ASSERT_TRUE(query.Ok) << s.client.LastError();
    ASSERT_TRUE(query.Result);
    EXPECT_EQ(query.Result->FieldCount(), 1);
    EXPECT_EQ(query.Result->Field(0)->Name, "v");
    EXPECT_EQ(query.Result->Value(0), "a");
    query.Result->Next();
    EXPECT_TRUE(query.Result->Eof());
    EXPECT_EQ(query.Result->RowCount(), 1u);
    EXPECT_EQ(s.client.Status(), TMysqlStatus::Ready);
    s.Finish();
  }
}

}  // namespace
