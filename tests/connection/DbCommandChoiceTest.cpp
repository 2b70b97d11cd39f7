// CreateDb and DropDb pick the dedicated command or the SQL statement by the
// server's version number, and quote the name in the statement; checked on
// the wire against a scripted server.
#include <gtest/gtest.h>

#include <string>

#include "WiredObject.h"
#include "platform/com/OleVariant.h"
#include "support/FakeServer.h"

namespace connection {
namespace {

struct Case {
  const char* version;
  const char* method;
  const char* database;
  Bytes command;  // the payload the client must send
};

class DbCommandChoice : public testing::TestWithParam<Case> {};

TEST_P(DbCommandChoice, SendsTheCommandTheVersionCallsFor) {
  const Case& c = GetParam();
  FakeServer server;
  server.Send(Packet(0, Greeting(c.version)))
      .ReceivePacket()
      .Send(Packet(2, OkPayload()))
      .Expect(Packet(0, c.command))
      .Send(Packet(1, OkPayload()))
      .DrainUntilClosed();
  server.Start();

  {
    WiredObject object;
    object.PointAt(server.Port());
    EXPECT_EQ(object.Call("Connect").ToInt32(), 1);
    EXPECT_EQ(object.Call(c.method, {platform::TOleVariant(c.database)}).ToInt32(), 1);
  }
  server.Wait();
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

const Bytes kCreateCommand = {5, 'x'};
const Bytes kDropCommand = {6, 'x'};
const Bytes kCreateStatement = Concat({{3}, Text("create database `x`;")});
const Bytes kDropStatement = Concat({{3}, Text("drop database `x`;")});

INSTANTIATE_TEST_SUITE_P(
    Versions, DbCommandChoice,
    testing::Values(Case{"4.1.22", "CreateDb", "x", kCreateCommand},
                    Case{"5.0.83-log", "DropDb", "x", kDropCommand},
                    Case{"5.0.84", "CreateDb", "x", kCreateStatement},
                    Case{"5.1.30", "DropDb", "x", kDropStatement},
                    // Below 5.0.84 as text, far above it as a version.
                    Case{"10.1.2", "CreateDb", "x", kCreateStatement},
                    Case{"11.4.2-MariaDB", "DropDb", "x", kDropStatement},
                    // A backquote in the name is doubled in the statement, so
                    // the name cannot close the quoting; the command takes it raw.
                    Case{"10.11.6", "CreateDb", "a`b; x",
                         Concat({{3}, Text("create database `a``b; x`;")})},
                    Case{"10.11.6", "DropDb", "`", Concat({{3}, Text("drop database ````;")})},
                    Case{"4.1.22", "DropDb", "a`b", Concat({{6}, Text("a`b")})}));

}  // namespace
}  // namespace connection
