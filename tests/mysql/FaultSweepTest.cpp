// The fault sweep: every exchange the session has with a server (the
// handshake, commands, both result kinds, a procedure's two results, a
// local-file upload, a change of user), played against a connection that closes, stalls, or
// delivers a corrupted byte at every position of what the server sends; plain and compressed;
// without automatic reconnection, with it, and with it inside a transaction. Whatever happens, the
// operation ends (no hang, nothing thrown), a cut-off exchange is never reported as success unless
// a new connection completed it outside any transaction, a failure always names its cause, and the
// next command finds the session in step or reconnects.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "mysql/uMysqlGreeting.h"
#include "support/TestCertificates.h"
#include "support/TlsPeer.h"

using namespace mysql;

namespace {

enum class Fault { Close, Stall, Corrupt };
enum class Mode { NoReconnect, Reconnect, InTransaction };

constexpr std::uint16_t kInTransaction = SERVER_STATUS_IN_TRANS | SERVER_STATUS_AUTOCOMMIT;

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::Close:
      return "close";
    case Fault::Stall:
      return "stall";
    case Fault::Corrupt:
      return "corrupt";
  }
  return "";
}

// What a server of one mode sends.
struct Server {
  ServerScript script;
  bool pings;  // the session pings before every statement
  // The ping before a statement, when there is one.
  Bytes BeforeStatement() const { return pings ? script.Ok() : Bytes{}; }
};

struct Scenario {
  const char* name;
  // What the server sends for the exchange (after the login).
  std::function<Bytes(const Server&)> replies;
  // Runs the exchange on a connected session: true when the session reported
  // success, after checking that what it reported is complete (and, when
  // `exact`, that it is what the server sent).
  std::function<bool(TMysqlClient&, bool exact)> run;
  bool connects = false;  // the exchange is the connect itself
  Bytes (ServerScript::*login)() const = &ServerScript::Login;
};

const std::vector<std::optional<std::string>> kRows = {"alpha", std::nullopt, "gamma"};

bool BufferedRowsComplete(TMysqlClient& client, bool) {
  const TQueryResult query = client.Query("select v from t", true);
  if (!query.Ok) return false;
  EXPECT_TRUE(query.Result);
  if (!query.Result) return true;
  EXPECT_EQ(query.Result->RowCount(), kRows.size());
  return true;
}

bool WalkedRowsComplete(TMysqlClient& client, bool) {
  TQueryResult query = client.Query("select v from t", false);
  if (!query.Ok) return false;
  EXPECT_TRUE(query.Result);
  if (!query.Result) return true;
  while (!query.Result->Eof()) query.Result->Next();
  if (query.Result->ReadStatus() != 1) {
    EXPECT_NE(client.LastErrorNo(), 0) << "a walk that stopped early names its cause";
    return false;
  }
  EXPECT_EQ(query.Result->RowCount(), kRows.size());
  return true;
}

// Both results and the procedure's final status, each complete; the next
// command then finds nothing of them left. (A corrupted status may say
// that no further result follows: the session cannot tell.)
bool TwoResultsComplete(TMysqlClient& client, bool exact) {
  const TQueryResult first = client.Query("call two()", true);
  if (!first.Ok) return false;
  const TQueryResult second = client.NextResult(false);
  if (client.LastErrorNo() != 0) return false;
  if (second.Result) {
    while (!second.Result->Eof()) second.Result->Next();
    if (second.Result->ReadStatus() != 1) {
      EXPECT_NE(client.LastErrorNo(), 0) << "a walk that stopped early names its cause";
      return false;
    }
  }
  const TQueryResult last = client.NextResult(false);
  if (client.LastErrorNo() != 0) return false;
  if (exact) {
    EXPECT_EQ(first.Result ? first.Result->RowCount() : 0u, kRows.size());
    EXPECT_EQ(second.Result ? second.Result->RowCount() : 0u, 1u);
    EXPECT_FALSE(last.Ok) << "the final status is no result";
    EXPECT_FALSE(client.HasPendingResults());
    EXPECT_EQ(client.AffectedRows(), 4u);
  }
  return true;
}

std::string TLocalFile() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / "orbelin-fault-sweep.csv";
    std::ofstream(file) << "1,one\n2,two\n";
    return file.string();
  }();
  return path;
}

Bytes SwitchRequest() {
  return Concat({{254}, Text("mysql_native_password"), {0}, Text("ABCDEFGHIJKLMNOPQRST"), {0}});
}

bool ChangedUser(TMysqlClient& c, bool) {
  if (!c.ChangeUser("other", "new-pw", "")) return false;
  EXPECT_EQ(c.User(), "other");
  return true;
}

std::vector<Scenario> Scenarios() {
  return {
      {"connect", [](const Server&) { return Bytes{}; }, [](TMysqlClient&, bool) { return true; },
       true},
      {"connect with full authentication", [](const Server&) { return Bytes{}; },
       [](TMysqlClient&, bool) { return true; }, true, &ServerScript::LoginWithFullAuthentication},
      {"ping", [](const Server& s) { return s.script.Ok(); },
       [](TMysqlClient& c, bool) { return c.Ping(); }},
      {"statistics", [](const Server& s) { return s.script.Reply({Text("Uptime: 5")}); },
       [](TMysqlClient& c, bool exact) {
         const std::string text = c.Stat();
         if (text.empty()) return false;
         if (exact) {
           EXPECT_EQ(text, "Uptime: 5");
         }
         return true;
       }},
      {"select database", [](const Server& s) { return s.script.Ok(); },
       [](TMysqlClient& c, bool) { return c.SelectDb("shop"); }},
      {"statement without rows",
       [](const Server& s) {
         return Concat({s.BeforeStatement(), s.script.Ok(3)});
       },
       [](TMysqlClient& c, bool exact) {
         if (!c.Query("update t set v = 1", true).Ok) return false;
         if (exact) {
           EXPECT_EQ(c.AffectedRows(), 3u);
         }
         return true;
       }},
      {"buffered result",
       [](const Server& s) {
         return Concat({s.BeforeStatement(), s.script.ResultSet(kRows)});
       },
       BufferedRowsComplete},
      {"row-by-row result",
       [](const Server& s) {
         return Concat({s.BeforeStatement(), s.script.ResultSet(kRows)});
       },
       WalkedRowsComplete},
      {"process list", [](const Server& s) { return s.script.ResultSet(kRows); },
       [](TMysqlClient& c, bool) {
         const auto processes = c.ListProcesses();
         if (!processes) return false;
         EXPECT_EQ(processes->RowCount(), kRows.size());
         return true;
       }},
      {"local file upload",
       [](const Server& s) {
         return Concat({s.BeforeStatement(), s.script.Reply({Concat({{251}, Text(TLocalFile())})}),
                        s.script.ReplyFrom({OkPayload(2)}, 4, 3)});
       },
       [](TMysqlClient& c, bool exact) {
         const auto load =
             c.Query("LOAD DATA LOCAL INFILE '" + TLocalFile() + "' INTO TABLE t", true);
         if (!load.Ok) return false;
         if (exact) {
           EXPECT_EQ(c.AffectedRows(), 2u);
         }
         return true;
       }},
      {"change user",
       [](const Server& s) {
         return Concat(
             {s.script.Reply({SwitchRequest()}), s.script.ReplyFrom({OkPayload()}, 3, 3)});
       },
       ChangedUser},
      {"change user with full authentication",
       [](const Server& s) { return s.script.ChangeUserWithFullAuthentication(); }, ChangedUser},
      // The request for session reports goes out with the first statement.
      {"connect and first statement reporting session changes",
       [](const Server& s) {
         return Concat({s.BeforeStatement(), s.script.Ok()});
       },
       [](TMysqlClient& c, bool) { return c.Query("do 1", true).Ok; }, true,
       &ServerScript::LoginReportingChanges},
      {"statement reporting session changes",
       [](const Server& s) {
         return Concat(
             {s.BeforeStatement(),
              s.script.Reply({TrackedOkPayload(
                  1, 0, 2,
                  {SchemaChange("shop"), VariableChange("sql_mode", "ANSI"), StateChange()})})});
       },
       [](TMysqlClient& c, bool exact) {
         if (!c.Query("call setup()", true).Ok) return false;
         if (exact) {
           EXPECT_EQ(c.AffectedRows(), 1u);
           EXPECT_EQ(c.LostHoldings(), 0u);
         }
         return true;
       },
       false, &ServerScript::LoginReportingChanges},
      {"call with two results",
       [](const Server& s) {
         return Concat({s.BeforeStatement(), s.script.CallWithTwoResults(kRows, {"delta"})});
       },
       TwoResultsComplete},
  };
}

struct Sweep {
  Scenario scenario;
  bool compress;
  Mode mode;

  Server FirstServer() const {
    return {ServerScript(compress, mode == Mode::InTransaction ? kInTransaction : 2),
            mode != Mode::NoReconnect};
  }

  // The first connection's bytes: login, the opening of the transaction,
  // the exchange. Faults fall on the exchange (on the login for "connect").
  Bytes Wire(std::size_t& faultsFrom) const {
    const Server server = FirstServer();
    Bytes wire = (server.script.*scenario.login)();
    if (mode == Mode::InTransaction) wire = Concat({wire, server.script.Ok()});
    faultsFrom = scenario.connects ? 0 : wire.size();
    return Concat({wire, scenario.replies(server)});
  }

  // Further connections: each logs in, can play the exchange whole, and then
  // answers pings.
  void AddSpareConnections(ScriptedConnections& connections) const {
    const Server fresh{ServerScript(compress), mode != Mode::NoReconnect};
    for (int i = 0; i < 3; ++i) {
      auto peer = connections.Add();
      peer->Reply(Concat({(fresh.script.*scenario.login)(), scenario.replies(fresh)}));
      for (int ping = 0; ping < 3; ++ping) peer->Reply(fresh.script.Ok());
    }
  }

  // Connects and opens the transaction of its mode, without pings.
  bool Prepare(TMysqlClient& client) const {
    // Full authentication as MySQL 8.4 does it without TLS: the key is sent.
    client.SetAllowPublicKeyRetrieval(true);
    client.SetShouldReconnect(false);
    if (!client.Connect()) return false;
    if (mode == Mode::InTransaction && !client.Query("start transaction", true).Ok) return false;
    client.SetShouldReconnect(mode != Mode::NoReconnect);
    return true;
  }

  void Play(const Bytes& wire, std::size_t at, Fault fault) const {
    const std::size_t greetingSize =
        4 + static_cast<std::size_t>(wire[0] | wire[1] << 8 | wire[2] << 16);
    ScriptedConnections connections;
    auto peer = connections.Add();
    switch (fault) {
      case Fault::Close:
        peer->Reply(Bytes(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(at)));
        break;
      case Fault::Stall:
        peer->Reply(Bytes(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(at)));
        peer->Stall();
        break;
      case Fault::Corrupt: {
        Bytes corrupted = wire;
        corrupted[at] ^= 0xFF;
        peer->Reply(corrupted);
        break;
      }
    }
    AddSpareConnections(connections);
    TMysqlClient client;
    connections.AttachTo(client, compress);

    const bool prepared = Prepare(client);
    if (!scenario.connects) {
      ASSERT_TRUE(prepared) << client.LastError();
    }
    const bool succeeded = prepared && scenario.run(client, fault != Fault::Corrupt);
    const std::int32_t error = client.LastErrorNo();
    const bool reconnected = connections.Opened() > 1;

    if (mode == Mode::InTransaction) {
      EXPECT_FALSE(reconnected) << "a new connection inside a transaction";
    }
    if (fault != Fault::Corrupt) {
      EXPECT_TRUE(!succeeded || reconnected) << "an exchange cut short reported success";
      if (!succeeded) {
        EXPECT_TRUE(error == ErrServerLost || error == ErrTransactionLost ||
                    (error == ErrConnect && !prepared))
            << error << " " << client.LastError();
      }
    } else if (!succeeded) {
      EXPECT_NE(error, 0) << "a failure names its cause";
    }
    // A failure that keeps the connection (a server error) has read the whole
    // answer. (Not so after a corrupted greeting: it may have changed what the
    // client expects, such as compression, which no client can tell.)
    if (!succeeded && client.Connected() && !reconnected && at >= greetingSize) {
      EXPECT_TRUE(peer->NothingUnread()) << "the session is out of step with the server";
    }

    // The next command: in step, or a new connection.
    client.SetShouldReconnect(true);
    bool pinged = client.Ping();
    if (!pinged && client.TransactionLost()) {
      EXPECT_TRUE(mode == Mode::InTransaction || fault == Fault::Corrupt)
          << "a transaction lost where none was open";
      EXPECT_EQ(client.LastErrorNo(), ErrTransactionLost);
      pinged = client.Reconnect() && client.Ping();
    } else if (!pinged && client.LostHoldings() != 0) {
      // A corrupted report can say the session changed in ways no new
      // connection has back.
      EXPECT_EQ(fault, Fault::Corrupt) << "session state lost where none was held";
      EXPECT_EQ(client.LastErrorNo(), ErrSessionStateLost);
      pinged = client.Reconnect() && client.Ping();
    }
    EXPECT_TRUE(pinged) << client.LastErrorNo() << " " << client.LastError();
  }

  void Run() const {
    std::size_t faultsFrom = 0;
    const Bytes wire = Wire(faultsFrom);
    {
      SCOPED_TRACE("no fault");
      ScriptedConnections connections;
      connections.Add()->Reply(wire);
      TMysqlClient client;
      connections.AttachTo(client, compress);
      ASSERT_TRUE(Prepare(client)) << client.LastError();
      ASSERT_TRUE(scenario.run(client, true)) << client.LastErrorNo() << " " << client.LastError();
    }
    for (const Fault fault : {Fault::Close, Fault::Stall, Fault::Corrupt}) {
      for (std::size_t at = faultsFrom; at < wire.size(); ++at) {
        SCOPED_TRACE(std::string(FaultName(fault)) + " at byte " + std::to_string(at) + " of " +
                     std::to_string(wire.size()));
        Play(wire, at, fault);
        if (::testing::Test::HasFailure()) return;  // one report per sweep is enough
      }
    }
  }
};

using SweepParam = std::tuple<std::size_t, bool, Mode>;

class FaultSweep : public ::testing::TestWithParam<SweepParam> {};

TEST_P(FaultSweep, EveryByte) {
  const auto [index, compress, mode] = GetParam();
  Sweep{Scenarios()[index], compress, mode}.Run();
}

std::string SweepName(const ::testing::TestParamInfo<SweepParam>& test) {
  std::string name = Scenarios()[std::get<0>(test.param)].name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  name += std::get<1>(test.param) ? "_compressed" : "_plain";
  switch (std::get<2>(test.param)) {
    case Mode::NoReconnect:
      return name;
    case Mode::Reconnect:
      return name + "_reconnecting";
    case Mode::InTransaction:
      return name + "_in_transaction";
  }
  return name;
}

// Every exchange in every mode, but for a connect inside a transaction.
std::vector<SweepParam> AllSweeps() {
  std::vector<SweepParam> sweeps;
  for (std::size_t index = 0; index < Scenarios().size(); ++index)
    for (const bool compress : {false, true})
      for (const Mode mode : {Mode::NoReconnect, Mode::Reconnect, Mode::InTransaction})
        if (!(Scenarios()[index].connects && mode == Mode::InTransaction))
          sweeps.emplace_back(index, compress, mode);
  return sweeps;
}

INSTANTIATE_TEST_SUITE_P(Exchanges, FaultSweep, ::testing::ValuesIn(AllSweeps()), SweepName);

// The login over TLS (greeting, SSL request, TLS handshake, the login and its
// OK over TLS): at every byte the server sends the connection closes,
// stalls, or delivers that byte flipped. The connect always ends; a TLS
// handshake cut short fails with 2026 under Required, having sent nothing
// over TLS, and Preferred then connects once more without TLS.
TEST(FaultSweepTls, LoginAtEveryByte) {
  const Bytes greeting = Packet(0, GreetingPayload(10, "8.0.40", kServer41 | CLIENT_SSL));
  const auto serverFor = [&] {
    auto peer = std::make_shared<TlsPeer>(Certificates().Server, Certificates().ServerKey);
    peer->PlainReply(greeting);
    peer->StartTlsAfter(4 + 32);
    peer->Reply(Packet(3, OkPayload()));
    return peer;
  };
  const auto configure = [](TMysqlClient& client, TSslMode mode) {
    client.SetHost("scripted");
    client.SetUser("tester");
    client.SetPassword("pw");
    client.SetCompress(false);
    client.SetConnectTimeout(5);
    client.SetSslMode(mode);
  };
  for (const TSslMode mode : {TSslMode::Required, TSslMode::Preferred}) {
    const bool preferred = mode == TSslMode::Preferred;
    std::size_t total = 0;
    {
      TMysqlClient client;
      configure(client, mode);
      auto peer = serverFor();
      client.SetConnector([&] { return peer->Stream(); });
      ASSERT_TRUE(client.Connect()) << client.LastError();
      ASSERT_FALSE(client.SslCipher().empty());
      total = peer->Sent();
    }
    // Preferred differs from Required only where the handshake breaks off.
    const auto faults = preferred ? std::vector<Fault>{Fault::Close}
                                  : std::vector<Fault>{Fault::Close, Fault::Stall, Fault::Corrupt};
    for (const Fault fault : faults) {
      for (std::size_t at = 0; at < total; ++at) {
        SCOPED_TRACE(std::string(preferred ? "preferred, " : "required, ") + FaultName(fault) +
                     " at byte " + std::to_string(at) + " of " + std::to_string(total));
        auto peer = serverFor();
        peer->InjectFault(fault == Fault::Close   ? TlsPeer::Fault::Close
                          : fault == Fault::Stall ? TlsPeer::Fault::Stall
                                                  : TlsPeer::Fault::Corrupt,
                          at);
        // The second connection, without TLS.
        auto [second, plain] = ScriptedStream::Make();
        plain->Reply(ServerScript(false).Login());
        TMysqlClient client;
        configure(client, mode);
        int opened = 0;
        client.SetConnector([&]() -> std::unique_ptr<platform::TByteStream> {
          ++opened;
          if (opened == 1) return peer->Stream();
          if (opened == 2) return std::move(second);
          return nullptr;
        });
        const bool connected = client.Connect();
        // The session tickets hold random numbers whose encoded length varies
        // by a byte or so from run to run, so this run may have had less to
        // send than the one measured: a fault beyond all of it is none.
        if (peer->Produced() <= at) continue;
        const std::int32_t error = client.LastErrorNo();
        if (!connected) {
          EXPECT_NE(error, 0) << "a failure names its cause";
        }
        if (error == ErrSslConnection) {
          EXPECT_TRUE(peer->Received().empty()) << "nothing went out over a TLS that failed";
        }
        const bool cutInHandshake =
            fault != Fault::Corrupt && at >= greeting.size() && !peer->HandshakeDone();
        if (cutInHandshake) {
          if (preferred) {
            EXPECT_TRUE(connected && opened == 2) << error << " " << client.LastError();
          } else {
            EXPECT_EQ(error, ErrSslConnection) << client.LastError();
          }
        }
        if (fault != Fault::Corrupt) {
          EXPECT_TRUE(!connected || opened == 2) << "a login cut short reported success";
        }
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

}  // namespace
