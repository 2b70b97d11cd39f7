// The fault sweep: every exchange the session has with a server (the
// handshake, commands, both result kinds, a local-file upload, a change of
// user), played against a connection that closes, stalls, or delivers a
// corrupted byte at every position of what the server sends, plain and
// compressed. Whatever happens, the operation ends (no hang, nothing thrown),
// a cut-off exchange is never reported as success, a failure always names its
// cause, and the next command finds the session in step or reconnects.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "client/fake_replies.h"
#include "client/scripted_session.h"
#include "mysql/uMysqlNewPassword.h"

namespace {

enum class Fault { Close, Stall, Corrupt };

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

struct Scenario {
  const char* name;
  // What the server sends after the login.
  std::function<Bytes(const ServerScript&)> replies;
  // Runs the exchange on a connected session: true when the session reported
  // success, after checking that what it reported is complete (and, when
  // `exact`, that it is what the server sent).
  std::function<bool(TMysqlClient&, bool exact)> run;
  bool connects = false;  // the exchange is the connect itself
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

std::string LocalFile() {
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

std::vector<Scenario> Scenarios() {
  return {
      {"connect", [](const ServerScript&) { return Bytes{}; },
       [](TMysqlClient&, bool) { return true; }, true},
      {"ping", [](const ServerScript& s) { return s.Ok(); },
       [](TMysqlClient& c, bool) { return c.Ping(); }},
      {"statistics", [](const ServerScript& s) { return s.Reply({Text("Uptime: 5")}); },
       [](TMysqlClient& c, bool exact) {
         const std::string text = c.Stat();
         if (text.empty()) return false;
         if (exact) {
           EXPECT_EQ(text, "Uptime: 5");
         }
         return true;
       }},
      {"select database", [](const ServerScript& s) { return s.Ok(); },
       [](TMysqlClient& c, bool) { return c.SelectDb("shop"); }},
      {"statement without rows", [](const ServerScript& s) { return s.Ok(2, 3); },
       [](TMysqlClient& c, bool exact) {
         if (!c.Query("update t set v = 1", true).Ok) return false;
         if (exact) {
           EXPECT_EQ(c.AffectedRows(), 3u);
         }
         return true;
       }},
      {"buffered result", [](const ServerScript& s) { return s.ResultSet(kRows); },
       BufferedRowsComplete},
      {"row-by-row result", [](const ServerScript& s) { return s.ResultSet(kRows); },
       WalkedRowsComplete},
      {"process list", [](const ServerScript& s) { return s.ResultSet(kRows); },
       [](TMysqlClient& c, bool) {
         const auto processes = c.ListProcesses();
         if (!processes) return false;
         EXPECT_EQ(processes->RowCount(), kRows.size());
         return true;
       }},
      {"local file upload",
       [](const ServerScript& s) {
         return Concat(
             {s.Reply({Concat({{251}, Text(LocalFile())})}), s.ReplyFrom({OkPayload(2)}, 4, 3)});
       },
       [](TMysqlClient& c, bool exact) {
         const auto load =
             c.Query("LOAD DATA LOCAL INFILE '" + LocalFile() + "' INTO TABLE t", true);
         if (!load.Ok) return false;
         if (exact) {
           EXPECT_EQ(c.AffectedRows(), 2u);
         }
         return true;
       }},
      {"change user",
       [](const ServerScript& s) {
         return Concat({s.Reply({SwitchRequest()}), s.ReplyFrom({OkPayload()}, 3, 3)});
       },
       [](TMysqlClient& c, bool) {
         if (!c.ChangeUser("other", "new-pw", "")) return false;
         EXPECT_EQ(c.User(), "other");
         return true;
       }},
  };
}

// Connections for the reconnects after the fault: each logs in and answers
// pings.
void AddSpareConnections(ScriptedConnections& server, const ServerScript& script) {
  for (int i = 0; i < 3; ++i) {
    auto peer = server.Add();
    peer->Reply(script.Login());
    for (int ping = 0; ping < 3; ++ping) peer->Reply(script.Ok());
  }
}

void PlayWithFault(const Scenario& scenario, bool compress, const Bytes& wire, std::size_t at,
                   Fault fault) {
  const std::size_t greetingSize = 4 + (wire[0] | wire[1] << 8 | wire[2] << 16);
  const ServerScript script(compress);
  ScriptedConnections server;
  auto peer = server.Add();
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
  AddSpareConnections(server, script);
  TMysqlClient client;
  server.AttachTo(client, compress);
  client.SetShouldReconnect(false);

  const bool connected = client.Connect();
  bool succeeded = connected && scenario.run(client, fault != Fault::Corrupt);
  if (fault != Fault::Corrupt) {
    EXPECT_FALSE(succeeded) << "an exchange cut short reported success";
    EXPECT_TRUE(client.LastErrorNo() == ErrServerLost ||
                (client.LastErrorNo() == ErrConnect && !connected))
        << client.LastErrorNo() << " " << client.LastError();
  } else if (!succeeded) {
    EXPECT_NE(client.LastErrorNo(), 0) << "a failure names its cause";
  }
  // A failure that keeps the connection (a server error) has read the whole
  // answer. (Not so after a corrupted greeting: it may have changed what the
  // client expects, such as compression, which no client can tell.)
  if (!succeeded && client.Connected() && at >= greetingSize) {
    EXPECT_TRUE(peer->NothingUnread()) << "the session is out of step with the server";
  }

  // The next command: in step, or a new connection.
  client.SetShouldReconnect(true);
  bool pinged = client.Ping();
  if (!pinged && fault == Fault::Corrupt && client.TransactionLost()) {
    // A corrupted status can read as an open transaction.
    EXPECT_EQ(client.LastErrorNo(), ErrTransactionLost);
    pinged = client.Reconnect() && client.Ping();
  }
  EXPECT_TRUE(pinged) << client.LastErrorNo() << " " << client.LastError();
}

void Sweep(const Scenario& scenario, bool compress) {
  const ServerScript script(compress);
  const Bytes wire = Concat({script.Login(), scenario.replies(script)});
  {
    SCOPED_TRACE("no fault");
    ScriptedConnections server;
    server.Add()->Reply(wire);
    TMysqlClient client;
    server.AttachTo(client, compress);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect()) << client.LastError();
    ASSERT_TRUE(scenario.run(client, true)) << client.LastErrorNo() << " " << client.LastError();
  }
  for (const Fault fault : {Fault::Close, Fault::Stall, Fault::Corrupt}) {
    for (std::size_t at = 0; at < wire.size(); ++at) {
      SCOPED_TRACE(std::string(FaultName(fault)) + " at byte " + std::to_string(at) + " of " +
                   std::to_string(wire.size()));
      PlayWithFault(scenario, compress, wire, at, fault);
      if (::testing::Test::HasFailure()) return;  // one report per scenario is enough
    }
  }
}

class FaultSweep : public ::testing::TestWithParam<std::tuple<std::size_t, bool>> {};

TEST_P(FaultSweep, EveryByte) {
  const auto [index, compress] = GetParam();
  Sweep(Scenarios()[index], compress);
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<std::size_t, bool>>& info) {
  std::string name = Scenarios()[std::get<0>(info.param)].name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name + (std::get<1>(info.param) ? "_compressed" : "_plain");
}

INSTANTIATE_TEST_SUITE_P(Exchanges, FaultSweep,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Scenarios().size()),
                                            ::testing::Bool()),
                         SweepName);

}  // namespace
