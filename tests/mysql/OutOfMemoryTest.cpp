// Running out of memory at every allocation of an exchange with the server:
// nothing escapes the session, a failure is 2008 with the transport closed
// (the rest of the reply can no longer be matched to anything), and the next
// command reconnects.

#include <gtest/gtest.h>

#include <functional>

#include "FakeReplies.h"
#include "ScriptedSession.h"
#include "support/AllocFailure.h"

using namespace mysql;

namespace {

struct Exchange {
  const char* name;
  std::function<Bytes(const ServerScript&)> replies;
  std::function<bool(TMysqlClient&)> run;
};

bool WalkToTheEnd(TMysqlClient& client) {
  TQueryResult query = client.Query("select v from t", false);
  if (!query.Ok) return false;
  while (!query.Result->Eof()) query.Result->Next();
  return query.Result->ReadStatus() == 1;
}

const std::vector<std::optional<std::string>> kRows = {std::string(5000, 'a'), std::nullopt, "c"};

std::vector<Exchange> Exchanges() {
  return {
      {"connect", [](const ServerScript&) { return Bytes{}; },
       [](TMysqlClient& c) {
         c.Close();
         return c.Connect();
       }},
      {"buffered result", [](const ServerScript& s) { return s.ResultSet(kRows); },
       [](TMysqlClient& c) { return c.Query("select v from t", true).Ok; }},
      {"row-by-row result", [](const ServerScript& s) { return s.ResultSet(kRows); }, WalkToTheEnd},
      {"process list", [](const ServerScript& s) { return s.ResultSet(kRows); },
       [](TMysqlClient& c) { return c.ListProcesses() != nullptr; }},
      {"statistics", [](const ServerScript& s) { return s.Reply({Text("Uptime: 5")}); },
       [](TMysqlClient& c) { return !c.Stat().empty(); }},
      {"change user",
       [](const ServerScript& s) {
         const Bytes request =
             Concat({{254}, Text("mysql_native_password"), {0}, Text("ABCDEFGHIJKLMNOPQRST"), {0}});
         return Concat({s.Reply({request}), s.ReplyFrom({OkPayload()}, 3, 3)});
       },
       [](TMysqlClient& c) { return c.ChangeUser("other", "pw2", ""); }},
      {"change user with full authentication",
       [](const ServerScript& s) { return s.ChangeUserWithFullAuthentication(); },
       [](TMysqlClient& c) { return c.ChangeUser("other", "pw2", ""); }},
  };
}

void EveryAllocationFails(const Exchange& exchange, bool compress) {
  const ServerScript script(compress);
  for (long nth = 1;; ++nth) {
    SCOPED_TRACE("allocation " + std::to_string(nth));
    ScriptedConnections server;
    // "connect" closes the first connection and opens the second.
    server.Add()->Reply(Concat({script.Login(), exchange.replies(script)}));
    for (int spare = 0; spare < 2; ++spare) {
      auto peer = server.Add();
      peer->Reply(Concat({script.Login(), script.Ok()}));
    }
    TMysqlClient client;
    server.AttachTo(client, compress);
    // The scripted server sends its key (full authentication without TLS).
    client.SetAllowPublicKeyRetrieval(true);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect());
    bool succeeded = false;
    bool fired = false;
    {
      const FailAllocation failing(nth);
      EXPECT_NO_THROW(succeeded = exchange.run(client));
      fired = failing.Fired();
    }
    if (!fired) {
      EXPECT_TRUE(succeeded) << client.LastError();
      return;
    }
    if (!succeeded) {
      EXPECT_EQ(client.LastErrorNo(), ErrOutOfMemory) << client.LastError();
      EXPECT_FALSE(client.Connected()) << "the stream is out of step";
    }
    client.SetShouldReconnect(true);
    EXPECT_TRUE(client.Ping()) << client.LastErrorNo() << " " << client.LastError();
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(OutOfMemory, EveryAllocationOfEveryExchange) {
  for (const bool compress : {false, true}) {
    for (const Exchange& exchange : Exchanges()) {
      SCOPED_TRACE(std::string(exchange.name) + (compress ? ", compressed" : ""));
      EveryAllocationFails(exchange, compress);
    }
  }
}

}  // namespace
