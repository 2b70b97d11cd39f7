// The protocol core against the real server: raw handshakes with both
// scrambles over TCP and the local pipe, with and without compression, and
// the packet size limits. The greeting is read by the client's own decoder;
// the authentication packet here is deliberately minimal, the full session
// lives in uMysqlClient.
#include <gtest/gtest.h>

#include <optional>

#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNet.h"
#include "mysql/uMysqlNewPassword.h"
#include "support/MariaDbFixture.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

constexpr std::uint32_t BaseFlags = 0xE285;
constexpr std::uint32_t ConnectWithDb = 0x8;
constexpr std::uint32_t CompressFlag = 0x20;
constexpr std::uint8_t ComQuery = 3;

enum class Endpoint { Tcp, Pipe };

class Session {
 public:
  Session(const MariaDbServer& server, Endpoint endpoint) {
    if (endpoint == Endpoint::Pipe) link_.emplace(server.Socket);
    opened_ = net_.Open(endpoint == Endpoint::Pipe ? VioNamedPipe : VioTcpIp, server.Host, "",
                        server.Port, 10, endpoint == Endpoint::Tcp) == 0;
  }

  // Greeting, 4.1 authentication packet, the old-scramble request when the
  // server makes it, and the switch to compression. Empty when it worked,
  // else what failed.
  std::string Authenticate(const MariaDbAccount& account, const std::string& db, bool compress) {
    if (!opened_) return "open: " + net_.LastError();
    if (net_.SafeRead(0) < 0) return "greeting: " + net_.LastError();
    const auto greeting = ParseGreeting(net_.Payload());
    if (!greeting || !greeting->Language || !greeting->HasSecondSeedPart)
      return "greeting not understood";
    flags_ = BaseFlags | ConnectWithDb | (compress ? CompressFlag : 0);

    Bytes auth(32, 0);
    for (std::size_t i = 0; i < 4; ++i) auth[i] = static_cast<std::uint8_t>(flags_ >> (8 * i));
    auth[7] = 0x01;  // maximum packet size 16 MiB
    auth[8] = static_cast<std::uint8_t>(*greeting->Language);
    auth.insert(auth.end(), account.User.begin(), account.User.end());
    auth.push_back(0);
    if (account.Password.empty()) {
      auth.push_back(0);
    } else {
      const TSha1Digest scrambled = Scramble41(Text(greeting->ScrambleSeed), account.Password);
      auth.push_back(20);
      auth.insert(auth.end(), scrambled.begin(), scrambled.end());
    }
    auth.insert(auth.end(), db.begin(), db.end());
    auth.push_back(0);
    if (net_.WritePacket(auth) != 0 || net_.Flush() != 0) return "auth not sent";

    int length = net_.SafeRead(flags_);
    if (length == 1 && net_.Payload()[0] == 254) {
      // The account has an old-style password: answer with the old scramble.
      oldScrambleAsked_ = true;
      Bytes answer = Text(ScrambleOld(greeting->ScrambleSeed.substr(0, 8), account.Password));
      answer.push_back(0);
      if (net_.WritePacket(answer) != 0 || net_.Flush() != 0) return "old scramble not sent";
      length = net_.SafeRead(flags_);
    }
    if (length < 0) return "auth: " + std::to_string(net_.LastErrorNo()) + " " + net_.LastError();
    if (net_.Payload()[0] != 0) return "auth: not an OK packet";
    net_.SetCompress(compress);
    return {};
  }

  bool SendQuery(const std::string& sql) {
    net_.Clear();
    return net_.WriteCommand(ComQuery, Text(sql)) == 0;
  }

  // Sends a query with one column and one row; the row packet's payload
  // length, or -1 (error recorded in the packet layer).
  int QueryRowLength(const std::string& sql, Bytes* row = nullptr) {
    if (!SendQuery(sql)) return -1;
    if (net_.SafeRead(flags_) != 1) return -1;  // column count
    if (net_.SafeRead(flags_) < 0) return -1;   // column definition
    if (net_.SafeRead(flags_) < 0) return -1;   // end of columns
    const int length = net_.SafeRead(flags_);
    if (length < 0) return -1;
    if (row) row->assign(net_.Payload().begin(), net_.Payload().end());
    if (net_.SafeRead(flags_) < 0 || net_.Payload()[0] != 0xFE) return -1;  // end of rows
    return length;
  }

  TMysqlNet& Net() { return net_; }
  bool OldScrambleAsked() const { return oldScrambleAsked_; }

 private:
  std::optional<LocalPipeLink> link_;
  TMysqlNet net_;
  bool opened_ = false;
  std::uint32_t flags_ = 0;
  bool oldScrambleAsked_ = false;
};

// The text value of a one-column row (length-coded string).
std::string RowText(const Bytes& row) {
  if (row.empty() || row[0] > 250) return "?";
  return std::string(row.begin() + 1, row.begin() + 1 + row[0]);
}

class MariaDb : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = SharedMariaDb();
    ASSERT_TRUE(server_) << "the mariadb fixture is not running";
  }
  std::optional<MariaDbServer> server_;
};

TEST_F(MariaDb, HandshakeMatrix) {
  struct Case {
    const char* name;
    MariaDbAccount MariaDbServer::*account;
    Endpoint endpoint;
    bool compress;
    bool oldScramble;
  } cases[] = {
      {"native over TCP", &MariaDbServer::Native, Endpoint::Tcp, false, false},
      {"native over TCP, compressed", &MariaDbServer::Native, Endpoint::Tcp, true, false},
      {"native over the pipe", &MariaDbServer::Native, Endpoint::Pipe, false, false},
      {"native over the pipe, compressed", &MariaDbServer::Native, Endpoint::Pipe, true, false},
      {"old password over TCP", &MariaDbServer::Old, Endpoint::Tcp, false, true},
      {"old password, compressed", &MariaDbServer::Old, Endpoint::Tcp, true, true},
      {"no password", &MariaDbServer::NoPass, Endpoint::Tcp, false, false},
  };
  for (const auto& c : cases) {
    const MariaDbAccount& account = (*server_).*(c.account);
    Session session(*server_, c.endpoint);
    ASSERT_EQ(session.Authenticate(account, server_->Database, c.compress), "") << c.name;
    EXPECT_EQ(session.OldScrambleAsked(), c.oldScramble) << c.name;
    EXPECT_EQ(session.Net().Kind(), c.endpoint == Endpoint::Pipe ? VioNamedPipe : VioTcpIp);
    Bytes row;
    ASSERT_GT(session.QueryRowLength("SELECT CONCAT(CURRENT_USER(), ' ', DATABASE())", &row), 0)
        << c.name << ": " << session.Net().LastError();
    EXPECT_EQ(RowText(row), account.User + "@% " + server_->Database) << c.name;
  }
}

TEST_F(MariaDb, WrongPasswordIsTheServersError) {
  Session session(*server_, Endpoint::Tcp);
  const std::string result = session.Authenticate({server_->Native.User, "wrong"}, "", false);
  EXPECT_EQ(result.substr(0, 10), "auth: 1045") << result;
  EXPECT_NE(result.find(" Access denied for user 'orbelin_native'"), std::string::npos) << result;
  EXPECT_TRUE(session.Net().IsOpen()) << "an error packet keeps the transport";
}

TEST_F(MariaDb, ServerErrorAfterCommandAndTheNextCommandStillWorks) {
  Session session(*server_, Endpoint::Tcp);
  ASSERT_EQ(session.Authenticate(server_->Native, server_->Database, true), "");
  EXPECT_EQ(session.QueryRowLength("SELECT * FROM no_such_table"), -1);
  EXPECT_EQ(session.Net().LastErrorNo(), 1146);
  EXPECT_EQ(session.Net().LastError(), "Table 'orbelin_test.no_such_table' doesn't exist");
  EXPECT_EQ(session.QueryRowLength("SELECT 1"), 2);
}

TEST_F(MariaDb, TwentyThousandBytePacketsBothWays) {
  for (const bool compress : {false, true}) {
    Session session(*server_, Endpoint::Tcp);
    ASSERT_EQ(session.Authenticate(server_->Native, server_->Database, compress), "");
    // Received: a row of exactly 20,000 bytes (3-byte length prefix + 19,997).
    EXPECT_EQ(session.QueryRowLength("SELECT REPEAT('x', 19997)"), 20000) << compress;
    EXPECT_EQ(session.Net().Capacity(), 20480u) << compress;
    // Sent: a command packet of exactly 20,000 bytes.
    const std::string sql = "SELECT LENGTH('" + std::string(19999 - 17, 'y') + "')";
    ASSERT_EQ(sql.size(), 19999u);
    Bytes row;
    ASSERT_GT(session.QueryRowLength(sql, &row), 0) << compress;
    EXPECT_EQ(RowText(row), "19982") << compress;
  }
}

TEST_F(MariaDb, PacketsAroundSixteenMebibytesBothWays) {
  Session session(*server_, Endpoint::Tcp);
  ASSERT_EQ(session.Authenticate(server_->Native, server_->Database, false), "");
  // 16,777,214-byte row: 4-byte length prefix + 16,777,210 characters.
  EXPECT_EQ(session.QueryRowLength("SELECT REPEAT('z', 16777210)"), 16777214);
  EXPECT_EQ(session.Net().Capacity(), 0x1000000u);
  // 16,777,214-byte command packet: code byte + 16,777,213 bytes of SQL.
  const std::string sql = "SELECT LENGTH('" + std::string(16777213 - 17, 'w') + "')";
  Bytes row;
  ASSERT_GT(session.QueryRowLength(sql, &row), 0) << session.Net().LastError();
  EXPECT_EQ(RowText(row), std::to_string(16777213 - 17));

  // One byte more: the length field reads FF FF FF, and an empty piece ends
  // the row; two bytes more, a piece of one byte.
  EXPECT_EQ(session.QueryRowLength("SELECT REPEAT('z', 16777211)"), 16777215);
  EXPECT_EQ(session.QueryRowLength("SELECT REPEAT('z', 16777212)"), 16777216);
  // The same sizes as commands, in pieces the other way.
  for (const std::size_t payload : {std::size_t{16777215}, std::size_t{16777216}}) {
    const std::string pieces = "SELECT LENGTH('" + std::string(payload - 1 - 17, 'w') + "')";
    ASSERT_GT(session.QueryRowLength(pieces, &row), 0) << session.Net().LastError();
    EXPECT_EQ(RowText(row), std::to_string(payload - 1 - 17));
  }
}

TEST_F(MariaDb, LargeCompressedPacket) {
  Session session(*server_, Endpoint::Tcp);
  ASSERT_EQ(session.Authenticate(server_->Native, server_->Database, true), "");
  Bytes row;
  EXPECT_EQ(session.QueryRowLength("SELECT REPEAT('z', 4000000)", &row), 4000004);
  EXPECT_EQ(row.back(), 'z');
  EXPECT_EQ(session.QueryRowLength("SELECT 1"), 2);
}

}  // namespace

namespace {

TEST(MariaDbPrivate, AServerOfItsOwnStartsAndStops) {
  std::int32_t port = 0;
  {
    PrivateMariaDb server("mysql-area");
    ASSERT_TRUE(server.Server()) << "scripts/mariadb-start failed";
    port = server.Server()->Port;
    ASSERT_NE(port, SharedMariaDb() ? SharedMariaDb()->Port : 0);
    TMysqlNet net;
    ASSERT_EQ(net.Open(VioTcpIp, "127.0.0.1", "", port, 10, true), 0);
    EXPECT_GT(net.SafeRead(0), 0) << "greeting";
  }
  TMysqlNet net;
  EXPECT_EQ(net.Open(VioTcpIp, "127.0.0.1", "", port, 10, true), -6) << "stopped";
}

}  // namespace
